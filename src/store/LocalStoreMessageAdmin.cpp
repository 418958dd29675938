// Taking messages out of view: hiding one for me, deleting my own for everyone, clearing a room.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/HttpMethods.h"
#include "store/StoreCall.h"

void LocalStore::hideForMe(const QUuid &messageId)
{
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry || entry->message.kind == MessageKind::system)
        return;
    const QUuid roomId = entry->message.conversationId;
    // A send the service has not confirmed (failed, or still on its way) is only an echo, under
    // an id the service never gave out; should the service's copy turn up, the hide goes then.
    const bool known = MessageIndex::confirmed(entry->message);
    editMessages([&](MessageIndex &index) {
        index.update(entry, [](ChatMessage &m) { m.hiddenForMe = true; });
    });
    persist();
    if (m_client && known)
        postMessageAction(messageId, false, roomId);
}

bool LocalStore::deleteForEveryone(const QUuid &messageId)
{
    if (!canDeleteForEveryone(messageId))
        return false;
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry)
        return false;
    const QUuid roomId = entry->message.conversationId;
    // The message keeps its place, seq and time; only its content goes.
    editMessages([&](MessageIndex &index) {
        index.update(entry, [](ChatMessage &m) {
            m.kind = MessageKind::deleted;
            m.body.clear();
            m.imageJPEG.reset();
            m.origin = MessageOrigin::user;
        });
    });
    persist();
    if (m_client)
        postMessageAction(messageId, true, roomId);
    return true;
}

QCoro::Task<> LocalStore::postMessageAction(QUuid messageId, bool deleting, QUuid roomId)
{
    if (!m_client)
        co_return;
    const ChatPath path = deleting ? ChatPath::deleteMessage(wireId(messageId))
                                   : ChatPath::hideMessage(wireId(messageId));
    std::exception_ptr failure;
    co_await StoreCall::attempt(this, m_client->request(kPost, path),
                                [&](const std::exception_ptr &error) { failure = error; });
    if (!failure)
        co_return; // done, or the store is gone
    // A refused deletion gives way to the service's state of the room (the reload reports its
    // own failures); a refused hide stays hidden here.
    if (deleting) {
        const bool alive = co_await StoreCall::settle(this, loadRoom(roomId));
        if (!alive)
            co_return;
    }
    showAPI(failure);
}

void LocalStore::hideFoundSend(const ChatMessage &found)
{
    if (!m_client || !MessageIndex::confirmed(found))
        return;
    // Without it the service would hand the message out again with the next page of the room.
    // Queued: the merge that found it is still editing the messages.
    QMetaObject::invokeMethod(
        this,
        [this, id = found.id, roomId = found.conversationId] {
            postMessageAction(id, false, roomId);
        },
        Qt::QueuedConnection);
}

void LocalStore::clearMessages(const QUuid &roomId)
{
    // Every message of the room is hidden here; the service hears of those that were not
    // hidden yet and are not system lines nor sends it has not confirmed (echoes it never had),
    // in store order. The room's own entries are changed:
    // an id that also occurs in another room must not reach that room's message instead.
    const QList<const MessageIndex::Entry *> entries = m_messages.roomEntries(roomId);
    QList<QUuid> toSend;
    for (const MessageIndex::Entry *entry : entries) {
        const ChatMessage &m = entry->message;
        if (!m.hiddenForMe && m.kind != MessageKind::system && MessageIndex::confirmed(m))
            toSend.append(m.id);
    }
    editMessages([&](MessageIndex &index) {
        // Hiding changes none of an entry's keys, so every entry stays where it is.
        for (const MessageIndex::Entry *entry : entries) {
            if (!entry->message.hiddenForMe)
                index.update(entry, [](ChatMessage &m) { m.hiddenForMe = true; });
        }
    });
    persist();
    if (m_client && !toSend.isEmpty())
        hideAllLive(toSend);
}

QCoro::Task<> LocalStore::hideAllLive(QList<QUuid> messageIds)
{
    if (!m_client)
        co_return;
    ChatClient *client = m_client.get();
    // One request at a time; a refusal is shown and the next id still goes.
    for (const QUuid &id : std::as_const(messageIds)) {
        const ChatPath path = ChatPath::hideMessage(wireId(id));
        const bool alive = co_await StoreCall::settle(this, client->request(kPost, path));
        if (!alive)
            co_return;
    }
}
