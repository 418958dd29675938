#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUuid>

class QAbstractHttpServer;
class QWebSocket;
class ServiceState;

// The realtime side of the stand-in: WebSockets on "/v1/ws". A socket first sends "auth" with
// an access token; once answered "auth.ok" it receives the live events of its user and may
// send typing, message and read frames.
class SocketHub : public QObject
{
    Q_OBJECT
public:
    SocketHub(ServiceState &state, QAbstractHttpServer &server, QObject *parent = nullptr);
    ~SocketHub() override;

    void push(const QUuid &user, const QJsonObject &frame);
    void dropAll();
    // The sockets open now go quiet without closing: nothing they are sent is read any more
    // (pings included), and nothing is pushed to them. New sockets are served as usual.
    void silenceAll();
    void closeUser(const QUuid &user);
    int authenticatedCount() const;

    bool refuseAuth = false;
    bool closeAfterAuth = false;
    bool silenceNew = false; // new sockets are silenced as soon as they are open
    quint64 pushFrameSize = 0; // 0: the socket's default
    QList<QJsonObject> received;

signals:
    void frameRecorded();

private:
    void takePending();
    void silence(QWebSocket *socket);
    void onText(QWebSocket *socket, const QString &text);
    void handleFrame(QWebSocket *socket, const QUuid &user, const QJsonObject &frame);
    static void send(QWebSocket *socket, const QJsonObject &frame);
    static void sendError(QWebSocket *socket, const QString &code, const QString &message);

    ServiceState &m_state;
    QAbstractHttpServer &m_server;
    QHash<QWebSocket *, QUuid> m_sockets; // null id until authenticated
    QSet<QWebSocket *> m_silenced;
};
