// Who is in a room and what it is called (rename, invite, kick, leave), and the room's own
// settings (mute, pin, photo).

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/HttpMethods.h"
#include "model/TextLimits.h"
#include "store/StoreCall.h"

#include <QJsonObject>

namespace {

const QString kCheckTitle = QStringLiteral("방 이름을 확인해 주세요.");

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

// The name of an added or removed member in the system lines.
QString memberName(const LocalStore &store, const QUuid &userId)
{
    const std::optional<Account> member = store.account(userId);
    return member ? member->displayName : kUnknownName;
}

// The end of every local room change: the room, changed at `now`, is stored, the system line
// about the change is written into it, and the document is saved.
void commitLocalChange(LocalStore &store, Conversation room, const QDateTime &now,
                       const QString &line, bool unhide)
{
    room.updatedAt = now;
    store.replaceConversation(room);
    store.appendSystem(room.id, line, unhide);
    store.persist();
}

} // namespace

// Awaits the service half of a room change made by one of the operations below. A success
// reloads the room list when `reloadAfter`; a failure first runs `undo` (when set), which puts
// back what the operation changed at once, and then shows the error. Coroutine callers pass
// named values only: g++ 12 destroys the temporaries of a co_await expression twice.
template<typename T>
QCoro::Task<> LocalStore::finishRoomCall(QCoro::Task<T> call, bool reloadAfter,
                                         std::function<void()> undo)
{
    const auto refused = [this, &undo](const std::exception_ptr &failure) {
        if (undo)
            undo();
        showAPI(failure);
    };
    const std::optional<StoreCall::Value<T>> answer
        = co_await StoreCall::attempt(this, std::move(call), refused);
    if (!answer || !reloadAfter)
        co_return;
    co_await StoreCall::attempt(this, reloadRemote());
}

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
    chosen = storedTitle(chosen);
    if (sameText(chosen, room->title))
        return;
    room->title = chosen;
    commitLocalChange(*this, *room, QDateTime::currentDateTimeUtc(),
                      QStringLiteral("방 이름이 ") + chosen + QStringLiteral("로 바뀌었습니다."),
                      true);
}

QCoro::Task<> LocalStore::renameLive(QUuid roomId, QString title)
{
    if (!m_client)
        co_return;
    const QString chosen = storedTitle(title);
    if (chosen.isEmpty()) {
        showNotice(kCheckTitle);
        co_return;
    }
    const QJsonObject body{{QStringLiteral("title"), chosen}};
    const ChatPath path = ChatPath::conversation(wireId(roomId));
    co_await finishRoomCall(m_client->request(kPatch, path, body), true, nullptr);
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
    if (activeMembers(*room).size() >= TextLimit::groupMembers)
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
    commitLocalChange(*this, *room, now,
                      memberName(*this, userId) + QStringLiteral("님이 들어왔습니다."), true);
}

QCoro::Task<> LocalStore::inviteLive(QUuid roomId, QUuid userId)
{
    if (!m_client)
        co_return;
    const QList<QUuid> added{userId};
    co_await finishRoomCall(m_client->invite(roomId, added), true, nullptr);
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
    commitLocalChange(*this, *room, now,
                      memberName(*this, userId) + QStringLiteral("님을 내보냈습니다."), true);
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
    std::function<void()> undo = [this, kept] {
        if (kept)
            replaceConversation(*kept);
    };
    const ChatPath path = ChatPath::member(wireId(roomId), wireId(userId));
    co_await finishRoomCall(m_client->request(kDelete, path), true, std::move(undo));
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
    // The leave line names me (no name without my account) and leaves the room out of the list.
    const std::optional<Account> leaver = me();
    commitLocalChange(
        *this, *room, now,
        (leaver ? leaver->displayName : QString()) + QStringLiteral("님이 나갔습니다."), false);
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
    std::function<void()> undo = [this, roomId, wasHidden, kept] {
        // A room that was hidden before stays hidden.
        if (!wasHidden && m_hiddenRoomIDs.contains(roomId)) {
            editHiddenRoomIDs([&](QSet<QUuid> &set) { set.remove(roomId); });
            saveHidden();
        }
        if (kept)
            replaceConversation(*kept);
    };
    const ChatPath path = ChatPath::leave(wireId(roomId));
    co_await finishRoomCall(m_client->request(kPost, path), true, std::move(undo));
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
    if (!m_client)
        return;
    // The service is told in a task of its own; a refusal puts back the value from before this
    // change, whatever a later change set meanwhile (not persisted).
    finishRoomCall(m_client->request(kPatch, ChatPath::conversation(wireId(roomId)),
                                     QJsonObject{{key, value}}),
                   false, [this, roomId, flag, previous] {
                       if (std::optional<Conversation> again = conversation(roomId)) {
                           (*again).*flag = previous;
                           replaceConversation(*again);
                       }
                   });
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
