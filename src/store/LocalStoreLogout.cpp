// Logging out and deleting the account.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "platform/LauncherBadge.h"
#include "store/StoreCall.h"

#include <algorithm>

namespace {

constexpr qint64 kRetiredHandleSeconds = 2'592'000; // 30 days

} // namespace

// ---------------------------------------------------------------------------------------------
// Logout and account deletion

void LocalStore::clearSessionRequests()
{
    setPushTarget(std::nullopt);
    setInviteFollow(std::nullopt);
    setInviteOutcome(std::nullopt);
    setVisibleRoomID(std::nullopt);
    setApnsToken(std::nullopt);
    // No notification centre count to reset on this desktop: the launcher badge is the count.
    if (m_badge)
        m_badge->setCount(0);
}

void LocalStore::logout()
{
    if (!m_client) {
        setLastUserId(m_session ? std::optional<QUuid>(m_session->meId) : std::nullopt);
        setSession(std::nullopt);
        persist();
        return;
    }
    // The window leaves the workspace before the service has been told; the lists stay until
    // the next sign-in replaces them.
    setSession(std::nullopt);
    setNotice(std::nullopt);
    clearSessionRequests();
    logoutLive();
}

QCoro::Task<> LocalStore::logoutLive()
{
    if (!m_client)
        co_return;
    // The client has wiped its session whatever the answer; nothing to tell the user.
    co_await StoreCall::attempt(this, m_client->logout(), StoreCall::quiet);
}

void LocalStore::deleteAccount()
{
    if (m_client)
        deleteAccountLive();
    else
        deleteAccountLocally();
}

QCoro::Task<> LocalStore::deleteAccountLive()
{
    if (!m_client)
        co_return;
    const std::optional<std::monostate> deleted
        = co_await StoreCall::attempt(this, m_client->deleteAccount());
    if (!deleted)
        co_return;
    setSession(std::nullopt);
    setLastUserId(std::nullopt);
    setConversations({});
    setMessages({});
    setFriends({});
    setBlocks({});
    saveBlocks();
    // The deleted account's badge, device token and pending requests to the window must not
    // outlive it, as after a logout.
    clearSessionRequests();
}

void LocalStore::deleteAccountLocally()
{
    if (!m_session)
        return;
    std::optional<Account> mine = me();
    if (!mine)
        return;
    if (!mine->handle.isEmpty()) {
        const QDateTime until = QDateTime::currentDateTimeUtc().addSecs(kRetiredHandleSeconds);
        editRetiredHandles([&](QList<RetiredHandle> &list) {
            list.append(RetiredHandle{mine->handle, until});
        });
    }
    mine->status = AccountStatus::deleted;
    mine->displayName = kUnknownName;
    mine->handle.clear();
    mine->bio.clear();
    mine->avatarJPEG.reset();
    replaceAccount(*mine);

    // Every room the account ever belonged to goes, with its messages; rooms of others stay.
    QSet<QUuid> rooms;
    for (const Conversation &room : std::as_const(m_conversations)) {
        const bool member = std::any_of(room.memberships.cbegin(), room.memberships.cend(),
                                        [&](const Membership &m) { return m.userId == mine->id; });
        if (member)
            rooms.insert(room.id);
    }
    if (!rooms.isEmpty()) {
        editConversations([&](QList<Conversation> &list) {
            list.removeIf([&](const Conversation &room) { return rooms.contains(room.id); });
        });
        editMessages([&](MessageIndex &index) {
            for (const QUuid &roomId : std::as_const(rooms))
                index.takeRoom(roomId);
        });
    }
    setFriends({});
    setOfficialLinks({});
    setBlocks({});
    setSession(std::nullopt);
    setLastUserId(std::nullopt);
    persist();
}
