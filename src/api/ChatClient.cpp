#include "api/ChatClient.h"

#include "api/AsyncPrimitives.h"
#include "api/ChatKeychain.h"
#include "api/HttpAnswer.h"
#include "api/HttpMethods.h"
#include "api/SendOnce.h"

#include <QDir>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>

#ifndef ZUMO_SERVICE_URL
#error "ZUMO_SERVICE_URL must be defined by the build"
#endif

namespace {

// The slowest upload rate still waited for: 64 KiB/s.
constexpr qint64 kUploadBytesPerSecond = 64 * 1024;

// Whether an HTTP answer of this status came from the service itself: a gateway's 502 or 504
// says that the service behind it did not answer.
bool fromTheService(int status)
{
    return status > 0 && status != 502 && status != 504;
}

QString defaultSessionFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("QuilloChat"));
}

} // namespace

ChatClient::ChatClient(const QUrl &baseUrl, const ChatClientOptions &options, QObject *parent)
    : QObject(parent)
    , m_baseUrl(baseUrl)
    , m_options(options)
    , m_network(new QNetworkAccessManager(this))
{
    // No redirect is followed, for any request of this client. Qt's default follows one to
    // another host with the Authorization header, and a 307 repeats the body there (password,
    // refresh token, photo): the other host would get the secrets and its answer would be
    // taken as the service's. A 3xx is thus an answer like any other outside 200 to 299.
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    // The base address carries no trailing slash: every path begins with "/v1/".
    QString base = m_baseUrl.toString(QUrl::FullyEncoded);
    while (base.endsWith(u'/'))
        base.chop(1);
    m_baseUrl = QUrl(base);
    if (m_options.sessionFolder.isEmpty())
        m_options.sessionFolder = defaultSessionFolder();
    m_keychain = std::make_unique<ChatKeychain>(
        m_options.keychainService, m_options.keychainAccount, m_options.sessionFolder,
        [](const QByteArray &bytes) { return StoredSession::decode(bytes).has_value(); });
    m_keychain->onFailingChanged = [this](bool failing) {
        if (onSessionUnsavedChanged)
            onSessionUnsavedChanged(failing);
    };

    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setSingleShot(true);
    connect(m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (m_reconnectFor == m_socketGeneration && m_tokens)
            runReconnect(m_reconnectFor);
    });
    m_keepAliveTimer = new QTimer(this);
    connect(m_keepAliveTimer, &QTimer::timeout, this, &ChatClient::sendKeepAlive);
    m_pongTimer = new QTimer(this);
    m_pongTimer->setSingleShot(true);
    connect(m_pongTimer, &QTimer::timeout, this, &ChatClient::keepAliveMissed);
    m_connectingTimer = new QTimer(this);
    m_connectingTimer->setSingleShot(true);
    connect(m_connectingTimer, &QTimer::timeout, this, &ChatClient::connectingClockRan);
    m_clock.start();
}

ChatClient::~ChatClient()
{
    // Running operations learn that the client is going; every exchange still waiting for an
    // answer is aborted now, so that its awaiting coroutine ends with a cancellation at once
    // instead of waiting for ever on a reply that is about to be deleted. Keychain work under
    // way finishes on its own: ChatKeychain keeps its state alive for it.
    *m_alive = false;
    if (m_socket)
        QObject::disconnect(m_socket, nullptr, this, nullptr);
    const QList<QNetworkReply *> replies = m_network->findChildren<QNetworkReply *>();
    QList<QPointer<QNetworkReply>> pending(replies.cbegin(), replies.cend());
    for (const QPointer<QNetworkReply> &reply : pending) {
        if (reply)
            reply->abort();
    }
}

ChatTransportError ChatClient::clientGone()
{
    return ChatTransportError(QNetworkReply::OperationCanceledError,
                              QStringLiteral("The client was closed."));
}

void ChatClient::throwIfGone(const LifeToken &alive)
{
    if (!*alive)
        throw clientGone();
}

QUrl ChatClient::defaultBaseUrl()
{
    return QUrl(QStringLiteral(ZUMO_SERVICE_URL));
}

QUrl ChatClient::socketUrl() const
{
    QUrl url;
    url.setScheme(m_baseUrl.scheme() == QLatin1String("http") ? QStringLiteral("ws")
                                                              : QStringLiteral("wss"));
    url.setHost(m_baseUrl.host());
    if (m_baseUrl.port() != -1)
        url.setPort(m_baseUrl.port());
    url.setPath(QStringLiteral("/v1/ws"));
    return url;
}

QString ChatClient::sessionFilePath() const
{
    return m_keychain->filePath();
}

ChatAPIError ChatClient::error(int status, const QByteArray &data)
{
    return ChatAPIError::fromResponse(status, data);
}

