#pragma once

#include "api/ChatClient.h"
#include "api/ChatErrors.h"

#include <QByteArray>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <QCoroTask>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

// What an awaited client call ended with. Calls are awaited inside a coroutine that catches, so
// that a throwing call cannot hang QCoro::waitFor.
template<typename T>
struct Outcome
{
    using Value = std::conditional_t<std::is_void_v<T>, bool, T>;
    std::optional<Value> value;
    std::optional<ChatAPIError> apiError;
    std::optional<ChatTransportError> transportError;
    bool otherError = false;

    bool ok() const { return value.has_value(); }
};

template<typename T>
QCoro::Task<Outcome<T>> catching(QCoro::Task<T> task)
{
    Outcome<T> out;
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            out.value = true;
        } else {
            out.value = co_await std::move(task);
        }
    } catch (const ChatAPIError &e) {
        out.apiError = e;
    } catch (const ChatTransportError &e) {
        out.transportError = e;
    } catch (...) {
        out.otherError = true;
    }
    co_return out;
}

template<typename T>
Outcome<T> await(QCoro::Task<T> task)
{
    return QCoro::waitFor(catching(std::move(task)));
}

// Options that keep a test's session apart from every other test's: its own keychain item and
// its own folder for the fallback file.
struct IsolatedOptions
{
    QTemporaryDir dir;
    ChatClientOptions options;

    explicit IsolatedOptions(std::chrono::milliseconds reconnectDelay
                             = std::chrono::milliseconds(50))
    {
        options.reconnectDelay = reconnectDelay;
        options.keychainService
            = QStringLiteral("zumo-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        options.keychainAccount = QStringLiteral("session");
        options.sessionFolder = dir.filePath(QStringLiteral("QuilloChat"));
    }
};

struct ScriptedRequest
{
    QByteArray method;
    QString target; // path and query as sent
    QHash<QByteArray, QByteArray> headers; // lower-case names
    QByteArray body;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

struct ScriptedReply
{
    int status = 200;
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    bool drop = false; // close the connection without an answer
    bool hangUp = false; // close in order before any byte of an answer: Qt would send it again
    bool silent = false; // keep the connection and never answer
    int delayMs = 0;
    bool endless = false; // a chunked body that never ends
    int trickleMs = 0; // > 0: a chunked body of one byte every trickleMs that never ends

    static ScriptedReply late(int delayMs, int status, QByteArray body)
    {
        ScriptedReply r;
        r.status = status;
        r.body = std::move(body);
        r.delayMs = delayMs;
        return r;
    }
    static ScriptedReply dropped()
    {
        ScriptedReply r;
        r.drop = true;
        return r;
    }
    static ScriptedReply hungUp()
    {
        ScriptedReply r;
        r.hangUp = true;
        return r;
    }
    static ScriptedReply unanswered()
    {
        ScriptedReply r;
        r.silent = true;
        return r;
    }
    static ScriptedReply endlessBody(int status)
    {
        ScriptedReply r;
        r.status = status;
        r.endless = true;
        return r;
    }
};

// A tiny HTTP/1.1 server on loopback that answers from a script and records every request,
// for answers the real service would never give: wrong types, truncated JSON, odd statuses.
class ScriptedServer : public QObject
{
public:
    // Any loopback address will do: 127.0.0.2 is another host than 127.0.0.1.
    explicit ScriptedServer(const QHostAddress &address = QHostAddress::LocalHost)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        m_server.listen(address, 0);
    }

    QUrl baseUrl() const
    {
        return QUrl(QStringLiteral("http://%1:%2")
                        .arg(m_server.serverAddress().toString())
                        .arg(m_server.serverPort()));
    }

    // Newest rule first; `times` < 0 answers for ever. `target` matches as a prefix.
    void on(const QByteArray &method, const QString &target, ScriptedReply reply, int times = -1)
    {
        m_rules.prepend(Rule{method, target, std::move(reply), times});
    }
    void onJson(const QByteArray &method, const QString &target, int status, const QByteArray &json,
                int times = -1)
    {
        ScriptedReply r;
        r.status = status;
        r.body = json;
        r.headers.append(std::pair<QByteArray, QByteArray>("Content-Type", "application/json"));
        on(method, target, r, times);
    }

    QList<ScriptedRequest> requests;
    qint64 endlessBytesSent = 0;

    QList<ScriptedRequest> requestsTo(const QString &prefix) const
    {
        QList<ScriptedRequest> out;
        for (const auto &r : requests) {
            if (r.target.startsWith(prefix))
                out.append(r);
        }
        return out;
    }

private:
    struct Rule
    {
        QByteArray method;
        QString target;
        ScriptedReply reply;
        int times;
    };

    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                serve(socket, *buffer);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void serve(QTcpSocket *socket, QByteArray &buffer)
    {
        for (;;) {
            const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
            if (headEnd < 0)
                return;
            const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
            ScriptedRequest request;
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.method = first.value(0);
            request.target = QString::fromUtf8(first.value(1));
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray line = lines.at(i).trimmed();
                const qsizetype colon = line.indexOf(':');
                if (colon > 0)
                    request.headers.insert(line.left(colon).trimmed().toLower(),
                                           line.mid(colon + 1).trimmed());
            }
            const qsizetype length = request.headers.value("content-length", "0").toLongLong();
            if (buffer.size() < headEnd + 4 + length)
                return;
            request.body = buffer.mid(headEnd + 4, length);
            buffer.remove(0, headEnd + 4 + length);
            requests.append(request);
            respond(socket, request);
        }
    }

