// The user's own invite link and the answers to a friend request raised by someone else's link.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/HttpMethods.h"

#include <QPointer>

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
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    try {
        const QString code = co_await client->inviteLink();
        if (!self)
            co_return std::nullopt;
        co_return inviteLinkFor(client, code);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<QString>> LocalStore::rotateInvite()
{
    if (!m_client) {
        // Lives until the process ends; the store document does not keep it.
        setLocalInviteCode(makeLocalInviteCode());
        co_return inviteLinkFor(nullptr, m_localInviteCode);
    }
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    try {
        const QString code = co_await client->rotateInvite();
        if (!self)
            co_return std::nullopt;
        co_return inviteLinkFor(client, code);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
    }
    co_return std::nullopt;
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
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    QUuid roomId;
    try {
        roomId = co_await client->acceptFriend(requestId);
    } catch (...) {
        // The request stays pending and can still be answered from the friend list.
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
    if (!self)
        co_return;
    setInviteFollow(InviteFollow{QUuid::createUuid(), roomId});
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
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    try {
        co_await client->request(kPost, path);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
    }
}

QString LocalStore::makeLocalInviteCode()
{
    return wireId(QUuid::createUuid()).remove(u'-');
}
