#include "ApiTestSupport.h"

#include "api/ChatClient.h"
#include "service/StandInService.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// What the program logged while a test ran, one "category: text" line each.
QStringList capturedLines;
QtMessageHandler previousHandler = nullptr;
void capturingHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    capturedLines.append(QString::fromUtf8(context.category) + QStringLiteral(": ") + text);
    previousHandler(type, context, text);
}

} // namespace

// The live socket against the stand-in service: authentication, the outgoing gate, events,
// reconnects and their waits, keep-alive pings, and the recovery after the service refuses the
// token.
class TestSocket : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_svc = std::make_unique<StandInService>();
        QVERIFY(m_svc->listen(0));
        m_me = addPerson(*m_svc, "me@example.com", "me", QStringLiteral("나"));
        m_peer = addPerson(*m_svc, "peer@example.com", "peer", QStringLiteral("친구"));
        m_svc->makeFriends(m_me, m_peer);
        m_room = m_svc->addDirectRoom(m_me, m_peer);
        m_events.clear();
        m_lost = 0;
        m_reconnected = 0;
        m_connecting.clear();
        m_connectingDelay = 1s;
    }

    void cleanup()
    {
        if (m_client) {
            m_client->disconnectSocket();
            if (m_client->hasSession())
                await(m_client->logout());
        }
        m_client.reset();
        m_svc.reset();
        m_options.reset();
    }

    void authenticatesAndDeliversEvents()
    {
        start();
        connectAndWaitReady();
        QCOMPARE(m_client->socketUrl().scheme(), QStringLiteral("ws"));
        const auto auth = framesOfType("auth");
        QCOMPARE(auth.size(), 1);
        QCOMPARE(auth.at(0),
                 (QJsonObject{{"type", "auth"},
                              {"access_token", m_client->tokens()->accessToken},
                              {"platform", "macos"}}));
        QCOMPARE(m_client->reconnects(), 0);

        m_svc->addMessage(m_room, m_peer, QStringLiteral("안녕"));
        QVERIFY(waitUntil([this] { return !m_events.isEmpty(); }));
        QCOMPARE(m_events.at(0).kind, ChatEvent::Kind::message);
        QCOMPARE(m_events.at(0).message.body, std::optional<QString>(QStringLiteral("안녕")));
        QCOMPARE(m_events.at(0).message.conversationId, m_room);

        const QString room = m_room.toString(QUuid::WithoutBraces); // lower case on purpose
        const QString peer = m_peer.toString(QUuid::WithoutBraces);
        m_events.clear();
        m_svc->clearRecords();
        m_svc->pushFrame(m_me,
                         {{"type", "message.created"}, {"message", QJsonObject{{"id", room}}}});
        // Errors other than "unauthorized" change nothing: no refresh, no new socket.
        m_svc->pushFrame(m_me, {{"type", "error"}, {"code", "rate_limited"}});
        m_svc->pushFrame(m_me, {{"type", "error"}});
        m_svc->pushFrame(
            m_me,
            {{"type", "read.updated"}, {"conversation_id", room}, {"user_id", peer}, {"seq", 7.9}});
        m_svc->pushFrame(m_me, {{"type", "typing"}, {"conversation_id", room}, {"user_id", peer}});
        m_svc->pushFrame(m_me, {{"type", "presence"}});
        m_svc->pushFrame(m_me, {{"type", "conversation.changed"}, {"conversation_id", room}});
        m_svc->pushFrame(m_me, {{"type", "friend.requested"}});
        QVERIFY(waitUntil([this] { return m_events.size() == 4; }));
        QCOMPARE(m_events.at(0), ChatEvent::makeRead(m_room, m_peer, 7));
        QCOMPARE(m_events.at(1), ChatEvent::makeTyping(m_room, m_peer, false));
        QCOMPARE(m_events.at(2), ChatEvent::makeConversationChanged(m_room));
        QCOMPARE(m_events.at(3), ChatEvent::makeFriendRequest());
        QVERIFY(m_client->socketReady());
        QVERIFY(m_svc->requests().isEmpty());
        QCOMPARE(m_lost, 0);
    }

    void gateHoldsFramesUntilAuthOk()
    {
        start();
        m_client->sendTyping(m_room, true); // no socket yet
        m_client->openSocket();
        m_client->sendTyping(m_room, true); // socket opening, not authenticated
        QVERIFY(!m_client->socketReady());
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        m_client->sendTyping(m_room, false);
        QVERIFY(waitUntil([this] { return !framesOfType("typing.stop").isEmpty(); }));
        QVERIFY(framesOfType("typing.start").isEmpty());
        QCOMPARE(framesOfType("typing.stop").at(0),
                 (QJsonObject{{"type", "typing.stop"}, {"conversation_id", wireId(m_room)}}));
    }

    void sendAndReadAlsoGoOverTheSocket()
    {
        start();
        // Socket down: the message is posted and returned, its frame dropped.
        const QUuid early = QUuid::createUuid();
        QVERIFY(await(m_client->sendMessage(m_room, early, QStringLiteral("먼저"))).ok());

        connectAndWaitReady();
        const QUuid clientId = QUuid::createUuid();
        const auto sent = await(m_client->sendMessage(m_room, clientId, QStringLiteral("둘째")));
        QVERIFY(sent.ok());
        QCOMPARE(sent.value->clientMsgId, std::optional<QUuid>(clientId));
        QVERIFY(waitUntil([this] { return !framesOfType("message.send").isEmpty(); }));
        const auto frames = framesOfType("message.send");
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames.at(0),
                 (QJsonObject{{"type", "message.send"},
                              {"conversation_id", wireId(m_room)},
                              {"client_msg_id", wireId(clientId)},
                              {"body", QStringLiteral("둘째")}}));

        QVERIFY(await(m_client->read(m_room, sent.value->seq)).ok());
        QVERIFY(waitUntil([this] { return !framesOfType("read").isEmpty(); }));
        QCOMPARE(framesOfType("read").at(0).value("seq").toInteger(), sent.value->seq);

        // A refused read sends no frame.
        m_svc->failNext("POST", "/v1/conversations/", 1, 403, "forbidden",
                        QStringLiteral("안 됩니다."));
        QVERIFY(!await(m_client->read(m_room, 99)).ok());
        m_client->sendTyping(m_room, true); // a marker that the frames so far have arrived
        QVERIFY(waitUntil([this] { return !framesOfType("typing.start").isEmpty(); }));
        QCOMPARE(framesOfType("read").size(), 1);
    }

    void reconnectsAfterADrop()
    {
        start();
        connectAndWaitReady();
        const quint64 generation = m_client->socketGeneration();
        m_svc->dropAllSockets();
        QVERIFY(waitUntil([this] { return framesOfType("auth").size() == 2; }));
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        QCOMPARE(m_client->reconnects(), 0);
        QVERIFY(m_client->socketGeneration() > generation);
        QCOMPARE(m_reconnected, 1);
        m_svc->addMessage(m_room, m_peer, QStringLiteral("다시"));
        QVERIFY(waitUntil([this] { return m_events.size() == 1; }));
    }

    void reconnectWaits_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("seconds");
        QTest::newRow("first") << 1 << 2;
        QTest::newRow("fifth") << 5 << 2;
        QTest::newRow("sixth") << 6 << 5;
        QTest::newRow("ninth") << 9 << 40;
        QTest::newRow("tenth") << 10 << 60;
        QTest::newRow("hundredth") << 100 << 60;
    }

    // The program's own waits: five quick reconnects 2 s apart, then a growing wait that never
    // passes a minute.
    void reconnectWaits()
    {
        QFETCH(int, failures);
        QFETCH(int, seconds);
        const ChatClient client(m_svc->baseUrl(), ChatClientOptions());
        QCOMPARE(client.reconnectWait(failures), std::chrono::seconds(seconds));
    }

    // Past the quick reconnects the client keeps trying, and comes back once the service does.
    void keepsTryingAfterTheQuickReconnects()
    {
        start();
        m_svc->setCloseAfterAuth(true);
        QVERIFY(await(m_client->connectSocket()).ok());
        QVERIFY(waitUntil([this] { return m_client->reconnects() >= 8; }));
        QVERIFY(framesOfType("auth").size() >= 8);
        QVERIFY(m_client->reconnectPending());
        QCOMPARE(m_reconnected, 0);
        // Reported once, however many failures follow.
        QVERIFY(waitUntil([this] { return m_client->reconnects() >= 12; }));
        QCOMPARE(m_connecting, QList<bool>{true});

        m_svc->setCloseAfterAuth(false);
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        QCOMPARE(m_client->reconnects(), 0);
        QCOMPARE(m_reconnected, 1);
        QCOMPARE(m_connecting, (QList<bool>{true, false}));
        m_svc->addMessage(m_room, m_peer, QStringLiteral("돌아옴"));
        QVERIFY(waitUntil([this] { return m_events.size() == 1; }));
    }

    void givenUpSocketTriesAtOnce_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::newRow("a REST call succeeds") << "request";
        QTest::newRow("the application is active again") << "active";
        QTest::newRow("signed out") << "logout";
    }

    // Waiting out a long pause, the socket tries at once when there is reason to think the
    // service is back; a sign-out ends the attempts.
    void givenUpSocketTriesAtOnce()
    {
        QFETCH(QString, trigger);
        start(50ms, 10min);
        m_svc->setCloseAfterAuth(true);
        QVERIFY(await(m_client->connectSocket()).ok());
        QVERIFY(waitUntil(
            [this] { return m_client->reconnects() == ChatClient::kQuickReconnects + 1; }));
        QVERIFY(m_client->reconnectPending());
        m_svc->setCloseAfterAuth(false);
        const qsizetype attempts = framesOfType("auth").size();

        if (trigger == u"request") {
            QVERIFY(await(m_client->me()).ok());
        } else if (trigger == u"active") {
            m_client->retrySocketNow();
        } else {
            QVERIFY(await(m_client->logout()).ok());
            QVERIFY(!m_client->reconnectPending());
            QTest::qWait(300);
            QCOMPARE(framesOfType("auth").size(), attempts);
            return;
        }
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        QCOMPARE(framesOfType("auth").size(), attempts + 1);
        QCOMPARE(m_reconnected, 1);
    }

    void refusedSocketTokenWaitsLikeAFailure_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("the service takes the token again") << "accept";
        QTest::newRow("signed out") << "logout";
    }

    // The service refuses every socket token while its REST calls work: each refusal is one
    // failed socket, with the same quick reconnects and then the growing wait, and each
    // reconnect refreshes the token once. Nothing loops, and the session stays.
    void refusedSocketTokenWaitsLikeAFailure()
    {
        QFETCH(QString, then);
        start(50ms, 10min);
        m_svc->setRefuseSocketAuth(true);
        m_svc->clearRecords();
        QVERIFY(await(m_client->connectSocket()).ok());
        QVERIFY(waitUntil(
            [this] { return m_client->reconnects() == ChatClient::kQuickReconnects + 1; }));
        QTest::qWait(300); // a loop would show here
        QCOMPARE(framesOfType("auth").size(), ChatClient::kQuickReconnects + 1);
        QCOMPARE(refreshes().size(), ChatClient::kQuickReconnects);
        QVERIFY(m_client->reconnectPending());
        QVERIFY(m_client->hasSession());
        QVERIFY(waitUntil([this] { return !m_connecting.isEmpty(); }));
        QCOMPARE(m_connecting, QList<bool>{true});
        // Each socket carried the token of the refresh before it.
        QCOMPARE(framesOfType("auth").last().value("access_token").toString(),
                 m_client->tokens()->accessToken);

        if (then == u"logout") {
            QVERIFY(await(m_client->logout()).ok());
            QCOMPARE(m_connecting, (QList<bool>{true, false}));
            QVERIFY(!m_client->reconnectPending());
        } else {
            m_svc->setRefuseSocketAuth(false);
            m_client->wakeSocket();
            QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
            QCOMPARE(refreshes().size(), ChatClient::kQuickReconnects + 1);
            QCOMPARE(m_connecting, (QList<bool>{true, false}));
            QCOMPARE(m_reconnected, 1);
        }
        QCOMPARE(m_lost, 0);
        QVERIFY(!m_client->lastFailure());
    }

    void failedSocketRefreshKeepsTheSession_data()
    {
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<bool>("firstSocket"); // the token expires before the first socket
        QTest::newRow("service error") << false << false;
        QTest::newRow("connection lost on the way") << true << false;
        QTest::newRow("connection lost before the first socket") << true << true;
    }

    // The socket's refresh (after a refused token, or before the first socket when the token
    // expires) that fails without a refusal keeps the session: the attempt is one more failure
    // and the next refreshes again with the same token. A refresh cut off after it was sent may
    // have spent the token: it goes out once more only after the service has answered since.
    void failedSocketRefreshKeepsTheSession()
    {
        QFETCH(bool, dropped);
        QFETCH(bool, firstSocket);
        if (firstSocket)
            m_svc->setAccessTokenLifetime(30);
        start();
        if (!firstSocket)
            connectAndWaitReady();
        m_svc->clearRecords();
        if (dropped)
            m_svc->dropNext("POST", "/v1/auth/refresh", 1);
        else
            m_svc->failNext("POST", "/v1/auth/refresh", 2, 503, "maintenance",
                            QStringLiteral("점검 중입니다."));
        if (firstSocket)
            QVERIFY(await(m_client->connectSocket()).ok());
        else
            m_svc->pushFrame(m_me, {{"type", "error"}, {"code", "unauthorized"}});
        const int tries = dropped ? 2 : 3;
        QVERIFY(waitUntil([&] { return refreshes().size() == tries; }));
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        const QByteArrayList sent = refreshes();
        QCOMPARE(sent, QByteArrayList(tries, sent.value(0)));
        QCOMPARE(framesOfType("auth").size(), 1);
        QCOMPARE(m_reconnected, 1);
        QCOMPARE(m_lost, 0);
        QVERIFY(m_client->hasSession());
        QVERIFY(!m_client->lastFailure());
    }

    void connectingLineShowsAfterAWhile_data()
    {
        QTest::addColumn<QString>("outage");
        QTest::newRow("sockets refused") << "refused";
        QTest::newRow("service stalled") << "stalled";
        QTest::newRow("a refresh that waits") << "refresh";
    }

    // "연결 중…" shows once the socket the session wants has not been ready for the delay,
    // whatever keeps it away: quick failures, a service that takes connections and says nothing,
    // a reconnect that waits for its token. It goes with the next "auth.ok", and never shows
    // before the socket is asked for or after the session ended.
    void connectingLineShowsAfterAWhile()
    {
        QFETCH(QString, outage);
        m_connectingDelay = 1500ms;
        if (outage == u"refresh")
            m_svc->setAccessTokenLifetime(30); // every reconnect refreshes first
        start(50ms, 100ms, 100ms, 100ms);
        QTest::qWait(1700); // signed in, no socket asked for yet
        QVERIFY(m_connecting.isEmpty());
        connectAndWaitReady();
        QTest::qWait(300); // pings answered
        QVERIFY(m_connecting.isEmpty());

        QElapsedTimer away;
        away.start();
        if (outage == u"refused") {
            m_svc->setCloseAfterAuth(true);
            m_svc->dropAllSockets();
        } else if (outage == u"stalled") {
            m_svc->setSilenceNewSockets(true);
            m_svc->silenceAllSockets();
        } else {
            m_svc->delayNext("POST", "/v1/auth/refresh", 1, 4000);
            m_svc->dropAllSockets();
        }
        QVERIFY(waitUntil([this] { return !m_connecting.isEmpty(); }, 5000));
        const qint64 shown = away.elapsed();
        // The wait counts from the failure, or from the last sign of life of a socket that went
        // silent: about a ping interval before the stall. (A coarse timer may fire 5% early.)
        const qint64 earliest = outage == u"stalled" ? 1200 : 1350;
        QVERIFY2(shown >= earliest && shown <= 3500, qPrintable(QString::number(shown)));
        QCOMPARE(m_connecting, QList<bool>{true});

        m_svc->setCloseAfterAuth(false);
        m_svc->setSilenceNewSockets(false);
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }, 8000));
        QCOMPARE(m_connecting, (QList<bool>{true, false}));

        // Away again, and signed out before the delay has passed: no line, then or later.
        m_svc->setCloseAfterAuth(true);
        m_svc->dropAllSockets();
        QVERIFY(waitUntil([this] { return !m_client->socketReady(); }));
        QVERIFY(await(m_client->logout()).ok());
        QTest::qWait(1700);
        QCOMPARE(m_connecting, (QList<bool>{true, false}));
    }

    // A service that takes the connection and never answers the upgrade: the attempt fails after
    // the short bound for a new socket, not after the keep-alive's.
    void unansweredUpgradeFailsSoon()
    {
        ScriptedServer server;
        IsolatedOptions isolated(10min); // one attempt only
        isolated.options.socketOpenTimeout = 300ms;
        isolated.options.connectingDelay = 600ms;
        ChatClient client(server.baseUrl(), isolated.options);
        QList<bool> connecting;
        client.onConnectingChanged = [&connecting](bool on) { connecting.append(on); };
        server.onJson("POST", "/v1/auth/login", 200, authJson("acc1", "ref1", 3600, m_me), 1);
        server.onJson("POST", "/v1/auth/logout", 204, {});
        QVERIFY(await(client.login("a@b.c", "pw")).ok());
        server.on("GET", "/v1/ws", ScriptedReply::unanswered());

        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(await(client.connectSocket()).ok());
        QVERIFY(waitUntil([&client] { return client.reconnects() == 1; }, 5000));
        QVERIFY(elapsed.elapsed() >= 250);
        QVERIFY(waitUntil([&connecting] { return !connecting.isEmpty(); }, 3000));
        QCOMPARE(connecting, QList<bool>{true});
        QVERIFY(await(client.logout()).ok());
        QCOMPARE(connecting, (QList<bool>{true, false}));
        QCOMPARE(server.requestsTo("/v1/ws").size(), 1);
    }

    void wakeReconnectsAtOnce_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("ready") << "ready";
        QTest::newRow("waiting to reconnect") << "waiting";
        QTest::newRow("being opened") << "opening";
        QTest::newRow("closed on purpose") << "closed";
    }

    // After a wake from sleep or a network that came back, an open socket may be dead and a
    // waiting reconnect need not wait, even during the quick reconnects: a new socket goes out
    // at once, and what was missed is fetched. A socket closed on purpose stays closed.
    void wakeReconnectsAtOnce()
    {
        QFETCH(QString, state);
        start(10min, 10min);
        if (state == u"ready") {
            connectAndWaitReady();
        } else if (state == u"waiting") {
            connectAndWaitReady();
            m_svc->dropAllSockets();
            QVERIFY(waitUntil([this] { return m_client->reconnects() == 1; }));
            QVERIFY(m_client->reconnectPending());
        } else if (state == u"opening") {
            m_svc->setSilenceNewSockets(true);
            QVERIFY(await(m_client->connectSocket()).ok());
            QTest::qWait(200); // open, its "auth" never heard
            m_svc->setSilenceNewSockets(false);
        } else {
            connectAndWaitReady();
            m_client->disconnectSocket();
        }
        const qsizetype attempts = framesOfType("auth").size();
        const quint64 generation = m_client->socketGeneration();

        m_client->wakeSocket();
        if (state == u"closed") {
            QTest::qWait(200);
            QCOMPARE(framesOfType("auth").size(), attempts);
            QCOMPARE(m_client->socketGeneration(), generation);
            return;
        }
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        QCOMPARE(framesOfType("auth").size(), attempts + 1);
        QCOMPARE(m_client->socketGeneration(), generation + 1);
        QCOMPARE(m_client->reconnects(), 0);
        QCOMPARE(m_reconnected, 1);
        QVERIFY(m_connecting.isEmpty());
        m_svc->addMessage(m_room, m_peer, QStringLiteral("깨어남"));
        QVERIFY(waitUntil([this] { return m_events.size() == 1; }));
    }

    void silentPeerIsNoticed_data()
    {
        QTest::addColumn<bool>("afterAuth");
        QTest::newRow("ready socket") << true;
        QTest::newRow("\"auth\" never answered") << false;
    }

    // A peer that stops answering without closing is noticed by the keep-alive pings (or by the
    // wait for "auth.ok"); the client reconnects and asks for what it missed. A peer that
    // answers is left alone.
    void silentPeerIsNoticed()
    {
        QFETCH(bool, afterAuth);
        start(50ms, 5s, 150ms, 300ms);
        if (afterAuth) {
            connectAndWaitReady();
            const quint64 generation = m_client->socketGeneration();
            QTest::qWait(1000); // several pings, each answered
            QCOMPARE(m_client->socketGeneration(), generation);
            m_svc->silenceAllSockets();
        } else {
            m_svc->setSilenceNewSockets(true);
            QVERIFY(await(m_client->connectSocket()).ok());
        }
        QVERIFY(waitUntil([this] { return m_client->reconnects() == 1; }));
        m_svc->setSilenceNewSockets(false);
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        QCOMPARE(m_reconnected, 1);
        m_svc->addMessage(m_room, m_peer, QStringLiteral("살아 있음"));
        QVERIFY(waitUntil([this] { return m_events.size() == 1; }));
    }

    void disconnectVoidsASleepingReconnect()
    {
        start(300ms);
        connectAndWaitReady();
        m_svc->dropAllSockets();
        QVERIFY(waitUntil([this] { return m_client->reconnects() == 1; }));
        m_client->disconnectSocket();
        QTest::qWait(700);
        QCOMPARE(framesOfType("auth").size(), 1);
        QVERIFY(!m_client->socketReady());
    }

    void recoveryRunsOncePerSession_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<QString>("meanwhile"); // what happens while the refresh is on its way
        QTest::newRow("one refusal") << 1 << "";
        QTest::newRow("burst of refusals") << 200 << "";
        QTest::newRow("signed out") << 1 << "logout";
        QTest::newRow("signed out and in again") << 1 << "logout login";
    }

    // The service's refusal of the token makes one recovery (one refresh, one new socket)
    // however many refusals arrive. A recovery that outlives its session ends quietly: no lost
    // session after a deliberate sign-out, nothing done to a newer session.
    void recoveryRunsOncePerSession()
    {
        QFETCH(int, refusals);
        QFETCH(QString, meanwhile);
        start();
        connectAndWaitReady();
        const QString before = m_client->tokens()->accessToken;
        m_svc->clearRecords();
        m_svc->delayNext("POST", "/v1/auth/refresh", 1, 300);
        for (int i = 0; i < refusals; ++i)
            m_svc->pushFrame(m_me, {{"type", "error"}, {"code", "unauthorized"}});
        QVERIFY(waitUntil([this] { return refreshes().size() == 1; }));
        if (meanwhile.contains(u"logout"))
            QVERIFY(await(m_client->logout()).ok());
        if (meanwhile.contains(u"login"))
            QVERIFY(await(m_client->login("me@example.com", "secret123")).ok());
        const quint64 generation = m_client->socketGeneration();

        if (meanwhile.isEmpty()) {
            QVERIFY(waitUntil(
                [this] { return framesOfType("auth").size() == 1 && m_client->socketReady(); }));
            const QString after = m_client->tokens()->accessToken;
            QVERIFY(after != before);
            QCOMPARE(framesOfType("auth").at(0).value("access_token").toString(), after);
        }
        QTest::qWait(500); // the delayed refresh has landed, and whatever it started has run
        QCOMPARE(refreshes().size(), 1);
        QCOMPARE(m_client->socketGeneration(), generation + (meanwhile.isEmpty() ? 1 : 0));
        QCOMPARE(m_client->hasSession(), meanwhile.isEmpty() || meanwhile.contains(u"login"));
        QCOMPARE(m_lost, 0);
        QVERIFY(!m_client->lastFailure());
    }

    // With every debug line on, a dropped socket, its reconnect and a refused refresh are told
    // under their categories, and nothing logged holds a token, the password, the address or a
    // message's text.
    void logsHoldNoSecrets()
    {
        capturedLines.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("zumo.*.debug=true"));
        previousHandler = qInstallMessageHandler(capturingHandler);
        const auto restore = qScopeGuard([] {
            qInstallMessageHandler(previousHandler);
            QLoggingCategory::setFilterRules(QString());
        });

        start();
        connectAndWaitReady();
        QStringList secrets{QStringLiteral("secret123"), QStringLiteral("me@example.com"),
                            QStringLiteral("비밀 이야기")};
        const auto keepTokens = [&] {
            secrets << m_client->tokens()->accessToken << m_client->tokens()->refreshToken;
        };
        keepTokens();
        m_svc->addMessage(m_room, m_peer, QStringLiteral("비밀 이야기"));
        QVERIFY(waitUntil([this] { return m_events.size() == 1; }));

        m_svc->dropAllSockets();
        QVERIFY(waitUntil([this] { return framesOfType("auth").size() == 2; }));
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
        keepTokens();

        m_svc->failNext("POST", "/v1/auth/refresh", 1, 401, "unauthorized",
                        QStringLiteral("세션이 만료되었습니다."));
        m_svc->pushFrame(m_me, {{"type", "error"}, {"code", "unauthorized"}});
        const auto logged = [](const QString &start) {
            return std::any_of(capturedLines.cbegin(), capturedLines.cend(),
                               [&](const QString &line) { return line.startsWith(start); });
        };
        QVERIFY(waitUntil([&] {
            return logged(u"zumo.api: the service refused the session's refresh (status 401"_qs);
        }));
        QVERIFY(logged(u"zumo.socket: the live socket failed"_qs));
        QVERIFY(logged(u"zumo.socket: reconnect 1 in"_qs));
        QVERIFY(logged(u"zumo.socket: the service refused the live socket's token"_qs));
        for (const QString &line : std::as_const(capturedLines)) {
            for (const QString &secret : std::as_const(secrets)) {
                if (!secret.isEmpty())
                    QVERIFY2(!line.contains(secret), qPrintable(line));
            }
        }
    }

    void oversizedMessagesCloseTheSocket_data()
    {
        QTest::addColumn<int>("frameKib"); // the service's frame size; 0: Qt's 512 KiB
        QTest::newRow("message of many frames") << 0;
        QTest::newRow("one frame") << 4096;
    }

    // A message or a frame past 1 MiB is not taken in: the socket fails and reconnects as usual.
    void oversizedMessagesCloseTheSocket()
    {
        QFETCH(int, frameKib);
        start();
        connectAndWaitReady();
        m_svc->clearRecords();
        m_svc->setPushFrameSize(quint64(frameKib) * 1024);
        m_svc->pushFrame(m_me, {{"type", "friend.requested"}, {"pad", QString(2 << 20, u'x')}});
        QVERIFY(waitUntil(
            [this] { return framesOfType("auth").size() == 1 && m_client->socketReady(); }));
        m_svc->pushFrame(m_me, {{"type", "friend.requested"}});
        QVERIFY(waitUntil([this] { return !m_events.isEmpty(); }));
        QCOMPARE(m_events.size(), 1);
        QCOMPARE(m_lost, 0);
    }

    void failedRecoveryEndsTheSession()
    {
        start();
        connectAndWaitReady();
        m_svc->failNext("POST", "/v1/auth/refresh", 1, 401, "unauthorized",
                        QStringLiteral("세션이 만료되었습니다."));
        m_svc->pushFrame(m_me, {{"type", "error"}, {"code", "unauthorized"}});
        // The refused refresh reports the loss, and so does the failed recovery.
        QVERIFY(waitUntil([this] { return m_lost == 2; }));
        QVERIFY(!m_client->hasSession());
        QVERIFY(!m_client->currentUser());
        QVERIFY(!m_client->socketReady());
        QCOMPARE(m_client->lastFailure().value_or(QString()),
                 QStringLiteral("세션이 만료되었습니다."));
        QVERIFY(waitUntil([this] { return m_svc->authenticatedSocketCount() == 0; }));
        QCOMPARE(await(ChatClient(m_svc->baseUrl(), m_options->options).restore()).value,
                 std::optional<bool>(false));
    }

    void destroyedClientDuringRecoveryReportsNothing()
    {
        start();
        connectAndWaitReady();
        m_svc->clearRecords();
        m_svc->delayNext("POST", "/v1/auth/refresh", 1, 3000);
        m_svc->pushFrame(m_me, {{"type", "error"}, {"code", "unauthorized"}});
        QVERIFY(waitUntil([this] { return !m_svc->requests().isEmpty(); }));
        // The cancelled refresh is no failed recovery: no wipe of the stored session, no report.
        m_client.reset();
        QTest::qWait(50);
        QCOMPARE(m_lost, 0);
        auto again = std::make_unique<ChatClient>(m_svc->baseUrl(), m_options->options);
        QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
        m_client = std::move(again); // cleanup() signs it out
    }

    void replacedSocketIsHeardNoMore()
    {
        start();
        connectAndWaitReady();
        connectAndWaitReady(); // replaces the ready socket
        QVERIFY(waitUntil([this] { return m_svc->authenticatedSocketCount() == 1; }));
        m_svc->pushFrame(m_me, {{"type", "friend.requested"}});
        QVERIFY(waitUntil([this] { return m_events.size() == 1; }));
        QTest::qWait(100);
        QCOMPARE(m_events.size(), 1);
        QCOMPARE(m_client->reconnects(), 0); // closing the old socket is no failure
    }

    void withoutSessionNothingOpens()
    {
        m_options = std::make_unique<IsolatedOptions>();
        m_client = std::make_unique<ChatClient>(m_svc->baseUrl(), m_options->options);
        const quint64 generation = m_client->socketGeneration();
        QVERIFY(await(m_client->connectSocket()).ok());
        m_client->sendTyping(m_room, true);
        QCOMPARE(m_client->socketGeneration(), generation);
        QTest::qWait(100);
        QVERIFY(m_svc->receivedFrames().isEmpty());
    }

