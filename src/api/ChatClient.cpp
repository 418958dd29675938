#include "api/ChatClient.h"

#include "api/AsyncPrimitives.h"
#include "api/ChatKeychain.h"
#include "api/HttpAnswer.h"
#include "api/HttpMethods.h"

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
#include <cstring>

#ifndef ZUMO_SERVICE_URL
#error "ZUMO_SERVICE_URL must be defined by the build"
#endif

namespace {

// The slowest upload rate still waited for: 64 KiB/s.
constexpr qint64 kUploadBytesPerSecond = 64 * 1024;

// A request body that can be read once only. Qt's HTTP layer of this version sends a request
// again by itself (POST included, up to twice) when the connection closes before the answer's
// head arrived; a body that cannot be read a second time makes that fail instead.
class BodyReadOnce : public QIODevice
{
public:
    explicit BodyReadOnce(QByteArray bytes, QObject *parent)
        : QIODevice(parent)
        , m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_bytes.size() - m_read + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min(maxSize, m_bytes.size() - m_read);
        std::memcpy(data, m_bytes.constData() + m_read, size_t(n));
        m_read += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_read = 0;
};

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
        const QUrl url(m_baseUrl.toString(QUrl::FullyEncoded) + path.path(), QUrl::StrictMode);
        if (!url.isValid() || url.isRelative() || url.host().isEmpty())
            throw ChatAPIError::invalidResponse(0);

        QNetworkRequest request(url);
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

        // sendCustomRequest, not post(): a bodiless call must carry no Content-Type at all.
        std::unique_ptr<QNetworkReply, DeleteLater> reply;
        if (body && refresh) {
            // A refresh token is spent by the service at its first use: never sent twice.
            request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
            request.setHeader(QNetworkRequest::ContentLengthHeader, payload.size());
            auto *once = new BodyReadOnce(payload, nullptr);
            reply.reset(m_network->sendCustomRequest(request, method.toLatin1(), once));
            once->setParent(reply.get());
        } else {
            reply.reset(body ? m_network->sendCustomRequest(request, method.toLatin1(), payload)
                             : m_network->sendCustomRequest(request, method.toLatin1()));
        }
        const HttpAnswer answer = co_await receiveAnswer(
            reply.get(), deadlineFor(deadline, payload.size()), answerLimit(method, path));
        throwIfGone(alive);
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
