#include "AppTestSupport.h"

#include "api/ChatAPI.h"
#include "app/AuthView.h"
#include "app/ProfileSetupView.h"
#include "app/ResetForm.h"
#include "app/RootView.h"
#include "app/SignInForm.h"
#include "app/SignUpForm.h"
#include "app/VerifyForm.h"
#include "ui/workspace/Workspace.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// The root view follows the session, drops the whole workspace when the session ends and
// keeps invite links for later.
class TestRootView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void followsTheSession()
    {
        LocalStore store(false, 20ms, nullptr);
        RootView root(&store);
        QSignalSpy changes(&root, &RootView::screenChanged);
        QCOMPARE(root.screen(), RootView::Screen::signIn);
        QVERIFY(qobject_cast<AuthView *>(root.content()));

        const QUuid me = QUuid::createUuid();
        store.setSession(AppSession{me, false});
        QCOMPARE(root.screen(), RootView::Screen::profile);
        QVERIFY(qobject_cast<ProfileSetupView *>(root.content()));

        store.setSession(AppSession{me, true});
        QCOMPARE(root.screen(), RootView::Screen::workspace);
        QPointer<QWidget> first = root.content();
        QVERIFY(qobject_cast<Workspace *>(first));

        // Another user signed in without passing through sign-in gets a fresh workspace.
        store.setSession(AppSession{QUuid::createUuid(), true});
        QVERIFY(root.content() != first);
        QTRY_VERIFY(first.isNull());

        QPointer<QWidget> second = root.content();
        store.setSession(std::nullopt);
        QCOMPARE(root.screen(), RootView::Screen::signIn);
        QTRY_VERIFY(second.isNull());
        QCOMPARE(changes.size(), 4); // profile, workspace, fresh workspace, sign-in
    }

    // The signed-out forms are made when first shown: none before the root shows, the sign-in
    // form with the screen (holding the store's notice), the others when asked for.
    void signedOutFormsAreMadeWhenShown()
    {
        LocalStore store(false, 20ms, nullptr);
        store.showNotice(QStringLiteral("로그인이 필요합니다."));
        RootView root(&store);
        auto *auth = qobject_cast<AuthView *>(root.content());
        QVERIFY(auth);
        QVERIFY(root.findChildren<AuthForm *>().isEmpty());

        root.resize(960, 680);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        QCOMPARE(root.findChildren<AuthForm *>().size(), 1);
        auto *signIn = root.findChild<SignInForm *>();
        QVERIFY(signIn);
        QCOMPARE(auth->currentWidget(), signIn);
        QCOMPARE(signIn->messageText(), QStringLiteral("로그인이 필요합니다."));
        QCOMPARE(root.focusWidget(), child<QLineEdit>(signIn, QStringLiteral("email")));

        clickButton(child<QAbstractButton>(signIn, QStringLiteral("toSignUp")));
        QVERIFY(root.findChild<SignUpForm *>());
        QCOMPARE(auth->currentWidget(), auth->signUpForm());
        QVERIFY(!root.findChild<VerifyForm *>());
        QVERIFY(!root.findChild<ResetForm *>());
    }

    // Sheets and dialogs belong to the workspace and go with it, whether they were opened
    // window-modally (open) or run their own event loop (exec).
    void dropsTheWorkspaceWithItsDialogs_data()
    {
        QTest::addColumn<bool>("nestedLoop");
        QTest::newRow("sheet opened with open()") << false;
        QTest::newRow("dialog running exec()") << true;
    }
    void dropsTheWorkspaceWithItsDialogs()
    {
        QFETCH(bool, nestedLoop);
        LocalStore store(false, 20ms, nullptr);
        RootView root(&store);
        root.resize(960, 680);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        store.setSession(AppSession{QUuid::createUuid(), true});
        QPointer<QWidget> workspace = root.content();
        QVERIFY(workspace);

        QPointer<QWidget> panel = new QWidget(workspace, Qt::Window);
        panel->show();
        if (nestedLoop) {
            QPointer<QMessageBox> box = new QMessageBox(
                QMessageBox::Question, QStringLiteral("확인"), QStringLiteral("정말 나갈까요?"),
                QMessageBox::Ok | QMessageBox::Cancel, workspace);
            // The session ends while the dialog's own event loop runs.
            QTimer::singleShot(0, &store, [&store] { store.setSession(std::nullopt); });
            const int result = box->exec();
            QCOMPARE(result, int(QDialog::Rejected));
        } else {
            QPointer<QDialog> sheet = new QDialog(workspace);
            sheet->open();
            QVERIFY(sheet->isVisible());
            store.setSession(std::nullopt);
            QVERIFY(!sheet || !sheet->isVisible());
            QTRY_VERIFY(sheet.isNull());
        }
        QTRY_VERIFY(workspace.isNull());
        QVERIFY(panel.isNull());
        QCOMPARE(root.screen(), RootView::Screen::signIn);
        QVERIFY(qobject_cast<AuthView *>(root.content()));
    }

    // The first profile's photo dialog belongs to that screen: when the session ends while it
    // is open, it goes with the screen, and no answer reaches the screen afterwards.
    void dropsTheProfileScreenWithItsPhotoDialog()
    {
        LocalStore store(false, 20ms, nullptr);
        RootView root(&store);
        root.resize(960, 680);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        store.signIn();
        QCOMPARE(root.screen(), RootView::Screen::profile);
        QPointer<QWidget> profile = root.content();
        clickButton(child<QAbstractButton>(profile, QStringLiteral("pickPhoto")));
        QPointer<QFileDialog> dialog = profile->findChild<QFileDialog *>();
        QVERIFY(dialog && dialog->isVisible());

        store.setSession(std::nullopt);
        QVERIFY(!dialog || !dialog->isVisible());
        QTRY_VERIFY(profile.isNull());
        QVERIFY(dialog.isNull());
        QCOMPARE(root.screen(), RootView::Screen::signIn);
    }

    void keepsInviteLinksUntilSignedIn_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("invite");
        const QString host = ChatAPI::serviceHost();
        const QString code = QStringLiteral("AbCdEfGh_1234-xyz");
        QTest::newRow("invite link") << "https://" + host + "/i/" + code << true;
        QTest::newRow("host in capitals, trailing slash")
            << "https://" + host.toUpper() + "/i/" + code + "/" << true;
        QTest::newRow("another host") << "https://example.com/i/" + code << false;
        QTest::newRow("capital I") << "https://" + host + "/I/" + code << false;
        QTest::newRow("code too short") << "https://" + host + "/i/abc" << false;
        QTest::newRow("not a URL") << QStringLiteral("그냥 글자") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void keepsInviteLinksUntilSignedIn()
    {
        QFETCH(QString, link);
        QFETCH(bool, invite);
        LocalStore store(false, 20ms, nullptr);
        RootView root(&store);
        QCOMPARE(root.openLink(link), invite);
        QCOMPARE(store.pendingInviteCode().has_value(), invite);
        if (invite)
            QCOMPARE(*store.pendingInviteCode(), QStringLiteral("AbCdEfGh_1234-xyz"));
        QVERIFY(!store.notice());
    }
};

QTEST_MAIN(TestRootView)
#include "tst_rootview.moc"
