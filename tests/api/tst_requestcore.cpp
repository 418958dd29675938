#include "ApiTestSupport.h"

#include "api/ChatClient.h"
#include "api/HttpAnswer.h"

#include <QJsonArray>
#include <QNetworkReply>
#include <QTest>

namespace {

QByteArray messageJson()
{
    return QStringLiteral(
               R"({"id":"%1","conversation_id":"%2","seq":3,"sender_id":"%1","type":"text","origin":"user","body":"안녕"})")
        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces),
             kRoom.toString(QUuid::WithoutBraces))
        .toUtf8();
}

constexpr qint64 kLoweredListLimit = 4 * 1024 * 1024;

} // namespace

// The REST request core and the endpoint methods against a scripted server: headers, bodies,
// the one refresh and retry after 401, and answers the service should never give.
class TestRequestCore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_scripted = std::make_unique<ScriptedClient>();
        m_server = &m_scripted->server;
        m_client = &m_scripted->client;
        m_lost = 0;
        m_client->onSessionLost = [this] { ++m_lost; };
    }

    void cleanup() { m_scripted.reset(); }

    void headersOfSignedOutAndSignedInCalls()
    {
        signIn();
        m_server->onJson("GET", "/v1/me", 200, userJson(m_user));
        m_server->onJson("POST", "/v1/me/invite", 200, R"({"code":"abc"})");
        m_server->onJson("POST", "/v1/auth/register", 200, {});

        QVERIFY(await(m_client->me()).ok());
        QCOMPARE(await(m_client->rotateInvite()).value.value_or(QString()), QStringLiteral("abc"));
        QVERIFY(await(m_client->registerAccount("a@b.c", "pw")).ok());

        QCOMPARE(m_server->requests.size(), 3);
        const auto get = m_server->requests.at(0);
        QCOMPARE(get.method, QByteArray("GET"));
        QCOMPARE(get.headers.value("accept"), QByteArray("application/json"));
        QCOMPARE(get.headers.value("authorization"), QByteArray("Bearer acc1"));
        QVERIFY(!get.headers.contains("content-type"));
        QVERIFY(get.body.isEmpty());

        const auto bodiless = m_server->requests.at(1);
        QCOMPARE(bodiless.method, QByteArray("POST"));
        QVERIFY(!bodiless.headers.contains("content-type"));
        QVERIFY(bodiless.body.isEmpty());

        // Signed in, but a sign-up call carries no token.
        const auto reg = m_server->requests.at(2);
        QVERIFY(!reg.headers.contains("authorization"));
        QCOMPARE(reg.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(reg.headers.value("accept"), QByteArray("application/json"));
        QCOMPARE(reg.json(), (QJsonObject{{"email", "a@b.c"}, {"password", "pw"}}));
    }

    void refusedSignInIsNotRetried()
    {
        m_server->onJson("POST", "/v1/auth/login", 401,
                         R"({"code":"invalid_credentials","message":"비밀번호가 틀렸습니다."})");
        const auto r = await(m_client->login("a@b.c", "wrong"));
        QVERIFY(r.apiError);
        QCOMPARE(
            *r.apiError,
            ChatAPIError(401, "invalid_credentials", QStringLiteral("비밀번호가 틀렸습니다.")));
        QCOMPARE(m_server->requests.size(), 1);
        QCOMPARE(m_server->requests.at(0).json().value("platform").toString(),
                 QStringLiteral("macos"));
        QVERIFY(!m_client->hasSession());
        QCOMPARE(m_lost, 0);
    }

    void authorisedCallRefreshesOnceAndRetries()
    {
        signIn();
        m_server->onJson("GET", "/v1/me", 200, userJson(m_user, "after"));
        m_server->onJson("GET", "/v1/me", 401, R"({"code":"unauthorized","message":"만료"})", 1);
        m_server->onJson("POST", "/v1/auth/refresh", 200, authJson("acc2", "ref2", 3600, m_user),
                         1);

        const auto r = await(m_client->me());
        QVERIFY(r.ok());
        QCOMPARE(r.value->handle.value_or(QString()), QStringLiteral("after"));
        QCOMPARE(m_server->requests.size(), 3);
        QCOMPARE(m_server->requests.at(0).headers.value("authorization"),
                 QByteArray("Bearer acc1"));
        QCOMPARE(m_server->requests.at(1).target, QStringLiteral("/v1/auth/refresh"));
        QCOMPARE(m_server->requests.at(1).json(), (QJsonObject{{"refresh_token", "ref1"}}));
        QVERIFY(!m_server->requests.at(1).headers.contains("authorization"));
        QCOMPARE(m_server->requests.at(2).headers.value("authorization"),
                 QByteArray("Bearer acc2"));
        QCOMPARE(m_client->tokens()->refreshToken, QStringLiteral("ref2"));
    }

    void secondUnauthorisedAnswerIsFinal()
    {
        signIn();
        m_server->onJson("PATCH", "/v1/me/password", 401,
                         R"({"code":"unauthorized","message":"두 번째"})");
        m_server->onJson("POST", "/v1/auth/refresh", 200, authJson("acc2", "ref2", 3600, m_user));

        const auto r = await(m_client->changePassword("old", "new"));
        QVERIFY(r.apiError);
        QCOMPARE(*r.apiError, ChatAPIError(401, "unauthorized", QStringLiteral("두 번째")));
        QCOMPARE(m_server->requestsTo("/v1/auth/refresh").size(), 1);
        QCOMPARE(m_server->requestsTo("/v1/me/password").size(), 2);
        QCOMPARE(m_server->requests.at(0).json(),
                 (QJsonObject{{"current_password", "old"}, {"password", "new"}}));
        QVERIFY(m_client->hasSession()); // a refused call is not a refused refresh
    }

    void noSessionFailsBeforeSending()
    {
        const auto r = await(m_client->conversations());
        QVERIFY(r.apiError);
        QCOMPARE(*r.apiError, ChatAPIError::unauthorized());
        QVERIFY(m_server->requests.isEmpty());
        QCOMPARE(m_lost, 0);

        const auto token = await(m_client->accessToken());
        QCOMPARE(*token.apiError, ChatAPIError::unauthorized());
        QVERIFY(!m_client->lastFailure());

        // No address can be formed: status 0, decided before any token is asked for.
        ChatClient unusable{QUrl(), m_scripted->options.options};
        QCOMPARE(*await(unusable.registerAccount("a@b.c", "pw")).apiError,
                 ChatAPIError::invalidResponse(0));
        QCOMPARE(*await(unusable.me()).apiError, ChatAPIError::invalidResponse(0));
    }

    void emptySuccessBodies()
    {
        signIn();
        m_server->onJson("POST", "/v1/auth/register", 204, {});
        m_server->onJson("GET", "/v1/me/invite", 204, {});
        QVERIFY(await(m_client->registerAccount("x@y.z", "pw")).ok());
        const auto r = await(m_client->inviteLink());
        QCOMPARE(*r.apiError, ChatAPIError::invalidResponse(500));
    }

    void transportFailureStaysApart()
    {
        signIn();
        m_server->on("GET", "/v1/conversations", ScriptedReply::dropped());
        const auto r = await(m_client->conversations());
        QVERIFY(r.transportError);
        QVERIFY(!r.apiError);
        QVERIFY(m_client->hasSession());
    }

    void concurrentCallsShareOneRefresh()
    {
        signIn(30); // expiring at once: every authorised call needs a refresh first
        m_server->on("POST", "/v1/auth/refresh",
                     ScriptedReply::late(100, 200, authJson("acc2", "ref2", 3600, m_user)));
        m_server->onJson("GET", "/v1/me", 200, userJson(m_user));
        m_server->onJson("GET", "/v1/conversations", 200, R"({"conversations":[]})");

        auto a = catching(m_client->me());
        auto b = catching(m_client->conversations());
        const auto ra = QCoro::waitFor(a);
        const auto rb = QCoro::waitFor(b);
        QVERIFY(ra.ok());
        QVERIFY(rb.ok());
        QCOMPARE(m_server->requestsTo("/v1/auth/refresh").size(), 1);
        QCOMPARE(m_server->requestsTo("/v1/me").at(0).headers.value("authorization"),
                 QByteArray("Bearer acc2"));
        QCOMPARE(m_server->requestsTo("/v1/conversations").at(0).headers.value("authorization"),
                 QByteArray("Bearer acc2"));
    }

    void refusedRefreshEndsTheSession()
    {
        signIn();
        m_server->onJson("GET", "/v1/me", 401, R"({"code":"unauthorized","message":"x"})");
        m_server->onJson("GET", "/v1/conversations", 401,
                         R"({"code":"unauthorized","message":"x"})");
        m_server->on(
            "POST", "/v1/auth/refresh",
            ScriptedReply::late(50, 401,
                                R"({"code":"session_expired","message":"다시 로그인해 주세요."})"));

        auto a = catching(m_client->me());
        auto b = catching(m_client->conversations());
        const auto ra = QCoro::waitFor(a);
        const auto rb = QCoro::waitFor(b);
        const ChatAPIError expected(401, "session_expired",
                                    QStringLiteral("다시 로그인해 주세요."));
        QCOMPARE(*ra.apiError, expected);
        QCOMPARE(*rb.apiError, expected);
        QCOMPARE(m_server->requestsTo("/v1/auth/refresh").size(), 1);
        QCOMPARE(m_lost, 1);
        QVERIFY(!m_client->hasSession());
        QVERIFY(!m_client->currentUser());
        QCOMPARE(m_client->lastFailure().value_or(QString()),
                 QStringLiteral("다시 로그인해 주세요."));
    }

    void undecodableRefreshKeepsTheSession()
    {
        signIn();
        m_server->onJson("POST", "/v1/auth/refresh", 200,
                         R"({"access_token":"a","refresh_token":"r","user":{}})");
        const auto r = await(m_client->performRefresh());
        QCOMPARE(*r.apiError, ChatAPIError::invalidResponse(500));
        QVERIFY(m_client->hasSession());
        QCOMPARE(m_client->tokens()->accessToken, QStringLiteral("acc1"));
        QCOMPARE(m_lost, 0);
    }

    void endpointBodies()
    {
        signIn();
        const QUuid a = QUuid::fromString(QStringLiteral("0c2a9e0b-3f3e-4b4d-8e4a-6a7e5c1d2b33"));
        const QString A = wireId(a);
        const QString R = wireId(kRoom);
        m_server->onJson(
            "", "/", 200,
            R"({"id":"0C2A9E0B-3F3E-4B4D-8E4A-6A7E5C1D2B33","conversation_id":"0C2A9E0B-3F3E-4B4D-8E4A-6A7E5C1D2B33","kind":"person","status":"active","code":"c","result":"self","messages":[],"conversations":[],"incoming":[],"outgoing":[]})");
        m_server->onJson("POST", "/v1/conversations/" + R + "/messages", 200, messageJson());

        struct Row
        {
            const char *name;
            std::function<QCoro::Task<bool>()> call;
            QByteArray method;
            QString target;
            QString body; // "" means no body at all
        };
        auto done = [](auto task) -> QCoro::Task<bool> {
            co_await std::move(task);
            co_return true;
        };
        ChatClient *c = m_client;
// A call made only when its row is reached.
#define CALL(call) [&] { return done(c->call); }
        const QList<Row> rows = {
            {"profile none", CALL(updateProfile({}, {}, {})), "PATCH", "/v1/me", "{}"},
            {"profile all", CALL(updateProfile("h", QStringLiteral("이름"), "u")), "PATCH",
             "/v1/me", R"({"avatar_url":"u","display_name":"이름","handle":"h"})"},
            {"device none", CALL(saveDevice({}, {}, {})), "PUT", "/v1/me/devices",
             R"({"platform":"macos"})"},
            {"device all", CALL(saveDevice("ab12", false, true)), "PUT", "/v1/me/devices",
             R"({"apns_token":"ab12","platform":"macos","preview_enabled":false,"push_enabled":true})"},
            {"friend none", CALL(requestFriend({}, {})), "POST", "/v1/friend-requests", "{}"},
            {"friend both", CALL(requestFriend(a, "mina")), "POST", "/v1/friend-requests",
             QStringLiteral(R"({"handle":"mina","user_id":"%1"})").arg(A)},
            {"accept", CALL(acceptFriend(a)), "POST", "/v1/friend-requests/" + A + "/accept", ""},
            {"block", CALL(block(a)), "POST", "/v1/blocks",
             QStringLiteral(R"({"user_id":"%1"})").arg(A)},
            {"follow", CALL(follow(a)), "POST", "/v1/official-accounts/" + A + "/follow", ""},
            {"official link", CALL(updateOfficialLink(a, true, {})), "PATCH",
             "/v1/official-accounts/" + A + "/link", R"({"broadcast_opt_out":true})"},
            {"open invite", CALL(openInvite("a b")), "POST", "/v1/invites/a%20b", ""},
            {"user", CALL(user(QStringLiteral("홍"))), "GET", "/v1/users?handle=%ED%99%8D", ""},
            {"direct", CALL(createDirect(a)), "POST", "/v1/conversations",
             QStringLiteral(R"({"user_id":"%1"})").arg(A)},
            {"group empty", CALL(createGroup(QStringLiteral("모임"), {})), "POST",
             "/v1/conversations", R"({"member_ids":[],"title":"모임","type":"group"})"},
            {"group", CALL(createGroup("t", {a, kRoom})), "POST", "/v1/conversations",
             QStringLiteral(R"({"member_ids":["%1","%2"],"title":"t","type":"group"})").arg(A, R)},
            {"invite members", CALL(invite(kRoom, {a})), "POST",
             "/v1/conversations/" + R + "/members",
             QStringLiteral(R"({"user_ids":["%1"]})").arg(A)},
            {"messages", CALL(messages(kRoom, {}, {})), "GET",
             "/v1/conversations/" + R + "/messages", ""},
            {"messages after", CALL(messages(kRoom, 5, {})), "GET",
             "/v1/conversations/" + R + "/messages?after_seq=5", ""},
            {"send", CALL(sendMessage(kRoom, a, QStringLiteral("안녕"))), "POST",
             "/v1/conversations/" + R + "/messages",
             QStringLiteral(R"({"body":"안녕","client_msg_id":"%1"})").arg(A)},
            {"read", CALL(read(kRoom, 42)), "POST", "/v1/conversations/" + R + "/read",
             R"({"seq":42})"},
            {"sync", CALL(sync(R + ":3")), "GET", "/v1/sync?after=" + R + ":3", ""},
            {"invite link", CALL(inviteLink()), "GET", "/v1/me/invite", ""},
            {"friend list", CALL(friendRequests()), "GET", "/v1/friend-requests", ""},
            {"delete account", CALL(deleteAccount()), "DELETE", "/v1/me", ""},
        };
#undef CALL

        for (const Row &row : rows) {
            if (!m_client->hasSession())
                signIn();
            m_server->requests.clear();
            const auto r = await(row.call());
            QVERIFY2(r.ok(), row.name);
            QVERIFY2(!m_server->requests.isEmpty(), row.name);
            const ScriptedRequest sent = m_server->requests.last();
            QVERIFY2(sent.method == row.method, row.name);
            QVERIFY2(sent.target == row.target,
                     qPrintable(QString::fromUtf8(row.name) + ": " + sent.target));
            if (row.body.isEmpty()) {
                QVERIFY2(sent.body.isEmpty() && !sent.headers.contains("content-type"), row.name);
            } else {
                QVERIFY2(
                    sent.json() == QJsonDocument::fromJson(row.body.toUtf8()).object(),
                    qPrintable(QString::fromUtf8(row.name) + ": " + QString::fromUtf8(sent.body)));
            }
        }
        // The account deletion was accepted: the session is gone.
        QVERIFY(!m_client->hasSession());
    }

    void endpointAnswers()
    {
        signIn();
        const QByteArray user = userJson(m_user);
        m_server->onJson("GET", "/v1/users?handle=plain", 200, user);
        m_server->onJson("GET", "/v1/users?handle=blocked", 200,
                         user.left(user.size() - 1) + R"(,"blocked":true})");
        m_server->onJson("GET", "/v1/users?handle=odd", 200,
                         user.left(user.size() - 1) + R"(,"blocked":"yes"})");
        m_server->onJson("GET", "/v1/users?handle=gone", 404,
                         R"({"code":"not_found","message":"사용자를 찾을 수 없습니다."})");

        QCOMPARE(await(m_client->user("plain")).value->blocked, false);
        QCOMPARE(await(m_client->user("blocked")).value->blocked, true);
        QCOMPARE(await(m_client->user("odd")).value->blocked, false);
        QCOMPARE(await(m_client->user("odd")).value->user.id, m_user);
        QCOMPARE(await(m_client->user("gone")).apiError->status, 404);

        // updateProfile hands the user back without adopting it.
        m_server->onJson("PATCH", "/v1/me", 200, userJson(m_user, "changed"));
        QCOMPARE(await(m_client->updateProfile(QStringLiteral("changed"), {}, {})).value->handle,
                 std::optional<QString>("changed"));
        QCOMPARE(m_client->currentUser()->handle, std::optional<QString>("mina"));
    }

    void undecodableAnswersFailWithStatus500_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("html") << QByteArray("<html>ok</html>");
        QTest::newRow("truncated") << QByteArray(R"({"conversations":[{"id":)");
        QTest::newRow("wrong type") << QByteArray(R"({"conversations":{}})");
        QTest::newRow("null") << QByteArray("null");
        QTest::newRow("number") << QByteArray("12");
        QTest::newRow("deep") << QByteArray(4000, '[');
    }

    void undecodableAnswersFailWithStatus500()
    {
        QFETCH(QByteArray, body);
        signIn();
        m_server->onJson("", "/v1/", 200, body);
        QCOMPARE(*await(m_client->conversations()).apiError, ChatAPIError::invalidResponse(500));
        QCOMPARE(*await(m_client->me()).apiError, ChatAPIError::invalidResponse(500));
        QCOMPARE(*await(m_client->sync("x")).apiError, ChatAPIError::invalidResponse(500));
        QCOMPARE(*await(m_client->friendRequests()).apiError, ChatAPIError::invalidResponse(500));
        QCOMPARE(*await(m_client->openInvite("x")).apiError, ChatAPIError::invalidResponse(500));
        QCOMPARE(*await(m_client->createDirect(kRoom)).apiError,
                 ChatAPIError::invalidResponse(500));
        QCOMPARE(*await(m_client->sendMessage(kRoom, kRoom, "x")).apiError,
                 ChatAPIError::invalidResponse(500));
        // A refused decode of a sign-in leaves the client signed out.
        m_server->onJson("POST", "/v1/auth/logout", 204, {});
        QVERIFY(await(m_client->logout()).ok());
        QCOMPARE(*await(m_client->login("a", "b")).apiError, ChatAPIError::invalidResponse(500));
        QVERIFY(!m_client->hasSession());
    }

    void redirectsAreNotFollowed_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("elsewhere"); // address of the other origin
        QTest::newRow("sign-in, another host") << "/v1/auth/login" << 307 << "127.0.0.2";
        QTest::newRow("refresh, another port") << "/v1/auth/refresh" << 307 << "127.0.0.1";
        QTest::newRow("authorised call, another host") << "/v1/me" << 302 << "127.0.0.2";
        QTest::newRow("photo upload, another host") << "/put/k" << 307 << "127.0.0.2";
    }

    // Followed, a redirect would carry the password, a token or the photo to another origin,
    // and its answer would be taken as the service's.
    void redirectsAreNotFollowed()
    {
        QFETCH(QString, target);
        QFETCH(int, status);
        QFETCH(QString, elsewhere);
        ScriptedServer other{QHostAddress(elsewhere)};
        ScriptedReply redirect;
        redirect.status = status;
        redirect.headers.append({"Location", (other.baseUrl().toString() + target).toUtf8()});
        m_server->on("", target, redirect);
        m_server->onJson("POST", "/v1/uploads", 200,
                         QStringLiteral(R"({"object_key":"k","upload_url":"%1/put/k"})")
                             .arg(m_server->baseUrl().toString())
                             .toUtf8());
        const bool signedIn = target != u"/v1/auth/login";
        if (signedIn)
            signIn();
        const bool upload = target == u"/put/k";
        const auto failure = upload ? await(m_client->upload("jpeg")).apiError
            : target == u"/v1/me"   ? await(m_client->me()).apiError
            : signedIn              ? await(m_client->performRefresh()).apiError
                                    : await(m_client->login("a@b.c", "pw")).apiError;
        QVERIFY(other.requests.isEmpty());
        QCOMPARE(failure,
                 upload ? ChatAPIError::uploadFailed(status)
                        : ChatAPIError::invalidResponse(status));
        QCOMPARE(m_client->hasSession(), signedIn);
    }

    void endlessAnswerIsCutOff_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("failure"); // status of the "invalid_response" error
        QTest::addColumn<qint64>("bound");
        QTest::newRow("sync page") << "/v1/sync" << 200 << 500 << kLoweredListLimit;
        QTest::newRow("one user") << "/v1/me" << 200 << 500 << kSingleAnswerLimit;
        // An error's own bound is far tighter; it is never looser than the call's.
        QTest::newRow("error page") << "/v1/sync" << 502 << 502 << kLoweredListLimit;
    }

    // An answer that never ends is cut off near its bound instead of filling memory; an error's
    // bound is the tight one whatever the call.
    void endlessAnswerIsCutOff()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(int, failure);
        QFETCH(qint64, bound);
        // The list bound is lowered, so that the test need not send a list's worth of bytes.
        IsolatedOptions isolated;
        isolated.options.listAnswerLimit = kLoweredListLimit;
        ChatClient client(m_server->baseUrl(), isolated.options);
        m_server->on("GET", path, ScriptedReply::endlessBody(status));
        const ChatPath call
            = path == u"/v1/me" ? ChatPath::me() : ChatPath::sync(QStringLiteral("x"));
        const auto outcome
            = await(client.request(QStringLiteral("GET"), call, std::nullopt, false));
        QCOMPARE(outcome.apiError, ChatAPIError::invalidResponse(failure));
        QVERIFY(m_server->endlessBytesSent < 4 * bound);
    }

    void boundsFollowTheAnswerKind_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("padding"); // bytes added to an otherwise small answer
        QTest::addColumn<bool>("loads");
        QTest::newRow("page of messages, 3.6 MB") << "page" << 0 << true;
        // Past a page's bound and well within a room list's.
        QTest::newRow("room list, 20 MB") << "rooms" << 20'000'000 << true;
        QTest::newRow("page of messages, 20 MB") << "page" << 20'000'000 << false;
        QTest::newRow("one sent message, 3 MB") << "send" << 3'000'000 << false;
        QTest::newRow("error object, 10 KB") << "error" << 10'000 << true;
        QTest::newRow("error object, 100 KB") << "error" << 100'000 << false;
    }

    // A page may be large where one record may not: a sent message's answer of a page's size is
    // refused, a room list may be larger than any page, and an error past its small bound is
    // known by its status alone.
    void boundsFollowTheAnswerKind()
    {
        QFETCH(QString, call);
        QFETCH(int, padding);
        QFETCH(bool, loads);
        signIn();
        const QByteArray pad = ",\"pad\":\"" + QByteArray(padding, 'x') + "\"}";
        if (call == u"rooms") {
            m_server->onJson("GET", "/v1/conversations", 200, R"({"conversations":[])" + pad);
            const auto rooms = await(m_client->conversations());
            QVERIFY2(rooms.ok(), qPrintable(rooms.apiError ? rooms.apiError->message : QString()));
            QVERIFY(rooms.value->isEmpty());
        } else if (call == u"page" && padding > 0) {
            m_server->onJson("GET", "/v1/conversations/", 200, R"({"messages":[])" + pad);
            const auto page = await(m_client->messages(kRoom));
            QCOMPARE(page.apiError, ChatAPIError::invalidResponse(500));
        } else if (call == u"page") {
            // 150 messages of 4,000 characters, each written as a \uXXXX escape: 24 KB apiece.
            QByteArray longest;
            for (int i = 0; i < 4000; ++i)
                longest += "\\uD55C";
            QByteArray one = messageJson();
            one.replace("\"안녕\"", "\"" + longest + "\"");
            QByteArrayList all(150, one);
            m_server->onJson("GET", "/v1/conversations/", 200,
                             R"({"messages":[)" + all.join(',') + "]}");
            const auto page = await(m_client->messages(kRoom));
            QVERIFY(page.ok());
            QCOMPARE(page.value->size(), 150);
            QCOMPARE(page.value->first().body.value_or(QString()).size(), 4000);
        } else if (call == u"send") {
            QByteArray answer = messageJson();
            answer.chop(1);
            m_server->onJson("POST", "/v1/conversations/", 200, answer + pad);
            const auto sent = await(m_client->sendMessage(kRoom, QUuid::createUuid(), "안녕"));
            QCOMPARE(sent.apiError, ChatAPIError::invalidResponse(500));
        } else {
            m_server->onJson("GET", "/v1/me", 400,
                             R"({"code":"bad","message":"다시 해 주세요.")" + pad);
            const auto refused = await(m_client->me());
            QCOMPARE(refused.apiError,
                     loads ? ChatAPIError(400, "bad", "다시 해 주세요.")
                           : ChatAPIError::invalidResponse(400));
        }
    }

    // An answer that trickles in keeps the idle timeout from firing; the call's deadline still
    // ends it, as a failure of the transport.
    void tricklingAnswerEndsAtTheDeadline()
    {
        IsolatedOptions isolated;
        isolated.options.requestDeadline = std::chrono::milliseconds(800);
        ChatClient client(m_server->baseUrl(), isolated.options);
        ScriptedReply trickle;
        trickle.trickleMs = 50;
        m_server->on("GET", "/v1/me", trickle);
        const auto outcome
            = await(client.request(QStringLiteral("GET"), ChatPath::me(), std::nullopt, false));
        QVERIFY(outcome.transportError.has_value());
        QCOMPARE(outcome.transportError->networkError, int(QNetworkReply::TimeoutError));
    }

    void changingCallsGoOutOnce_data()
    {
        QTest::addColumn<QString>("method"); // "photo": the upload of a photo, a PUT
        QTest::addColumn<bool>("body");
        QTest::newRow("POST with a body") << QStringLiteral("POST") << true;
        QTest::newRow("bodiless POST") << QStringLiteral("POST") << false;
        QTest::newRow("PUT") << QStringLiteral("PUT") << true;
        QTest::newRow("PATCH") << QStringLiteral("PATCH") << true;
        QTest::newRow("bodiless DELETE") << QStringLiteral("DELETE") << false;
        QTest::newRow("photo upload") << QStringLiteral("photo") << true;
    }

    // Qt sends a request again by itself when its connection closes before the answer's head;
    // a call that creates or changes something may have reached the service by then. It goes
    // out once and fails to its caller as a lost connection.
    void changingCallsGoOutOnce()
    {
        QFETCH(QString, method);
        QFETCH(bool, body);
        const bool photo = method == u"photo";
        const QString target = photo ? QStringLiteral("/put/") : QStringLiteral("/v1/me");
        signIn();
        m_server->onJson("POST", "/v1/uploads", 200,
                         QStringLiteral(R"({"object_key":"k","upload_url":"%1/put/k"})")
                             .arg(m_server->baseUrl().toString())
                             .toUtf8());
        m_server->on({}, target, ScriptedReply::hungUp());
        const auto failure = photo
            ? await(m_client->upload(QByteArray(200'000, 'j'))).transportError
            : await(m_client->request(method, ChatPath::me(),
                                      body ? std::optional(QJsonObject{{"a", 1}}) : std::nullopt))
                  .transportError;
        QVERIFY(failure);
        QCOMPARE(failure->networkError, int(QNetworkReply::RemoteHostClosedError));
        QTest::qWait(200); // a copy sent again would arrive by now
        QCOMPARE(m_server->requestsTo(target).size(), 1);
        QVERIFY(m_client->hasSession());
    }

private:
    void signIn(qint64 expiresIn = 3600)
    {
        QVERIFY(m_scripted->signIn(m_user, expiresIn));
    }

    std::unique_ptr<ScriptedClient> m_scripted;
    ScriptedServer *m_server = nullptr;
    ChatClient *m_client = nullptr;
    const QUuid m_user = QUuid::createUuid();
    int m_lost = 0;
};

QTEST_GUILESS_MAIN(TestRequestCore)
#include "tst_requestcore.moc"