std::optional<QUrl> ChatClient::urlOf(const ChatPath &path) const
{
    const QUrl url(m_baseUrl.toString(QUrl::FullyEncoded) + path.path(), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return std::nullopt;
    return url;
}

void ChatClient::applyCommonRequestSettings(QNetworkRequest &request,
                                            std::chrono::milliseconds idleAllowance) const
{
    request.setTransferTimeout(int(idleAllowance.count()));
}

std::chrono::milliseconds ChatClient::deadlineFor(std::chrono::milliseconds base, qint64 bodyBytes)
{
    return base
        + std::chrono::milliseconds(std::max<qint64>(bodyBytes, 0) * 1000 / kUploadBytesPerSecond);
}

qint64 ChatClient::answerLimit(const QString &method, const ChatPath &path) const
{
    if (method != kGet)
        return kSingleAnswerLimit;
    switch (path.kind()) {
    case ChatPath::Kind::conversations:
    case ChatPath::Kind::sync:
        return m_options.listAnswerLimit;
    case ChatPath::Kind::messages:
    case ChatPath::Kind::friendRequests:
    case ChatPath::Kind::members:
    case ChatPath::Kind::blocks:
    case ChatPath::Kind::devices:
        return kPageAnswerLimit;
    default:
        return kSingleAnswerLimit;
    }
}

QCoro::Task<QByteArray> ChatClient::request(QString method, ChatPath path,
                                            std::optional<QJsonObject> body, bool authorize)
{
    const LifeToken alive = m_alive;
    throwIfGone(alive); // no new exchange for a client that is being destroyed
    bool firstAttempt = true;
    // A refresh that reached a stalled service is waited for (see refreshDeadline), silence
    // on its connection included; every other call keeps its deadline.
    const bool refresh = path.kind() == ChatPath::Kind::refresh;
    const std::chrono::milliseconds deadline
        = refresh ? m_options.refreshDeadline : m_options.requestDeadline;
    for (;;) {
        const std::optional<QUrl> url = urlOf(path);
        if (!url)
            throw ChatAPIError::invalidResponse(0);

        QNetworkRequest request(*url);
        applyCommonRequestSettings(
            request, std::max<std::chrono::milliseconds>(deadline, std::chrono::minutes(1)));
        request.setRawHeader("Accept", "application/json");
        QByteArray payload;
        if (body) {
            request.setRawHeader("Content-Type", "application/json");
            payload = QJsonDocument(*body).toJson(QJsonDocument::Compact);
        }
        if (authorize) {
            const QString token = co_await accessToken();
            throwIfGone(alive);
            request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        }

        // sendCustomRequest, not post(): a bodiless call must carry no Content-Type at all. A
        // call that creates or changes something goes out once at most (see sendOnce).
        const QByteArray verb = method.toLatin1();
        std::unique_ptr<QNetworkReply, DeleteLater> reply(
            mayBeRepeated(verb) && !body ? m_network->sendCustomRequest(request, verb)
                                         : sendOnce(*m_network, request, verb, payload));
        const HttpAnswer answer = co_await receiveAnswer(
            reply.get(), deadlineFor(deadline, payload.size()), answerLimit(method, path));
        throwIfGone(alive);
        if (fromTheService(answer.status))
            serviceAnswered();
        // A body cut off at the size bound is as unusable as one that does not decode.
        if (answer.oversized)
            throw ChatAPIError::invalidResponse(answer.success() ? 500 : answer.status);

        if (answer.status == 401 && authorize && firstAttempt) {
            co_await performRefresh();
            throwIfGone(alive);
            firstAttempt = false;
            continue;
        }
        if (answer.success()) {
            // The service answers again: a socket that waits out a long pause tries now.
            retrySocketNow();
            co_return answer.body;
        }
        throw error(answer.status, answer.body);
    }
}

void ChatClient::serviceAnswered()
{
    ++m_serviceAnswers;
}

QCoro::Task<bool> ChatClient::serviceAnswers()
{
    const LifeToken alive = m_alive;
    const quint64 before = m_serviceAnswers;
    // Any answer will do, a refusal included: a GET of the own profile without a token reads
    // nothing, changes nothing and spends nothing.
    const std::optional<QUrl> url = urlOf(ChatPath::me());
    if (!url)
        co_return false;
    QNetworkRequest request(*url);
    applyCommonRequestSettings(request, m_options.serviceProbeDeadline);
    request.setRawHeader("Accept", "application/json");
    std::unique_ptr<QNetworkReply, DeleteLater> reply(m_network->get(request));
    try {
        const HttpAnswer answer
            = co_await receiveAnswer(reply.get(), m_options.serviceProbeDeadline);
        throwIfGone(alive);
        if (fromTheService(answer.status))
            serviceAnswered();
    } catch (const ChatTransportError &) {
        throwIfGone(alive);
    }
    co_return m_serviceAnswers != before;
}
