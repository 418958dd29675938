// Sign-in and registration, the first profile and the profile edit, the password change, the
// notification switches, logout and the deletion of the account.

#include "StoreTestSupport.h"

#include "model/TextLimits.h"

#include <QSignalSpy>

namespace {

constexpr int kWait = 10000;

const QString kBadCredentials = QStringLiteral("이메일 또는 비밀번호가 올바르지 않습니다.");
const QString kHandleRule = QStringLiteral("아이디는 영문 소문자, 숫자, 밑줄 3–20자입니다.");

// A user without handle and name: signing in leaves the profile incomplete.
QUuid addNewcomer(LiveOps &ops, const QString &email)
{
    SeedUser u;
    u.email = email;
    u.password = ops.password;
    return ops.service.addUser(u);
}

std::optional<QString> errorText(const std::optional<std::optional<QString>> &result)
{
    return result ? *result : std::optional<QString>(QStringLiteral("<threw>"));
}

} // namespace

class TestStoreAccount : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    // --- sign-in and registration ---
    void addressesAreNormalizedSecretsAreNot_data();
    void addressesAreNormalizedSecretsAreNot();
    void errorTexts_data();
    void errorTexts();
    void loginReplacesThePreviousUsersRooms();
    void loginWithIncompleteProfileOnlyConnects();
    void verifyThenFirstProfile();
    void firstProfileValidation_data();
    void firstProfileValidation();
    void firstProfileServerFailureIsANotice();
    void passwordRule_data();
    void passwordRule();
    void cancelSignup();

    // --- local profile rules ---
    void localFirstProfile();
    void localHandleRetiredForThirtyDays();
    void localHandleChangesOnce();

    // --- profile edit, password, notifications ---
    void saveMeHandleRules();
    void saveMeHandleLocked();
    void saveMeRejectsBadName();
    void notificationSwitchesUpload();
    void notificationSwitchesSurviveRestart();
    void localNotificationSwitchesPersist();

    // --- logout and deletion ---
    void liveLogoutClearsSessionValuesKeepsLists();
    void localLogoutSignsSameUserInAgain();
    void liveDeletionFailureKeepsUser();
    void liveDeletionClearsAccountAndSessionValues();
    void localDeletion();
};

// ---------------------------------------------------------------------------------------------
// Sign-in and registration

void TestStoreAccount::addressesAreNormalizedSecretsAreNot_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("unchangedKeys");
    QTest::newRow("login") << "login"
                           << "/v1/auth/login" << QStringList{"password"};
    QTest::newRow("register") << "register"
                              << "/v1/auth/register" << QStringList{"password"};
    QTest::newRow("verify") << "verify"
                            << "/v1/auth/register/verify" << QStringList{"code"};
    QTest::newRow("reset code") << "resetCode"
                                << "/v1/auth/password/code" << QStringList{};
    QTest::newRow("reset") << "reset"
                           << "/v1/auth/password/reset" << QStringList{"code", "password"};
}

void TestStoreAccount::addressesAreNormalizedSecretsAreNot()
{
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(QStringList, unchangedKeys);
    LiveOps ops;
    QVERIFY(ops.started);
    LocalStore &store = ops.makeStore();
    const QString email = QStringLiteral("  Me@Example.COM \n");
    const QString secret = QStringLiteral(" pass word 1 ");
    if (operation == u"login")
        finish(store.login(email, secret));
    else if (operation == u"register")
        finish(store.sendRegisterCode(email, secret));
    else if (operation == u"verify")
        finish(store.verifyRegister(email, secret));
    else if (operation == u"resetCode")
        finish(store.sendResetCode(email));
    else
        finish(store.resetPassword(email, secret, secret));
    const QList<RecordedRequest> sent = ops.requests(QStringLiteral("POST"), path);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().target, path);
    const QJsonObject body = QJsonDocument::fromJson(sent.first().body).object();
    QCOMPARE(body.value(QStringLiteral("email")).toString(), QStringLiteral("me@example.com"));
    for (const QString &key : unchangedKeys)
        QCOMPARE(body.value(key).toString(), secret);
}

