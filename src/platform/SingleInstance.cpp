#include "platform/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <utility>

// The wire between two instances: a 4-byte big-endian length, then the link as UTF-8.

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{ }

SingleInstance::~SingleInstance()
{
    // Connections still being read go quietly; deleting the server then closes them and
    // removes the socket file, so that the next launch starts cleanly.
    for (auto it = m_buffers.cbegin(); it != m_buffers.cend(); ++it)
        it.key()->disconnect(this);
    m_buffers.clear();
    delete m_server;
}

QString SingleInstance::resolvePath(const QString &serverName)
{
    if (serverName.contains(u'/'))
        return serverName;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return serverName;
    return QDir(runtime).filePath(serverName);
}

bool SingleInstance::tryBecomePrimary(const QString &serverName, const QString &link)
{
    if (m_primary)
        return true;
    m_path = resolvePath(serverName);

    // Two launches at the same moment must not both find no one and both listen: the check
    // and the listen happen under a lock. A lock left by a crashed process is taken over.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(2 * connectTimeoutMs);

    if (sendTo(m_path, link))
        return false;

    // Nobody answered: a socket file that is still there was left by a process that died.
    QLocalServer::removeServer(m_path);
    m_primary = true;
    if (!listenOn(m_path)) {
        // Without the socket this instance still runs; later launches start their own.
        qWarning("SingleInstance: cannot listen on %s", qPrintable(m_path));
    }
    if (locked)
        lock.unlock();
    return true;
}

bool SingleInstance::sendTo(const QString &path, const QString &link)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
    const QByteArray payload = link.toUtf8().left(maxMessageBytes);
    QByteArray frame(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    frame += payload;
    socket.write(frame);
    // The bytes sit in the socket's buffer once written; the primary reads them at its pace.
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(connectTimeoutMs))
            break;
    }
    const bool sent = socket.bytesToWrite() == 0 && socket.state() == QLocalSocket::ConnectedState;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(connectTimeoutMs);
    return sent;
}

bool SingleInstance::listenOn(const QString &path)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return m_server->listen(path);
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            // The last bytes may arrive together with the hang-up.
            readFrom(socket);
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        // A peer that connects and never finishes its message is dropped.
        QTimer::singleShot(readTimeoutMs, socket, [socket] { socket->abort(); });
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket *socket)
{
    const auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    QByteArray &buffer = *it;
    buffer += socket->readAll();
    if (buffer.size() < 4)
        return;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > maxMessageBytes) {
        m_buffers.erase(it);
        socket->abort();
        return;
    }
    if (quint32(buffer.size()) < 4 + length)
        return;
    const QString link = QString::fromUtf8(buffer.constData() + 4, qsizetype(length));
    // One message per connection: whatever follows is ignored.
    m_buffers.erase(it);
    socket->disconnectFromServer();
    deliver(link);
}

void SingleInstance::deliver(const QString &link)
{
    if (!m_ready) {
        m_waiting.append(link);
        return;
    }
    emit messageReceived(link);
}

void SingleInstance::setReady()
{
    if (m_ready)
        return;
    m_ready = true;
    const QStringList waiting = std::exchange(m_waiting, {});
    for (const QString &link : waiting)
        emit messageReceived(link);
}
