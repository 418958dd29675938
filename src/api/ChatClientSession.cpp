#include "api/ApiDecoder.h"
#include "api/AsyncPrimitives.h"
#include "api/ChatClient.h"
#include "api/ChatKeychain.h"
#include "api/HttpMethods.h"
#include "files/LogCategories.h"

#include <QNetworkReply>

#include <algorithm>

struct RefreshFlight : SharedFlight<APIUser>
{
};

namespace {

// A lifetime beyond a century is treated as a century; this keeps the expiry arithmetic far
// from overflow whatever the service sends.
constexpr qint64 kLongestLifetime = 100LL * 366 * 24 * 3600;

// Whether a transport failure is known to have come before any byte of the request left: no
// host, no connection, no secure channel. After any other failure the service may have taken
// the request.
bool failedBeforeSending(int networkError)
{
    switch (networkError) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return true;
    default:
        return false;
    }
}

} // namespace

bool ChatClient::expiring() const
{
    if (!m_tokens)
        return false;
    return QDateTime::currentDateTimeUtc().msecsTo(m_tokens->expiresAt) <= 60 * 1000;
}

QCoro::Task<> ChatClient::save(AuthPayload payload)
{
    const qint64 lifetime = std::clamp(payload.expiresIn, -kLongestLifetime, kLongestLifetime);
    StoredSession session{payload.accessToken, payload.refreshToken,
                          QDateTime::currentDateTimeUtc().addSecs(lifetime), payload.user};
    m_tokens = session;
    m_currentUser = payload.user;
    m_unsettledRefresh.reset(); // new tokens: whatever became of an older refresh is moot
    co_await m_keychain->save(session.encode());
}

QCoro::Task<> ChatClient::storeSession()
{
    if (m_tokens)
        co_await m_keychain->save(m_tokens->encode());
}

QCoro::Task<> ChatClient::wipe()
{
    ++m_sessionGeneration;
    m_tokens.reset();
    m_currentUser.reset();
    m_unsettledRefresh.reset();
    m_missedEvents = false; // nothing of an ended session is left to catch up on
    disconnectSocket();
    co_await m_keychain->clear();
}

QCoro::Task<bool> ChatClient::restore()
{
    const LifeToken alive = m_alive;
    const quint64 generation = m_sessionGeneration;
    m_restoreMayRetry = false;
    const auto bytes = co_await m_keychain->read();
    if (!*alive)
        co_return false;
    if (!bytes)
        co_return false;
    const auto session = StoredSession::decode(*bytes);
    if (!session)
        co_return false;
    // A sign-in or a wipe while storage was read: that newer state stands.
    if (generation != m_sessionGeneration)
        co_return m_tokens.has_value();

    m_tokens = *session;
    m_currentUser = session->user;
    if (!expiring())
        co_return true;

    std::exception_ptr failure;
    try {
        co_await performRefresh();
        co_return true;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!*alive)
        co_return false;
    bool refused = false;
    try {
        std::rethrow_exception(failure);
    } catch (const ChatAPIError &e) {
        m_lastFailure = e.message;
        refused = e.status == 401;
    } catch (...) {
        m_lastFailure = kTemporaryErrorText;
    }
    if (refused) {
        // A refused refresh has wiped already; wipe here only when it has not.
        if (generation == m_sessionGeneration)
            co_await wipe();
        co_return false;
    }
    m_restoreMayRetry = isTransientFailure(failure) && generation == m_sessionGeneration;
    co_return false;
}

// g++ 12 treats the operand of `co_return` as movable even when it names a member, which would
// empty the member: every value handed out of a member is copied into a local first.

QCoro::Task<QString> ChatClient::accessToken()
{
    // While the last refresh has no known outcome, the access token serves to its very end.
    const bool usable = m_tokens
        && (!expiring()
            || (m_unsettledRefresh && m_unsettledRefresh->token == m_tokens->refreshToken
                && QDateTime::currentDateTimeUtc() < m_tokens->expiresAt));
    if (usable) {
        const QString token = m_tokens->accessToken;
        co_return token;
    }
    co_await performRefresh();
    if (!m_tokens)
        throw ChatAPIError::unauthorized();
    const QString token = m_tokens->accessToken;
    co_return token;
}

QCoro::Task<APIUser> ChatClient::performRefresh()
{
    const LifeToken alive = m_alive;
    if (m_refreshing) {
        const std::shared_ptr<SharedFlight<APIUser>> joined = m_refreshing;
        APIUser user = co_await SharedFlight<APIUser>::Awaiter{joined.get()};
        throwIfGone(alive);
        co_return user;
    }
    const auto started = std::make_shared<RefreshFlight>();
    m_refreshing = started;
    try {
        started->value = co_await refreshNow();
    } catch (...) {
        started->error = std::current_exception();
    }
    // A client destroyed meanwhile ends the flight for everyone who waits for it.
    if (!*alive)
        started->error = std::make_exception_ptr(clientGone());
    else if (m_refreshing == started)
        m_refreshing.reset();
    started->finish();
    if (started->error)
        std::rethrow_exception(started->error);
    const APIUser refreshed = *started->value;
    co_return refreshed;
}