void TestStoreAccount::errorTexts_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("status"); // 0: the connection closes without an answer
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected"); // empty: success
    const QString temporary = QStringLiteral("일시적인 오류입니다.");
    const QString taken = QStringLiteral("이미 가입된 이메일입니다.");
    const QString wrongPassword = QStringLiteral("현재 비밀번호가 올바르지 않습니다.");

    QTest::newRow("login 401") << "login" << 401 << "invalid_credentials"
                               << "틀림" << kBadCredentials;
    QTest::newRow("login 404") << "login" << 404 << "not_found"
                               << "없음" << kBadCredentials;
    QTest::newRow("login 500 with message") << "login" << 500 << "server_error"
                                            << "점검 중입니다."
                                            << "점검 중입니다.";
    QTest::newRow("login no answer") << "login" << 0 << ""
                                     << "" << temporary;

    QTest::newRow("register 409") << "register" << 409 << "conflict"
                                  << "충돌" << taken;
    QTest::newRow("register email_taken code") << "register" << 400 << "email_taken"
                                               << "다른 문구" << taken;
    QTest::newRow("register message says so") << "register" << 400 << "bad"
                                              << "이미 가입한 주소예요" << taken;
    QTest::newRow("register other") << "register" << 400 << "weak_password"
                                    << "비밀번호가 약합니다."
                                    << "비밀번호가 약합니다.";
    QTest::newRow("register no answer") << "register" << 0 << ""
                                        << "" << temporary;

    // The other signed-out operations pass the service's message on, whatever the status.
    QTest::newRow("verify 404") << "verify" << 404 << "not_found"
                                << "인증 요청이 없습니다."
                                << "인증 요청이 없습니다.";
    QTest::newRow("verify no answer") << "verify" << 0 << ""
                                      << "" << temporary;
    QTest::newRow("reset code 404") << "resetCode" << 404 << "not_found"
                                    << "가입되지 않은 이메일입니다."
                                    << "가입되지 않은 이메일입니다.";
    QTest::newRow("reset 409 email") << "reset" << 409 << "email_taken"
                                     << "코드가 만료되었습니다."
                                     << "코드가 만료되었습니다.";
    QTest::newRow("reset no answer") << "reset" << 0 << ""
                                     << "" << temporary;

    QTest::newRow("password changed") << "changePassword" << 200 << ""
                                      << ""
                                      << "";
    QTest::newRow("password 401") << "changePassword" << 401 << "unauthorized"
                                  << "비밀번호 규칙" << wrongPassword;
    QTest::newRow("password invalid_password") << "changePassword" << 400 << "invalid_password"
                                               << "비밀번호 규칙" << wrongPassword;
    QTest::newRow("password other") << "changePassword" << 400 << "weak_password"
                                    << "비밀번호 규칙"
                                    << "비밀번호 규칙";
    QTest::newRow("password no answer") << "changePassword" << 0 << ""
                                        << "" << temporary;
}

void TestStoreAccount::errorTexts()
{
    QFETCH(QString, operation);
    QFETCH(int, status);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    static const QHash<QString, std::pair<QString, QString>> calls{
        {QStringLiteral("login"), {QStringLiteral("POST"), QStringLiteral("/v1/auth/login")}},
        {QStringLiteral("register"), {QStringLiteral("POST"), QStringLiteral("/v1/auth/register")}},
        {QStringLiteral("verify"),
         {QStringLiteral("POST"), QStringLiteral("/v1/auth/register/verify")}},
        {QStringLiteral("resetCode"),
         {QStringLiteral("POST"), QStringLiteral("/v1/auth/password/code")}},
        {QStringLiteral("reset"),
         {QStringLiteral("POST"), QStringLiteral("/v1/auth/password/reset")}},
        {QStringLiteral("changePassword"),
         {QStringLiteral("PATCH"), QStringLiteral("/v1/me/password")}},
    };
    const auto [method, path] = calls.value(operation);
    QVERIFY(!path.isEmpty());

    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const bool signedIn = operation == u"changePassword";
    if (signedIn)
        QVERIFY(ops.start(QStringLiteral("me")));
    else
        ops.makeStore();
    LocalStore &store = *ops.store;
    store.showNotice(QStringLiteral("이전 알림"));
    if (status == 0)
        ops.service.dropNext(method, path, 3);
    else if (status != 200) // a refused password change is tried again after one refresh
        ops.service.failNext(method, path, signedIn && status == 401 ? 2 : 1, status, code,
                             message);

    const QString email = QStringLiteral("me@example.com");
    const QString newPassword = QStringLiteral("newpass123");
    std::optional<std::optional<QString>> result;
    if (operation == u"login")
        result = finish(store.login(email, ops.password));
    else if (operation == u"register")
        result = finish(store.sendRegisterCode(email, ops.password));
    else if (operation == u"verify")
        result = finish(store.verifyRegister(email, QStringLiteral("123456")));
    else if (operation == u"resetCode")
        result = finish(store.sendResetCode(email));
    else if (operation == u"reset")
        result = finish(store.resetPassword(email, QStringLiteral("123456"), newPassword));
    else
        result = finish(store.changePassword(ops.password, newPassword));
    QVERIFY(result);
    QCOMPARE(result->value_or(QString()), expected);

    // The texts go back to the form: only the sign-in touches the notice, and only to clear it.
    const std::optional<QString> noticeAfter
        = operation == u"login" ? std::nullopt : std::optional(QStringLiteral("이전 알림"));
    QCOMPARE(store.notice(), noticeAfter);
    QCOMPARE(store.session().has_value(), signedIn);
    if (signedIn)
        QCOMPARE(ops.lastBody(method, path),
                 QJsonObject({{QStringLiteral("current_password"), ops.password},
                              {QStringLiteral("password"), newPassword}}));
}

