// The room list, its search and the unread counts and marks.

#include "store/LocalStore.h"

#include "model/TextLimits.h"
#include "store/TextCompare.h"

#include <algorithm>

QList<Conversation> LocalStore::sortedList() const
{
    if (!m_session)
        return {};
    const QList<int> &order = roomOrder().order();
    QList<Conversation> rooms;
    rooms.reserve(order.size());
    for (int index : order)
        rooms.append(m_conversations.at(index));
    return rooms;
}

bool LocalStore::matches(const Conversation &room, const QString &query) const
{
    const QString text = trimmedText(query);
    if (text.isEmpty())
        return true;
    if (TextCompare::localizedContains(conversationTitle(room), text))
        return true;
    for (const Membership &m : room.memberships) {
        const int index = accountIndex(m.userId);
        if (index >= 0 && TextCompare::localizedContains(m_accounts.at(index).displayName, text))
            return true;
    }
    return false;
}

int LocalStore::localUnread(const Conversation &room, const QUuid &me) const
{
    const Membership *mine = nullptr;
    for (const Membership &m : room.memberships) {
        if (m.userId == me) {
            mine = &m;
            break;
        }
    }
    if (!mine)
        return 0;
    const quint64 version = m_messages.roomVersion(room.id);
    const auto memo = m_unreadMemo.constFind(room.id);
    if (memo != m_unreadMemo.cend() && memo->version == version && memo->me == me
        && memo->lastReadSeq == mine->lastReadSeq)
        return memo->count;
    int count = 0;
    m_messages.forEachInRoomAfter(room.id, mine->lastReadSeq, [&](const MessageIndex::Entry &e) {
        const ChatMessage &m = e.message;
        if (!m.hiddenForMe && m.senderId != me && m.kind != MessageKind::system)
            ++count;
    });
    m_unreadMemo.insert(room.id, UnreadMemo{version, me, mine->lastReadSeq, count});
    return count;
}

int LocalStore::unreadCount(const Conversation &room) const
{
    if (m_client) {
        const auto entry = m_remoteUnread.constFind(room.id);
        if (entry != m_remoteUnread.cend())
            return entry.value();
    }
    if (!m_session)
        return 0;
    return localUnread(room, m_session->meId);
}

bool LocalStore::showsUnreadDot(const Conversation &room) const
{
    if (room.kind == ConversationKind::group || !m_session)
        return false;
    const MessageIndex::Entry *last = m_messages.lastVisible(room.id);
    if (!last)
        return false;
    const ChatMessage &m = last->message;
    if (m.senderId != m_session->meId || m.delivery != DeliveryState::sent
        || m.kind == MessageKind::deleted)
        return false;
    qint64 peerRead = 0;
    for (const Membership &member : room.memberships) {
        if (member.userId != m_session->meId) {
            peerRead = member.lastReadSeq;
            break;
        }
    }
    return peerRead < m.seq;
}

int LocalStore::unreadOthers(const QUuid &messageId) const
{
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry)
        return 0;
    const ChatMessage &m = entry->message;
    const int index = conversationIndex(m.conversationId);
    if (index < 0)
        return 0;
    const Conversation &room = m_conversations.at(index);
    if (room.kind != ConversationKind::group)
        return 0;
    int count = 0;
    for (const Membership &member : room.memberships) {
        if (member.userId != m.senderId && !member.leftAt && member.lastReadSeq < m.seq)
            ++count;
    }
    return count;
}

void LocalStore::hideFromList(const QUuid &roomId)
{
    const int index = conversationIndex(roomId);
    if (index < 0)
        return;
    if (!m_hiddenRoomIDs.contains(roomId))
        editHiddenRoomIDs([&](QSet<QUuid> &set) { set.insert(roomId); });
    saveHidden();
    if (!m_conversations.at(index).hiddenFromList) {
        Conversation room = m_conversations.at(index);
        room.hiddenFromList = true;
        replaceConversation(room);
    }
    persist();
}
