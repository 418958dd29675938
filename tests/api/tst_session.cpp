#include "ApiTestSupport.h"

#include "api/ChatClient.h"
#include "api/ChatKeychain.h"
#include "files/PrivateFile.h"
#include "service/StandInService.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kEmail = QStringLiteral("mina@example.com");
const QString kPassword = QStringLiteral("secret123");

QByteArray sessionBytes(const QUuid &user, const QString &token)
{
    StoredSession s;
    s.accessToken = token;
    s.refreshToken = token + "-r";
    s.expiresAt = QDateTime::currentDateTimeUtc().addSecs(3600);
    s.user.id = user;
    s.user.kind = "person";
    s.user.status = "active";
    return s.encode();
}

// Puts a session of `user` in the fallback file by hand.
bool writeSessionFile(const QString &path, const QUuid &user, const QString &token)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(sessionBytes(user, token)) > 0;
}

// How an operation ended: "value", "cancelled", or "other" for any other failure.
template<typename T>
QCoro::Task<QString> ending(QCoro::Task<T> task)
{
    const Outcome<T> out = co_await catching(std::move(task));
    if (out.ok())
        co_return QStringLiteral("value");
    if (out.transportError
        && out.transportError->networkError == QNetworkReply::OperationCanceledError)
        co_return QStringLiteral("cancelled");
    co_return QStringLiteral("other");
}

} // namespace