void TestStoreAccount::loginReplacesThePreviousUsersRooms()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid friendId = ops.addUser(QStringLiteral("pal"), QStringLiteral("친구"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("다른 사람"));
    ops.service.makeFriends(me, friendId);
    QVERIFY(ops.start(QStringLiteral("me")));
    QCOMPARE(ops.store->conversations().size(), 1);
    ops.store->setBlocks({friendId});

    ops.service.failNext(QStringLiteral("POST"), QStringLiteral("/v1/auth/login"), 1, 401,
                         QStringLiteral("invalid_credentials"), QStringLiteral("틀림"));
    QCOMPARE(errorText(finish(ops.store->login(QStringLiteral("other@example.com"), ops.password))),
             kBadCredentials);
    QCOMPARE(ops.store->conversations().size(), 1);
    QCOMPARE(ops.store->session()->meId, me);

    QCOMPARE(errorText(finish(ops.store->login(QStringLiteral("other@example.com"), ops.password))),
             std::nullopt);
    QCOMPARE(ops.store->session(), (AppSession{other, true}));
    QCOMPARE(ops.store->lastUserId(), other);
    QVERIFY(ops.store->conversations().isEmpty());
    QVERIFY(ops.store->friends().isEmpty());
    QVERIFY(ops.store->account(friendId)); // accounts and blocks stay
    QCOMPARE(ops.store->blocks(), QList<QUuid>{friendId});
}

void TestStoreAccount::loginWithIncompleteProfileOnlyConnects()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid newcomer = addNewcomer(ops, QStringLiteral("new@example.com"));
    LocalStore &store = ops.makeStore();
    QCOMPARE(errorText(finish(store.login(QStringLiteral("new@example.com"), ops.password))),
             std::nullopt);
    QCOMPARE(store.session(), (AppSession{newcomer, false}));
    QTRY_COMPARE_WITH_TIMEOUT(ops.service.authenticatedSocketCount(), 1, kWait);
    QCOMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/conversations")), 0);
    QCOMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/friend-requests")), 0);
}

void TestStoreAccount::verifyThenFirstProfile()
{
    LiveOps ops;
    QVERIFY(ops.started);
    LocalStore &store = ops.makeStore();
    const QString email = QStringLiteral("fresh@example.com");
    QCOMPARE(errorText(finish(store.sendRegisterCode(email, ops.password))), std::nullopt);
    const QString code = ops.service.lastEmailCode(email);
    QVERIFY(!code.isEmpty());
    QCOMPARE(errorText(finish(store.verifyRegister(email, QStringLiteral("000000")))),
             QStringLiteral("인증 코드가 올바르지 않습니다."));
    QCOMPARE(errorText(finish(store.verifyRegister(email, code))), std::nullopt);
    QVERIFY(store.session());
    QCOMPARE(store.session()->profileComplete, false);
    QCOMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/conversations")), 0);

    const QByteArray photo("jpeg-bytes");
    const auto saved = finish(
        store.saveProfile(QStringLiteral("  새 사람 "), QStringLiteral(" @New_Person"), photo));
    QVERIFY(saved);
    QCOMPARE(*saved, std::nullopt);
    QCOMPARE(store.session()->profileComplete, true);
    const QJsonObject upload = ops.lastBody(QStringLiteral("POST"), QStringLiteral("/v1/uploads"));
    QCOMPARE(upload.value(QStringLiteral("kind")).toString(), QStringLiteral("avatar"));
    const QJsonObject patch = ops.lastBody(QStringLiteral("PATCH"), QStringLiteral("/v1/me"));
    QCOMPARE(patch.value(QStringLiteral("handle")).toString(), QStringLiteral("new_person"));
    QCOMPARE(patch.value(QStringLiteral("display_name")).toString(), QStringLiteral("새 사람"));
    QVERIFY(!patch.value(QStringLiteral("avatar_url")).toString().isEmpty());
    QCOMPARE(ops.service.uploadedBytes(patch.value(QStringLiteral("avatar_url")).toString()),
             photo);
    QCOMPARE(store.me()->avatarJPEG, photo);
    QVERIFY(store.me()->avatarURL);
    // Loaded once right away and once more after the short wait.
    QCOMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/conversations")), 2);
    QTRY_COMPARE_WITH_TIMEOUT(ops.service.authenticatedSocketCount(), 1, kWait);
}

void TestStoreAccount::firstProfileValidation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("handle");
    QTest::addColumn<int>("expected"); // -1: saved
    QTest::addColumn<QString>("notice");
    const QString checkName = QStringLiteral("이름을 확인해 주세요.");
    QTest::newRow("blank name") << "   "
                                << "good_one" << int(ProfileSaveError::invalidName) << checkName;
    QTest::newRow("21 characters")
        << QString(21, u'가') << "good_one" << int(ProfileSaveError::invalidName) << checkName;
    QTest::newRow("blank inside handle")
        << "이름"
        << "good one" << int(ProfileSaveError::invalidHandle) << kHandleRule;
    QTest::newRow("20 characters in blanks") << "  " + QString(20, u'가') + "\t"
                                             << "good_one" << -1 << "";
}

