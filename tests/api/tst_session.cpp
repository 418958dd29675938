#include "ApiTestSupport.h"

#include "api/ChatClient.h"
#include "service/StandInService.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QTest>

// The session against the stand-in service: sign-in, storage in the keychain or the fallback
// file, restore with and without refresh, and the paths that end a session.
//
// Built twice: as tst_api_session with whatever keychain the machine has (the test script gives
// it an unlocked throwaway keyring), and as tst_api_session_fallback with the session bus
// pointed nowhere, so that every write takes the fallback file.
class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstLaunchHasNothing();
    void signInIsStoredAndRestored();
    void verificationSignsInResetDoesNot();
    void restoreRefreshesOnlyNearExpiry();
    void refusedRefreshDuringRestoreEndsTheSession();
    void failedRefreshDuringRestoreKeepsTheSession_data();
    void failedRefreshDuringRestoreKeepsTheSession();
    void logoutWithoutNetworkStillWipes();
    void meUpdatesTheStoredUser();
    void refusedDeletionKeepsTheSession();
    void refreshInFlightDuringLogoutWritesNothing();
    void keychainReplacesAnOlderFile();
    void keychainWinsOverFile();
    void fallbackFileIsPrivate();
    void corruptStorageIsNoSession();
    void destroyedClientEndsItsWork_data();
    void destroyedClientEndsItsWork();

private:
    std::unique_ptr<ChatClient> newClient() const
    {
        return std::make_unique<ChatClient>(m_svc->baseUrl(), m_options->options);
    }
    void signIn(ChatClient &client);

    bool m_keychainWorks = false;
    std::unique_ptr<StandInService> m_svc;
    std::unique_ptr<IsolatedOptions> m_options;
    QUuid m_user;
    int m_lost = 0;
};

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

void TestSession::initTestCase()
{
#ifdef ZUMO_FORCE_NO_KEYCHAIN
    QVERIFY(qgetenv("DBUS_SESSION_BUS_ADDRESS").startsWith("unix:path=/nonexistent"));
#endif
    init();
    auto client = newClient();
    signIn(*client);
    m_keychainWorks = !QFile::exists(client->sessionFilePath());
    await(client->logout());
    cleanup();
#ifdef ZUMO_FORCE_NO_KEYCHAIN
    QVERIFY2(!m_keychainWorks, "the keychain must refuse without a session bus");
#else
    if (!m_keychainWorks)
        qWarning("No usable keychain here: the session goes to the fallback file.");
#endif
}

void TestSession::init()
{
    m_svc = std::make_unique<StandInService>();
    QVERIFY(m_svc->listen(0));
    m_options = std::make_unique<IsolatedOptions>();
    SeedUser u;
    u.email = kEmail;
    u.password = kPassword;
    u.handle = "mina";
    u.displayName = QStringLiteral("미나");
    m_user = m_svc->addUser(u);
    m_lost = 0;
}

void TestSession::cleanup()
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

void TestSession::signIn(ChatClient &client)
{
    const auto r = await(client.login(kEmail, kPassword));
    QVERIFY(r.ok());
    QCOMPARE(r.value->id, m_user);
}

void TestSession::firstLaunchHasNothing()
{
    auto client = newClient();
    QCOMPARE(await(client->restore()).value, std::optional<bool>(false));
    QVERIFY(!client->lastFailure());
    QVERIFY(!client->hasSession());
}

void TestSession::signInIsStoredAndRestored()
{
    auto first = newClient();
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

void TestSession::verificationSignsInResetDoesNot()
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

void TestSession::restoreRefreshesOnlyNearExpiry()
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
    auto later = newClient();
    QCOMPARE(await(later->restore()).value, std::optional<bool>(true));
    QVERIFY(m_svc->requests().isEmpty());
}