    void respond(QTcpSocket *socket, const ScriptedRequest &request)
    {
        ScriptedReply reply;
        reply.status = 404;
        reply.body = R"({"code":"not_found","message":"없는 주소입니다."})";
        for (Rule &rule : m_rules) {
            if (rule.times == 0 || !request.target.startsWith(rule.target)
                || (!rule.method.isEmpty() && rule.method != request.method))
                continue;
            if (rule.times > 0)
                --rule.times;
            reply = rule.reply;
            break;
        }
        if (reply.silent)
            return;
        if (reply.hangUp) {
            socket->disconnectFromHost();
            return;
        }
        if (reply.delayMs > 0) {
            QTimer::singleShot(reply.delayMs, socket, [socket, reply] { send(socket, reply); });
            return;
        }
        if (reply.endless) {
            sendEndless(socket, reply);
            return;
        }
        if (reply.trickleMs > 0) {
            sendTrickle(socket, reply);
            return;
        }
        send(socket, reply);
    }

    // Writes another chunk whenever the client has taken the last, until it hangs up.
    void sendEndless(QTcpSocket *socket, const ScriptedReply &reply)
    {
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status)
                      + " Scripted\r\nTransfer-Encoding: chunked\r\n\r\n");
        const auto more = [this, socket] {
            constexpr int kChunk = 256 * 1024;
            if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() > 0)
                return;
            socket->write(QByteArray::number(kChunk, 16) + "\r\n" + QByteArray(kChunk, 'x')
                          + "\r\n");
            endlessBytesSent += kChunk;
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, this, more);
        more();
    }

    // One byte now and then, so that the connection never falls idle and never finishes.
    static void sendTrickle(QTcpSocket *socket, const ScriptedReply &reply)
    {
        socket->write("HTTP/1.1 " + QByteArray::number(reply.status)
                      + " Scripted\r\nTransfer-Encoding: chunked\r\n\r\n");
        auto *timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket] {
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write("1\r\n{\r\n");
        });
        timer->start(reply.trickleMs);
    }

    static void send(QTcpSocket *socket, const ScriptedReply &reply)
    {
        if (reply.drop) {
            socket->abort();
            return;
        }
        QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\n";
        for (const auto &[name, value] : reply.headers)
            out += name + ": " + value + "\r\n";
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        out += reply.body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QList<Rule> m_rules;
};

// A client against a ScriptedServer, its session kept apart; signed out again when it goes.
struct ScriptedClient
{
    ScriptedServer server;
    IsolatedOptions options;
    ChatClient client{server.baseUrl(), options.options};

    ~ScriptedClient()
    {
        if (client.hasSession())
            await(client.logout());
    }

    // Signs in as `user` with the tokens "acc1" and "ref1"; forgets the requests so far.
    bool signIn(const QUuid &user, qint64 expiresIn = 3600);
};

inline const QUuid kRoom
    = QUuid::fromString(QStringLiteral("5b0f5c56-7c6b-4c1e-9f0e-2d6b8a1f0a11"));

inline QByteArray userJson(const QUuid &id, const QString &handle = QStringLiteral("mina"))
{
    return QStringLiteral(
               R"({"id":"%1","kind":"person","handle":"%2","display_name":"미나","status":"active"})")
        .arg(id.toString(QUuid::WithoutBraces), handle)
        .toUtf8();
}

inline QByteArray authJson(const QString &access, const QString &refresh, qint64 expiresIn,
                           const QUuid &user)
{
    return QStringLiteral(R"({"access_token":"%1","refresh_token":"%2","expires_in":%3,"user":%4})")
        .arg(access, refresh)
        .arg(expiresIn)
        .arg(QString::fromUtf8(userJson(user)))
        .toUtf8();
}

#if __has_include("service/StandInService.h")
#include "service/StandInService.h"

// A person on the stand-in service who signs in with `email` and "secret123".
inline QUuid addPerson(StandInService &svc, const QString &email, const QString &handle,
                       const QString &displayName)
{
    SeedUser u;
    u.email = email;
    u.password = QStringLiteral("secret123");
    u.handle = handle;
    u.displayName = displayName;
    return svc.addUser(u);
}
#endif

inline bool ScriptedClient::signIn(const QUuid &user, qint64 expiresIn)
{
    server.onJson("POST", "/v1/auth/login", 200, authJson("acc1", "ref1", expiresIn, user), 1);
    server.onJson("POST", "/v1/auth/logout", 204, {});
    const bool ok = await(client.login("a@b.c", "pw")).ok();
    server.requests.clear();
    return ok;
}

// Spins the event loop until `done` holds or the time runs out; true when it held.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 10000)
{
    return QTest::qWaitFor(done, timeoutMs);
}