void TestStoreAccount::firstProfileValidation()
{
    QFETCH(QString, name);
    QFETCH(QString, handle);
    QFETCH(int, expected);
    QFETCH(QString, notice);
    LiveOps ops;
    QVERIFY(ops.started);
    addNewcomer(ops, QStringLiteral("new@example.com"));
    LocalStore &store = ops.makeStore();
    QCOMPARE(errorText(finish(store.login(QStringLiteral("new@example.com"), ops.password))),
             std::nullopt);
    const auto result = finish(store.saveProfile(name, handle, std::nullopt));
    QVERIFY(result);
    if (expected < 0) {
        QCOMPARE(*result, std::nullopt);
        QCOMPARE(store.me()->displayName, QString(20, u'가'));
        return;
    }
    QCOMPARE(*result, ProfileSaveError(expected));
    QCOMPARE(store.notice(), notice);
    QCOMPARE(ops.countRequests(QStringLiteral("PATCH"), QStringLiteral("/v1/me")), 0);
}

void TestStoreAccount::firstProfileServerFailureIsANotice()
{
    LiveOps ops;
    QVERIFY(ops.started);
    addNewcomer(ops, QStringLiteral("new@example.com"));
    LocalStore &store = ops.makeStore();
    finish(store.login(QStringLiteral("new@example.com"), ops.password));
    ops.service.failNext(QStringLiteral("PATCH"), QStringLiteral("/v1/me"), 1, 409,
                         QStringLiteral("handle_taken"),
                         QStringLiteral("이미 사용 중인 아이디입니다."));
    const auto result
        = finish(store.saveProfile(QStringLiteral("이름"), QStringLiteral("taken"), std::nullopt));
    QVERIFY(result);
    QCOMPARE(*result, std::nullopt);
    QCOMPARE(store.notice(), QStringLiteral("이미 사용 중인 아이디입니다."));
    QCOMPARE(store.session()->profileComplete, false);
}

void TestStoreAccount::passwordRule_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("valid");
    QTest::newRow("seven letters one digit") << "abcdefg1" << true;
    QTest::newRow("eight letters") << "abcdefgh" << false;
    QTest::newRow("eight digits") << "12345678" << false;
    QTest::newRow("four characters") << "ab12" << false;
    QTest::newRow("64 characters") << QString(63, u'a') + "1" << true;
    QTest::newRow("65 characters") << QString(64, u'a') + "1" << false;
    QTest::newRow("Korean letters only") << "비밀번호입니다12" << false;
    QTest::newRow("accented letters only") << "éééééé12" << false;
    QTest::newRow("blanks count") << " abc 12 " << true;
    QTest::newRow("emoji counts once")
        << QString::fromUtf8("a1👍🏽👍🏽👍🏽👍🏽👍🏽") << false;
}

void TestStoreAccount::passwordRule()
{
    QFETCH(QString, password);
    QFETCH(bool, valid);
    QCOMPARE(LocalStore::isValidPassword(password), valid);
}

void TestStoreAccount::cancelSignup()
{
    {
        LocalStore store(true, 0ms, nullptr);
        const QUuid me = signInWithProfile(store);
        store.cancelSignup(); // complete profile: nothing
        QCOMPARE(store.session()->meId, me);
    }
    resetFolders();
    LocalStore store(true, 0ms, nullptr);
    store.signIn();
    const QUuid me = store.session()->meId;
    store.cancelSignup();
    QCOMPARE(store.session(), std::nullopt);
    QCOMPARE(store.lastUserId(), std::nullopt);
    QVERIFY(!store.account(me));
    LocalStore reread(true, 0ms, nullptr);
    QVERIFY(!reread.account(me));
    QCOMPARE(reread.session(), std::nullopt);
}

// ---------------------------------------------------------------------------------------------
// Local profile rules

void TestStoreAccount::localFirstProfile()
{
    LocalStore store(false, 0ms, nullptr);
    store.signIn();
    const QUuid me = store.session()->meId;
    QCOMPARE(store.completeProfile(QString(), QStringLiteral("good_one"), std::nullopt),
             ProfileSaveError::invalidName);
    QCOMPARE(store.completeProfile(QStringLiteral("이름"), QStringLiteral("b@d"), std::nullopt),
             ProfileSaveError::invalidHandle);
    QCOMPARE(store.completeProfile(QStringLiteral("이름"), QStringLiteral("@SORA"), std::nullopt),
             ProfileSaveError::handleTaken);
    QCOMPARE(store.session()->profileComplete, false);

    QCOMPARE(store.completeProfile(QStringLiteral(" 이름 "), QStringLiteral("@Good_One"),
                                   QByteArray("pic")),
             std::nullopt);
    QCOMPARE(store.session(), (AppSession{me, true}));
    QCOMPARE(store.me()->displayName, QStringLiteral("이름"));
    QCOMPARE(store.me()->handle, QStringLiteral("good_one"));
    QCOMPARE(store.me()->avatarJPEG, QByteArray("pic"));
    QCOMPARE(store.me()->handleChanged, false);
    QCOMPARE(store.friendState(SeedID::rian()), FriendState::incoming);
    // The house account's welcome is in its direct room.
    const std::optional<Conversation> house = store.directConversation(SeedID::quillo());
    QVERIFY(house);
    QCOMPARE(store.visibleMessages(house->id).size(), 1);

    // Complete already: nothing more happens.
    QCOMPARE(
        store.completeProfile(QStringLiteral("딴 이름"), QStringLiteral("other_one"), std::nullopt),
        std::nullopt);
    QCOMPARE(store.me()->handle, QStringLiteral("good_one"));
}

