// The user's own invite link and the answers to a friend request raised by someone else's link.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/HttpMethods.h"
#include "store/StoreCall.h"

namespace {

// The service's address followed by "/i/" and the code. The local modes have no client and
// use the built-in address.
QString inviteLinkFor(const ChatClient *client, const QString &code)
{
    const QUrl base = client ? client->baseUrl() : ChatClient::defaultBaseUrl();
    return base.toString(QUrl::StripTrailingSlash) + QStringLiteral("/i/") + code;
}

} // namespace

QCoro::Task<std::optional<QString>> LocalStore::inviteURL()
{
    if (!m_client)
        co_return inviteLinkFor(nullptr, m_localInviteCode);
    const std::optional<QString> code = co_await StoreCall::attempt(this, m_client->inviteLink());
    if (!code)
        co_return std::nullopt;
    co_return inviteLinkFor(m_client.get(), *code);
}

QCoro::Task<std::optional<QString>> LocalStore::rotateInvite()
{
    if (!m_client) {
        // Lives until the process ends; the store document does not keep it.
        setLocalInviteCode(makeLocalInviteCode());
        co_return inviteLinkFor(nullptr, m_localInviteCode);
    }
    const std::optional<QString> code = co_await StoreCall::attempt(this, m_client->rotateInvite());
    if (!code)
        co_return std::nullopt;
    co_return inviteLinkFor(m_client.get(), *code);
}

void LocalStore::acceptInvite()
{
    if (!m_inviteOutcome)
        return;
    const InviteOutcome outcome = *m_inviteOutcome;
    setInviteOutcome(std::nullopt);
    if (m_client)
        acceptInviteLive(outcome.requestId);
}

QCoro::Task<> LocalStore::acceptInviteLive(QUuid requestId)
{
    if (!m_client)
        co_return;
    // A failure leaves the request pending: it can still be answered from the friend list.
    const std::optional<QUuid> roomId
        = co_await StoreCall::attempt(this, m_client->acceptFriend(requestId));
    if (!roomId)
        co_return;
    const bool alive = co_await StoreCall::settle(this, reloadRemote());
    if (!alive)
        co_return;
    setInviteFollow(InviteFollow{QUuid::createUuid(), *roomId});
}

void LocalStore::rejectInvite()
{
    if (!m_inviteOutcome)
        return;
    const InviteOutcome outcome = *m_inviteOutcome;
    setInviteOutcome(std::nullopt);
    if (m_client)
        rejectInviteLive(outcome.requestId);
}

QCoro::Task<> LocalStore::rejectInviteLive(QUuid requestId)
{
    if (!m_client)
        co_return;
    const ChatPath path = ChatPath::rejectFriendRequest(wireId(requestId));
    co_await StoreCall::attempt(this, m_client->request(kPost, path));
}

QString LocalStore::makeLocalInviteCode()
{
    return wireId(QUuid::createUuid()).remove(u'-');
}
