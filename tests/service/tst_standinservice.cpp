// The stand-in service's own behaviour that the client's tests do not reach: refusals of bad
// input, idempotent sends, the room size limit, scripted faults, the socket's edges and the
// data file.
#include "service/DemoSeed.h"
#include "service/StandInService.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

#include <memory>

namespace {
struct Answer
{
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QString code() const { return json().value(QStringLiteral("code")).toString(); }
};

QString idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestStandInService : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StandInService> service;
    std::unique_ptr<QNetworkAccessManager> net;
    QUuid sora;
    QUuid taeo;
    QString soraToken;
    QString taeoToken;

    Answer call(const QByteArray &method, const QString &target, const QByteArray &body = {},
                const QString &token = {})
    {
        QNetworkRequest request(QUrl(service->baseUrl().toString() + target));
        request.setRawHeader("Accept", "application/json");
        if (!body.isNull())
            request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        QNetworkReply *reply = body.isNull() ? net->sendCustomRequest(request, method)
                                             : net->sendCustomRequest(request, method, body);
        const bool done = QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000);
        Answer a;
        if (done) {
            a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            a.error = reply->error();
            a.body = reply->readAll();
        }
        reply->deleteLater();
        return a;
    }

    Answer call(const QByteArray &method, const QString &target, const QJsonObject &body,
                const QString &token)
    {
        return call(method, target, QJsonDocument(body).toJson(QJsonDocument::Compact), token);
    }

    std::unique_ptr<QWebSocket> openSocket(const QString &token, QList<QJsonObject> *frames)
    {
        auto socket = std::make_unique<QWebSocket>();
        connect(socket.get(), &QWebSocket::textMessageReceived, this, [frames](const QString &t) {
            frames->append(QJsonDocument::fromJson(t.toUtf8()).object());
        });
        QSignalSpy connected(socket.get(), &QWebSocket::connected);
        QUrl url = service->baseUrl();
        url.setScheme(QStringLiteral("ws"));
        url.setPath(QStringLiteral("/v1/ws"));
        socket->open(url);
        if (!connected.wait(5000))
            return nullptr;
        if (!token.isNull()) {
            socket->sendTextMessage(QString::fromUtf8(
                QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("auth")},
                                          {QStringLiteral("access_token"), token},
                                          {QStringLiteral("platform"), QStringLiteral("macos")}})
                    .toJson(QJsonDocument::Compact)));
            if (!QTest::qWaitFor([frames] { return !frames->isEmpty(); }, 5000))
                return nullptr;
        }
        return socket;
    }

    QUuid addPerson(const QString &handle)
    {
        SeedUser u;
        u.email = handle + QStringLiteral("@test.zumo");
        u.password = QStringLiteral("secret123");
        u.handle = handle;
        u.displayName = handle;
        return service->addUser(u);
    }