void TestStoreAccount::localHandleRetiredForThirtyDays()
{
    LocalStore store(true, 0ms, nullptr);
    signInWithProfile(store, QStringLiteral("떠날 사람"), QStringLiteral("leaving"));
    const QDateTime before = QDateTime::currentDateTimeUtc();
    store.deleteAccount();
    QCOMPARE(store.retiredHandles().size(), 1);
    QCOMPARE(store.retiredHandles().first().handle, QStringLiteral("leaving"));
    const qint64 held = before.secsTo(store.retiredHandles().first().until);
    QVERIFY2(held >= 2'592'000 && held <= 2'592'000 + 60, qPrintable(QString::number(held)));

    store.signIn(); // the deleted account is not active: a new one starts
    QCOMPARE(
        store.completeProfile(QStringLiteral("새 사람"), QStringLiteral("leaving"), std::nullopt),
        ProfileSaveError::handleTaken);
    QVERIFY(store.isHandleTaken(QStringLiteral("@Leaving"), std::nullopt));

    // Once the time has passed the handle is free (the record itself stays).
    QList<RetiredHandle> retired = store.retiredHandles();
    retired.first().until = QDateTime::currentDateTimeUtc().addSecs(-1);
    store.setRetiredHandles(retired);
    QCOMPARE(
        store.completeProfile(QStringLiteral("새 사람"), QStringLiteral("leaving"), std::nullopt),
        std::nullopt);
    QCOMPARE(store.retiredHandles().size(), 1);
}

void TestStoreAccount::localHandleChangesOnce()
{
    LocalStore store(true, 0ms, nullptr);
    QCOMPARE(store.updateMe(QStringLiteral("아무개"), QStringLiteral("nobody"), std::nullopt),
             ProfileSaveError::invalidName); // nobody signed in
    signInWithProfile(store, QStringLiteral("나"), QStringLiteral("first_handle"));

    QCOMPARE(store.updateMe(QString(21, u'가'), QStringLiteral("first_handle"), std::nullopt),
             ProfileSaveError::invalidName);
    QCOMPARE(store.updateMe(QStringLiteral("나"), QStringLiteral("no"), std::nullopt),
             ProfileSaveError::invalidHandle);
    QCOMPARE(store.updateMe(QStringLiteral("나"), QStringLiteral("taeo"), std::nullopt),
             ProfileSaveError::handleTaken);
    QCOMPARE(store.me()->handleChanged, false);

    // Same handle typed differently: no change is spent.
    QCOMPARE(store.updateMe(QStringLiteral("새 이름"), QStringLiteral(" @FIRST_handle"),
                            QByteArray("p")),
             std::nullopt);
    QCOMPARE(store.me()->handleChanged, false);
    QCOMPARE(store.me()->displayName, QStringLiteral("새 이름"));
    QCOMPARE(store.me()->avatarJPEG, QByteArray("p"));

    QCOMPARE(
        store.updateMe(QStringLiteral("새 이름"), QStringLiteral("second_handle"), std::nullopt),
        std::nullopt);
    QCOMPARE(store.me()->handle, QStringLiteral("second_handle"));
    QCOMPARE(store.me()->handleChanged, true);
    QCOMPARE(store.me()->avatarJPEG, QByteArray("p")); // no photo keeps the avatar

    // After the one change another handle is refused and nothing is saved; the name alone
    // still changes.
    QCOMPARE(
        store.updateMe(QStringLiteral("세 번째"), QStringLiteral("third_handle"), std::nullopt),
        ProfileSaveError::handleTaken);
    QCOMPARE(store.me()->handle, QStringLiteral("second_handle"));
    QCOMPARE(store.me()->displayName, QStringLiteral("새 이름"));
    QCOMPARE(
        store.updateMe(QStringLiteral("세 번째"), QStringLiteral("@Second_Handle"), std::nullopt),
        std::nullopt);
    QCOMPARE(store.me()->handle, QStringLiteral("second_handle"));
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.account(store.me()->id)->displayName, QStringLiteral("세 번째"));
}

// ---------------------------------------------------------------------------------------------
// Profile edit, password, notifications

