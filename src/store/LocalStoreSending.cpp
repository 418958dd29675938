// Sending texts and photos: the local echo, the live send task and its merge or failure, the
// local delivery, typing, and the small helpers around them.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "model/TextLimits.h"
#include "store/CatchUp.h"
#include "store/StoreCall.h"

#include <QCoroTimer>

namespace { } // namespace

// ---------------------------------------------------------------------------------------------
// The room's operations

std::optional<QUuid> LocalStore::sendText(const QUuid &conversationId, const QString &body,
                                          std::optional<QUuid> replyTo)
{
    const QString text = firstGraphemes(trimmedText(body), TextLimit::message);
    if (text.isEmpty() || composeBlock(conversationId))
        return std::nullopt;
    if (m_client)
        return queueLiveText(conversationId, text, replyTo);
    return sendLocal(conversationId, MessageKind::text, text, std::nullopt, replyTo);
}

std::optional<QUuid> LocalStore::sendImage(const QUuid &conversationId, const QByteArray &jpeg,
                                           const QString &caption, std::optional<QUuid> replyTo)
{
    if (jpeg.isEmpty() || composeBlock(conversationId))
        return std::nullopt;
    const QString text = firstGraphemes(trimmedText(caption), TextLimit::message);
    if (m_client)
        return queueLiveImage(conversationId, jpeg, text, replyTo);
    return sendLocal(conversationId, MessageKind::image, text, jpeg, replyTo);
}

std::optional<QUuid> LocalStore::sendLocal(const QUuid &roomId, MessageKind kind,
                                           const QString &body,
                                           const std::optional<QByteArray> &jpeg,
                                           std::optional<QUuid> replyTo)
{
    if (!m_session || conversationIndex(roomId) < 0)
        return std::nullopt;
    const ChatMessage m = echoMessage(roomId, kind, body, jpeg, replyTo);
    merge(m, false);
    touch(roomId, true);
    persist();
    deliverLocally(m.id);
    return m.id;
}

void LocalStore::noteTyping(const QUuid &roomId, bool active)
{
    if (!m_client)
        return;
    if (active) {
        if (m_typingSentRooms.contains(roomId))
            return;
        editTypingSentRooms([&](QSet<QUuid> &set) { set.insert(roomId); });
        m_client->sendTyping(roomId, true);
    } else {
        if (!m_typingSentRooms.contains(roomId))
            return;
        editTypingSentRooms([&](QSet<QUuid> &set) { set.remove(roomId); });
        m_client->sendTyping(roomId, false);
    }
}

// ---------------------------------------------------------------------------------------------
// Live sends

std::optional<QUuid> LocalStore::queueLiveText(const QUuid &conversationId, const QString &body,
                                               std::optional<QUuid> replyTo)
{
    if (!m_session || !m_client)
        return std::nullopt;
    // One UUID serves as both the message id and the client id that the service echoes back.
    ChatMessage m = echoMessage(conversationId, MessageKind::text, body, std::nullopt, replyTo);
    m.clientMsgId = m.id;
    const QUuid id = m.id;
    merge(m, false);
    touch(conversationId, true);
    sendLiveText(conversationId, id, body, replyTo);
    return id;
}

std::optional<QUuid> LocalStore::queueLiveImage(const QUuid &conversationId, const QByteArray &jpeg,
                                                const QString &caption,
                                                std::optional<QUuid> replyTo)
{
    if (!m_session || !m_client)
        return std::nullopt;
    // One UUID serves as both the message id and the client id that the service echoes back.
    ChatMessage m = echoMessage(conversationId, MessageKind::image, caption, jpeg, replyTo);
    m.clientMsgId = m.id;
    const QUuid id = m.id;
    merge(m, false);
    touch(conversationId, true);
    sendLiveImage(conversationId, id, jpeg, caption, replyTo);
    return id;
}

void LocalStore::sendFailed(const QUuid &conversationId, const QUuid &echoId,
                            const std::exception_ptr &failure)
{
    markFailed(echoId);
    m_catchUp->noteUnsettled(echoId, failure);
    noteInboxClosed(failure, conversationId);
    showAPI(failure);
}

QCoro::Task<> LocalStore::sendLiveText(QUuid conversationId, QUuid echoId, QString body,
                                       std::optional<QUuid> replyTo)
{
    const auto failed
        = [&](const std::exception_ptr &failure) { sendFailed(conversationId, echoId, failure); };
    const std::optional<APIMessage> answer = co_await StoreCall::attempt(
        this, m_client->sendMessage(conversationId, echoId, body), failed);
    if (!answer)
        co_return;
    merge(mapMessage(*answer), false);
    keepReply(echoId, replyTo);
}