void TestSession::refusedRefreshDuringRestoreEndsTheSession()
{
    m_svc->setAccessTokenLifetime(30);
    auto first = newClient();
    signIn(*first);

    auto client = newClient();
    client->onSessionLost = [this] { ++m_lost; };
    m_svc->failNext("POST", "/v1/auth/refresh", 1, 401, "unauthorized",
                    QStringLiteral("세션이 만료되었습니다."));
    QCOMPARE(await(client->restore()).value, std::optional<bool>(false));
    QCOMPARE(m_lost, 1);
    QCOMPARE(client->lastFailure().value_or(QString()), QStringLiteral("세션이 만료되었습니다."));
    QVERIFY(!client->hasSession());
    QVERIFY(!client->currentUser());
    QVERIFY(!QFile::exists(client->sessionFilePath()));
    QCOMPARE(await(newClient()->restore()).value, std::optional<bool>(false));
}

void TestSession::failedRefreshDuringRestoreKeepsTheSession_data()
{
    QTest::addColumn<bool>("drop");
    QTest::addColumn<QString>("failure");
    QTest::newRow("transport") << true << QStringLiteral("일시적인 오류입니다.");
    QTest::newRow("server error") << false << QStringLiteral("점검 중입니다.");
}

void TestSession::failedRefreshDuringRestoreKeepsTheSession()
{
    QFETCH(bool, drop);
    QFETCH(QString, failure);
    m_svc->setAccessTokenLifetime(30);
    auto first = newClient();
    signIn(*first);

    // A transport failure: the service's port has nobody listening.
    QUrl unreachable = m_svc->baseUrl();
    if (drop) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        unreachable.setPort(probe.serverPort());
    } else {
        m_svc->failNext("POST", "/v1/auth/refresh", 1, 503, "maintenance", failure);
    }
    auto client = std::make_unique<ChatClient>(unreachable, m_options->options);
    client->onSessionLost = [this] { ++m_lost; };
    QCOMPARE(await(client->restore()).value, std::optional<bool>(false));
    QCOMPARE(client->lastFailure().value_or(QString()), failure);
    QCOMPARE(m_lost, 0);
    QVERIFY(client->hasSession()); // kept in memory; the next authorised call refreshes again
    QCOMPARE(client->currentUser()->id, m_user);

    // Kept in storage too: the next launch refreshes it.
    auto again = newClient();
    QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
}

void TestSession::logoutWithoutNetworkStillWipes()
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
    QCOMPARE(await(newClient()->restore()).value, std::optional<bool>(false));
}

void TestSession::meUpdatesTheStoredUser()
{
    auto client = newClient();
    signIn(*client);
    QVERIFY(await(client->updateProfile({}, QStringLiteral("새 이름"), {})).ok());
    QCOMPARE(client->currentUser()->displayName, std::optional<QString>(QStringLiteral("미나")));
    QVERIFY(await(client->me()).ok());
    QCOMPARE(client->currentUser()->displayName, std::optional<QString>(QStringLiteral("새 이름")));
    auto again = newClient();
    QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
    QCOMPARE(again->currentUser()->displayName, std::optional<QString>(QStringLiteral("새 이름")));
}

void TestSession::refusedDeletionKeepsTheSession()
{
    auto client = newClient();
    signIn(*client);
    m_svc->failNext("DELETE", "/v1/me", 1, 500, "oops", QStringLiteral("실패"));
    QCOMPARE(await(client->deleteAccount()).apiError->code, QStringLiteral("oops"));
    QVERIFY(client->hasSession());
    QCOMPARE(await(newClient()->restore()).value, std::optional<bool>(true));
    QVERIFY(await(client->deleteAccount()).ok());
    QVERIFY(!client->hasSession());
    QCOMPARE(await(newClient()->restore()).value, std::optional<bool>(false));
}

void TestSession::refreshInFlightDuringLogoutWritesNothing()
{
    auto client = newClient();
    signIn(*client);
    m_svc->delayNext("POST", "/v1/auth/refresh", 1, 400);
    auto refresh = catching(client->performRefresh());
    QVERIFY(await(client->logout()).ok());
    const auto late = QCoro::waitFor(refresh);
    QVERIFY(!late.ok());
    // The refreshed tokens came back after the wipe: neither memory nor storage takes them.
    QVERIFY(!client->hasSession());
    QVERIFY(!client->currentUser());
    QVERIFY(!QFile::exists(client->sessionFilePath()));
    QCOMPARE(await(newClient()->restore()).value, std::optional<bool>(false));
    QVERIFY(!client->lastFailure());
}