APIUser ChatClient::newerSessionUser() const
{
    if (!m_tokens || !m_currentUser)
        throw ChatAPIError::unauthorized();
    return *m_currentUser;
}

QCoro::Task<APIUser> ChatClient::refreshNow()
{
    if (!m_tokens)
        throw ChatAPIError::unauthorized();
    const LifeToken alive = m_alive;
    const quint64 generation = m_sessionGeneration;

    const QString refreshToken = m_tokens->refreshToken;
    if (m_unsettledRefresh && m_unsettledRefresh->token == refreshToken) {
        // The last use of this token ended without an outcome: the service may have spent it
        // and its answer is lost, or it never got it. That request can no longer be answered
        // (its connection is closed), so the token may go out again: a refusal then ends the
        // session, an answer carries on. It goes only once the service answers again, lest it
        // vanish into the same silence; each time it ends without an outcome, the service must
        // answer anew before the next.
        if (m_serviceAnswers == m_unsettledRefresh->heard) {
            const bool answers = co_await serviceAnswers();
            throwIfGone(alive);
            if (generation != m_sessionGeneration)
                co_return newerSessionUser();
            if (!answers)
                throw ChatTransportError(
                    QNetworkReply::UnknownNetworkError,
                    QStringLiteral("The service has not answered since the last refresh."));
        }
        qCInfo(lcApi, "sending again the refresh whose last use has no known outcome");
    }

    std::optional<AuthPayload> payload;
    std::optional<ChatAPIError> refused;
    try {
        const QJsonObject body{{QStringLiteral("refresh_token"), refreshToken}};
        const QByteArray data = co_await request(kPost, ChatPath::refresh(), body, false);
        payload = ApiDecoder::decode<AuthPayload>(data);
        if (!payload)
            throw ChatAPIError::invalidResponse(500);
    } catch (const ChatAPIError &e) {
        // The service answered: its outcome is known, and the token is no longer in doubt.
        if (*alive && m_unsettledRefresh && m_unsettledRefresh->token == refreshToken)
            m_unsettledRefresh.reset();
        if (e.status != 401)
            throw;
        refused = e;
    } catch (const ChatTransportError &e) {
        // A failure before any byte left changes nothing: an earlier use stays in doubt as it
        // was, and the service's answers since still count.
        if (*alive && !failedBeforeSending(e.networkError) && generation == m_sessionGeneration)
            m_unsettledRefresh = UnsettledRefresh{refreshToken, m_serviceAnswers};
        throw;
    }

    // The session this refresh was made for ended (logout, deletion, a lost session) or was
    // replaced by a new sign-in while the answer was on its way: its outcome must not touch
    // the current state, neither by writing tokens back nor by wiping a newer session.
    if (generation != m_sessionGeneration)
        co_return newerSessionUser();

    if (refused) {
        qCInfo(lcApi, "the service refused the session's refresh (status %d, %s)", refused->status,
               qPrintable(refused->code));
        m_lastFailure = refused->message;
        m_refusedSession = generation;
        co_await wipe();
        throwIfGone(alive);
        if (onSessionLost)
            onSessionLost();
        throw ChatAPIError(refused->status, refused->code, refused->message);
    }

    co_await save(*payload);
    co_return payload->user;
}

QCoro::Task<> ChatClient::logout()
{
    const LifeToken alive = m_alive;
    std::exception_ptr failure;
    try {
        co_await request(kPost, ChatPath::logout(), std::nullopt, true);
    } catch (...) {
        failure = std::current_exception();
    }
    throwIfGone(alive);
    co_await wipe();
    if (failure)
        std::rethrow_exception(failure);
}

QCoro::Task<> ChatClient::deleteAccount()
{
    co_await request(kDelete, ChatPath::me(), std::nullopt, true);
    co_await wipe();
}

QCoro::Task<APIUser> ChatClient::me()
{
    const quint64 generation = m_sessionGeneration;
    const QByteArray data = co_await request(kGet, ChatPath::me());
    const auto user = ApiDecoder::decode<APIUser>(data);
    if (!user)
        throw ChatAPIError::invalidResponse(500);
    // An answer for a session that has ended meanwhile is not adopted.
    if (generation == m_sessionGeneration) {
        m_currentUser = *user;
        if (m_tokens) {
            m_tokens->user = *user;
            co_await storeSession();
        }
    }
    co_return *user;
}
