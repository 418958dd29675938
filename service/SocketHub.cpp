#include "service/SocketHub.h"

#include "service/ServiceState.h"
#include "service/WireInput.h"

#include <QAbstractHttpServer>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QTcpSocket>
#include <QWebSocket>

namespace {
constexpr qsizetype maxFrameBytes = 64 * 1024;
}

SocketHub::SocketHub(ServiceState &state, QAbstractHttpServer &server, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_server(server)
{
    connect(&server, &QAbstractHttpServer::newWebSocketConnection, this, &SocketHub::takePending);
}

SocketHub::~SocketHub()
{
    const QList<QWebSocket *> sockets = m_sockets.keys();
    m_sockets.clear();
    for (QWebSocket *s : sockets) {
        s->disconnect(this);
        s->abort();
        delete s;
    }
}

void SocketHub::takePending()
{
    while (m_server.hasPendingWebSocketConnections()) {
        QWebSocket *socket = m_server.nextPendingWebSocketConnection().release();
        if (!socket)
            continue;
        socket->setParent(this);
        socket->setMaxAllowedIncomingMessageSize(maxFrameBytes);
        m_sockets.insert(socket, QUuid());
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &text) { onText(socket, text); });
        connect(
            socket, &QWebSocket::binaryMessageReceived, this,
            [this, socket](const QByteArray &data) { onText(socket, QString::fromUtf8(data)); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            m_silenced.remove(socket);
            if (m_sockets.remove(socket))
                socket->deleteLater();
        });
        if (silenceNew)
            silence(socket);
    }
}

void SocketHub::send(QWebSocket *socket, const QJsonObject &frame)
{
    socket->sendTextMessage(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
}

void SocketHub::sendError(QWebSocket *socket, const QString &code, const QString &message)
{
    send(socket,
         {{QStringLiteral("type"), QStringLiteral("error")},
          {QStringLiteral("code"), code},
          {QStringLiteral("message"), message}});
}

void SocketHub::onText(QWebSocket *socket, const QString &text)
{
    if (!m_sockets.contains(socket))
        return;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        sendError(socket, QStringLiteral("invalid_frame"),
                  QStringLiteral("프레임은 JSON 객체여야 합니다."));
        return;
    }
    const QJsonObject frame = doc.object();
    received.append(frame);
    emit frameRecorded();
    // The recorder may have dropped the socket meanwhile.
    if (!m_sockets.contains(socket))
        return;
    const QString type = frame.value(QStringLiteral("type")).toString();
    const QUuid user = m_sockets.value(socket);

    if (type == QLatin1String("auth")) {
        if (closeAfterAuth) {
            m_sockets.remove(socket);
            socket->close(QWebSocketProtocol::CloseCodeGoingAway);
            socket->deleteLater();
            return;
        }
        const auto who
            = m_state.authenticate(frame.value(QStringLiteral("access_token")).toString());
        if (refuseAuth || !who) {
            m_sockets.insert(socket, QUuid());
            sendError(socket, QStringLiteral("unauthorized"),
                      QStringLiteral("로그인이 필요합니다."));
            return;
        }
        m_sockets.insert(socket, *who);
        send(socket, {{QStringLiteral("type"), QStringLiteral("auth.ok")}});
        return;
    }
    if (user.isNull()) {
        sendError(socket, QStringLiteral("unauthorized"), QStringLiteral("로그인이 필요합니다."));
        return;
    }
    try {
        handleFrame(socket, user, frame);
    } catch (const ServiceError &e) {
        sendError(socket, e.code, e.message);
    }
    if (!type.startsWith(QLatin1String("typing.")))
        m_state.noteChange();
}

void SocketHub::handleFrame(QWebSocket *socket, const QUuid &user, const QJsonObject &frame)
{
    using namespace WireInput;
    const QString type = frame.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("typing.start") || type == QLatin1String("typing.stop")) {
        m_state.typing(requireUuid(frame, QStringLiteral("conversation_id")), user,
                       type == QLatin1String("typing.start"));
    } else if (type == QLatin1String("message.send")) {
        // The same text also arrives by REST; the client id makes the second copy a no-op.
        m_state.sendText(requireUuid(frame, QStringLiteral("conversation_id")), user,
                         requireUuid(frame, QStringLiteral("client_msg_id")),
                         requireString(frame, QStringLiteral("body")));
    } else if (type == QLatin1String("read")) {
        m_state.markRead(requireUuid(frame, QStringLiteral("conversation_id")), user,
                         requireInt(frame, QStringLiteral("seq")));
    } else {
        sendError(socket, QStringLiteral("unknown_type"),
                  QStringLiteral("알 수 없는 프레임입니다: \"%1\"").arg(type));
    }
}

void SocketHub::push(const QUuid &user, const QJsonObject &frame)
{
    if (user.isNull())
        return;
    // A send may close a broken socket and so change the table: go over a copy.
    const QList<QWebSocket *> sockets = m_sockets.keys(user);
    for (QWebSocket *s : sockets) {
        if (m_sockets.value(s) != user || m_silenced.contains(s))
            continue;
        if (pushFrameSize > 0)
            s->setOutgoingFrameSize(pushFrameSize);
        send(s, frame);
    }
}

void SocketHub::silenceAll()
{
    const QList<QWebSocket *> sockets = m_sockets.keys();
    for (QWebSocket *socket : sockets)
        silence(socket);
}

void SocketHub::silence(QWebSocket *socket)
{
    // A QWebSocket answers pings by itself as it reads: its connection (which belongs to the
    // HTTP server's listener) is no longer read, so the bytes stay in the system's buffers and
    // no pong goes back. The connection stays open, as one that died on the way would.
    const QList<QTcpSocket *> connections = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *connection : connections) {
        if (connection->peerPort() == socket->peerPort()
            && connection->localPort() == socket->localPort()
            && connection->peerAddress() == socket->peerAddress())
            QObject::disconnect(connection, &QIODevice::readyRead, nullptr, nullptr);
    }
    m_silenced.insert(socket);
}

void SocketHub::dropAll()
{
    const QList<QWebSocket *> sockets = m_sockets.keys();
    m_sockets.clear();
    m_silenced.clear();
    for (QWebSocket *s : sockets) {
        s->abort();
        s->deleteLater();
    }
}

void SocketHub::closeUser(const QUuid &user)
{
    if (user.isNull())
        return;
    const QList<QWebSocket *> sockets = m_sockets.keys(user);
    for (QWebSocket *s : sockets) {
        m_sockets.remove(s);
        m_silenced.remove(s);
        s->close(QWebSocketProtocol::CloseCodePolicyViolated);
        s->deleteLater();
    }
}

int SocketHub::authenticatedCount() const
{
    int n = 0;
    for (const QUuid &u : m_sockets) {
        if (!u.isNull())
            ++n;
    }
    return n;
}
