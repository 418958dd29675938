#include "api/ChatClient.h"

#include "api/SocketFrame.h"
#include "files/LogCategories.h"

#include <QJsonDocument>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <utility>

namespace {

// The frames of this wire are small JSON objects. Qt accepts messages of about 2 GiB by
// default, and a server could make the client hold one frame that large, or a message of
// fragments that never ends. A socket that passes a bound is closed (1009) and counts as a
// failed socket.
constexpr quint64 kMaxIncomingFrameBytes = 1024 * 1024;
constexpr quint64 kMaxIncomingMessageBytes = 1024 * 1024;

void closeSocket(QWebSocket *socket, QObject *receiver)
{
    // Its signals are no longer ours: a close that completes later changes nothing.
    QObject::disconnect(socket, nullptr, receiver, nullptr);
    if (socket->state() != QAbstractSocket::UnconnectedState) // an aborted one has nobody to tell
        socket->close(QWebSocketProtocol::CloseCodeGoingAway);
    socket->deleteLater();
}

} // namespace

QCoro::Task<> ChatClient::connectSocket()
{
    const LifeToken alive = m_alive;
    try {
        if (!m_tokens)
            co_return;
        m_socketWanted = true;
        if (!m_socketReady)
            startConnectingClock(m_clock.elapsed()); // a refresh that waits counts as well
        if (expiring()) {
            const quint64 generation = m_socketGeneration;
            const quint64 session = m_sessionGeneration;
            try {
                co_await performRefresh();
            } catch (...) {
                // A refused refresh has wiped and reported already. Any other failure keeps
                // the session: the attempt counts as a failed socket and the next one follows
                // in its time, unless the socket was opened or closed meanwhile (a ready one
                // stays as it is).
                if (*alive && m_tokens && session == m_sessionGeneration
                    && generation == m_socketGeneration && m_socketWanted && !m_socketReady)
                    attemptFailed(generation);
                co_return;
            }
            if (!*alive)
                co_return;
        }
        openSocket();
    } catch (...) { }
}

void ChatClient::openSocket()
{
    if (!m_tokens)
        return;
    const QUrl url = socketUrl();
    if (!url.isValid() || url.host().isEmpty())
        return;
    if (m_socket) {
        closeSocket(m_socket, this);
        m_socket = nullptr;
    }
    const quint64 generation = ++m_socketGeneration;
    m_socketReady = false;
    m_socketWanted = true;
    m_reconnectTimer->stop();
    stopKeepAlive();
    startConnectingClock(m_clock.elapsed());
    // A socket that the service has not accepted by then counts as failed as well: an upgrade
    // can go unanswered (a stalled service, a black hole), and a connection can die silently
    // while it is being opened, too.
    m_pongTimer->start(m_options.socketOpenTimeout);

    auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    socket->setMaxAllowedIncomingFrameSize(kMaxIncomingFrameBytes);
    socket->setMaxAllowedIncomingMessageSize(kMaxIncomingMessageBytes);
    m_socket = socket;
    const QString token = m_tokens->accessToken;

    // A QWebSocket takes frames only once connected: the "auth" frame goes out then.
    QObject::connect(socket, &QWebSocket::connected, this, [this, generation, token] {
        if (generation != m_socketGeneration)
            return;
        serviceAnswered(); // the upgrade was answered
        sendRaw(QJsonObject{{QStringLiteral("type"), QStringLiteral("auth")},
                            {QStringLiteral("access_token"), token},
                            {QStringLiteral("platform"), QStringLiteral("macos")}});
    });
    QObject::connect(socket, &QWebSocket::textMessageReceived, this,
                     [this, generation](const QString &text) {
                         if (generation != m_socketGeneration)
                             return;
                         heardFromService();
                         handleFrame(text.toUtf8());
                     });
    QObject::connect(socket, &QWebSocket::binaryMessageReceived, this,
                     [this, generation](const QByteArray &data) {
                         if (generation != m_socketGeneration)
                             return;
                         heardFromService();
                         QStringDecoder decoder(QStringDecoder::Utf8,
                                                QStringDecoder::Flag::Stateless);
                         const QString text = decoder(data);
                         if (decoder.hasError())
                             return; // not UTF-8 text: dropped
                         handleFrame(text.toUtf8());
                     });
    QObject::connect(socket, &QWebSocket::pong, this, [this, generation] {
        if (generation == m_socketGeneration)
            heardFromService();
    });
    QObject::connect(socket, &QWebSocket::disconnected, this,
                     [this, generation] { socketFailed(generation, m_clock.elapsed()); });
    QObject::connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
                     [this, generation](QAbstractSocket::SocketError) {
                         socketFailed(generation, m_clock.elapsed());
                     });

    // A plain WebSocket request: no extra headers, no subprotocol, no token in the address.
    socket->open(QNetworkRequest(url));
}

