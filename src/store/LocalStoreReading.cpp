// Reading a room: the read mark and its receipt, the newest page when a room opens, older
// pages, and photo bytes fetched by the viewer.

#include "store/LocalStore.h"

#include "api/ChatClient.h"

#include <QPointer>

#include <limits>

namespace {

// The service's page size: a full page means that older messages may exist.
constexpr int kPageSize = 50;

} // namespace

void LocalStore::markRead(const QUuid &roomId)
{
    if (!m_session)
        return;
    const int index = conversationIndex(roomId);
    if (index < 0)
        return;
    const qint64 top = m_messages.highestSeq(roomId).value_or(0);
    Conversation room = m_conversations.at(index);
    Membership *mine = nullptr;
    for (Membership &m : room.memberships) {
        if (m.userId == m_session->meId) {
            mine = &m;
            break;
        }
    }
    if (!mine)
        return;
    if (mine->lastReadSeq == top) {
        refreshBadge();
        return;
    }
    // Inequality, not "greater": after the room's messages were cleared the mark comes down.
    mine->lastReadSeq = top;
    if (m_client) {
        if (m_remoteUnread.value(roomId, -1) != 0)
            editRemoteUnread([&](QHash<QUuid, int> &map) { map.insert(roomId, 0); });
        replaceConversation(room);
        persist();
        refreshBadge();
        if (top > 0)
            postReadReceipt(roomId, top);
        return;
    }
    replaceConversation(room);
    persist();
    refreshBadge();
}

QCoro::Task<> LocalStore::postReadReceipt(QUuid roomId, qint64 seq)
{
    // The receipt belongs to the client: it may finish after the store has moved on.
    QPointer<ChatClient> client(m_client.get());
    try {
        co_await client->read(roomId, seq);
    } catch (...) {
        // A lost receipt is not worth a notice; the next read sends a newer one.
    }
}

QCoro::Task<> LocalStore::loadRoom(QUuid roomId)
{
    if (!m_client)
        co_return;
    QPointer<LocalStore> self(this);
    QList<APIMessage> wirePage;
    try {
        wirePage = co_await m_client->messages(roomId);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
        co_return;
    }
    if (!self)
        co_return;

    QList<ChatMessage> page;
    page.reserve(wirePage.size());
    qint64 floor = std::numeric_limits<qint64>::max();
    for (const APIMessage &wire : std::as_const(wirePage)) {
        page.append(mapMessage(wire));
        floor = std::min(floor, page.last().seq);
    }
    QSet<QUuid> pageClientIds;
    QSet<QUuid> pageIds;
    for (const ChatMessage &m : std::as_const(page)) {
        pageClientIds.insert(m.clientMsgId);
        pageIds.insert(m.id);
    }

    bool keptOlder = false;
    editMessages([&](MessageIndex &index) {
        // The room's messages as they are now, after the wait: echoes sent meanwhile count.
        const QList<ChatMessage> previous = index.takeRoom(roomId);
        QHash<QUuid, const ChatMessage *> previousByClientId;
        for (const ChatMessage &m : previous) {
            if (!previousByClientId.contains(m.clientMsgId))
                previousByClientId.insert(m.clientMsgId, &m);
        }

        for (ChatMessage &m : page) {
            const ChatMessage *before = previousByClientId.value(m.clientMsgId, nullptr);
            if (!before)
                continue;
            if (!m.imageJPEG)
                m.imageJPEG = before->imageJPEG;
            if (!m.imageURL)
                m.imageURL = before->imageURL;
            if (m.kind == MessageKind::image && m.caption().isEmpty()
                && before->kind == MessageKind::image && !before->caption().isEmpty())
                m.body = before->body;
            // An echo that the page answers hands over its reply link too, as the merge of a
            // send's answer does; a message reloaded from the service never carries one.
            if (!m.replyToId && before->delivery != DeliveryState::sent)
                m.replyToId = before->replyToId;
        }

        for (const ChatMessage &m : previous) {
            const bool unanswered
                = m.delivery == DeliveryState::sending || m.delivery == DeliveryState::failed;
            const bool older = m.seq < floor;
            if (!unanswered && !older)
                continue;
            // The page holds the service's copy of this message: showing both would show it
            // twice.
            if (pageClientIds.contains(m.clientMsgId) || pageIds.contains(m.id))
                continue;
            keptOlder = keptOlder || older;
            index.append(m);
        }
        for (const ChatMessage &m : std::as_const(page))
            index.append(m);
    });

    if (page.size() >= kPageSize) {
        if (!m_olderRooms.contains(roomId))
            editOlderRooms([&](QSet<QUuid> &set) { set.insert(roomId); });
    } else if (!keptOlder && m_olderRooms.contains(roomId)) {
        editOlderRooms([&](QSet<QUuid> &set) { set.remove(roomId); });
    }
    markRead(roomId);
}

QCoro::Task<> LocalStore::loadOlder(QUuid roomId)
{
    if (!m_client || !m_olderRooms.contains(roomId))
        co_return;
    std::optional<qint64> lowest;
    m_messages.forEachInRoom(roomId, [&](const MessageIndex::Entry &e) {
        if (e.message.delivery == DeliveryState::sending)
            return true;
        lowest = e.message.seq; // the walk is ascending: the first one is the lowest
        return false;
    });
    if (!lowest)
        co_return;
    QPointer<LocalStore> self(this);
    QList<APIMessage> wirePage;
    try {
        wirePage = co_await m_client->messages(roomId, std::nullopt, *lowest);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
        co_return;
    }
    if (!self)
        co_return;
    if (wirePage.size() < kPageSize && m_olderRooms.contains(roomId))
        editOlderRooms([&](QSet<QUuid> &set) { set.remove(roomId); });
    if (wirePage.isEmpty())
        co_return;
    editMessages([&](MessageIndex &) {
        for (const APIMessage &wire : std::as_const(wirePage))
            mergeQuietly(mapMessage(wire));
    });
}

void LocalStore::cacheMessageImage(const QUuid &messageId, const QByteArray &data)
{
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry)
        return;
    editMessages([&](MessageIndex &index) {
        index.update(entry, [&](ChatMessage &m) { m.imageJPEG = data; });
    });
}
