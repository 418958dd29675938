// Who is in a room and what it is called (rename, invite, kick, leave), and the room's own
// settings (mute, pin, photo).

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/HttpMethods.h"
#include "model/TextLimits.h"

#include <QJsonObject>
#include <QPointer>

namespace {

constexpr int kMaxTitleCharacters = 40;
constexpr int kMaxActiveMembers = 20;
const QString kCheckTitle = QStringLiteral("방 이름을 확인해 주세요.");
const QString kUnknownName = QStringLiteral("알 수 없음");

// The first active membership of the user in the room, or -1.
qsizetype activeMembership(const Conversation &room, const QUuid &userId)
{
    for (qsizetype i = 0; i < room.memberships.size(); ++i) {
        const Membership &m = room.memberships.at(i);
        if (m.userId == userId && !m.leftAt)
            return i;
    }
    return -1;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Rename

void LocalStore::rename(const QUuid &roomId, const QString &title)
{
    if (m_client) {
        renameLive(roomId, title);
        return;
    }
    std::optional<Conversation> room = conversation(roomId);
    if (!room || room->kind != ConversationKind::group || !isOwner(*room))
        return;
    QString chosen = trimmedText(title);
    if (chosen.isEmpty()) {
        // An empty title falls back to the other members' names.
        QStringList names;
        for (const Membership &m : activeMembers(*room)) {
            if (m_session && m.userId == m_session->meId)
                continue;
            if (const std::optional<Account> member = account(m.userId))
                names.append(member->displayName);
        }
        chosen = names.join(QStringLiteral(", "));
    }
    chosen = firstGraphemes(chosen, kMaxTitleCharacters);
    if (chosen == room->title)
        return;
    room->title = chosen;
    room->updatedAt = QDateTime::currentDateTimeUtc();
    replaceConversation(*room);
    appendSystem(roomId, QStringLiteral("방 이름이 ") + chosen + QStringLiteral("로 바뀌었습니다."),
                 true);
    persist();
}

QCoro::Task<> LocalStore::renameLive(QUuid roomId, QString title)
{
    if (!m_client)
        co_return;
    const QString chosen = firstGraphemes(trimmedText(title), kMaxTitleCharacters);
    if (chosen.isEmpty()) {
        showNotice(kCheckTitle);
        co_return;
    }
    const QJsonObject body{{QStringLiteral("title"), chosen}};
    const ChatPath path = ChatPath::conversation(wireId(roomId));
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    try {
        co_await client->request(kPatch, path, body);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
        co_return;
    }
    if (!self)
        co_return;
    try {
        co_await reloadRemote();
    } catch (...) {
        // It reports its own failures; nothing may escape this detached task.
    }
}

// ---------------------------------------------------------------------------------------------
// Invite

void LocalStore::invite(const QUuid &roomId, const QUuid &userId)
{
    if (m_client) {
        inviteLive(roomId, userId);
        return;
    }
    std::optional<Conversation> room = conversation(roomId);
    if (!room || !isOwner(*room) || !canBeGroupMember(userId))
        return;
    if (activeMembers(*room).size() >= kMaxActiveMembers)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto existing = std::find_if(room->memberships.begin(), room->memberships.end(),
                                       [&](const Membership &m) { return m.userId == userId; });
    if (existing != room->memberships.end()) {
        if (!existing->leftAt)
            return; // already in the room
        // A former member comes back on the old membership, which keeps its read mark.
        existing->leftAt.reset();
        existing->joinedAt = now;
        existing->role = MemberRole::member;
    } else {
        room->memberships.append(Membership{userId, MemberRole::member, 0, now, std::nullopt});
    }
    room->updatedAt = now;
    replaceConversation(*room);
    const std::optional<Account> member = account(userId);
    appendSystem(
        roomId,
        (member ? member->displayName : kUnknownName) + QStringLiteral("님이 들어왔습니다."), true);
    persist();
}

QCoro::Task<> LocalStore::inviteLive(QUuid roomId, QUuid userId)
{
    if (!m_client)
        co_return;
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    const QList<QUuid> added{userId};
    try {
        co_await client->invite(roomId, added);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
        co_return;
    }
    if (!self)
        co_return;
    try {
        co_await reloadRemote();
    } catch (...) {
        // It reports its own failures; nothing may escape this detached task.
    }
}

// ---------------------------------------------------------------------------------------------
// Kick

void LocalStore::kick(const QUuid &roomId, const QUuid &userId)
{
    if (m_client) {
        kickLive(roomId, userId);
        return;
    }
    std::optional<Conversation> room = conversation(roomId);
    if (!room || !isOwner(*room) || (m_session && m_session->meId == userId))
        return;
    const qsizetype index = activeMembership(*room, userId);
    if (index < 0)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    room->memberships[index].leftAt = now;
    room->updatedAt = now;
    replaceConversation(*room);
    const std::optional<Account> member = account(userId);
    appendSystem(
        roomId,
        (member ? member->displayName : kUnknownName) + QStringLiteral("님을 내보냈습니다."), true);
    persist();
}

QCoro::Task<> LocalStore::kickLive(QUuid roomId, QUuid userId)
{
    if (!m_client)
        co_return;
    const std::optional<Conversation> kept = conversation(roomId);
    if (kept) {
        Conversation room = *kept;
        const qsizetype index = activeMembership(room, userId);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        if (index >= 0)
            room.memberships[index].leftAt = now;
        room.updatedAt = now;
        replaceConversation(room);
    }
    const ChatPath path = ChatPath::member(wireId(roomId), wireId(userId));
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    std::exception_ptr failure;
    try {
        co_await client->request(kDelete, path);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        if (kept)
            replaceConversation(*kept);
        showAPI(failure);
        co_return;
    }
    try {
        co_await reloadRemote();
    } catch (...) {
        // It reports its own failures; nothing may escape this detached task.
    }
}

// ---------------------------------------------------------------------------------------------
// Leave

void LocalStore::leaveGroup(const QUuid &roomId)
{
    if (m_client) {
        leaveLive(roomId);
        return;
    }
    std::optional<Conversation> room = conversation(roomId);
    if (!room || !m_session)
        return;
    const qsizetype index = activeMembership(*room, m_session->meId);
    if (index < 0)
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Membership &mine = room->memberships[index];
    const bool wasOwner = mine.role == MemberRole::owner;
    mine.leftAt = now;
    mine.role = MemberRole::member;
    if (wasOwner) {
        // The earliest-joined remaining member takes the room over; on equal times the first
        // in the room's order. With nobody left the room has no owner.
        qsizetype heir = -1;
        for (qsizetype i = 0; i < room->memberships.size(); ++i) {
            const Membership &m = room->memberships.at(i);
            if (m.leftAt)
                continue;
            if (heir < 0 || m.joinedAt < room->memberships.at(heir).joinedAt)
                heir = i;
        }
        if (heir >= 0)
            room->memberships[heir].role = MemberRole::owner;
    }
    room->hiddenFromList = true;
    room->updatedAt = now;
    replaceConversation(*room);
    const std::optional<Account> leaver = me();
    appendSystem(roomId,
                 (leaver ? leaver->displayName : QString()) + QStringLiteral("님이 나갔습니다."),
                 false);
    persist();
}

QCoro::Task<> LocalStore::leaveLive(QUuid roomId)
{
    if (!m_client)
        co_return;
    const bool wasHidden = m_hiddenRoomIDs.contains(roomId);
    const std::optional<Conversation> kept = conversation(roomId);
    if (!wasHidden)
        editHiddenRoomIDs([&](QSet<QUuid> &set) { set.insert(roomId); });
    saveHidden();
    if (kept) {
        Conversation room = *kept;
        room.hiddenFromList = true;
        if (m_session) {
            const qsizetype index = activeMembership(room, m_session->meId);
            if (index >= 0)
                room.memberships[index].leftAt = QDateTime::currentDateTimeUtc();
        }
        replaceConversation(room);
    }
    const ChatPath path = ChatPath::leave(wireId(roomId));
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    std::exception_ptr failure;
    try {
        co_await client->request(kPost, path);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (failure) {
        // A room that was hidden before stays hidden.
        if (!wasHidden && m_hiddenRoomIDs.contains(roomId)) {
            editHiddenRoomIDs([&](QSet<QUuid> &set) { set.remove(roomId); });
            saveHidden();
        }
        if (kept)
            replaceConversation(*kept);
        showAPI(failure);
        co_return;
    }
    try {
        co_await reloadRemote();
    } catch (...) {
        // It reports its own failures; nothing may escape this detached task.
    }
}

// ---------------------------------------------------------------------------------------------
// Mute, pin and photo

void LocalStore::setMuted(const QUuid &roomId, bool muted)
{
    setRoomFlag(roomId, &Conversation::muted, QStringLiteral("muted"), muted);
}

void LocalStore::setPinned(const QUuid &roomId, bool pinned)
{
    setRoomFlag(roomId, &Conversation::pinned, QStringLiteral("pinned"), pinned);
}

void LocalStore::setRoomFlag(const QUuid &roomId, bool Conversation::*flag, const QString &key,
                             bool value)
{
    std::optional<Conversation> room = conversation(roomId);
    if (!room)
        return;
    const bool previous = (*room).*flag;
    (*room).*flag = value;
    replaceConversation(*room);
    persist();
    if (m_client)
        pushRoomFlag(roomId, key, value, previous);
}

QCoro::Task<> LocalStore::pushRoomFlag(QUuid roomId, QString key, bool value, bool previous)
{
    if (!m_client)
        co_return;
    const QJsonObject body{{key, value}};
    const ChatPath path = ChatPath::conversation(wireId(roomId));
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    std::exception_ptr failure;
    try {
        co_await client->request(kPatch, path, body);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure || !self)
        co_return;
    // The value from before this change comes back, whatever a later change set meanwhile.
    if (std::optional<Conversation> room = conversation(roomId)) {
        bool Conversation::*flag = key == u"muted" ? &Conversation::muted : &Conversation::pinned;
        (*room).*flag = previous;
        replaceConversation(*room);
    }
    showAPI(failure);
}

void LocalStore::setRoomPhoto(const QUuid &roomId, const std::optional<QByteArray> &jpeg)
{
    std::optional<Conversation> room = conversation(roomId);
    if (!room || room->kind != ConversationKind::group || !isOwner(*room))
        return;
    room->photoJPEG = jpeg;
    room->updatedAt = QDateTime::currentDateTimeUtc();
    replaceConversation(*room);
    persist();
}
