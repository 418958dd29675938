// Giving the views a room: the direct room with another user and a new group room.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "model/TextLimits.h"

#include <QPointer>

namespace {

constexpr int kMaxTitleCharacters = 40;
constexpr int kMaxOtherGroupMembers = 19; // with me, 20 active members

} // namespace

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

    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    const std::optional<Account> other = account(userId);
    QUuid roomId;
    try {
        if (other && other->kind == AccountKind::official) {
            const QUuid officialId = co_await resolveOfficial(userId);
            if (!self)
                co_return std::nullopt;
            roomId = co_await client->follow(officialId);
        } else {
            roomId = co_await client->createDirect(userId);
        }
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
        co_return std::nullopt;
    }
    if (!self)
        co_return std::nullopt;
    co_await reloadRemote();
    co_return roomId;
}

QCoro::Task<std::optional<QUuid>> LocalStore::openGroup(QList<QUuid> memberIds, QString title)
{
    if (!m_client)
        co_return createGroup(memberIds, title);

    const QString typed = trimmedText(title);
    const QString chosen = firstGraphemes(typed.isEmpty() ? suggestedGroupTitle(memberIds) : typed,
                                          kMaxTitleCharacters);
    if (chosen.isEmpty()) {
        showNotice(QStringLiteral("방 이름을 확인해 주세요."));
        co_return std::nullopt;
    }
    // The service decides who may join and how many; the members go as given.
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    QUuid roomId;
    try {
        roomId = co_await client->createGroup(chosen, memberIds);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
        co_return std::nullopt;
    }
    if (!self)
        co_return std::nullopt;
    co_await reloadRemote();
    co_return roomId;
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
    if (members.isEmpty() || members.size() > kMaxOtherGroupMembers)
        return std::nullopt;
    const QString typed = trimmedText(title);
    const QString chosen = firstGraphemes(typed.isEmpty() ? suggestedGroupTitle(members) : typed,
                                          kMaxTitleCharacters);

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
                     (member ? member->displayName : QStringLiteral("알 수 없음"))
                         + QStringLiteral("님이 들어왔습니다."),
                     true);
    }
    persist();
    return room.id;
}
