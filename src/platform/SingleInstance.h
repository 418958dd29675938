#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// Keeps one running instance per user. The first launch listens on a local socket; a later
// launch hands its argument (an invite link, or "" for "show the window") to it and exits.
// Links that arrive before the program is ready are kept and delivered by setReady().
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True: this process is the primary instance and now listens. False: another instance
    // answered and received `link`; the caller should exit. A name without "/" is placed in
    // the user's runtime folder, so that two users on one machine do not meet.
    bool tryBecomePrimary(const QString &serverName, const QString &link = QString());

    bool isPrimary() const { return m_primary; }
    // The socket path in use (after tryBecomePrimary).
    QString serverPath() const { return m_path; }

    // From now on links are emitted as they arrive; the ones kept so far are emitted first.
    void setReady();
    // Links received and not yet emitted because setReady() has not been called.
    int waitingCount() const { return int(m_waiting.size()); }

    static constexpr int connectTimeoutMs = 1000;
    static constexpr int readTimeoutMs = 5000;
    // A link is a URL of a few hundred bytes; anything much longer is not ours.
    static constexpr quint32 maxMessageBytes = 64 * 1024;

signals:
    void messageReceived(const QString &link);

private:
    static QString resolvePath(const QString &serverName);
    static bool sendTo(const QString &path, const QString &link);
    bool listenOn(const QString &path);
    void acceptConnections();
    void readFrom(QLocalSocket *socket);
    void deliver(const QString &link);

    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, QByteArray> m_buffers;
    QStringList m_waiting;
    QString m_path;
    bool m_primary = false;
    bool m_ready = false;
};