void ChatClient::disconnectSocket()
{
    ++m_socketGeneration;
    m_socketReady = false;
    m_socketWanted = false;
    m_connectingTimer->stop();
    m_refreshBeforeReconnect = false;
    m_reconnectTimer->stop();
    stopKeepAlive();
    if (m_socket) {
        closeSocket(m_socket, this);
        m_socket = nullptr;
    }
    setConnecting(false);
}

void ChatClient::sendTyping(const QUuid &conversationId, bool start)
{
    sendRaw(QJsonObject{{QStringLiteral("type"),
                         start ? QStringLiteral("typing.start") : QStringLiteral("typing.stop")},
                        {QStringLiteral("conversation_id"), wireId(conversationId)}});
}

void ChatClient::sendRaw(const QJsonObject &frame)
{
    const QJsonValue type = frame.value(QLatin1String("type"));
    const bool isAuth = type.isString() && type.toString() == QLatin1String("auth");
    if (!m_socketReady && !isAuth)
        return;
    if (!m_socket)
        return;
    const QByteArray bytes = QJsonDocument(frame).toJson(QJsonDocument::Compact);
    // Best effort: a failed send is neither reported nor repeated.
    m_socket->sendTextMessage(QString::fromUtf8(bytes));
}

void ChatClient::handleFrame(const QByteArray &utf8Text)
{
    const SocketFrame frame = SocketFrame::parse(utf8Text);
    switch (frame.action) {
    case SocketFrame::Action::ignore:
        break;
    case SocketFrame::Action::authOk:
        m_socketReady = true;
        m_lastSignOfLife = m_clock.elapsed();
        m_reconnects = 0;
        m_refreshBeforeReconnect = false;
        startKeepAlive();
        m_connectingTimer->stop();
        setConnecting(false);
        // Events of the time without a socket are gone: the store fetches what it missed.
        if (std::exchange(m_missedEvents, false) && onReconnected)
            onReconnected();
        break;
    case SocketFrame::Action::unauthorized:
        socketRefused();
        break;
    case SocketFrame::Action::event:
        if (frame.event && onEvent)
            onEvent(*frame.event);
        break;
    }
}

void ChatClient::socketFailed(quint64 generation, qint64 notReadySince)
{
    if (generation != m_socketGeneration || !m_socket)
        return;
    // error() and disconnected() may both report one failure: only the first counts, and the
    // failed socket is heard no more. It stays in m_socket until the next open or disconnect.
    QObject::disconnect(m_socket, nullptr, this, nullptr);
    qCInfo(lcSocket, "the live socket failed: %s", qPrintable(m_socket->errorString()));
    m_socketReady = false;
    stopKeepAlive();
    startConnectingClock(notReadySince);
    ++m_reconnects;
    m_missedEvents = true;
    scheduleReconnect(generation);
}

void ChatClient::attemptFailed(quint64 generation)
{
    ++m_reconnects;
    // Events went by meanwhile that no socket brought.
    m_missedEvents = true;
    scheduleReconnect(generation);
}

std::chrono::milliseconds ChatClient::reconnectWait(int failures) const
{
    if (failures <= kQuickReconnects)
        return m_options.reconnectDelay;
    // Past the quick reconnects the service is away for longer: the wait grows, but never
    // beyond the cap, so that the socket comes back within that time once the service does.
    std::chrono::milliseconds wait = m_options.reconnectBackoff;
    for (int n = kQuickReconnects + 1; n < failures && wait < m_options.reconnectBackoffCap; ++n)
        wait *= 2;
    return std::min(wait, m_options.reconnectBackoffCap);
}

bool ChatClient::reconnectPending() const
{
    return m_reconnectTimer->isActive();
}

void ChatClient::scheduleReconnect(quint64 generation)
{
    m_reconnectFor = generation;
    const std::chrono::milliseconds wait = reconnectWait(m_reconnects);
    qCDebug(lcSocket, "reconnect %d in %lld ms", m_reconnects, qlonglong(wait.count()));
    m_reconnectTimer->start(wait);
}

void ChatClient::startConnectingClock(qint64 notReadySince)
{
    // The clock runs from the first moment the socket is not ready; later failures of the same
    // outage do not restart it.
    if (!m_tokens || !m_socketWanted || m_socketReady || m_connecting
        || m_connectingTimer->isActive())
        return;
    const qint64 waited = std::max<qint64>(m_clock.elapsed() - notReadySince, 0);
    m_connectingTimer->start(
        std::chrono::milliseconds(std::max<qint64>(m_options.connectingDelay.count() - waited, 0)));
}

void ChatClient::connectingClockRan()
{
    if (m_tokens && m_socketWanted && !m_socketReady)
        setConnecting(true);
}

void ChatClient::setConnecting(bool connecting)
{
    if (m_connecting == connecting)
        return;
    m_connecting = connecting;
    if (onConnectingChanged)
        onConnectingChanged(connecting);
}