QCoro::Task<> LocalStore::sendLiveImage(QUuid conversationId, QUuid echoId, QByteArray jpeg,
                                        QString caption, std::optional<QUuid> replyTo)
{
    const auto failed
        = [&](const std::exception_ptr &failure) { sendFailed(conversationId, echoId, failure); };
    const std::optional<APIMessage> answer = co_await StoreCall::attempt(
        this, m_client->sendImages(conversationId, echoId, jpeg), failed);
    if (!answer)
        co_return;
    merge(mapMessage(*answer), false);
    keepReply(echoId, replyTo);
    if (caption.isEmpty())
        co_return;
    // The service knows nothing of the caption: it lives on this copy only.
    if (const MessageIndex::Entry *sent = m_messages.findByClientId(echoId)) {
        editMessages([&](MessageIndex &index) {
            index.update(sent, [&](ChatMessage &m) {
                if (m.body == kPhotoText)
                    m.body = caption;
                m.imageJPEG = jpeg;
            });
        });
    }
}

void LocalStore::keepReply(const QUuid &clientMsgId, std::optional<QUuid> replyTo)
{
    if (!replyTo)
        return;
    const MessageIndex::Entry *entry = m_messages.findByClientId(clientMsgId);
    if (!entry)
        return;
    editMessages([&](MessageIndex &index) {
        index.update(entry, [&](ChatMessage &m) {
            m.replyToId = replyTo;
            m.delivery = DeliveryState::sent;
        });
    });
}

void LocalStore::markFailed(const QUuid &clientMsgId)
{
    const MessageIndex::Entry *entry = m_messages.findByClientId(clientMsgId);
    if (!entry)
        return;
    editMessages([&](MessageIndex &index) {
        index.update(entry, [](ChatMessage &m) { m.delivery = DeliveryState::failed; });
    });
}

void LocalStore::noteInboxClosed(const std::exception_ptr &error, const QUuid &conversationId)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const ChatAPIError &e) {
        if (e.code != u"inbox_closed")
            return;
        const std::optional<Conversation> room = conversation(conversationId);
        if (!room)
            return;
        std::optional<Account> other = otherAccount(*room);
        if (!other)
            return;
        other->acceptsUserMessages = false;
        replaceAccount(*other);
    } catch (...) { }
}

// ---------------------------------------------------------------------------------------------
// Local delivery

QCoro::Task<> LocalStore::deliverLocally(QUuid messageId)
{
    const bool alive
        = co_await StoreCall::settle(this, QCoro::sleepFor(m_deliveryDelay), StoreCall::quiet);
    if (alive)
        markDelivered(messageId);
}

void LocalStore::markDelivered(const QUuid &messageId)
{
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry || entry->message.delivery != DeliveryState::sending)
        return;
    editMessages([&](MessageIndex &index) {
        index.update(entry, [](ChatMessage &m) { m.delivery = DeliveryState::sent; });
    });
    persist();
}

// ---------------------------------------------------------------------------------------------
// Helpers

qint64 LocalStore::nextSeq(const QUuid &roomId) const
{
    return m_messages.highestSeq(roomId).value_or(0) + 1;
}

void LocalStore::touch(const QUuid &roomId, bool unhide)
{
    const int index = conversationIndex(roomId);
    if (index < 0)
        return;
    Conversation room = m_conversations.at(index);
    room.updatedAt = QDateTime::currentDateTimeUtc();
    if (unhide) {
        room.hiddenFromList = false;
        if (m_hiddenRoomIDs.contains(roomId))
            editHiddenRoomIDs([&](QSet<QUuid> &set) { set.remove(roomId); });
        saveHidden();
    }
    replaceConversation(room);
}

void LocalStore::appendSystem(const QUuid &roomId, const QString &text, bool unhide)
{
    if (!m_session)
        return;
    const ChatMessage m
        = newLocalMessage(roomId, m_session->meId, MessageKind::system, MessageOrigin::user, text);
    editMessages([&](MessageIndex &index) { index.append(m); });
    touch(roomId, unhide);
}

ChatMessage LocalStore::newLocalMessage(const QUuid &roomId, const QUuid &sender, MessageKind kind,
                                        MessageOrigin origin, const QString &body) const
{
    ChatMessage m;
    m.id = QUuid::createUuid();
    m.clientMsgId = QUuid::createUuid();
    m.conversationId = roomId;
    m.senderId = sender;
    m.seq = nextSeq(roomId);
    m.kind = kind;
    m.origin = origin;
    m.body = body;
    m.createdAt = QDateTime::currentDateTimeUtc();
    m.delivery = DeliveryState::sent;
    m.hiddenForMe = false;
    return m;
}

ChatMessage LocalStore::echoMessage(const QUuid &roomId, MessageKind kind, const QString &body,
                                    const std::optional<QByteArray> &jpeg,
                                    std::optional<QUuid> replyTo) const
{
    ChatMessage m = newLocalMessage(roomId, m_session->meId, kind, MessageOrigin::user, body);
    m.imageJPEG = jpeg;
    m.replyToId = replyTo;
    m.delivery = DeliveryState::sending;
    return m;
}
