// What the conversation room asks while it draws: the transcript, read marks, typing, whether
// the composer may be used, reply quotes and the delete-for-everyone window.

#include "store/LocalStore.h"

QList<ChatMessage> LocalStore::visibleMessages(const QUuid &roomId) const
{
    return m_messages.roomMessages(roomId, false);
}

bool LocalStore::isReadByPeer(const QUuid &messageId) const
{
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry)
        return false;
    const ChatMessage &m = entry->message;
    const int index = conversationIndex(m.conversationId);
    if (index < 0 || m_conversations.at(index).kind != ConversationKind::direct)
        return false;
    for (const Membership &member : m_conversations.at(index).memberships) {
        if (member.userId != m.senderId)
            return member.lastReadSeq >= m.seq;
    }
    return false;
}

std::optional<QString> LocalStore::typingLabel(const QUuid &roomId) const
{
    if (!m_client)
        return std::nullopt;
    const auto entry = m_typingState.constFind(roomId);
    if (entry == m_typingState.cend())
        return std::nullopt;
    if (m_session && entry.value() == m_session->meId)
        return std::nullopt;
    const std::optional<Conversation> room = conversation(roomId);
    if (!room || isOfficial(*room))
        return std::nullopt;
    return QStringLiteral("입력 중");
}

std::optional<ComposeBlock> LocalStore::composeBlock(const QUuid &roomId) const
{
    const int index = conversationIndex(roomId);
    if (index < 0 || !m_session)
        return std::nullopt;
    const Conversation &room = m_conversations.at(index);
    const QUuid me = m_session->meId;
    if (room.kind == ConversationKind::group) {
        for (const Membership &m : room.memberships) {
            if (m.userId == me)
                return m.leftAt ? std::optional(ComposeBlock::leftGroup) : std::nullopt;
        }
        return std::nullopt;
    }
    const Membership *peer = nullptr;
    for (const Membership &m : room.memberships) {
        if (m.userId != me) {
            peer = &m;
            break;
        }
    }
    if (!peer)
        return ComposeBlock::peerGone;
    if (m_blocks.contains(peer->userId))
        return ComposeBlock::blocked;
    if (peer->leftAt)
        return ComposeBlock::peerGone;
    const int accountAt = accountIndex(peer->userId);
    if (accountAt < 0)
        return std::nullopt;
    const Account &other = m_accounts.at(accountAt);
    if (other.kind == AccountKind::official && !other.acceptsUserMessages)
        return ComposeBlock::inboxClosed;
    return std::nullopt;
}

QString LocalStore::replyPreview(const QUuid &messageId) const
{
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry || entry->message.hiddenForMe || entry->message.kind == MessageKind::deleted)
        return kDeletedMessageText;
    if (entry->message.kind == MessageKind::image)
        return kPhotoText;
    return entry->message.body;
}

bool LocalStore::canDeleteForEveryone(const QUuid &messageId) const
{
    const MessageIndex::Entry *entry = m_messages.find(messageId);
    if (!entry || !m_session)
        return false;
    const ChatMessage &m = entry->message;
    if (m.kind == MessageKind::system || m.kind == MessageKind::deleted)
        return false;
    if (m.senderId != m_session->meId)
        return false;
    // A failed send never reached the service: there is nothing to delete for the others.
    if (m.delivery == DeliveryState::failed)
        return false;
    const qint64 elapsedMs = m.createdAt.msecsTo(QDateTime::currentDateTimeUtc());
    return elapsedMs <= 600'000;
}