void ChatClient::retrySocketNow()
{
    if (m_reconnects > kQuickReconnects && m_reconnectTimer->isActive())
        m_reconnectTimer->start(0); // on the next turn of the loop, through the usual checks
}

void ChatClient::wakeSocket()
{
    if (!m_tokens || m_reconnecting)
        return; // a reconnect is under way already
    if (m_socket && !m_reconnectTimer->isActive()) {
        // The socket is given up as if it had failed, without counting as a failure: the
        // reconnect below replaces it, and what it may have missed is fetched once the new
        // one is accepted.
        QObject::disconnect(m_socket, nullptr, this, nullptr);
        m_socketReady = false;
        stopKeepAlive();
        startConnectingClock(m_clock.elapsed());
        m_missedEvents = true;
        m_reconnectFor = m_socketGeneration;
    } else if (!m_reconnectTimer->isActive()) {
        return; // closed on purpose, or never opened
    }
    m_reconnectTimer->start(0);
}

QCoro::Task<> ChatClient::runReconnect(quint64 generation)
{
    const LifeToken alive = m_alive;
    m_reconnecting = true;
    co_await reconnect(generation);
    if (*alive)
        m_reconnecting = false;
}

QCoro::Task<> ChatClient::reconnect(quint64 generation)
{
    const LifeToken alive = m_alive;
    const quint64 session = m_sessionGeneration;
    bool mayOpen = true;
    if (std::exchange(m_refreshBeforeReconnect, false)) {
        // The service refused the last socket's token: one refresh for this attempt.
        mayOpen = false;
        std::optional<ChatAPIError> failure;
        try {
            co_await performRefresh();
            mayOpen = true;
        } catch (const ChatAPIError &e) {
            failure = e;
        } catch (...) { }
        if (!*alive)
            co_return;
        // Only the service's refusal of the refresh ends the session, and the refresh has
        // wiped it already; it is reported once more as the socket's lost session.
        if (failure && failure->status == 401 && m_refusedSession == session
            && m_sessionGeneration == session + 1) {
            m_lastFailure = failure->message;
            if (onSessionLost)
                onSessionLost();
            co_return;
        }
        // Signed out, or another sign-in, or another socket meanwhile: this attempt is void.
        if (session != m_sessionGeneration || generation != m_socketGeneration)
            co_return;
        if (!mayOpen) {
            // The refresh failed without a refusal: the token is still the refused one, and
            // the attempt counts as one more failure.
            m_refreshBeforeReconnect = true;
            if (m_tokens)
                attemptFailed(generation);
            co_return;
        }
    }
    // Opens the socket, or counts the attempt as failed and schedules the next one itself.
    co_await connectSocket(); // never throws
}

void ChatClient::startKeepAlive()
{
    m_pongTimer->stop();
    m_keepAliveTimer->start(m_options.keepAliveInterval);
}

void ChatClient::stopKeepAlive()
{
    m_keepAliveTimer->stop();
    m_pongTimer->stop();
}

void ChatClient::heardFromService()
{
    serviceAnswered();
    // Before "auth.ok" only the acceptance itself ends the wait.
    if (m_socketReady) {
        m_lastSignOfLife = m_clock.elapsed();
        m_pongTimer->stop();
    }
}

void ChatClient::sendKeepAlive()
{
    if (!m_socketReady || !m_socket) {
        stopKeepAlive();
        return;
    }
    // The protocol's own ping: every server answers it, and it is no frame of the service's.
    m_socket->ping();
    if (!m_pongTimer->isActive())
        m_pongTimer->start(m_options.keepAliveTimeout);
}

void ChatClient::socketRefused()
{
    if (!m_socket)
        return;
    // The service does not take the socket's token (it may be expired or revoked): a failed
    // socket like any other, with the same waits, and its reconnect refreshes the token first.
    // One refusal is one failure: the refused socket is closed and heard no more.
    qCInfo(lcSocket, "the service refused the live socket's token");
    QWebSocket *refused = m_socket;
    socketFailed(m_socketGeneration, m_clock.elapsed());
    m_refreshBeforeReconnect = true;
    closeSocket(refused, this);
    m_socket = nullptr;
}

void ChatClient::keepAliveMissed()
{
    if (!m_socket)
        return;
    // Nothing came back: the connection died without a close (a suspended machine, a changed
    // network, a middlebox that dropped the flow, a stalled service). It counts as a failed
    // socket, and the socket is aborted rather than closed, as a close would wait for the dead
    // peer. A ready socket may have been dead since its last sign of life: the user's wait
    // counts from then.
    QWebSocket *dead = m_socket;
    socketFailed(m_socketGeneration, m_socketReady ? m_lastSignOfLife : m_clock.elapsed());
    dead->abort();
}
