#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <memory>

// One request as it reached the stand-in service, before any scripted fault applied.
struct RecordedRequest
{
    QByteArray method; // "GET", "POST", "PUT", "PATCH", "DELETE", ...
    QString target; // path and query as sent, e.g. "/v1/sync?after=..."
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// An account put in place by a test or the demo, already registered and verified.
struct SeedUser
{
    QString email; // may be empty for accounts that never sign in
    QString password;
    QString handle; // may be empty (profile not complete)
    QString displayName;
    QString kind = QStringLiteral("person"); // "person" or "official"
    QString avatarUrl;
    bool acceptsUserMessages = true; // false: direct messages to this account get "inbox_closed"
};

struct IssuedTokens
{
    QString accessToken;
    QString refreshToken;
    qint64 expiresIn = 0; // seconds
};

// What became of the data file when the service opened it.
struct DataFileStatus
{
    enum Outcome {
        New, // no file yet: it is written at the first change
        Read, // the state was read from it
        SetAside, // unreadable: moved to asidePath, the service started empty
        Unusable, // unreadable and not movable: left alone, the service keeps to memory
    };
    Outcome outcome = New;
    QString asidePath;
    QString message; // one line for a person
};

class ServiceDataFile;
class ServiceState;
class ServiceHttpServer;
class SocketHub;

// An in-memory chat service speaking the real wire: REST under "/v1/", photo uploads and the
// realtime WebSocket "/v1/ws" on the same loopback port. Tests start one per test case; the
// zumo-service executable runs one for local use.
class StandInService : public QObject
{
    Q_OBJECT
public:
    explicit StandInService(QObject *parent = nullptr);
    ~StandInService() override;

    // Listens on 127.0.0.1; port 0 picks a free one. False when the port cannot be bound.
    bool listen(quint16 port = 0);
    quint16 port() const;
    QUrl baseUrl() const; // http://127.0.0.1:PORT, no trailing slash

    // Keeps everything (accounts, sessions, relations, rooms, messages, uploads) in the file
    // at `path` across restarts: reads it now, replacing what is here, and writes it shortly
    // after each change and when the service ends. Without it the service lives in memory.
    // Call it before seeding.
    DataFileStatus useDataFile(const QString &path);

    // Seeding. Every seeded account is registered and verified.
    QUuid addUser(const SeedUser &u);
    QUuid houseAccountId() const; // the built-in official announcement account (user id)
    QUuid accountByEmail(const QString &email) const; // null when no account has it
    QUuid officialAccountId(const QUuid &user) const; // of an official account; null otherwise
    // Friends share a direct room: this also opens it.
    void makeFriends(const QUuid &a, const QUuid &b);
    QUuid addFriendRequest(const QUuid &from, const QUuid &to); // returns the request id
    void follow(const QUuid &user, const QUuid &officialUser); // opens the direct room too
    void block(const QUuid &blocker, const QUuid &blocked);
    QUuid addDirectRoom(const QUuid &a, const QUuid &b);
    QUuid addGroupRoom(const QUuid &owner, const QString &title, const QList<QUuid> &members);
    // Appends a text message, tells connected members ("message.created") and returns the
    // message as the wire shows it.
    QJsonObject addMessage(const QUuid &room, const QUuid &sender, const QString &body);
    // Sends an announcement from the house account to every follower who has not opted out.
    int broadcast(const QString &body);
    IssuedTokens issueTokens(const QUuid &user);
    QString lastEmailCode(const QString &email) const; // empty when none was sent
    QString inviteCode(const QUuid &user) const;
    QByteArray uploadedBytes(const QString &objectKey) const; // empty when nothing stored
    QJsonObject userJson(const QUuid &user) const; // the user as the wire shows it
    QList<QJsonObject> reports() const; // every report filed, with "reporter_id"
    void setAccessTokenLifetime(qint64 seconds); // for tokens issued from now on (default 3600)
    void setMaxUploadBytes(qint64 bytes); // default 10 MiB

    // Recording of everything received (requests before faults apply; frames after parsing).
    QList<RecordedRequest> requests() const;
    QList<QJsonObject> receivedFrames() const;
    void clearRecords();

    // Scripted faults for the next `times` requests whose method matches (empty matches any)
    // and whose path starts with pathPrefix.
    void failNext(const QString &method, const QString &pathPrefix, int times, int status,
                  const QString &code, const QString &message);
    void delayNext(const QString &method, const QString &pathPrefix, int times, int milliseconds);
    void answerNonJsonNext(const QString &method, const QString &pathPrefix, int times,
                           int status = 200);
    void dropNext(const QString &method, const QString &pathPrefix, int times); // close, no answer
    void clearFaults();

    // WebSocket behaviours.
    void dropAllSockets();
    // The sockets open now stop answering without closing: like a connection that died on the
    // way, they neither read nor answer pings, and get no events. New sockets work as usual.
    void silenceAllSockets();
    // New sockets are silenced as soon as they are open (their "auth" is never answered).
    void setSilenceNewSockets(bool silence);
    void setRefuseSocketAuth(bool refuse); // "auth" gets {"type":"error","code":"unauthorized"}
    void setCloseAfterAuth(bool close); // "auth" gets no answer, the socket is closed
    void pushFrame(const QUuid &user, const QJsonObject &frame); // to every socket of the user
    // Pushed messages go out in WebSocket frames of at most `bytes` (0: Qt's 512 KiB).
    void setPushFrameSize(quint64 bytes);
    int authenticatedSocketCount() const;

signals:
    void requestRecorded();
    void frameRecorded();
    void emailCodeSent(const QString &email, const QString &code);

private:
    std::unique_ptr<ServiceState> m_state;
    std::unique_ptr<ServiceHttpServer> m_http;
    std::unique_ptr<SocketHub> m_hub;
    std::unique_ptr<ServiceDataFile> m_dataFile;
    quint16 m_port = 0;
};
