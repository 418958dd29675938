// Giving the views a room: the direct room with another user and a new group room.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "model/TextLimits.h"
#include "store/StoreCall.h"

#include <QPointer>

namespace { } // namespace

QCoro::Task<std::optional<QUuid>> LocalStore::openChat(QUuid userId)
{
    if (!m_client)
        co_return openDirect(userId);

    if (std::optional<Conversation> room = directConversation(userId)) {
        // The room is already there: bring it back into the list, no request needed.
        room->hiddenFromList = false;
        if (m_hiddenRoomIDs.contains(room->id))
            editHiddenRoomIDs([&](QSet<QUuid> &set) { set.remove(room->id); });
        replaceConversation(*room);
        saveHidden();
        co_return room->id;
    }

    const std::optional<Account> other = account(userId);
    if (other && other->kind == AccountKind::official)
        co_return co_await adoptServiceRoom(followedOfficialRoom(userId));
    co_return co_await adoptServiceRoom(m_client->createDirect(userId));
}

QCoro::Task<QUuid> LocalStore::followedOfficialRoom(QUuid accountId)
{
    QPointer<LocalStore> self(this);
    const QUuid officialId = co_await resolveOfficial(accountId);
    if (!self || !m_client)
        throw ChatAPIError::invalidResponse(0); // the store is gone: nobody is told
    co_return co_await m_client->follow(officialId);
}

QCoro::Task<std::optional<QUuid>> LocalStore::adoptServiceRoom(QCoro::Task<QUuid> creation)
{
    const std::optional<QUuid> roomId = co_await StoreCall::attempt(this, std::move(creation));
    if (!roomId)
        co_return std::nullopt;
    // The new room enters the store only with the reload. The list gives a room without
    // messages no time, and one seen for the first time sorts low; a room the user has just
    // made goes to the top, as one made in the local modes does.
    const bool heldBefore = conversationIndex(*roomId) >= 0;
    const bool alive = co_await StoreCall::settle(this, reloadRemote());
    if (alive && !heldBefore)
        touch(*roomId, false);
    co_return roomId;
}

QCoro::Task<std::optional<QUuid>> LocalStore::openGroup(QList<QUuid> memberIds, QString title)
{
    if (!m_client)
        co_return createGroup(memberIds, title);

    const QString typed = trimmedText(title);
    const QString chosen = storedTitle(typed.isEmpty() ? suggestedGroupTitle(memberIds) : typed);
    if (chosen.isEmpty()) {
        showNotice(QStringLiteral("방 이름을 확인해 주세요."));
        co_return std::nullopt;
    }
    // The service decides who may join and how many; the members go as given.
    co_return co_await adoptServiceRoom(m_client->createGroup(chosen, memberIds));
}

bool LocalStore::canBeGroupMember(const QUuid &userId) const
{
    const std::optional<Account> other = account(userId);
    if (!other || other->kind != AccountKind::person || other->status != AccountStatus::active)
        return false;
    if (friendState(userId) != FriendState::friends || m_blocks.contains(userId))
        return false;
    return !(m_session && m_session->meId == userId);
}

std::optional<QUuid> LocalStore::createGroup(const QList<QUuid> &memberIds, const QString &title)
{
    if (m_client || !m_session)
        return std::nullopt;
    // A member named twice still joins once.
    QList<QUuid> members;
    for (const QUuid &id : memberIds) {
        if (!members.contains(id) && canBeGroupMember(id))
            members.append(id);
    }
    if (members.isEmpty() || members.size() >= TextLimit::groupMembers)
        return std::nullopt;
    const QString typed = trimmedText(title);
    const QString chosen = storedTitle(typed.isEmpty() ? suggestedGroupTitle(members) : typed);

    const QDateTime now = QDateTime::currentDateTimeUtc();
    Conversation room;
    room.id = QUuid::createUuid();
    room.kind = ConversationKind::group;
    room.title = chosen;
    room.memberships.append(Membership{m_session->meId, MemberRole::owner, 0, now, std::nullopt});
    for (const QUuid &id : std::as_const(members))
        room.memberships.append(Membership{id, MemberRole::member, 0, now, std::nullopt});
    room.createdAt = now;
    room.updatedAt = now;
    editConversations([&](QList<Conversation> &list) { list.append(room); });
    for (const QUuid &id : std::as_const(members)) {
        const std::optional<Account> member = account(id);
        appendSystem(room.id,
                     (member ? member->displayName : kUnknownName)
                         + QStringLiteral("님이 들어왔습니다."),
                     true);
    }
    persist();
    return room.id;
}