private:
    void start(std::chrono::milliseconds reconnectDelay = 50ms,
               std::chrono::milliseconds backoff = 100ms,
               std::chrono::milliseconds keepAliveInterval = 30s,
               std::chrono::milliseconds keepAliveTimeout = 10s)
    {
        m_options = std::make_unique<IsolatedOptions>(reconnectDelay);
        m_options->options.reconnectBackoff = backoff;
        m_options->options.reconnectBackoffCap
            = std::max<std::chrono::milliseconds>(backoff, 200ms);
        m_options->options.keepAliveInterval = keepAliveInterval;
        m_options->options.keepAliveTimeout = keepAliveTimeout;
        m_options->options.socketOpenTimeout = keepAliveInterval + keepAliveTimeout;
        m_options->options.connectingDelay = m_connectingDelay;
        m_client = std::make_unique<ChatClient>(m_svc->baseUrl(), m_options->options);
        m_client->onEvent = [this](const ChatEvent &e) { m_events.append(e); };
        m_client->onSessionLost = [this] { ++m_lost; };
        m_client->onReconnected = [this] { ++m_reconnected; };
        m_client->onConnectingChanged
            = [this](bool connecting) { m_connecting.append(connecting); };
        QVERIFY(await(m_client->login("me@example.com", "secret123")).ok());
    }

    void connectAndWaitReady()
    {
        QVERIFY(await(m_client->connectSocket()).ok());
        QVERIFY(waitUntil([this] { return m_client->socketReady(); }));
    }

    // The bodies of the refreshes the service was sent.
    QByteArrayList refreshes() const
    {
        QByteArrayList bodies;
        for (const RecordedRequest &r : m_svc->requests()) {
            if (r.target == u"/v1/auth/refresh")
                bodies.append(r.body);
        }
        return bodies;
    }

    QList<QJsonObject> framesOfType(const QString &type) const
    {
        QList<QJsonObject> out;
        for (const QJsonObject &f : m_svc->receivedFrames()) {
            if (f.value("type").toString() == type)
                out.append(f);
        }
        return out;
    }

    std::unique_ptr<StandInService> m_svc;
    std::unique_ptr<IsolatedOptions> m_options;
    std::unique_ptr<ChatClient> m_client;
    QUuid m_me;
    QUuid m_peer;
    QUuid m_room;
    QList<ChatEvent> m_events;
    int m_lost = 0;
    int m_reconnected = 0;
    QList<bool> m_connecting;
    std::chrono::milliseconds m_connectingDelay = 1s;
};

QTEST_GUILESS_MAIN(TestSocket)
#include "tst_socket.moc"
