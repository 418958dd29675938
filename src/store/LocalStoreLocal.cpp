// The local modes' side of official accounts and direct rooms: messages from an official
// account, opening a direct room, and the official-account links.

#include "store/LocalStore.h"

std::optional<QUuid> LocalStore::receiveOfficialMessage(const QUuid &accountId, const QString &body,
                                                        MessageOrigin origin, bool despiteOptOut,
                                                        std::optional<QString> idempotencyKey)
{
    if (m_client)
        return std::nullopt;
    if (idempotencyKey) {
        bool delivered = false;
        m_messages.forEach([&](const MessageIndex::Entry &e) {
            if (e.message.idempotencyKey == idempotencyKey)
                delivered = true;
        });
        if (delivered)
            return std::nullopt;
    }
    if (m_blocks.contains(accountId))
        return std::nullopt;
    if (isOptOut(accountId) && !despiteOptOut)
        return std::nullopt;
    followOfficial(accountId);
    const std::optional<QUuid> roomId = openDirect(accountId);
    if (!roomId)
        return std::nullopt;

    ChatMessage m = newLocalMessage(*roomId, accountId, MessageKind::text, origin, body);
    m.idempotencyKey = idempotencyKey;
    editMessages([&](MessageIndex &index) { index.append(m); });
    touch(*roomId, false);
    persist();
    return m.id;
}

std::optional<QUuid> LocalStore::openDirect(const QUuid &userId)
{
    if (m_client || !m_session || userId == m_session->meId)
        return std::nullopt;
    const std::optional<Account> other = account(userId);
    if (other && other->kind == AccountKind::official) {
        if (!other->verified || other->status != AccountStatus::active || m_blocks.contains(userId))
            return std::nullopt;
        followOfficial(userId);
    } else if (friendState(userId) != FriendState::friends) {
        return std::nullopt;
    }

    if (std::optional<Conversation> room = directConversation(userId)) {
        room->hiddenFromList = false;
        replaceConversation(*room);
        persist();
        return room->id;
    }

    const QDateTime now = QDateTime::currentDateTimeUtc();
    Conversation room;
    room.id = QUuid::createUuid();
    room.kind = ConversationKind::direct;
    room.memberships = {
        Membership{m_session->meId, MemberRole::owner, 0, now, std::nullopt},
        Membership{userId, MemberRole::member, 0, now, std::nullopt},
    };
    room.createdAt = now;
    room.updatedAt = now;
    editConversations([&](QList<Conversation> &list) { list.append(room); });
    persist();
    return room.id;
}

void LocalStore::followOfficial(const QUuid &accountId)
{
    const bool linked
        = std::any_of(m_officialLinks.cbegin(), m_officialLinks.cend(),
                      [&](const OfficialLink &l) { return l.accountId == accountId; });
    if (!linked)
        editOfficialLinks([&](QList<OfficialLink> &list) {
            list.append(OfficialLink{accountId, false});
        });
}

void LocalStore::setOptOutLocal(const QUuid &accountId, bool optOut)
{
    for (int i = 0; i < m_officialLinks.size(); ++i) {
        if (m_officialLinks.at(i).accountId == accountId) {
            editOfficialLinks([&](QList<OfficialLink> &list) { list[i].broadcastOptOut = optOut; });
            return;
        }
    }
}
