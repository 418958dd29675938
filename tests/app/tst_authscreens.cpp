#include "AppTestSupport.h"

#include "app/AuthView.h"
#include "app/ProfileSetupView.h"
#include "app/ResetForm.h"
#include "app/RootView.h"
#include "app/SignInForm.h"
#include "app/SignUpForm.h"
#include "app/VerifyForm.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/common/ImageFile.h"
#include "ui/common/UiMetrics.h"
#include "ui/common/WideButton.h"
#include "ui/workspace/Workspace.h"

#include <QImage>
#include <QLabel>
#include <QListView>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString badCredentials = QStringLiteral("이메일 또는 비밀번호가 올바르지 않습니다.");

// The stand-in service, a live store talking to it and the root view on screen.
struct Rig
{
    StandInService service;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<RootView> root;

    bool start()
    {
        if (!service.listen())
            return false;
        store = liveStore(service);
        root = std::make_unique<RootView>(store.get());
        root->resize(960, 680);
        root->show();
        return QTest::qWaitForWindowExposed(root.get());
    }
    ~Rig()
    {
        // Operations outlive the screens that started them; let them finish first.
        QTRY_COMPARE_WITH_TIMEOUT(AuthForm::runningOperations(), 0, 10000);
        root.reset();
        store.reset();
    }
    AuthView *auth() const { return qobject_cast<AuthView *>(root->content()); }
};

// After an answer that the field must correct: it has the keyboard and its whole text is
// selected, so that typing replaces it.
bool readyToRetype(QWidget *form, QLineEdit *field)
{
    return form->focusWidget() == field && field->selectionStart() == 0
        && field->selectionLength() == field->text().size() && !field->text().isEmpty();
}

// Answers the photo dialog with a small picture and asks for a photo; it arrives later.
void choosePhoto(ProfileSetupView *profile)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString file = privateFolders().filePath(QStringLiteral("photo.jpg"));
    image.save(file, "JPEG");
    ImageFile::setTestAnswer([file] { return file; });
    clickButton(child<QAbstractButton>(profile, QStringLiteral("pickPhoto")));
}

QString hangul(int count)
{
    const QString syllables
        = QStringLiteral("가나다라마바사아자차카타파하거너더러머버서어저처커터퍼허");
    return syllables.left(count);
}

} // namespace