void TestStoreAccount::saveMeHandleRules()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me_now"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me_now")));
    ops.store->showNotice(QStringLiteral("이전 알림"));

    // The present handle in other spelling sends no handle.
    auto result = finish(
        ops.store->saveMe(QStringLiteral(" 나 "), QStringLiteral(" @ME_NOW"), std::nullopt));
    QVERIFY(result && !result->has_value());
    QCOMPARE(ops.store->notice(), std::nullopt);
    QJsonObject body = ops.lastBody(QStringLiteral("PATCH"), QStringLiteral("/v1/me"));
    QCOMPARE(body, QJsonObject({{QStringLiteral("display_name"), QStringLiteral("나")}}));
    QCOMPARE(ops.store->me()->handleChanged, false);

    // A new valid handle goes out and spends the one change.
    result
        = finish(ops.store->saveMe(QStringLiteral("나"), QStringLiteral("me_later"), std::nullopt));
    QVERIFY(result && !result->has_value());
    body = ops.lastBody(QStringLiteral("PATCH"), QStringLiteral("/v1/me"));
    QCOMPARE(body.value(QStringLiteral("handle")).toString(), QStringLiteral("me_later"));
    QCOMPARE(ops.store->me()->handle, QStringLiteral("me_later"));
    QCOMPARE(ops.store->me()->handleChanged, true);

    // Afterwards a typed handle is neither sent nor checked.
    result = finish(ops.store->saveMe(QStringLiteral("나"), QStringLiteral("x"), std::nullopt));
    QVERIFY(result && !result->has_value());
    body = ops.lastBody(QStringLiteral("PATCH"), QStringLiteral("/v1/me"));
    QVERIFY(!body.contains(QStringLiteral("handle")));
    QCOMPARE(ops.countRequests(QStringLiteral("PATCH"), QStringLiteral("/v1/me")), 3);
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/uploads")), 0);
}

void TestStoreAccount::saveMeHandleLocked()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me_now"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me_now")));
    ops.service.failNext(QStringLiteral("PATCH"), QStringLiteral("/v1/me"), 1, 409,
                         QStringLiteral("handle_locked"),
                         QStringLiteral("아이디는 한 번만 바꿀 수 있습니다."));
    auto result
        = finish(ops.store->saveMe(QStringLiteral("나"), QStringLiteral("me_later"), std::nullopt));
    QVERIFY(result && !result->has_value());
    QCOMPARE(ops.store->notice(), QStringLiteral("아이디는 한 번만 바꿀 수 있습니다."));
    QCOMPARE(ops.store->me()->handleChanged, true);
    QCOMPARE(ops.store->me()->handle, QStringLiteral("me_now"));

    result
        = finish(ops.store->saveMe(QStringLiteral("나"), QStringLiteral("me_later"), std::nullopt));
    QVERIFY(!ops.lastBody(QStringLiteral("PATCH"), QStringLiteral("/v1/me"))
                 .contains(QStringLiteral("handle")));

    // Any other failure is a notice and changes nothing.
    ops.service.failNext(QStringLiteral("PATCH"), QStringLiteral("/v1/me"), 1, 500,
                         QStringLiteral("server_error"), QStringLiteral("저장하지 못했습니다."));
    result = finish(
        ops.store->saveMe(QStringLiteral("딴 이름"), QStringLiteral("me_now"), std::nullopt));
    QVERIFY(result && !result->has_value());
    QCOMPARE(ops.store->notice(), QStringLiteral("저장하지 못했습니다."));
    QCOMPARE(ops.store->me()->displayName, QStringLiteral("나"));
}

void TestStoreAccount::saveMeRejectsBadName()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me_now"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me_now")));
    QCOMPARE(
        finish(ops.store->saveMe(QStringLiteral(" \n"), QStringLiteral("me_now"), std::nullopt)),
        std::optional<std::optional<ProfileSaveError>>(ProfileSaveError::invalidName));
    QCOMPARE(ops.store->notice(), QStringLiteral("이름을 확인해 주세요."));
    QCOMPARE(
        finish(ops.store->saveMe(QStringLiteral("나"), QStringLiteral("새 아이디"), std::nullopt)),
        std::optional<std::optional<ProfileSaveError>>(ProfileSaveError::invalidHandle));
    QCOMPARE(ops.store->notice(), kHandleRule);
    QCOMPARE(ops.countRequests(QStringLiteral("PATCH"), QStringLiteral("/v1/me")), 0);
}

