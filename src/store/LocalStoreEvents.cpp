// Live events from the socket and the merge that puts one message into the store (its rule is
// the catch-up's, CatchUp::merge()).

#include "store/LocalStore.h"

#include "api/ChatEvent.h"
#include "store/CatchUp.h"

#include <QTimer>

using namespace std::chrono_literals;

namespace {

constexpr auto kTypingExpiry = 3s;
constexpr qint64 kSoundSpacingMs = 500;

} // namespace

// ---------------------------------------------------------------------------------------------
// Merge

void LocalStore::countIncoming(const ChatMessage &message)
{
    if (m_session && message.senderId == m_session->meId)
        return;
    if (message.kind == MessageKind::system)
        return;
    setRoomUnread(message.conversationId, m_remoteUnread.value(message.conversationId, 0) + 1);
}

void LocalStore::merge(const ChatMessage &message, bool countUnread)
{
    const bool appended = m_catchUp->merge(message);
    announceMessages();
    if (appended && countUnread)
        countIncoming(message);
}

// ---------------------------------------------------------------------------------------------
// Events

void LocalStore::apply(const ChatEvent &event)
{
    switch (event.kind) {
    case ChatEvent::Kind::message:
        applyMessageEvent(event.message);
        break;
    case ChatEvent::Kind::read:
        applyReadEvent(event.conversationId, event.userId, event.seq);
        break;
    case ChatEvent::Kind::typing:
        applyTypingEvent(event.conversationId, event.userId, event.active);
        break;
    case ChatEvent::Kind::conversationChanged:
        refreshRoomsSoon();
        break;
    case ChatEvent::Kind::friendRequest:
        fetchFriendRequestsSoon();
        break;
    }
}

void LocalStore::applyMessageEvent(const APIMessage &wire)
{
    const ChatMessage m = mapMessage(wire);
    const bool appended = m_catchUp->merge(m);
    announceMessages();
    if (appended)
        countIncoming(m);

    const int index = conversationIndex(m.conversationId);
    if (index < 0) {
        // A message for a room the list does not hold yet: the room is new to this client.
        refreshRoomsSoon();
    } else if (m_conversations.at(index).updatedAt != m.createdAt) {
        editConversationAt(index, [&](Conversation &room) { room.updatedAt = m.createdAt; });
    }
    if (appended)
        maybePlayIncomingSound(m);
    refreshBadge();
    if (appended && (!m_session || m.senderId != m_session->meId))
        emit messageArrived(m);
}

void LocalStore::maybePlayIncomingSound(const ChatMessage &m)
{
    if (!m_notificationSound || !m_session || m.senderId == m_session->meId
        || m.kind == MessageKind::system)
        return;
    const int index = conversationIndex(m.conversationId);
    if (index < 0 || m_conversations.at(index).muted)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (m_lastAlertAt.msecsTo(now) < kSoundSpacingMs)
        return;
    setLastAlertAt(now);
    emit incomingSound();
}

void LocalStore::applyReadEvent(const QUuid &roomId, const QUuid &userId, qint64 seq)
{
    const int index = conversationIndex(roomId);
    if (index < 0)
        return;
    const QList<Membership> &members = m_conversations.at(index).memberships;
    int at = -1;
    for (int i = 0; i < members.size(); ++i) {
        if (members.at(i).userId == userId) {
            at = i;
            break;
        }
    }
    // Read marks only move forward: frames may arrive out of order.
    if (at < 0 || members.at(at).lastReadSeq >= seq)
        return;
    editConversationAt(index, [&](Conversation &room) { room.memberships[at].lastReadSeq = seq; });
    if (m_session && userId == m_session->meId) {
        // Read on another device of mine: what is left unread is what lies above the mark.
        const int count = localUnread(m_conversations.at(index), userId);
        setRoomUnread(roomId, count);
        refreshBadge();
    }
}

void LocalStore::applyTypingEvent(const QUuid &roomId, const QUuid &userId, bool active)
{
    const quint64 generation = ++m_typingGeneration[roomId];
    if (!active) {
        const auto entry = m_typingState.constFind(roomId);
        if (entry != m_typingState.cend() && entry.value() == userId)
            editTypingState([&](QHash<QUuid, QUuid> &map) { map.remove(roomId); });
        return;
    }
    if (m_typingState.value(roomId) != userId)
        editTypingState([&](QHash<QUuid, QUuid> &map) { map.insert(roomId, userId); });
    // The line goes away by itself unless a newer typing event for the room arrives first.
    QTimer::singleShot(kTypingExpiry, this, [this, roomId, userId, generation] {
        if (m_typingGeneration.value(roomId) != generation)
            return;
        const auto entry = m_typingState.constFind(roomId);
        if (entry != m_typingState.cend() && entry.value() == userId)
            editTypingState([&](QHash<QUuid, QUuid> &map) { map.remove(roomId); });
    });
}