void TestSession::keychainReplacesAnOlderFile()
{
    if (!m_keychainWorks)
        QSKIP("needs a working keychain");
    auto client = newClient();
    QDir().mkpath(QFileInfo(client->sessionFilePath()).path());
    QFile file(client->sessionFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sessionBytes(QUuid::createUuid(), "old"));
    file.close();
    signIn(*client);
    QVERIFY(!QFile::exists(client->sessionFilePath()));
}

void TestSession::keychainWinsOverFile()
{
    if (!m_keychainWorks)
        QSKIP("needs a working keychain");
    auto client = newClient();
    signIn(*client);
    const QUuid other = QUuid::createUuid();
    QFile file(client->sessionFilePath());
    QDir().mkpath(QFileInfo(file).path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sessionBytes(other, "file"));
    file.close();
    auto again = newClient();
    QCOMPARE(await(again->restore()).value, std::optional<bool>(true));
    QCOMPARE(again->currentUser()->id, m_user);
    // Clearing removes both.
    QVERIFY(await(again->logout()).ok());
    QVERIFY(!QFile::exists(client->sessionFilePath()));
}

void TestSession::fallbackFileIsPrivate()
{
    if (m_keychainWorks)
        QSKIP("the keychain took the session");
    auto client = newClient();
    signIn(*client);
    const QFileInfo file(client->sessionFilePath());
    QVERIFY(file.exists());
    QCOMPARE(file.fileName(), QStringLiteral("session.bin"));
    QCOMPARE(QFileInfo(file.path()).fileName(), QStringLiteral("QuilloChat"));
    QCOMPARE(file.permissions() & 0x0077, QFileDevice::Permissions()); // nothing for group/other
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

void TestSession::corruptStorageIsNoSession()
{
    auto client = newClient();
    if (m_keychainWorks) {
        // Nothing in the keychain: the file is read, and its garbage is no session.
        QDir().mkpath(QFileInfo(client->sessionFilePath()).path());
    }
    QDir().mkpath(QFileInfo(client->sessionFilePath()).path());
    QFile file(client->sessionFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"accessToken\":\"a\",\"refreshToken\":");
    file.close();
    QCOMPARE(await(client->restore()).value, std::optional<bool>(false));
    QVERIFY(!client->lastFailure());
    QVERIFY(QFile::exists(client->sessionFilePath())); // left in place for the next sign-in
}

void TestSession::destroyedClientEndsItsWork_data()
{
    QTest::addColumn<QString>("stage");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("stored"); // a session is in storage afterwards
    QTest::newRow("restore reading storage") << "read"
                                             << "value" << false;
    QTest::newRow("restore refreshing") << "refresh"
                                        << "value" << true;
    QTest::newRow("request") << "request"
                             << "cancelled" << true;
    QTest::newRow("sign-in writing storage") << "write"
                                             << "value" << true;
}

// A client destroyed in the middle of its work: nothing resumes into the freed client (ASan),
// no operation is left waiting for ever (LSan sees every coroutine frame freed), no callback
// runs, and storage work that had begun is finished.
void TestSession::destroyedClientEndsItsWork()
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
    QCOMPARE(await(newClient()->restore()).value, std::optional<bool>(stored));
}

#ifdef ZUMO_FORCE_NO_KEYCHAIN
int main(int argc, char **argv)
{
    // No session bus: every keychain job fails at once, as on a desktop without a keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zumo-test-bus");
    QCoreApplication app(argc, argv);
    TestSession test;
    return QTest::qExec(&test, argc, argv);
}
#else
QTEST_GUILESS_MAIN(TestSession)
#endif
#include "tst_session.moc"