private slots:
    void init()
    {
        service = std::make_unique<StandInService>();
        QVERIFY(service->listen());
        net = std::make_unique<QNetworkAccessManager>();
        sora = addPerson(QStringLiteral("sora"));
        taeo = addPerson(QStringLiteral("taeo"));
        soraToken = service->issueTokens(sora).accessToken;
        taeoToken = service->issueTokens(taeo).accessToken;
    }

    void cleanup()
    {
        net.reset();
        service.reset();
    }

    void badInputIsRefusedWithACode_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("code");

        const QByteArray none;
        QTest::newRow("malformed json")
            << QByteArray("POST") << "/v1/auth/login" << QByteArray("{\"email\":") << false << 400
            << "invalid_json";
        QTest::newRow("array body") << QByteArray("POST") << "/v1/reports" << QByteArray("[1,2]")
                                    << true << 400 << "invalid_json";
        QTest::newRow("missing key")
            << QByteArray("POST") << "/v1/auth/login" << QByteArray("{\"email\":\"a@b.cd\"}")
            << false << 400 << "invalid_request";
        QTest::newRow("wrong type")
            << QByteArray("POST") << "/v1/uploads" << QByteArray("{\"byte_size\":\"12\"}") << true
            << 400 << "invalid_request";
        QTest::newRow("fractional integer")
            << QByteArray("POST") << "/v1/uploads" << QByteArray("{\"byte_size\":1.5}") << true
            << 400 << "invalid_request";
        QTest::newRow("bad uuid in body")
            << QByteArray("POST") << "/v1/blocks" << QByteArray("{\"user_id\":\"nope\"}") << true
            << 400 << "invalid_request";
        QTest::newRow("unknown room")
            << QByteArray("GET") << "/v1/conversations/" + idText(QUuid::createUuid()) + "/messages"
            << none << true << 404 << "conversation_not_found";
        QTest::newRow("non-uuid path")
            << QByteArray("POST") << "/v1/messages/xyz/hide" << none << true << 404 << "not_found";
        QTest::newRow("unknown path")
            << QByteArray("GET") << "/v1/nothing" << none << true << 404 << "not_found";
        QTest::newRow("wrong method") << QByteArray("DELETE") << "/v1/conversations" << none << true
                                      << 405 << "method_not_allowed";
        QTest::newRow("no token") << QByteArray("GET") << "/v1/me" << none << false << 401
                                  << "unauthorized";
        QTest::newRow("oversized body")
            << QByteArray("POST") << "/v1/reports"
            << QByteArray("{\"reason\":\"" + QByteArray(300 * 1024, 'x') + "\"}") << true << 413
            << "payload_too_large";
        QTest::newRow("bad sync cursor") << QByteArray("GET") << "/v1/sync?after=abc:1" << none
                                         << true << 400 << "invalid_cursor";
        QTest::newRow("bad seq query")
            << QByteArray("GET")
            << "/v1/conversations/" + idText(QUuid::createUuid()) + "/messages?after_seq=x" << none
            << true << 400 << "invalid_request";
        QTest::newRow("unknown handle")
            << QByteArray("GET") << "/v1/users?handle=nobody" << none << true << 404 << "not_found";
        QTest::newRow("two room settings")
            << QByteArray("PATCH") << "/v1/conversations/" + idText(QUuid::createUuid())
            << QByteArray("{\"muted\":true,\"pinned\":true}") << true << 400 << "invalid_request";
    }

    void badInputIsRefusedWithACode()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, target);
        QFETCH(QByteArray, body);
        QFETCH(bool, signedIn);
        QFETCH(int, status);
        QFETCH(QString, code);

        const Answer a = call(method, target, body, signedIn ? soraToken : QString());
        QCOMPARE(a.status, status);
        QCOMPARE(a.code(), code);
        QVERIFY(!a.json().value(QStringLiteral("message")).toString().isEmpty());
        // The service is still answering afterwards.
        QCOMPARE(call("GET", QStringLiteral("/v1/me"), QByteArray(), soraToken).status, 200);
    }

    void expiredAccessTokenIsRefused()
    {
        service->setAccessTokenLifetime(0);
        const IssuedTokens t = service->issueTokens(sora);
        QCOMPARE(call("GET", QStringLiteral("/v1/me"), QByteArray(), t.accessToken).status, 401);
        service->setAccessTokenLifetime(3600);
        const Answer refreshed
            = call("POST", QStringLiteral("/v1/auth/refresh"),
                   QJsonObject{{QStringLiteral("refresh_token"), t.refreshToken}}, QString());
        QCOMPARE(refreshed.status, 200);
        const QString fresh = refreshed.json().value(QStringLiteral("access_token")).toString();
        QCOMPARE(call("GET", QStringLiteral("/v1/me"), QByteArray(), fresh).status, 200);
        // A refresh token works once.
        QCOMPARE(call("POST", QStringLiteral("/v1/auth/refresh"),
                      QJsonObject{{QStringLiteral("refresh_token"), t.refreshToken}}, QString())
                     .status,
                 401);
    }

    void sendIsIdempotentByClientMessageId()
    {
        service->makeFriends(sora, taeo);
        const QUuid room = service->addDirectRoom(sora, taeo);
        QList<QJsonObject> taeoFrames;
        auto taeoSocket = openSocket(taeoToken, &taeoFrames);
        QVERIFY(taeoSocket);
        QList<QJsonObject> soraFrames;
        auto soraSocket = openSocket(soraToken, &soraFrames);
        QVERIFY(soraSocket);

        const QString clientId = idText(QUuid::createUuid());
        const QJsonObject send{{QStringLiteral("client_msg_id"), clientId},
                               {QStringLiteral("body"), QStringLiteral("안녕")}};
        const QString path = "/v1/conversations/" + idText(room) + "/messages";
        const Answer first = call("POST", path, send, soraToken);
        QCOMPARE(first.status, 200);
        const Answer second = call("POST", path, send, soraToken);
        QCOMPARE(second.status, 200);
        QCOMPARE(second.json(), first.json());
        // The socket copy of the same send.
        QJsonObject frame = send;
        frame.insert(QStringLiteral("type"), QStringLiteral("message.send"));
        frame.insert(QStringLiteral("conversation_id"), idText(room));
        soraSocket->sendTextMessage(QString::fromUtf8(QJsonDocument(frame).toJson()));
        QTRY_COMPARE(service->receivedFrames().size(), 3); // two auth frames and the send

        const Answer page = call("GET", path, QByteArray(), taeoToken);
        const QJsonArray messages = page.json().value(QStringLiteral("messages")).toArray();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.at(0).toObject().value(QStringLiteral("seq")).toInt(), 1);
        QCOMPARE(messages.at(0).toObject().value(QStringLiteral("client_msg_id")).toString(),
                 clientId);

        // The peer heard of it exactly once.
        call("GET", QStringLiteral("/v1/me"), QByteArray(), taeoToken); // let frames arrive
        int created = 0;
        for (const QJsonObject &f : taeoFrames)
            created
                += f.value(QStringLiteral("type")).toString() == QLatin1String("message.created");
        QCOMPARE(created, 1);
    }

    void groupHoldsAtMostTwentyMembers()
    {
        QList<QUuid> friends;
        for (int i = 0; i < 20; ++i) {
            const QUuid id = addPerson(QStringLiteral("user%1").arg(i));
            service->makeFriends(sora, id);
            friends.append(id);
        }
        QJsonArray nineteen;
        for (int i = 0; i < 19; ++i)
            nineteen.append(idText(friends[i]));
        QJsonArray twenty = nineteen;
        twenty.append(idText(friends[19]));

        const Answer tooMany = call("POST", QStringLiteral("/v1/conversations"),
                                    QJsonObject{{QStringLiteral("type"), QStringLiteral("group")},
                                                {QStringLiteral("title"), QStringLiteral("큰 방")},
                                                {QStringLiteral("member_ids"), twenty}},
                                    soraToken);
        QCOMPARE(tooMany.status, 409);
        QCOMPARE(tooMany.code(), QStringLiteral("room_full"));

        const Answer full = call("POST", QStringLiteral("/v1/conversations"),
                                 QJsonObject{{QStringLiteral("type"), QStringLiteral("group")},
                                             {QStringLiteral("title"), QStringLiteral("큰 방")},
                                             {QStringLiteral("member_ids"), nineteen}},
                                 soraToken);
        QCOMPARE(full.status, 200);
        const QString room = full.json().value(QStringLiteral("id")).toString();
        const QString members = "/v1/conversations/" + room + "/members";
        const QJsonObject addLast{{QStringLiteral("user_ids"), QJsonArray{idText(friends[19])}}};
        const Answer refused = call("POST", members, addLast, soraToken);
        QCOMPARE(refused.status, 409);
        QCOMPARE(refused.code(), QStringLiteral("room_full"));

        // After one member leaves there is room again.
        QCOMPARE(call("DELETE", members + "/" + idText(friends[0]), QByteArray(), soraToken).status,
                 200);
        QCOMPARE(call("POST", members, addLast, soraToken).status, 200);
    }

    void handleChangesOnlyOnce()
    {
        const QUuid fresh = service->addUser(
            {QStringLiteral("new@test.zumo"), QStringLiteral("secret123"), {}, {}, {}, {}, true});
        const QString token = service->issueTokens(fresh).accessToken;
        auto setHandle = [&](const QString &h) {
            return call("PATCH", QStringLiteral("/v1/me"),
                        QJsonObject{{QStringLiteral("handle"), h}}, token);
        };
        QCOMPARE(setHandle(QStringLiteral("first")).status, 200); // the first handle is free
        QCOMPARE(setHandle(QStringLiteral("sora")).code(), QStringLiteral("handle_taken"));
        QCOMPARE(setHandle(QStringLiteral("second")).status, 200);
        const Answer locked = setHandle(QStringLiteral("third"));
        QCOMPARE(locked.status, 409);
        QCOMPARE(locked.code(), QStringLiteral("handle_locked"));
        QCOMPARE(service->userJson(fresh).value(QStringLiteral("handle")).toString(),
                 QStringLiteral("second"));
    }

    void registrationNeedsTheMailedCode()
    {
        const QJsonObject form{{QStringLiteral("email"), QStringLiteral("mina@test.zumo")},
                               {QStringLiteral("password"), QStringLiteral("abcd1234")}};
        QCOMPARE(call("POST", QStringLiteral("/v1/auth/register"), form, QString()).status, 200);
        const QString code = service->lastEmailCode(QStringLiteral("mina@test.zumo"));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]{6}$")).match(code).hasMatch());
        QJsonObject verify{
            {QStringLiteral("email"), QStringLiteral("mina@test.zumo")},
            {QStringLiteral("code"), code == QLatin1String("000000") ? "111111" : "000000"},
            {QStringLiteral("platform"), QStringLiteral("macos")}};
        QCOMPARE(call("POST", QStringLiteral("/v1/auth/register/verify"), verify, QString()).code(),
                 QStringLiteral("invalid_code"));
        verify.insert(QStringLiteral("code"), code);
        const Answer ok
            = call("POST", QStringLiteral("/v1/auth/register/verify"), verify, QString());
        QCOMPARE(ok.status, 200);
        QVERIFY(!ok.json().value(QStringLiteral("refresh_token")).toString().isEmpty());
        const Answer again = call("POST", QStringLiteral("/v1/auth/register"), form, QString());
        QCOMPARE(again.status, 409);
        QCOMPARE(again.code(), QStringLiteral("email_taken"));
    }

    void scriptedFaults()
    {
        service->failNext(QStringLiteral("GET"), QStringLiteral("/v1/me"), 1, 401,
                          QStringLiteral("unauthorized"), QStringLiteral("again"));
        QCOMPARE(call("GET", QStringLiteral("/v1/me"), QByteArray(), soraToken).status, 401);
        QCOMPARE(call("GET", QStringLiteral("/v1/me"), QByteArray(), soraToken).status, 200);

        service->answerNonJsonNext(QString(), QStringLiteral("/v1/conversations"), 1, 502);
        const Answer html
            = call("GET", QStringLiteral("/v1/conversations"), QByteArray(), soraToken);
        QCOMPARE(html.status, 502);
        QVERIFY(html.json().isEmpty());

        service->dropNext(QStringLiteral("GET"), QStringLiteral("/v1/me"), 1);
        const Answer dropped = call("GET", QStringLiteral("/v1/me"), QByteArray(), soraToken);
        QCOMPARE(dropped.status, 0);
        QVERIFY(dropped.error != QNetworkReply::NoError);
        QCOMPARE(call("GET", QStringLiteral("/v1/me"), QByteArray(), soraToken).status, 200);

        // A delayed answer leaves the service free for other requests meanwhile.
        service->delayNext(QStringLiteral("GET"), QStringLiteral("/v1/me/invite"), 1, 800);
        QNetworkRequest slow(QUrl(service->baseUrl().toString() + "/v1/me/invite"));
        slow.setRawHeader("Authorization", "Bearer " + soraToken.toUtf8());
        QNetworkReply *slowReply = net->get(slow);
        QCOMPARE(call("GET", QStringLiteral("/v1/me"), QByteArray(), soraToken).status, 200);
        QVERIFY(!slowReply->isFinished());
        QTRY_VERIFY_WITH_TIMEOUT(slowReply->isFinished(), 5000);
        QCOMPARE(slowReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        slowReply->deleteLater();

        // The raw target is recorded as sent.
        service->clearRecords();
        call("GET", QStringLiteral("/v1/users?handle=a%20b%26c"), QByteArray(), soraToken);
        QCOMPARE(service->requests().size(), 1);
        QCOMPARE(service->requests().at(0).target, QStringLiteral("/v1/users?handle=a%20b%26c"));
        QCOMPARE(service->requests().at(0).headers.value("authorization"),
                 "Bearer " + soraToken.toUtf8());
    }

    void photoUploadRoundTrip()
    {
        const QByteArray jpeg = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(1000, 'j');
        const Answer ticket
            = call("POST", QStringLiteral("/v1/uploads"),
                   QJsonObject{{QStringLiteral("byte_size"), jpeg.size()}}, soraToken);
        QCOMPARE(ticket.status, 200);
        const QString key = ticket.json().value(QStringLiteral("object_key")).toString();
        const QUrl uploadUrl(ticket.json().value(QStringLiteral("upload_url")).toString());
        QCOMPARE(uploadUrl.port(), int(service->port()));

        QNetworkRequest put(uploadUrl);
        put.setHeader(QNetworkRequest::ContentTypeHeader, "image/jpeg");
        QNetworkReply *short_ = net->put(put, jpeg.left(10));
        QTRY_VERIFY(short_->isFinished());
        QCOMPARE(short_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 400);
        short_->deleteLater();
        QNetworkReply *reply = net->put(put, jpeg);
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        reply->deleteLater();
        QCOMPARE(service->uploadedBytes(key), jpeg);

        service->makeFriends(sora, taeo);
        const QUuid room = service->addDirectRoom(sora, taeo);
        const QJsonObject images{
            {QStringLiteral("client_msg_id"), idText(QUuid::createUuid())},
            {QStringLiteral("attachments"),
             QJsonArray{QJsonObject{{QStringLiteral("object_key"), key},
                                    {QStringLiteral("width"), 1},
                                    {QStringLiteral("height"), 1},
                                    {QStringLiteral("byte_size"), jpeg.size()}}}}};
        const Answer sent
            = call("POST", "/v1/conversations/" + idText(room) + "/images", images, soraToken);
        QCOMPARE(sent.status, 200);
        const QString url = sent.json()
                                .value(QStringLiteral("attachments"))
                                .toArray()
                                .at(0)
                                .toObject()
                                .value(QStringLiteral("url"))
                                .toString();
        QNetworkReply *get = net->get(QNetworkRequest(QUrl(url)));
        QTRY_VERIFY(get->isFinished());
        QCOMPARE(get->readAll(), jpeg);
        get->deleteLater();

        service->setMaxUploadBytes(100);
        QCOMPARE(call("POST", QStringLiteral("/v1/uploads"),
                      QJsonObject{{QStringLiteral("byte_size"), 101}}, soraToken)
                     .status,
                 413);
    }

    void socketEdges()
    {
        QList<QJsonObject> frames;
        auto bad = openSocket(QStringLiteral("not-a-token"), &frames);
        QVERIFY(bad);
        QCOMPARE(frames.value(0).value(QStringLiteral("type")).toString(), QStringLiteral("error"));
        QCOMPARE(frames.value(0).value(QStringLiteral("code")).toString(),
                 QStringLiteral("unauthorized"));

        frames.clear();
        auto socket = openSocket(soraToken, &frames);
        QVERIFY(socket);
        QCOMPARE(frames.value(0).value(QStringLiteral("type")).toString(),
                 QStringLiteral("auth.ok"));
        QCOMPARE(service->authenticatedSocketCount(), 1);
        socket->sendTextMessage(QStringLiteral("this is not json"));
        QTRY_COMPARE(frames.size(), 2);
        QCOMPARE(frames.at(1).value(QStringLiteral("code")).toString(),
                 QStringLiteral("invalid_frame"));
        QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);

        // Typing reaches the other member, not the typist.
        service->makeFriends(sora, taeo);
        const QUuid room = service->addDirectRoom(sora, taeo);
        QList<QJsonObject> taeoFrames;
        auto taeoSocket = openSocket(taeoToken, &taeoFrames);
        QVERIFY(taeoSocket);
        frames.clear();
        socket->sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("typing.start")},
                                      {QStringLiteral("conversation_id"), idText(room)}})
                .toJson()));
        QTRY_COMPARE(taeoFrames.size(), 2);
        QCOMPARE(taeoFrames.at(1).value(QStringLiteral("type")).toString(),
                 QStringLiteral("typing"));
        QCOMPARE(taeoFrames.at(1).value(QStringLiteral("user_id")).toString(), idText(sora));
        QCOMPARE(taeoFrames.at(1).value(QStringLiteral("active")).toBool(), true);
        for (const QJsonObject &f : frames)
            QVERIFY2(f.value(QStringLiteral("type")).toString() != QLatin1String("typing"),
                     QJsonDocument(f).toJson().constData());

        QSignalSpy closed(socket.get(), &QWebSocket::disconnected);
        service->dropAllSockets();
        QVERIFY(closed.wait(5000));
        QCOMPARE(service->authenticatedSocketCount(), 0);
    }

    // What one service wrote, the next one on the same file knows: the account, its signed-in
    // session and its messages, whether written shortly after the change or when it ended.
    void dataFileKeepsEverythingAcrossARestart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("folder/data.json"));
        service = std::make_unique<StandInService>();
        QVERIFY(service->listen());
        QCOMPARE(service->useDataFile(path).outcome, DataFileStatus::New);
        sora = addPerson(QStringLiteral("sora"));
        taeo = addPerson(QStringLiteral("taeo"));
        service->makeFriends(sora, taeo);
        const QString messages
            = "/v1/conversations/" + idText(service->addDirectRoom(sora, taeo)) + "/messages";
        const Answer login = call("POST", QStringLiteral("/v1/auth/login"),
                                  QJsonObject{{QStringLiteral("email"), "sora@test.zumo"},
                                              {QStringLiteral("password"), "secret123"},
                                              {QStringLiteral("platform"), "macos"}},
                                  QString());
        QCOMPARE(login.status, 200);
        const QString access = login.json().value(QStringLiteral("access_token")).toString();
        const QString refresh = login.json().value(QStringLiteral("refresh_token")).toString();
        const auto send = [&](const QString &body) {
            return call("POST", messages,
                        QJsonObject{{QStringLiteral("client_msg_id"), idText(QUuid::createUuid())},
                                    {QStringLiteral("body"), body}},
                        access)
                .status;
        };
        QCOMPARE(send(QStringLiteral("첫 메시지")), 200);
        QTRY_VERIFY(fileBytes(path).contains(QStringLiteral("첫 메시지").toUtf8()));
        // Passwords and tokens are inside: nothing of the file or its folder for group or others.
        QCOMPARE(QFile::permissions(path) & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFile::permissions(QFileInfo(path).path()) & 0x0077, QFileDevice::Permissions());
        QCOMPARE(send(QStringLiteral("마지막 메시지")), 200);
        service.reset(); // before the delayed write: the last write is the one at the end

        service = std::make_unique<StandInService>();
        QVERIFY(service->listen());
        QCOMPARE(service->useDataFile(path).outcome, DataFileStatus::Read);
        const Answer me = call("GET", QStringLiteral("/v1/me"), QByteArray(), access);
        QCOMPARE(me.status, 200);
        QCOMPARE(me.json().value(QStringLiteral("id")).toString(), idText(sora));
        const QJsonArray kept
            = call("GET", messages, QByteArray(), access).json().value("messages").toArray();
        QCOMPARE(kept.size(), 2);
        QCOMPARE(kept.at(1).toObject().value(QStringLiteral("body")).toString(),
                 QStringLiteral("마지막 메시지"));
        QCOMPARE(call("POST", QStringLiteral("/v1/auth/refresh"),
                      QJsonObject{{QStringLiteral("refresh_token"), refresh}}, QString())
                     .status,
                 200);
    }

    void unreadableDataFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: a folder stands at the path
        QTest::newRow("cut short") << QByteArray(R"({"format":1,"users":[{"id":)");
        QTest::newRow("not an object") << QByteArray("[1,2]");
        QTest::newRow("another format") << QByteArray(R"({"format":99})");
        QTest::newRow("no announcement account") << QByteArray(R"({"format":1,"users":[]})");
        QTest::newRow("a folder") << QByteArray();
    }

    // Nothing of an unreadable file is lost: it moves aside whole, and the service starts
    // empty with a new file of its own at the path.
    void unreadableDataFileIsSetAside()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.json"));
        if (content.isNull()) {
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("data.json/inside")));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }

        service = std::make_unique<StandInService>();
        const DataFileStatus status = service->useDataFile(path);
        QCOMPARE(status.outcome, DataFileStatus::SetAside);
        QVERIFY(status.message.contains(status.asidePath));
        if (content.isNull())
            QVERIFY(QFileInfo::exists(status.asidePath + QStringLiteral("/inside")));
        else
            QCOMPARE(fileBytes(status.asidePath), content);
        QVERIFY(service->accountByEmail(QStringLiteral("sora@test.zumo")).isNull());
        sora = addPerson(QStringLiteral("sora"));
        service.reset();

        service = std::make_unique<StandInService>();
        QCOMPARE(service->useDataFile(path).outcome, DataFileStatus::Read);
        QCOMPARE(service->accountByEmail(QStringLiteral("sora@test.zumo")), sora);
    }

    void demoIsSeededOnceIntoADataFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.json"));
        for (int run = 0; run < 2; ++run) {
            StandInService demo;
            demo.useDataFile(path);
            QCOMPARE(DemoSeed::apply(demo).size(), 3);
        }
        int soras = 0;
        const QJsonDocument saved = QJsonDocument::fromJson(fileBytes(path));
        for (const QJsonValue &user : saved.object().value(QStringLiteral("users")).toArray())
            soras += user[QStringLiteral("email")] == QStringLiteral("sora@demo.zumo");
        QCOMPARE(soras, 1);
    }
};

QTEST_MAIN(TestStandInService)
#include "tst_standinservice.moc"