void TestStoreAccount::notificationSwitchesUpload()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me")));
    const QString path = QStringLiteral("/v1/me/devices");

    QSignalSpy enabledChanged(ops.store.get(), &LocalStore::notificationsEnabledChanged);
    ops.store->setNotifications(std::nullopt, false, std::nullopt);
    QVERIFY(ops.store->notificationsEnabled());
    QVERIFY(!ops.store->notificationPreview());
    QVERIFY(ops.store->notificationSound());
    QCOMPARE(enabledChanged.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("PUT"), path), 1, kWait);
    QCOMPARE(ops.lastBody(QStringLiteral("PUT"), path),
             QJsonObject({{QStringLiteral("preview_enabled"), false},
                          {QStringLiteral("push_enabled"), true},
                          {QStringLiteral("platform"), QStringLiteral("macos")}}));

    // The sound switch stays here; the token goes along once there is one.
    ops.store->setApnsToken(QStringLiteral("abc123"));
    ops.store->setNotifications(false, std::nullopt, false);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("PUT"), path), 2, kWait);
    QCOMPARE(ops.lastBody(QStringLiteral("PUT"), path),
             QJsonObject({{QStringLiteral("apns_token"), QStringLiteral("abc123")},
                          {QStringLiteral("preview_enabled"), false},
                          {QStringLiteral("push_enabled"), false},
                          {QStringLiteral("platform"), QStringLiteral("macos")}}));

    // A refused upload is shown and keeps the new switches.
    ops.service.failNext(QStringLiteral("PUT"), path, 1, 500, QStringLiteral("server_error"),
                         QStringLiteral("기기를 등록하지 못했습니다."));
    ops.store->setNotifications(true, std::nullopt, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("기기를 등록하지 못했습니다."),
                              kWait);
    QVERIFY(ops.store->notificationsEnabled());
}

void TestStoreAccount::notificationSwitchesSurviveRestart()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me")));
    ops.store->setNotifications(false, false, false);
    QTRY_COMPARE_WITH_TIMEOUT(
        ops.countRequests(QStringLiteral("PUT"), QStringLiteral("/v1/me/devices")), 1, kWait);
    ops.settle();

    // A new live store (the next start of the program) keeps the user's choice.
    ops.store = std::make_unique<LocalStore>(true, 250ms, ops.makeClient(), &ops.badge);
    QCOMPARE(ops.store->notificationsEnabled(), false);
    QCOMPARE(ops.store->notificationPreview(), false);
    QCOMPARE(ops.store->notificationSound(), false);

    // Unreadable values keep the default.
    QSettings().setValue(QStringLiteral("quillo.live.notificationPreview"),
                         QStringLiteral("maybe"));
    ops.store = std::make_unique<LocalStore>(true, 250ms, ops.makeClient(), &ops.badge);
    QCOMPARE(ops.store->notificationPreview(), true);
    QCOMPARE(ops.store->notificationsEnabled(), false);
}

void TestStoreAccount::localNotificationSwitchesPersist()
{
    {
        LocalStore store(true, 0ms, nullptr);
        signInWithProfile(store);
        store.setNotifications(std::nullopt, std::nullopt, false);
    }
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.notificationSound(), false);
    QCOMPARE(reread.notificationsEnabled(), true);
    QVERIFY(!QSettings().contains(QStringLiteral("quillo.live.notificationSound")));
}

// ---------------------------------------------------------------------------------------------
// Logout and deletion

void TestStoreAccount::liveLogoutClearsSessionValuesKeepsLists()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid pal = ops.addUser(QStringLiteral("pal"), QStringLiteral("친구"));
    const QUuid room = ops.service.addDirectRoom(me, pal);
    QVERIFY(ops.start(QStringLiteral("me")));
    ops.store->showNotice(QStringLiteral("알림"));
    ops.store->setPushTarget(PushOpen{QUuid::createUuid(), room, std::nullopt});
    ops.store->setInviteFollow(InviteFollow{QUuid::createUuid(), room});
    ops.store->setInviteOutcome(InviteOutcome{QUuid::createUuid(), QUuid::createUuid(), pal});
    ops.store->setVisibleRoomID(room);
    ops.store->setApnsToken(QStringLiteral("token"));
    ops.store->setPendingInviteCode(QStringLiteral("CODECODECODECODE"));
    ops.badge.labels.clear();

    ops.store->logout();
    QCOMPARE(ops.store->session(), std::nullopt);
    QCOMPARE(ops.store->notice(), std::nullopt);
    QCOMPARE(ops.store->pushTarget(), std::nullopt);
    QCOMPARE(ops.store->inviteFollow(), std::nullopt);
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt);
    QCOMPARE(ops.store->visibleRoomID(), std::nullopt);
    QCOMPARE(ops.store->apnsToken(), std::nullopt);
    QCOMPARE(ops.badge.labels, QStringList{QString()});
    QCOMPARE(ops.store->conversations().size(), 1);
    QCOMPARE(ops.store->lastUserId(), me);
    QCOMPARE(ops.store->pendingInviteCode(), QStringLiteral("CODECODECODECODE"));
    QTRY_COMPARE_WITH_TIMEOUT(
        ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/auth/logout")), 1, kWait);
    QVERIFY(ops.sessionWiped());
}

void TestStoreAccount::localLogoutSignsSameUserInAgain()
{
    QUuid me;
    {
        LocalStore store(true, 0ms, nullptr);
        me = signInWithProfile(store);
        store.logout();
        QCOMPARE(store.session(), std::nullopt);
        QCOMPARE(store.lastUserId(), me);
    }
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.session(), std::nullopt);
    QCOMPARE(errorText(finish(reread.login(QString(), QString()))), std::nullopt);
    QCOMPARE(reread.session(), (AppSession{me, true}));
}