// The signed-out screens and the first-profile screen, driven as a user drives them, against
// the stand-in service.
class TestAuthScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        privateFolders();
        QStandardPaths::setTestModeEnabled(true);
    }
    void cleanup()
    {
        PushCenter::reset();
        ImageFile::setTestAnswer({});
    }

    void signUpVerifyAndCompleteTheProfile()
    {
        Rig rig;
        QVERIFY(rig.start());
        QCOMPARE(rig.root->screen(), RootView::Screen::signIn);
        AuthView *auth = rig.auth();
        QVERIFY(auth);
        saveShot(rig.root.get(), QStringLiteral("01-sign-in"));

        clickButton(child<QAbstractButton>(auth->signInForm(), QStringLiteral("toSignUp")));
        SignUpForm *signUp = auth->signUpForm();
        QCOMPARE(auth->currentWidget(), signUp);
        typeInto(child<QLineEdit>(signUp, QStringLiteral("email")),
                 QStringLiteral("  New.User@Example.com "));
        auto *password = child<QLineEdit>(signUp, QStringLiteral("password"));
        auto *send = child<WideButton>(signUp, QStringLiteral("sendCode"));

        // The password rule is checked before anything reaches the service.
        typeInto(password, QStringLiteral("abcdefgh"));
        clickButton(send);
        QCOMPARE(signUp->messageText(), SignUpForm::passwordRuleText());
        QVERIFY(readyToRetype(signUp, password));
        QVERIFY(rig.service.requests().isEmpty());
        saveShot(rig.root.get(), QStringLiteral("02-sign-up-error"));

        typeInto(password, QStringLiteral("abcdefg1"));
        clickButton(send);
        QTRY_COMPARE(auth->currentWidget(), auth->verifyForm());
        const QString code = rig.service.lastEmailCode(QStringLiteral("new.user@example.com"));
        // The form names the address the code went to, as the service has it.
        QVERIFY(child<QLabel>(auth->verifyForm(), QStringLiteral("sentTo"))
                    ->text()
                    .startsWith(QStringLiteral("new.user@example.com(")));
        QCOMPARE(code.size(), 6);

        // The code field keeps digits only, six of them.
        VerifyForm *verify = auth->verifyForm();
        auto *codeField = child<QLineEdit>(verify, QStringLiteral("code"));
        auto *verifyButton = child<WideButton>(verify, QStringLiteral("verify"));
        // The code can be typed at once: the sign-up field that had the focus was locked.
        QCOMPARE(verify->focusWidget(), codeField);
        typeInto(codeField, QStringLiteral("12a3-45678"));
        QCOMPARE(codeField->text(), QStringLiteral("123456"));
        // The keys cut away must not leave the button judging the longer text.
        QVERIFY(!verifyButton->isDisabled());
        QString wrong = code;
        wrong[5] = code[5] == u'0' ? u'1' : u'0';
        typeInto(codeField, wrong);
        clickButton(verifyButton);
        QTRY_VERIFY(!verifyButton->isBusy());
        QVERIFY(!verify->messageText().isEmpty());
        QVERIFY(readyToRetype(verify, codeField));
        QCOMPARE(rig.root->screen(), RootView::Screen::signIn);
        saveShot(rig.root.get(), QStringLiteral("03-verify-error"));

        typeInto(codeField, code);
        clickButton(verifyButton);
        QTRY_COMPARE(rig.root->screen(), RootView::Screen::profile);
        auto *profile = qobject_cast<ProfileSetupView *>(rig.root->content());
        QVERIFY(profile);

        // The display name is cut to 20 characters as it is typed.
        auto *name = child<QLineEdit>(profile, QStringLiteral("name"));
        QCOMPARE(profile->focusWidget(), name);
        typeInto(name, hangul(25));
        QCOMPARE(name->text(), hangul(20));
        auto *handle = child<QLineEdit>(profile, QStringLiteral("handle"));
        auto *save = child<WideButton>(profile, QStringLiteral("saveProfile"));
        typeInto(handle, QStringLiteral("new user"));
        clickButton(save);
        QTRY_COMPARE(profile->messageText(),
                     QStringLiteral("아이디는 영문 소문자, 숫자, 밑줄 3–20자입니다."));
        QVERIFY(readyToRetype(profile, handle));
        QCOMPARE(rig.root->screen(), RootView::Screen::profile);
        saveShot(rig.root.get(), QStringLiteral("04-profile-error"));

        choosePhoto(profile);
        QTRY_VERIFY(profile->photo().has_value());
        typeInto(handle, QStringLiteral("new_user"));
        saveShot(rig.root.get(), QStringLiteral("05-profile"));
        clickButton(save);
        QTRY_COMPARE(rig.root->screen(), RootView::Screen::workspace);
        const auto me = rig.store->me();
        QVERIFY(me);
        QCOMPARE(me->displayName, hangul(20));
        QCOMPARE(me->handle, QStringLiteral("new_user"));
        QVERIFY(me->avatarURL.has_value());
        auto *empty = child<QLabel>(rig.root->content(), QStringLiteral("emptyDetail"));
        QCOMPARE(empty->text(), QStringLiteral("대화를 선택하세요."));
        saveShot(rig.root.get(), QStringLiteral("06-workspace"));
    }

    void signInFailuresShowTheirText_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("serviceMessage");
        QTest::addColumn<QString>("expected");

        QTest::newRow("wrong password") << "sora@example.com"
                                        << "wrong1234" << 0 << "" << badCredentials;
        QTest::newRow("unknown address") << "nobody@example.com"
                                         << "abcd1234" << 0 << "" << badCredentials;
        QTest::newRow("404 reads like 401") << "sora@example.com"
                                            << "abcd1234" << 404 << "없음" << badCredentials;
        QTest::newRow("service message passes through")
            << "sora@example.com"
            << "abcd1234" << 503 << "서버 점검 중입니다."
            << "서버 점검 중입니다.";
    }
    void signInFailuresShowTheirText()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QString, serviceMessage);
        QFETCH(QString, expected);

        Rig rig;
        QVERIFY(rig.start());
        rig.service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                 QStringLiteral("sora"), QStringLiteral("한소라")));
        if (status)
            rig.service.failNext(QStringLiteral("POST"), QStringLiteral("/v1/auth/login"), 1,
                                 status, QStringLiteral("failed"), serviceMessage);
        SignInForm *form = rig.auth()->signInForm();
        typeInto(child<QLineEdit>(form, QStringLiteral("email")), email);
        typeInto(child<QLineEdit>(form, QStringLiteral("password")), password);
        auto *button = child<WideButton>(form, QStringLiteral("signIn"));
        clickButton(button);
        QTRY_COMPARE(form->messageText(), expected);
        QVERIFY(!button->isBusy());
        QVERIFY(readyToRetype(form, child<QLineEdit>(form, QStringLiteral("password"))));
        QCOMPARE(rig.root->screen(), RootView::Screen::signIn);
        if (status == 503)
            saveShot(rig.root.get(), QStringLiteral("07-sign-in-error"));
    }

    void signInLeadsToTheRightScreen_data()
    {
        QTest::addColumn<QString>("handle");
        QTest::addColumn<int>("screen");
        QTest::newRow("complete profile") << "sora" << int(RootView::Screen::workspace);
        QTest::newRow("no handle yet") << "" << int(RootView::Screen::profile);
    }
    void signInLeadsToTheRightScreen()
    {
        QFETCH(QString, handle);
        QFETCH(int, screen);
        Rig rig;
        QVERIFY(rig.start());
        rig.service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                 handle, QStringLiteral("한소라")));
        SignInForm *form = rig.auth()->signInForm();
        auto *button = child<WideButton>(form, QStringLiteral("signIn"));
        QVERIFY(button->isDisabled()); // nothing typed yet
        typeInto(child<QLineEdit>(form, QStringLiteral("email")),
                 QStringLiteral(" SORA@example.com"));
        typeInto(child<QLineEdit>(form, QStringLiteral("password")), QStringLiteral("abcd1234"));
        QVERIFY(!button->isDisabled());
        QTest::keyClick(child<QLineEdit>(form, QStringLiteral("password")), Qt::Key_Return);
        QTRY_COMPARE(int(rig.root->screen()), screen);
        // The workspace starts with the keyboard on the room list.
        if (screen == int(RootView::Screen::workspace)) {
            QTRY_VERIFY(qobject_cast<QListView *>(rig.root->window()->focusWidget()));
            QCOMPARE(rig.root->window()->focusWidget()->accessibleName(), QStringLiteral("대화"));
        }
    }

    // The sign-in form's links (plain buttons, as both are) ring when Tab reaches them.
    void signInLinksShowTheirFocus()
    {
        LocalStore store(false, 20ms, nullptr);
        SignInForm form(&store);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto *link = child<QAbstractButton>(&form, QStringLiteral("toReset"));
        QVERIFY(!drawsFocusRing(link));
        link->setFocus(Qt::TabFocusReason);
        QVERIFY(drawsFocusRing(link));
        saveShot(&form, QStringLiteral("sign-in-link-focus"));
    }

    void signUpWithATakenAddress()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                 QStringLiteral("sora"), QStringLiteral("한소라")));
        AuthView *auth = rig.auth();
        clickButton(child<QAbstractButton>(auth->signInForm(), QStringLiteral("toSignUp")));
        SignUpForm *form = auth->signUpForm();
        typeInto(child<QLineEdit>(form, QStringLiteral("email")),
                 QStringLiteral("Sora@Example.com"));
        typeInto(child<QLineEdit>(form, QStringLiteral("password")), QStringLiteral("zxcv9876"));
        clickButton(child<QAbstractButton>(form, QStringLiteral("sendCode")));
        QTRY_COMPARE(form->messageText(), QStringLiteral("이미 가입된 이메일입니다."));
        QCOMPARE(auth->currentWidget(), form);
        QVERIFY(readyToRetype(form, child<QLineEdit>(form, QStringLiteral("email"))));
    }

    void resetThePasswordThenSignIn()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                 QStringLiteral("sora"), QStringLiteral("한소라")));
        AuthView *auth = rig.auth();
        typeInto(child<QLineEdit>(auth->signInForm(), QStringLiteral("email")),
                 QStringLiteral("sora@example.com"));
        auto *signInPassword = child<QLineEdit>(auth->signInForm(), QStringLiteral("password"));
        typeInto(signInPassword, QStringLiteral("forgotten1"));
        clickButton(child<QAbstractButton>(auth->signInForm(), QStringLiteral("toReset")));
        ResetForm *reset = auth->resetForm();
        QCOMPARE(auth->currentWidget(), reset);
        QCOMPARE(child<QLineEdit>(reset, QStringLiteral("email"))->text(),
                 QStringLiteral("sora@example.com"));
        auto *primary = child<WideButton>(reset, QStringLiteral("resetPrimary"));
        clickButton(primary);
        QTRY_VERIFY(reset->codeSent());
        saveShot(rig.root.get(), QStringLiteral("08-reset-code"));
        const QString code = rig.service.lastEmailCode(QStringLiteral("sora@example.com"));
        QCOMPARE(code.size(), 6);

        typeInto(child<QLineEdit>(reset, QStringLiteral("code")), code);
        auto *newPassword = child<QLineEdit>(reset, QStringLiteral("newPassword"));
        typeInto(newPassword, QStringLiteral("12345678"));
        clickButton(primary);
        QCOMPARE(reset->messageText(), SignUpForm::passwordRuleText());

        typeInto(newPassword, QStringLiteral("newpass99"));
        clickButton(primary);
        QTRY_COMPARE(auth->currentWidget(), auth->signInForm());
        SignInForm *signIn = auth->signInForm();
        QCOMPARE(signIn->email(), QStringLiteral("sora@example.com"));
        QVERIFY(!signIn->messageText().isEmpty());
        // The password typed before the reset is gone, and the new one can be typed at once.
        QVERIFY(signInPassword->text().isEmpty());
        QCOMPARE(signIn->focusWidget(), signInPassword);
        saveShot(rig.root.get(), QStringLiteral("09-sign-in-after-reset"));

        typeInto(child<QLineEdit>(signIn, QStringLiteral("password")), QStringLiteral("newpass99"));
        clickButton(child<QAbstractButton>(signIn, QStringLiteral("signIn")));
        QTRY_COMPARE(rig.root->screen(), RootView::Screen::workspace);
    }

    void resetWithAWrongCodeShowsTheServiceText()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                 QStringLiteral("sora"), QStringLiteral("한소라")));
        AuthView *auth = rig.auth();
        clickButton(child<QAbstractButton>(auth->signInForm(), QStringLiteral("toReset")));
        ResetForm *reset = auth->resetForm();
        typeInto(child<QLineEdit>(reset, QStringLiteral("email")),
                 QStringLiteral("sora@example.com"));
        auto *primary = child<WideButton>(reset, QStringLiteral("resetPrimary"));
        clickButton(primary);
        QTRY_VERIFY(reset->codeSent());
        const QString code = rig.service.lastEmailCode(QStringLiteral("sora@example.com"));
        QString wrong = code;
        wrong[0] = code[0] == u'9' ? u'8' : u'9';
        typeInto(child<QLineEdit>(reset, QStringLiteral("code")), wrong);
        typeInto(child<QLineEdit>(reset, QStringLiteral("newPassword")),
                 QStringLiteral("newpass99"));
        clickButton(primary);
        QTRY_VERIFY(!primary->isBusy());
        QVERIFY(!reset->messageText().isEmpty());
        QCOMPARE(auth->currentWidget(), reset);
        QVERIFY(readyToRetype(reset, child<QLineEdit>(reset, QStringLiteral("code"))));
    }

    void profileSaveFailureStaysOnTheForm()
    {
        Rig rig;
        QVERIFY(rig.start());
        rig.service.addUser(seed(QStringLiteral("new@example.com"), QStringLiteral("abcd1234"),
                                 QString(), QString()));
        SignInForm *form = rig.auth()->signInForm();
        typeInto(child<QLineEdit>(form, QStringLiteral("email")),
                 QStringLiteral("new@example.com"));
        typeInto(child<QLineEdit>(form, QStringLiteral("password")), QStringLiteral("abcd1234"));
        clickButton(child<QAbstractButton>(form, QStringLiteral("signIn")));
        QTRY_COMPARE(rig.root->screen(), RootView::Screen::profile);
        auto *profile = qobject_cast<ProfileSetupView *>(rig.root->content());

        rig.service.failNext(QStringLiteral("PATCH"), QStringLiteral("/v1/me"), 1, 500,
                             QStringLiteral("busy"), QStringLiteral("잠시 후 다시 시도해 주세요."));
        typeInto(child<QLineEdit>(profile, QStringLiteral("name")), QStringLiteral("새 사람"));
        typeInto(child<QLineEdit>(profile, QStringLiteral("handle")), QStringLiteral("new_person"));
        auto *save = child<WideButton>(profile, QStringLiteral("saveProfile"));
        clickButton(save);
        QTRY_VERIFY(!save->isBusy());
        QCOMPARE(profile->messageText(), QStringLiteral("잠시 후 다시 시도해 주세요."));
        QVERIFY(readyToRetype(profile, child<QLineEdit>(profile, QStringLiteral("handle"))));
        QCOMPARE(rig.root->screen(), RootView::Screen::profile);
    }

    void givingUpTheSignUpReturnsToSignIn()
    {
        LocalStore store(false, 20ms, nullptr);
        RootView root(&store);
        store.signIn(); // a new account with no profile yet
        QCOMPARE(root.screen(), RootView::Screen::profile);
        const QUuid unfinished = store.session()->meId;
        clickButton(child<QAbstractButton>(root.content(), QStringLiteral("cancelSignup")));
        QCOMPARE(root.screen(), RootView::Screen::signIn);
        QVERIFY(!store.account(unfinished));
    }

    // Every button on these screens, links and photo buttons included, is at least 44 high, and
    // Return presses the one that has the keyboard.
    void buttonsAreAtLeast44High_data()
    {
        QTest::addColumn<int>("screen");
        int index = 0;
        for (const char *screen : {"sign-in", "sign-up", "verify", "reset", "first profile"})
            QTest::newRow(screen) << index++;
    }
    void buttonsAreAtLeast44High()
    {
        QFETCH(int, screen);
        LocalStore store(false, 20ms, nullptr);
        store.signIn();
        const std::unique_ptr<QWidget> form([&]() -> QWidget * {
            switch (screen) {
            case 0:
                return new SignInForm(&store);
            case 1:
                return new SignUpForm(&store);
            case 2:
                return new VerifyForm(&store);
            case 3:
                return new ResetForm(&store);
            }
            return new ProfileSetupView(&store);
        }());
        form->resize(480, 760);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        if (auto *profile = qobject_cast<ProfileSetupView *>(form.get())) {
            choosePhoto(profile); // brings the button that clears the photo
            QTRY_VERIFY(child<QAbstractButton>(profile, QStringLiteral("clearPhoto"))->isVisible());
        }
        const auto buttons = form->findChildren<QAbstractButton *>();
        QVERIFY(buttons.size() >= 2);
        for (QAbstractButton *button : buttons)
            QVERIFY2(!button->isVisible() || button->height() >= UiMetrics::controlHeight,
                     qPrintable(button->objectName()));
        for (QAbstractButton *button : buttons) {
            if (button->isVisible() && button->isEnabled())
                QVERIFY2(takesReturn(button), qPrintable(button->objectName()));
        }
    }

    void nameLimitCountsUserPerceivedCharacters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString family = QStringLiteral("👨‍👩‍👧");
        QString twentyFamilies;
        for (int i = 0; i < 20; ++i)
            twentyFamilies += family;
        QTest::newRow("21 Hangul syllables") << hangul(21) << hangul(20);
        QTest::newRow("20 stay") << hangul(20) << hangul(20);
        QTest::newRow("emoji sequences count one each")
            << twentyFamilies + family << twentyFamilies;
        // Decomposed Hangul: each syllable is three code points but one character.
        const QString decomposed = hangul(21).normalized(QString::NormalizationForm_D);
        QTest::newRow("decomposed syllables")
            << decomposed << hangul(20).normalized(QString::NormalizationForm_D);
    }
    void nameLimitCountsUserPerceivedCharacters()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        LocalStore store(false, 20ms, nullptr);
        store.signIn();
        ProfileSetupView profile(&store);
        auto *name = child<QLineEdit>(&profile, QStringLiteral("name"));
        name->setFocus();
        name->insert(typed); // an edit of the user's, like a paste
        QCOMPARE(name->text(), kept);
    }
};

QTEST_MAIN(TestAuthScreens)
#include "tst_authscreens.moc"