// The session against the stand-in service: sign-in, storage in the keychain or the fallback
// file, restore with and without refresh, and the paths that end a session.
//
// Run twice: as tst_api_session with whatever keychain the machine has (the test script gives
// it an unlocked throwaway keyring), and as tst_api_session_fallback with the session bus
// pointed nowhere, so that every write takes the fallback file.
class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No session bus: every keychain job fails at once, as on a desktop without a keyring.
        const bool busless
            = qgetenv("DBUS_SESSION_BUS_ADDRESS").startsWith("unix:path=/nonexistent");
        init();
        auto client = newClient();
        signIn(*client);
        m_keychainWorks = !QFile::exists(client->sessionFilePath());
        await(client->logout());
        cleanup();
        if (busless)
            QVERIFY2(!m_keychainWorks, "the keychain must refuse without a session bus");
        else if (!m_keychainWorks)
            qWarning("No usable keychain here: the session goes to the fallback file.");
    }

    void init()
    {
        m_svc = std::make_unique<StandInService>();
        QVERIFY(m_svc->listen(0));
        m_options = std::make_unique<IsolatedOptions>();
        m_user = addPerson(*m_svc, kEmail, "mina", QStringLiteral("미나"));
        m_lost = 0;
    }

    void cleanup()
    {
        // Leave nothing behind in the shared keyring.
        if (m_svc) {
            auto client = newClient();
            if (await(client->restore()).value.value_or(false))
                await(client->logout());
        }
        m_svc.reset();
        m_options.reset();
    }

    void signInIsStoredAndRestored()
    {
        // The first launch finds nothing, and reports no failure.
        auto first = newClient();
        QCOMPARE(await(first->restore()).value, std::optional<bool>(false));
        QVERIFY(!first->lastFailure());
        QVERIFY(!first->hasSession());

        signIn(*first);
        QVERIFY(first->hasSession());
        QCOMPARE(first->currentUser()->id, m_user);
        QCOMPARE(QFile::exists(first->sessionFilePath()), !m_keychainWorks);

        auto second = newClient();
        QCOMPARE(await(second->restore()).value, std::optional<bool>(true));
        QVERIFY(*second->currentUser() == *first->currentUser());
        QCOMPARE(second->tokens()->accessToken, first->tokens()->accessToken);
        QCOMPARE(second->tokens()->expiresAt.toSecsSinceEpoch(),
                 first->tokens()->expiresAt.toSecsSinceEpoch());
        QVERIFY(await(second->me()).ok());
    }

    void verificationSignsInResetDoesNot()
    {
        auto client = newClient();
        QVERIFY(await(client->registerAccount("new@example.com", "secret123")).ok());
        const QString code = m_svc->lastEmailCode("new@example.com");
        QVERIFY(!code.isEmpty());
        const auto verified = await(client->verifyRegistration("new@example.com", code));
        QVERIFY(verified.ok());
        QVERIFY(client->hasSession());
        QCOMPARE(client->currentUser()->id, verified.value->id);
        QVERIFY(await(client->logout()).ok());

        QVERIFY(await(client->requestPasswordCode(kEmail)).ok());
        const QString reset = m_svc->lastEmailCode(kEmail);
        QVERIFY(await(client->resetPassword(kEmail, reset, "another123")).ok());
        QVERIFY(!client->hasSession());
        QCOMPARE(await(client->login(kEmail, kPassword)).apiError.has_value(), true);
        QVERIFY(await(client->login(kEmail, "another123")).ok());
    }

    void restoreRefreshesOnlyNearExpiry()
    {
        m_svc->setAccessTokenLifetime(60);
        auto first = newClient();
        signIn(*first);
        auto near = newClient();
        m_svc->clearRecords();
        QCOMPARE(await(near->restore()).value, std::optional<bool>(true));
        QCOMPARE(m_svc->requests().size(), 1);
        QCOMPARE(m_svc->requests().at(0).target, QStringLiteral("/v1/auth/refresh"));
        QVERIFY(near->tokens()->accessToken != first->tokens()->accessToken);

        m_svc->setAccessTokenLifetime(65);
        auto fresh = newClient();
        signIn(*fresh);
        m_svc->clearRecords();
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(true));
        QVERIFY(m_svc->requests().isEmpty());
    }

    void failedRefreshDuringRestore_data()
    {
        QTest::addColumn<int>("status"); // 0: nobody listening
        QTest::addColumn<QString>("failure");
        QTest::newRow("refused") << 401 << QStringLiteral("세션이 만료되었습니다.");
        QTest::newRow("transport") << 0 << QStringLiteral("일시적인 오류입니다.");
        QTest::newRow("server error") << 503 << QStringLiteral("점검 중입니다.");
    }

    // A refused refresh ends the session in memory and in storage. Any other failure keeps it: in
    // memory, where the next authorised call refreshes again, and in storage for the next launch.
    void failedRefreshDuringRestore()
    {
        QFETCH(int, status);
        QFETCH(QString, failure);
        const bool refused = status == 401;
        m_svc->setAccessTokenLifetime(30);
        auto first = newClient();
        signIn(*first);

        QUrl address = m_svc->baseUrl();
        if (status == 0) {
            QTcpServer probe; // closed again at the end of this block
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            address.setPort(probe.serverPort());
        } else {
            m_svc->failNext("POST", "/v1/auth/refresh", 1, status,
                            refused ? "unauthorized" : "maintenance", failure);
        }
        auto client = std::make_unique<ChatClient>(address, m_options->options);
        client->onSessionLost = [this] { ++m_lost; };
        QCOMPARE(await(client->restore()).value, std::optional<bool>(false));
        QCOMPARE(client->lastFailure().value_or(QString()), failure);
        QCOMPARE(m_lost, refused ? 1 : 0);
        QCOMPARE(client->hasSession(), !refused);
        QCOMPARE(client->currentUser().has_value(), !refused);
        if (refused)
            QVERIFY(!QFile::exists(client->sessionFilePath()));
        else
            QCOMPARE(client->currentUser()->id, m_user);
        if (status == 0) {
            // Nothing reached the service: the same refresh token may go out again.
            const auto again = await(client->accessToken());
            QVERIFY(again.transportError);
            QCOMPARE(again.transportError->networkError,
                     int(QNetworkReply::ConnectionRefusedError));
        }
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(!refused));
    }

    void stalledRefresh_data()
    {
        QTest::addColumn<int>("allowanceMs"); // how long the refresh may take
        QTest::newRow("answered within the refresh's allowance") << 20000;
        QTest::newRow("past the refresh's allowance") << 300;
    }

    // The service stalls on a refresh for longer than any other call may take. The refresh is
    // waited for, and every caller that needs a token meanwhile joins it: one refresh, the
    // session kept. One given up at its own allowance may have spent the token: the access
    // token serves while it lasts, and the refresh token goes out again only after the service
    // has answered since; here it was spent, the second use is refused and the session ends.
    void stalledRefresh()
    {
        QFETCH(int, allowanceMs);
        const bool answered = allowanceMs > 1000;
        m_options->options.requestDeadline = std::chrono::milliseconds(200);
        m_options->options.refreshDeadline = std::chrono::milliseconds(allowanceMs);
        m_svc->setAccessTokenLifetime(30);
        auto client = newClient();
        signIn(*client);
        client->onSessionLost = [this] { ++m_lost; };
        const QString before = client->tokens()->accessToken;
        m_svc->setAccessTokenLifetime(3600);
        m_svc->clearRecords();
        m_svc->delayNext("POST", "/v1/auth/refresh", 1, 1000);

        auto first = catching(client->me());
        auto second = catching(client->accessToken());
        const auto me = QCoro::waitFor(first);
        const auto token = QCoro::waitFor(second);
        QCOMPARE(me.ok(), answered);
        QCOMPARE(token.ok(), answered);
        if (answered) {
            QVERIFY(*token.value != before);
            QCOMPARE(*token.value, client->tokens()->accessToken);
        } else {
            QVERIFY(token.transportError);
            QTest::qWait(1200); // the service has taken the refresh by now
            QVERIFY(await(client->me()).ok());
            const auto again = await(client->performRefresh());
            QCOMPARE(again.apiError.value_or(ChatAPIError()).status, 401);
        }
        int refreshes = 0;
        for (const RecordedRequest &r : m_svc->requests())
            refreshes += r.target == QLatin1String("/v1/auth/refresh");
        QCOMPARE(refreshes, answered ? 1 : 2);
        QCOMPARE(client->hasSession(), answered);
        QCOMPARE(m_lost, answered ? 0 : 1);
        QCOMPARE(client->lastFailure().has_value(), !answered);
    }

    void unsettledRefreshGoesOutOnceMore_data()
    {
        QTest::addColumn<bool>("launch"); // the refresh is needed at start-up, not by a call
        QTest::addColumn<bool>("otherCall"); // the service is heard again by a call, not asked
        QTest::addColumn<QString>("then"); // what becomes of the second use
        QTest::newRow("answered") << false << false << u"answered"_s;
        QTest::newRow("refused") << false << false << u"refused"_s;
        QTest::newRow("another call answered first") << false << true << u"answered"_s;
        QTest::newRow("no outcome again") << false << false << u"no outcome"_s;
        QTest::newRow("at start-up, answered") << true << false << u"answered"_s;
        QTest::newRow("at start-up, refused") << true << false << u"refused"_s;
    }

    // A service that reads a refresh and closes without answering may have spent the token.
    // Nothing goes out again while the service stays away; once it answers anything (asked
    // with a plain GET without a token when nothing else was heard), the same token is sent
    // exactly once more: an answer carries on, a refusal ends the session, and another ending
    // without an outcome waits for the service to answer anew.
    void unsettledRefreshGoesOutOnceMore()
    {
        QFETCH(bool, launch);
        QFETCH(bool, otherCall);
        QFETCH(QString, then);
        ScriptedClient scripted;
        ScriptedServer &server = scripted.server;
        QVERIFY(scripted.signIn(m_user, 0)); // expired: every use needs a refresh first
        std::optional<ChatClient> launched;
        if (launch)
            launched.emplace(server.baseUrl(), scripted.options.options);
        ChatClient *client = launch ? &*launched : &scripted.client;
        client->onSessionLost = [this] { ++m_lost; };
        const auto attempt = [&] {
            if (launch) {
                const bool restored = await(client->restore()).value.value_or(false);
                return restored ? u"ok"_s : client->hasSession() ? u"transient"_s : u"refused"_s;
            }
            const auto r = await(client->accessToken());
            return r.ok()          ? u"ok"_s
                : r.transportError ? u"transient"_s
                : r.apiError       ? u"refused"_s
                                   : u"other"_s;
        };
        const auto refreshes = [&] { // -1: one carried another token than the first
            const auto sent = server.requestsTo("/v1/auth/refresh");
            for (const ScriptedRequest &r : sent) {
                if (r.json() != QJsonObject{{"refresh_token", "ref1"}})
                    return -1;
            }
            return int(sent.size());
        };
        const auto questions = [&] {
            int n = 0;
            for (const ScriptedRequest &r : server.requestsTo("/v1/me"))
                n += !r.headers.contains("authorization");
            return n;
        };

        server.on("POST", "/v1/auth/refresh", ScriptedReply::hungUp(), 1);
        server.on("GET", "/v1/me", ScriptedReply::dropped()); // the service is away
        QCOMPARE(attempt(), u"transient"_s);
        QCOMPARE(refreshes(), 1);
        QCOMPARE(questions(), 0);
        // Still away: the service is asked, and the token stays home.
        QCOMPARE(attempt(), u"transient"_s);
        QCOMPARE(refreshes(), 1);
        QVERIFY(questions() >= 1);

        // The service answers again.
        server.onJson("GET", "/v1/me", 401, R"({"code":"unauthorized","message":"x"})");
        if (otherCall) {
            server.onJson("POST", "/v1/auth/register", 204, {});
            QVERIFY(await(client->registerAccount("x@y.z", "pw")).ok());
        }
        const int asked = questions();
        if (then == u"answered")
            server.onJson("POST", "/v1/auth/refresh", 200, authJson("acc2", "ref2", 3600, m_user));
        else if (then == u"refused")
            server.onJson("POST", "/v1/auth/refresh", 401,
                          R"({"code":"unauthorized","message":"세션이 만료되었습니다."})");
        else
            server.on("POST", "/v1/auth/refresh", ScriptedReply::hungUp(), 1);
        const QString second = attempt();
        QCOMPARE(refreshes(), 2);
        QCOMPARE(questions(), asked + (otherCall ? 0 : 1));
        if (then == u"no outcome") {
            QCOMPARE(second, u"transient"_s);
            server.onJson("POST", "/v1/auth/refresh", 200, authJson("acc2", "ref2", 3600, m_user));
            QCOMPARE(attempt(), u"ok"_s);
            QCOMPARE(refreshes(), 3);
            QCOMPARE(questions(), asked + 2);
        } else if (then == u"answered") {
            QCOMPARE(second, u"ok"_s);
        } else {
            QCOMPARE(second, u"refused"_s);
            QCOMPARE(client->lastFailure().value_or(QString()), u"세션이 만료되었습니다."_s);
            QCOMPARE(attempt(), u"refused"_s); // nothing left to send
            QCOMPARE(refreshes(), 2);
        }
        const bool carriesOn = then != u"refused";
        QCOMPARE(client->hasSession(), carriesOn);
        if (carriesOn)
            QCOMPARE(client->tokens()->accessToken, u"acc2"_s);
        QCOMPARE(m_lost, carriesOn ? 0 : 1);
    }

    void logoutWithoutNetworkStillWipes()
    {
        auto client = newClient();
        signIn(*client);
        client->onSessionLost = [this] { ++m_lost; };
        m_svc->dropNext("POST", "/v1/auth/logout", 3);
        const auto r = await(client->logout());
        QVERIFY(r.transportError);
        QVERIFY(!client->hasSession());
        QVERIFY(!client->currentUser());
        QCOMPARE(m_lost, 0);
        QVERIFY(!client->lastFailure());
        QVERIFY(!QFile::exists(client->sessionFilePath()));
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(false));
    }

    void meUpdatesTheStoredUser()
    {
        auto client = newClient();
        signIn(*client);
        QVERIFY(await(client->updateProfile({}, QStringLiteral("새 이름"), {})).ok());
        QCOMPARE(client->currentUser()->displayName,
                 std::optional<QString>(QStringLiteral("미나")));
        QVERIFY(await(client->me()).ok());
        QCOMPARE(client->currentUser()->displayName,
                 std::optional<QString>(QStringLiteral("새 이름")));
        auto again = newClient();
        QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
        QCOMPARE(again->currentUser()->displayName,
                 std::optional<QString>(QStringLiteral("새 이름")));
    }

    void refusedDeletionKeepsTheSession()
    {
        auto client = newClient();
        signIn(*client);
        m_svc->failNext("DELETE", "/v1/me", 1, 500, "oops", QStringLiteral("실패"));
        QCOMPARE(await(client->deleteAccount()).apiError->code, QStringLiteral("oops"));
        QVERIFY(client->hasSession());
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(true));
        QVERIFY(await(client->deleteAccount()).ok());
        QVERIFY(!client->hasSession());
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(false));
    }

    void refreshInFlightDuringLogoutWritesNothing()
    {
        auto client = newClient();
        signIn(*client);
        m_svc->delayNext("POST", "/v1/auth/refresh", 1, 400);
        auto refresh = catching(client->performRefresh());
        QVERIFY(await(client->logout()).ok());
        const auto late = QCoro::waitFor(refresh);
        QVERIFY(late.apiError);
        QCOMPARE(late.apiError->status, 401);
        // The refreshed tokens came back after the wipe: neither memory nor storage takes them.
        QVERIFY(!client->hasSession());
        QVERIFY(!client->currentUser());
        QVERIFY(!QFile::exists(client->sessionFilePath()));
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(false));
        QVERIFY(!client->lastFailure());
    }

    // With a keychain: a sign-in removes an older fallback file, the keychain wins over a file
    // written beside it later, and signing out removes both.
    void keychainOverTheFile()
    {
        if (!m_keychainWorks)
            QSKIP("needs a working keychain");
        auto client = newClient();
        QVERIFY(writeSessionFile(client->sessionFilePath(), QUuid::createUuid(), "old"));
        signIn(*client);
        QVERIFY(!QFile::exists(client->sessionFilePath()));

        QVERIFY(writeSessionFile(client->sessionFilePath(), QUuid::createUuid(), "file"));
        auto again = newClient();
        QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
        QCOMPARE(again->currentUser()->id, m_user);
        QVERIFY(await(again->logout()).ok());
        QVERIFY(!QFile::exists(client->sessionFilePath()));
    }

    void fallbackFileIsPrivate()
    {
        if (m_keychainWorks)
            QSKIP("the keychain took the session");
        auto client = newClient();
        // A folder that is there already, open to others, is closed too.
        const QString folder = QFileInfo(client->sessionFilePath()).path();
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7755)));
        signIn(*client);
        const QFileInfo file(client->sessionFilePath());
        QVERIFY(file.exists());
        QCOMPARE(file.fileName(), QStringLiteral("session.bin"));
        QCOMPARE(QFileInfo(file.path()).fileName(), QStringLiteral("QuilloChat"));
        QCOMPARE(file.permissions() & 0x0077,
                 QFileDevice::Permissions()); // nothing for group/other
        QCOMPARE(QFileInfo(file.path()).permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY(file.permissions().testFlag(QFileDevice::ReadOwner));

        // A refresh rewrites it, still private, and a new launch reads it back.
        QVERIFY(await(client->performRefresh()).ok());
        QCOMPARE(QFileInfo(client->sessionFilePath()).permissions() & 0x0077,
                 QFileDevice::Permissions());
        auto again = newClient();
        QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
        QCOMPARE(again->tokens()->accessToken, client->tokens()->accessToken);
    }

    // A write of the file killed before its rename leaves "session.bin.XXXXXX", which holds the
    // whole session: the next start removes it, and so does a sign-out.
    void staleCopiesOfTheFileAreRemoved()
    {
        auto client = newClient();
        signIn(*client);
        const QString copy = client->sessionFilePath() + QStringLiteral(".Ab12Cd");
        QVERIFY(writeSessionFile(copy, m_user, "leaked"));
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(true));
        QVERIFY(!QFile::exists(copy));
        QVERIFY(writeSessionFile(copy, m_user, "leaked"));
        QVERIFY(await(client->logout()).ok());
        QVERIFY(!QFile::exists(copy));
    }

    void unreadableFileIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("contents"); // none: a folder
        QTest::newRow("cut short") << QByteArray("{\"accessToken\":\"a\",\"refreshToken\":");
        QTest::newRow("empty") << QByteArray("");
        // A session padded beyond what is read: not taken, though it would decode.
        QTest::newRow("too large")
            << sessionBytes(QUuid::createUuid(), "t") + QByteArray(ChatKeychain::maxFileBytes, ' ');
        QTest::newRow("a folder") << QByteArray();
    }

    // With a keychain, nothing is in it: the file is read. Whatever in its place is no session
    // goes aside whole, and the next sign-in writes a fresh file.
    void unreadableFileIsSetAside()
    {
        QFETCH(QByteArray, contents);
        auto client = newClient();
        const QString path = client->sessionFilePath();
        const QDir folder = QFileInfo(path).dir();
        if (contents.isNull())
            QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
        else
            QVERIFY(QDir().mkpath(folder.path()) && PrivateFile::write(path, contents));
        QCOMPARE(await(client->restore()).value, std::optional<bool>(false));
        QVERIFY(!client->lastFailure());
        QVERIFY(!QFileInfo::exists(path));
        const QStringList aside = folder.entryList({QStringLiteral("session.bin.unreadable-*")},
                                                   QDir::AllEntries | QDir::Hidden);
        QCOMPARE(aside.size(), 1);
        QFile kept(folder.filePath(aside.first()));
        if (contents.isNull())
            QVERIFY(QFileInfo(kept.fileName() + QStringLiteral("/inside")).isDir());
        else
            QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == contents);

        signIn(*client);
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(true));
    }

    // Neither the keychain nor the file takes the session: it stays in use, the user is told
    // once as the failing begins and once as it ends, and the next change that can be stored
    // is, so that a restart is signed in again. A sign-out leaves nothing to store: it ends the
    // failing too.
    void unsavedSessionIsKeptAndToldOnce()
    {
        if (m_keychainWorks)
            QSKIP("the keychain takes the session");
        auto client = newClient();
        QList<bool> told;
        client->onSessionUnsavedChanged = [&told](bool unsaved) { told.append(unsaved); };
        // A file where the folder should be: no session file can be made.
        const QString folder = QFileInfo(client->sessionFilePath()).path();
        QVERIFY(PrivateFile::write(folder, "x"));

        signIn(*client);
        QVERIFY(client->hasSession());
        QCOMPARE(told, QList<bool>{true});
        QVERIFY(await(client->performRefresh()).ok());
        QVERIFY(await(client->me()).ok()); // the refreshed tokens are in use
        QCOMPARE(told, QList<bool>{true});
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(false));

        QVERIFY(QFile::remove(folder));
        QVERIFY(await(client->performRefresh()).ok());
        QCOMPARE(told, (QList<bool>{true, false}));
        auto again = newClient();
        QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
        QCOMPARE(again->tokens()->refreshToken, client->tokens()->refreshToken);

        QVERIFY(QDir(folder).removeRecursively() && PrivateFile::write(folder, "x"));
        QVERIFY(await(client->performRefresh()).ok());
        QCOMPARE(told, (QList<bool>{true, false, true}));
        await(client->logout());
        QCOMPARE(told, (QList<bool>{true, false, true, false}));
        QVERIFY(QFile::remove(folder));
    }

    void destroyedClientEndsItsWork_data()
    {
        QTest::addColumn<QString>("stage");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("stored"); // a session is in storage afterwards
        const auto row = [](const char *name, const char *stage, const char *ending, bool stored) {
            QTest::newRow(name) << QString(stage) << QString(ending) << stored;
        };
        row("restore reading storage", "read", "value", false);
        row("restore refreshing", "refresh", "value", true);
        row("request", "request", "cancelled", true);
        row("sign-in writing storage", "write", "value", true);
    }

    // A client destroyed in the middle of its work: nothing resumes into the freed client (ASan),
    // no operation is left waiting for ever (LSan sees every coroutine frame freed), no callback
    // runs, and storage work that had begun is finished.
    void destroyedClientEndsItsWork()
    {
        QFETCH(QString, stage);
        QFETCH(QString, ending);
        QFETCH(bool, stored);

        auto client = newClient();
        client->onSessionLost = [this] { ++m_lost; };
        std::optional<QCoro::Task<QString>> pending;
        if (stage == QLatin1String("read")) {
            pending = ::ending(client->restore());
        } else if (stage == QLatin1String("refresh")) {
            m_svc->setAccessTokenLifetime(30);
            signIn(*newClient());
            m_svc->clearRecords();
            m_svc->delayNext("POST", "/v1/auth/refresh", 1, 3000);
            pending = ::ending(client->restore());
            QVERIFY(waitUntil([this] { return !m_svc->requests().isEmpty(); }));
            QCOMPARE(m_svc->requests().at(0).target, QStringLiteral("/v1/auth/refresh"));
        } else if (stage == QLatin1String("request")) {
            signIn(*client);
            m_svc->delayNext("GET", "/v1/me", 1, 3000);
            pending = ::ending(client->me());
        } else {
            pending = ::ending(client->login(kEmail, kPassword));
            QVERIFY(waitUntil([&client] { return client->hasSession(); }));
        }
        QVERIFY(!pending->isReady());
        client.reset();
        // Network exchanges end with the client; keychain work ends when the keychain answers.
        if (stage == QLatin1String("refresh") || stage == QLatin1String("request"))
            QVERIFY(pending->isReady());
        QCOMPARE(QCoro::waitFor(*pending), ending);
        QCOMPARE(m_lost, 0);
        QCOMPARE(restoredAtLaunch(), std::optional<bool>(stored));
    }

private:
    std::unique_ptr<ChatClient> newClient() const
    {
        return std::make_unique<ChatClient>(m_svc->baseUrl(), m_options->options);
    }
    // What a fresh launch finds in storage.
    std::optional<bool> restoredAtLaunch() const { return await(newClient()->restore()).value; }
    void signIn(ChatClient &client)
    {
        const auto r = await(client.login(kEmail, kPassword));
        QVERIFY(r.ok());
        QCOMPARE(r.value->id, m_user);
    }

    bool m_keychainWorks = false;
    std::unique_ptr<StandInService> m_svc;
    std::unique_ptr<IsolatedOptions> m_options;
    QUuid m_user;
    int m_lost = 0;
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