void TestStoreAccount::liveDeletionFailureKeepsUser()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me")));
    ops.service.failNext(QStringLiteral("DELETE"), QStringLiteral("/v1/me"), 1, 500,
                         QStringLiteral("server_error"), QStringLiteral("탈퇴하지 못했습니다."));
    ops.store->deleteAccount();
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("탈퇴하지 못했습니다."), kWait);
    QCOMPARE(ops.store->session(), (AppSession{me, true}));
    QVERIFY(ops.store->client()->hasSession());
}

void TestStoreAccount::liveDeletionClearsAccountAndSessionValues()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid pal = ops.addUser(QStringLiteral("pal"), QStringLiteral("친구"));
    const QUuid room = ops.service.addDirectRoom(me, pal);
    QVERIFY(ops.start(QStringLiteral("me")));
    ops.store->block(QUuid::createUuid());
    QTRY_COMPARE_WITH_TIMEOUT(
        ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/blocks")), 1, kWait);
    ops.barrier();
    ops.store->setPushTarget(PushOpen{QUuid::createUuid(), room, std::nullopt});
    ops.store->setInviteFollow(InviteFollow{QUuid::createUuid(), room});
    ops.store->setInviteOutcome(InviteOutcome{QUuid::createUuid(), QUuid::createUuid(), pal});
    ops.store->setVisibleRoomID(room);
    ops.store->setApnsToken(QStringLiteral("token"));
    ops.badge.labels.clear();

    ops.store->deleteAccount();
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->session(), std::nullopt, kWait);
    QCOMPARE(ops.countRequests(QStringLiteral("DELETE"), QStringLiteral("/v1/me")), 1);
    QCOMPARE(ops.store->lastUserId(), std::nullopt);
    QVERIFY(ops.store->conversations().isEmpty());
    QVERIFY(ops.store->messages().isEmpty());
    QVERIFY(ops.store->friends().isEmpty());
    QVERIFY(ops.store->blocks().isEmpty());
    QCOMPARE(QSettings().value(QStringLiteral("quillo.live.blocks")).toStringList(), QStringList());
    // Nothing of the deleted account's session is left behind.
    QCOMPARE(ops.store->pushTarget(), std::nullopt);
    QCOMPARE(ops.store->inviteFollow(), std::nullopt);
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt);
    QCOMPARE(ops.store->visibleRoomID(), std::nullopt);
    QCOMPARE(ops.store->apnsToken(), std::nullopt);
    QCOMPARE(ops.badge.labels, QStringList{QString()});
    QVERIFY(ops.sessionWiped());
    QVERIFY(ops.store->account(pal)); // accounts stay
}

void TestStoreAccount::localDeletion()
{
    LocalStore store(true, 0ms, nullptr);
    const QUuid me = signInWithProfile(store, QStringLiteral("나"), QStringLiteral("leaving"));
    Account mine = *store.me();
    mine.bio = QStringLiteral("소개");
    mine.avatarJPEG = QByteArray("pic");
    store.replaceAccount(mine);
    const QUuid other = SeedID::sora();
    const QUuid third = SeedID::taeo();
    Conversation current
        = room(ConversationKind::group, {member(me, MemberRole::owner), member(other)});
    Membership left = member(me);
    left.leftAt = QDateTime::currentDateTimeUtc();
    Conversation former = room(ConversationKind::group, {member(other, MemberRole::owner), left});
    Conversation theirs = room(ConversationKind::direct, {member(other), member(third)});
    store.setConversations(store.conversations() + QList<Conversation>{current, former, theirs});
    store.editMessages([&](MessageIndex &index) {
        index.append(textMessage(current.id, me, 1));
        index.append(textMessage(former.id, other, 1));
        index.append(textMessage(theirs.id, third, 1));
    });
    store.block(SeedID::rian());

    store.deleteAccount();
    QCOMPARE(store.session(), std::nullopt);
    QCOMPARE(store.lastUserId(), std::nullopt);
    const Account gone = *store.account(me);
    QCOMPARE(gone.status, AccountStatus::deleted);
    QCOMPARE(gone.displayName, QStringLiteral("알 수 없음"));
    QVERIFY(gone.handle.isEmpty());
    QVERIFY(gone.bio.isEmpty());
    QCOMPARE(gone.avatarJPEG, std::nullopt);
    QCOMPARE(store.conversations(), QList<Conversation>{theirs}); // the house room went too
    QCOMPARE(store.messages().size(), 1);
    QCOMPARE(store.messages().first().conversationId, theirs.id);
    QVERIFY(store.friends().isEmpty());
    QVERIFY(store.officialLinks().isEmpty());
    QVERIFY(store.blocks().isEmpty());

    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.session(), std::nullopt);
    QCOMPARE(reread.account(me)->status, AccountStatus::deleted);
    QCOMPARE(reread.retiredHandles().size(), 1);

    // An account without a handle retires nothing.
    reread.signIn();
    reread.deleteAccount();
    QCOMPARE(reread.retiredHandles().size(), 1);
}

QTEST_GUILESS_MAIN(TestStoreAccount)
#include "tst_store_account.moc"
