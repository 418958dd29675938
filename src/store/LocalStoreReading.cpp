// Reading a room: the read mark and its receipt, the newest page when a room opens, older
// pages, and photo bytes fetched by the viewer.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "store/CatchUp.h"
#include "store/StoreCall.h"

#include <QPointer>

#include <limits>

namespace {

constexpr int kPageSize = CatchUp::kPageSize;

} // namespace

void LocalStore::markRead(const QUuid &roomId)
{
    if (!m_session)
        return;
    const int index = conversationIndex(roomId);
    if (index < 0)
        return;
    // Live, only what the service confirmed counts as read: a send still on its way or failed
    // holds a provisional seq that later messages of others may take.
    const qint64 top = m_client ? m_messages.highestConfirmedSeq(roomId).value_or(0)
                                : m_messages.highestSeq(roomId).value_or(0);
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
        // One room's count: the badge is counted again for that room alone.
        setRoomUnread(roomId, 0);
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
    const std::optional<QList<APIMessage>> answer
        = co_await StoreCall::attempt(this, m_client->messages(roomId));
    if (!answer)
        co_return;
    const QList<APIMessage> &wirePage = *answer;

    QList<ChatMessage> page;
    page.reserve(wirePage.size());
    qint64 floor = std::numeric_limits<qint64>::max();
    for (const APIMessage &wire : std::as_const(wirePage)) {
        page.append(mapMessage(wire));
        floor = std::min(floor, page.last().seq);
    }

    // A full page may not reach down to the older messages held: the stretch between is
    // fetched, or, when it is too long, the held ones below it go.
    bool keepOlder = true;
    if (page.size() >= kPageSize) {
        std::optional<qint64> below;
        m_messages.forEachInRoom(roomId, [&](const MessageIndex::Entry &e) {
            if (e.place >= floor)
                return false;
            if (MessageIndex::confirmed(e.message))
                below = e.message.seq;
            return true;
        });
        if (below && *below + 1 < floor) {
            const std::optional<CatchUp::GapFill> fetched
                = co_await StoreCall::attempt(this, m_catchUp->fetchGap(roomId, *below, floor));
            if (!fetched)
                co_return;
            const CatchUp::GapFill &fill = *fetched;
            keepOlder = fill.joined;
            if (!fill.messages.isEmpty()) {
                floor = std::min(floor, fill.messages.first().seq);
                page = fill.messages + page;
            }
        }
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
        QHash<QUuid, ChatMessage> previousByClientId;
        for (const MessageIndex::Entry *e : index.roomEntries(roomId)) {
            if (!previousByClientId.contains(e->message.clientMsgId))
                previousByClientId.insert(e->message.clientMsgId, e->message);
        }

        for (ChatMessage &m : page) {
            const auto before = previousByClientId.constFind(m.clientMsgId);
            if (before == previousByClientId.cend()) {
                m_catchUp->putBack(m);
                continue;
            }
            m_catchUp->carryOver(m, *before);
            // An echo that the page answers hands over its reply link too, as the merge of a
            // send's answer does; a message reloaded from the service never carries one.
            if (!m.replyToId && before->delivery != DeliveryState::sent)
                m.replyToId = before->replyToId;
        }

        // What stays keeps its place: a failed send stays where it was sent.
        index.removeFromRoom(roomId, [&](const ChatMessage &m) {
            const bool unanswered = !MessageIndex::confirmed(m);
            const bool older = m.seq < floor && keepOlder;
            if (!unanswered && !older) {
                // Below a gap too long to fill: the message loads again later, on its own.
                if (m.seq < floor && !pageIds.contains(m.id))
                    m_catchUp->keepAside(m);
                return true;
            }
            // The page holds the service's copy of this message: showing both would show it
            // twice.
            if (pageClientIds.contains(m.clientMsgId) || pageIds.contains(m.id))
                return true;
            keptOlder = keptOlder || m.seq < floor;
            return false;
        });
        for (const ChatMessage &m : std::as_const(page))
            index.append(m);
    });

    if (page.size() >= kPageSize || !keepOlder) {
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
    // Below the oldest message the service confirmed: an unconfirmed send's seq is not a place
    // in the service's order.
    const std::optional<qint64> lowest = m_messages.lowestConfirmedSeq(roomId);
    if (!lowest)
        co_return;
    const std::optional<QList<APIMessage>> answer
        = co_await StoreCall::attempt(this, m_client->messages(roomId, std::nullopt, *lowest));
    if (!answer)
        co_return;
    const QList<APIMessage> &wirePage = *answer;
    if (wirePage.size() < kPageSize && m_olderRooms.contains(roomId))
        editOlderRooms([&](QSet<QUuid> &set) { set.remove(roomId); });
    if (wirePage.isEmpty())
        co_return;
    editMessages([&](MessageIndex &) {
        for (const APIMessage &wire : std::as_const(wirePage))
            m_catchUp->merge(mapMessage(wire));
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
