#include "AppTestSupport.h"

#include "app/AuthView.h"
#include "app/RootView.h"
#include "app/SignInForm.h"

#include <QLabel>
#include <QTest>

namespace {

const QString kEmail = QStringLiteral("sora@example.com");
const QString kPassword = QStringLiteral("abcd1234");

} // namespace

// A start with a stored session while the service is away or refuses: the window waits in its
// start-up state instead of offering the sign-in form, and what start-up met does not linger.
class TestStartUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void cleanup() { PushCenter::reset(); }

    void startWithAStoredSession_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("kept"); // the session outlives the fault
        QTest::newRow("service unavailable") << "503" << true;
        QTest::newRow("no answer") << "dropped" << true;
        QTest::newRow("captive portal redirect") << "302" << true;
        QTest::newRow("refused") << "403" << false;
    }

    void startWithAStoredSession()
    {
        QFETCH(QString, fault);
        QFETCH(bool, kept);
        StandInService service;
        QVERIFY(service.listen());
        service.addUser(seed(kEmail, kPassword, QStringLiteral("sora"), QStringLiteral("한소라")));
        const ChatClientOptions options = isolatedOptions();
        {
            LocalStore first(true, 250ms, std::make_unique<ChatClient>(service.baseUrl(), options));
            QVERIFY(signIn(&first, kEmail, kPassword));
        }
        PushCenter::reset();
        if (fault == u"dropped")
            service.dropNext(QStringLiteral("GET"), QStringLiteral("/v1/me"), 1);
        else if (fault == u"302")
            service.answerNonJsonNext(QStringLiteral("GET"), QStringLiteral("/v1/me"), 1, 302);
        else
            service.failNext(QStringLiteral("GET"), QStringLiteral("/v1/me"), 1, fault.toInt(),
                             QStringLiteral("boom"), QStringLiteral("잠시 후에 다시 해 주세요."));

        LocalStore store(true, 250ms, std::make_unique<ChatClient>(service.baseUrl(), options));
        RootView root(&store);
        root.resize(960, 680);
        QList<RootView::Screen> screens;
        connect(&root, &RootView::screenChanged, this,
                [&screens](RootView::Screen screen) { screens.append(screen); });
        store.bootstrap(); // runs on its own and catches everything
        QCOMPARE(root.screen(), RootView::Screen::startUp);
        auto *line = child<QLabel>(&root, QStringLiteral("startUpLine"));
        QVERIFY(line);
        QCOMPARE(line->text(), QStringLiteral("연결 중…"));
        QCOMPARE(line->accessibleName(), line->text());
        saveShot(&root, QStringLiteral("start-up-%1").arg(fault));

        if (!kept) {
            // A refusal ends start-up: the form, with the service's reason.
            QTRY_COMPARE(root.screen(), RootView::Screen::signIn);
            QVERIFY(!store.startUpRetryPending());
            auto *auth = qobject_cast<AuthView *>(root.content());
            QVERIFY(auth);
            QCOMPARE(auth->signInForm()->messageText(),
                     QStringLiteral("잠시 후에 다시 해 주세요."));
            return;
        }
        QTRY_VERIFY(store.startUpRetryPending());
        QCOMPARE(root.screen(), RootView::Screen::startUp);
        QVERIFY(store.client()->hasSession());
        QTRY_COMPARE_WITH_TIMEOUT(root.screen(), RootView::Screen::workspace, 10000);
        QVERIFY2(!screens.contains(RootView::Screen::signIn), "the sign-in form came up");

        // A later sign-out shows a clean form: nothing that start-up met comes back.
        store.logout();
        QCOMPARE(root.screen(), RootView::Screen::signIn);
        QCoreApplication::processEvents();
        auto *auth = qobject_cast<AuthView *>(root.content());
        QVERIFY(auth);
        QCOMPARE(auth->signInForm()->messageText(), QString());
        QCOMPARE(store.notice(), std::nullopt);
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
