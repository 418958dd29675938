// Sign-in and registration, the first profile and the profile edit, the password change, the
// notification switches, logout and the deletion of the account.

#include "StoreTestSupport.h"

#include "model/TextLimits.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 10000;

const QString kBadCredentials = u"이메일 또는 비밀번호가 올바르지 않습니다."_s;
const QString kHandleRule = u"아이디는 영문 소문자, 숫자, 밑줄 3–20자입니다."_s;
const QString kCheckName = u"이름을 확인해 주세요."_s;
const QString kTemporary = u"일시적인 오류입니다."_s;

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
    return result ? *result : std::optional<QString>(u"<threw>"_s);
}

// The method and path of each signed-out operation and of the password change.
std::pair<QString, QString> endpoint(const QString &operation)
{
    static const QHash<QString, std::pair<QString, QString>> calls{
        {u"login"_s, {u"POST"_s, u"/v1/auth/login"_s}},
        {u"register"_s, {u"POST"_s, u"/v1/auth/register"_s}},
        {u"verify"_s, {u"POST"_s, u"/v1/auth/register/verify"_s}},
        {u"resetCode"_s, {u"POST"_s, u"/v1/auth/password/code"_s}},
        {u"reset"_s, {u"POST"_s, u"/v1/auth/password/reset"_s}},
        {u"changePassword"_s, {u"PATCH"_s, u"/v1/me/password"_s}},
    };
    return calls.value(operation);
}

// Runs one of them; `code` goes where the operation takes the code from the mail.
std::optional<std::optional<QString>> run(LocalStore &store, const QString &operation,
                                          const QString &email, const QString &password,
                                          const QString &code, const QString &newPassword)
{
    if (operation == u"login")
        return finish(store.login(email, password));
    if (operation == u"register")
        return finish(store.sendRegisterCode(email, password));
    if (operation == u"verify")
        return finish(store.verifyRegister(email, code));
    if (operation == u"resetCode")
        return finish(store.sendResetCode(email));
    if (operation == u"reset")
        return finish(store.resetPassword(email, code, newPassword));
    return finish(store.changePassword(password, newPassword));
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
    void passwordRule_data();
    void passwordRule();
    void cancelSignup();

    // --- local profile rules ---
    void localFirstProfile();
    void localHandleChangesOnce();

    // --- profile edit, notifications ---
    void saveMeHandleRules();
    void saveMeHandleLocked();
    void notificationSwitches();
    void localNotificationSwitchesPersist();

    // --- logout and deletion ---
    void liveSignOutClearsSessionValues_data();
    void liveSignOutClearsSessionValues();
    void localLogoutSignsSameUserInAgain();
    void liveDeletionFailureKeepsUser();
    void localDeletion();
};

// --- sign-in and registration ---

void TestStoreAccount::addressesAreNormalizedSecretsAreNot_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("unchangedKeys");
    QTest::newRow("login") << u"login"_s << QStringList{u"password"_s};
    QTest::newRow("register") << u"register"_s << QStringList{u"password"_s};
    QTest::newRow("verify") << u"verify"_s << QStringList{u"code"_s};
    QTest::newRow("reset code") << u"resetCode"_s << QStringList{};
    QTest::newRow("reset") << u"reset"_s << QStringList{u"code"_s, u"password"_s};
}

void TestStoreAccount::addressesAreNormalizedSecretsAreNot()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, unchangedKeys);
    LiveOps ops;
    QVERIFY(ops.started);
    const QString secret = u" pass word 1 "_s;
    run(ops.makeStore(), operation, u"  Me@Example.COM \n"_s, secret, secret, secret);
    const QString path = endpoint(operation).second;
    const QList<RecordedRequest> sent = ops.requests(u"POST"_s, path);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().target, path);
    const QJsonObject body = QJsonDocument::fromJson(sent.first().body).object();
    QCOMPARE(body.value(u"email"_s).toString(), u"me@example.com"_s);
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
    const QString login = u"login"_s;
    const QString registration = u"register"_s;
    const QString password = u"changePassword"_s;
    const QString taken = u"이미 가입된 이메일입니다."_s;
    const QString wrongPassword = u"현재 비밀번호가 올바르지 않습니다."_s;
    const QString rule = u"비밀번호 규칙"_s;
    const QString weak = u"비밀번호가 약합니다."_s;
    const QString none;

    QTest::newRow("login 401") << login << 401 << u"invalid_credentials"_s << u"틀림"_s
                               << kBadCredentials;
    QTest::newRow("login 404") << login << 404 << u"not_found"_s << u"없음"_s << kBadCredentials;
    QTest::newRow("login 500 with message")
        << login << 500 << u"server_error"_s << u"점검 중입니다."_s << u"점검 중입니다."_s;
    QTest::newRow("login no answer") << login << 0 << none << none << kTemporary;

    QTest::newRow("register 409") << registration << 409 << u"conflict"_s << u"충돌"_s << taken;
    QTest::newRow("register email_taken code")
        << registration << 400 << u"email_taken"_s << u"다른 문구"_s << taken;
    QTest::newRow("register message says so")
        << registration << 400 << u"bad"_s << u"이미 가입한 주소예요"_s << taken;
    QTest::newRow("register other") << registration << 400 << u"weak_password"_s << weak << weak;
    QTest::newRow("register no answer") << registration << 0 << none << none << kTemporary;

    // The other signed-out operations pass the service's message on, whatever the status.
    QTest::newRow("verify 404") << u"verify"_s << 404 << u"not_found"_s
                                << u"인증 요청이 없습니다."_s << u"인증 요청이 없습니다."_s;
    QTest::newRow("verify no answer") << u"verify"_s << 0 << none << none << kTemporary;
    QTest::newRow("reset code 404")
        << u"resetCode"_s << 404 << u"not_found"_s << u"가입되지 않은 이메일입니다."_s
        << u"가입되지 않은 이메일입니다."_s;
    QTest::newRow("reset 409 email") << u"reset"_s << 409 << u"email_taken"_s
                                     << u"코드가 만료되었습니다."_s << u"코드가 만료되었습니다."_s;
    QTest::newRow("reset no answer") << u"reset"_s << 0 << none << none << kTemporary;

    QTest::newRow("password changed") << password << 200 << none << none << none;
    QTest::newRow("password 401") << password << 401 << u"unauthorized"_s << rule << wrongPassword;
    QTest::newRow("password invalid_password")
        << password << 400 << u"invalid_password"_s << rule << wrongPassword;
    QTest::newRow("password other") << password << 400 << u"weak_password"_s << rule << rule;
    QTest::newRow("password no answer") << password << 0 << none << none << kTemporary;
}

void TestStoreAccount::errorTexts()
{
    QFETCH(QString, operation);
    QFETCH(int, status);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    const auto [method, path] = endpoint(operation);
    QVERIFY(!path.isEmpty());

    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(u"me"_s, u"나"_s);
    const bool signedIn = operation == u"changePassword";
    if (signedIn)
        QVERIFY(ops.start(u"me"_s));
    else
        ops.makeStore();
    LocalStore &store = *ops.store;
    store.showNotice(u"이전 알림"_s);
    if (status == 0)
        ops.service.dropNext(method, path, 3);
    else if (status != 200) // a refused password change is tried again after one refresh
        ops.service.failNext(method, path, signedIn && status == 401 ? 2 : 1, status, code,
                             message);

    const QString newPassword = u"newpass123"_s;
    const auto result
        = run(store, operation, u"me@example.com"_s, ops.password, u"123456"_s, newPassword);
    QVERIFY(result);
    QCOMPARE(result->value_or(QString()), expected);

    // The texts go back to the form: only the sign-in touches the notice, and only to clear it.
    const std::optional<QString> noticeAfter
        = operation == u"login" ? std::nullopt : std::optional(u"이전 알림"_s);
    QCOMPARE(store.notice(), noticeAfter);
    QCOMPARE(store.session().has_value(), signedIn);
    if (signedIn)
        QCOMPARE(
            ops.lastBody(method, path),
            QJsonObject({{u"current_password"_s, ops.password}, {u"password"_s, newPassword}}));
}

void TestStoreAccount::loginReplacesThePreviousUsersRooms()
{
    LiveOps ops;
    const QUuid friendId = ops.addUser(u"pal"_s, u"친구"_s);
    const QUuid other = ops.addUser(u"other"_s, u"다른 사람"_s);
    ops.service.makeFriends(ops.addUser(u"me"_s, u"나"_s), friendId);
    QVERIFY(ops.started && ops.start(u"me"_s));
    const QUuid me = ops.meId;
    QCOMPARE(ops.store->conversations().size(), 1);
    ops.store->setBlocks({friendId});

    ops.service.failNext(u"POST"_s, u"/v1/auth/login"_s, 1, 401, u"invalid_credentials"_s,
                         u"틀림"_s);
    const QString email = u"other@example.com"_s;
    QCOMPARE(errorText(finish(ops.store->login(email, ops.password))), kBadCredentials);
    QCOMPARE(ops.store->conversations().size(), 1);
    QCOMPARE(ops.store->session()->meId, me);

    QCOMPARE(errorText(finish(ops.store->login(email, ops.password))), std::nullopt);
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
    const QUuid newcomer = addNewcomer(ops, u"new@example.com"_s);
    LocalStore &store = ops.makeStore();
    QCOMPARE(errorText(finish(store.login(u"new@example.com"_s, ops.password))), std::nullopt);
    QCOMPARE(store.session(), (AppSession{newcomer, false}));
    QTRY_COMPARE_WITH_TIMEOUT(ops.service.authenticatedSocketCount(), 1, kWait);
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/conversations"_s), 0);
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/friend-requests"_s), 0);

    // A first profile the service refuses is a notice; the profile stays incomplete.
    ops.service.failNext(u"PATCH"_s, u"/v1/me"_s, 1, 409, u"handle_taken"_s,
                         u"이미 사용 중인 아이디입니다."_s);
    const auto result = finish(store.saveProfile(u"이름"_s, u"taken"_s, std::nullopt));
    QVERIFY(result);
    QCOMPARE(*result, std::nullopt);
    QCOMPARE(store.notice(), u"이미 사용 중인 아이디입니다."_s);
    QCOMPARE(store.session()->profileComplete, false);
}

void TestStoreAccount::verifyThenFirstProfile()
{
    LiveOps ops;
    QVERIFY(ops.started);
    LocalStore &store = ops.makeStore();
    const QString email = u"fresh@example.com"_s;
    QCOMPARE(errorText(finish(store.sendRegisterCode(email, ops.password))), std::nullopt);
    const QString code = ops.service.lastEmailCode(email);
    QVERIFY(!code.isEmpty());
    QCOMPARE(errorText(finish(store.verifyRegister(email, u"000000"_s))),
             u"인증 코드가 올바르지 않습니다."_s);
    QCOMPARE(errorText(finish(store.verifyRegister(email, code))), std::nullopt);
    QVERIFY(store.session());
    QCOMPARE(store.session()->profileComplete, false);
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/conversations"_s), 0);

    const QByteArray photo("jpeg-bytes");
    const auto saved = finish(store.saveProfile(u"  새 사람 "_s, u" @New_Person"_s, photo));
    QVERIFY(saved);
    QCOMPARE(*saved, std::nullopt);
    QCOMPARE(store.session()->profileComplete, true);
    const QJsonObject upload = ops.lastBody(u"POST"_s, u"/v1/uploads"_s);
    QCOMPARE(upload.value(u"kind"_s).toString(), u"avatar"_s);
    const QJsonObject patch = ops.lastBody(u"PATCH"_s, u"/v1/me"_s);
    QCOMPARE(patch.value(u"handle"_s).toString(), u"new_person"_s);
    QCOMPARE(patch.value(u"display_name"_s).toString(), u"새 사람"_s);
    QCOMPARE(ops.service.uploadedBytes(patch.value(u"avatar_url"_s).toString()), photo);
    QCOMPARE(store.me()->avatarJPEG, photo);
    QVERIFY(store.me()->avatarURL);
    // Loaded once right away and once more after the short wait.
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/conversations"_s), 2);
    QTRY_COMPARE_WITH_TIMEOUT(ops.service.authenticatedSocketCount(), 1, kWait);
}

void TestStoreAccount::firstProfileValidation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("handle");
    QTest::addColumn<int>("expected"); // -1: saved
    QTest::addColumn<QString>("notice");
    const QString good = u"good_one"_s;
    const int badName = int(ProfileSaveError::invalidName);
    QTest::newRow("blank name") << u"   "_s << good << badName << kCheckName;
    QTest::newRow("21 characters") << QString(21, u'가') << good << badName << kCheckName;
    QTest::newRow("blank inside handle")
        << u"이름"_s << u"good one"_s << int(ProfileSaveError::invalidHandle) << kHandleRule;
    QTest::newRow("20 characters in blanks")
        << u"  "_s + QString(20, u'가') + u"\t"_s << good << -1 << QString();
}

void TestStoreAccount::firstProfileValidation()
{
    QFETCH(QString, name);
    QFETCH(QString, handle);
    QFETCH(int, expected);
    QFETCH(QString, notice);
    LiveOps ops;
    QVERIFY(ops.started);
    addNewcomer(ops, u"new@example.com"_s);
    LocalStore &store = ops.makeStore();
    QCOMPARE(errorText(finish(store.login(u"new@example.com"_s, ops.password))), std::nullopt);
    const auto result = finish(store.saveProfile(name, handle, std::nullopt));
    QVERIFY(result);
    if (expected < 0) {
        QCOMPARE(*result, std::nullopt);
        QCOMPARE(store.me()->displayName, QString(20, u'가'));
        return;
    }
    QCOMPARE(*result, ProfileSaveError(expected));
    QCOMPARE(store.notice(), notice);
    QCOMPARE(ops.countRequests(u"PATCH"_s, u"/v1/me"_s), 0);
}

void TestStoreAccount::passwordRule_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("valid");
    QTest::newRow("seven letters one digit") << u"abcdefg1"_s << true;
    QTest::newRow("eight letters") << u"abcdefgh"_s << false;
    QTest::newRow("eight digits") << u"12345678"_s << false;
    QTest::newRow("four characters") << u"ab12"_s << false;
    QTest::newRow("64 characters") << QString(63, u'a') + u"1"_s << true;
    QTest::newRow("65 characters") << QString(64, u'a') + u"1"_s << false;
    QTest::newRow("Korean letters only") << u"비밀번호입니다12"_s << false;
    QTest::newRow("accented letters only") << u"éééééé12"_s << false;
    QTest::newRow("blanks count") << u" abc 12 "_s << true;
    QTest::newRow("emoji counts once") << u"a1👍🏽👍🏽👍🏽👍🏽👍🏽"_s << false;
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

// --- local profile rules ---

void TestStoreAccount::localFirstProfile()
{
    LocalStore store(false, 0ms, nullptr);
    store.signIn();
    const QUuid me = store.session()->meId;
    QCOMPARE(store.completeProfile(QString(), u"good_one"_s, std::nullopt),
             ProfileSaveError::invalidName);
    QCOMPARE(store.completeProfile(u"이름"_s, u"b@d"_s, std::nullopt),
             ProfileSaveError::invalidHandle);
    QCOMPARE(store.completeProfile(u"이름"_s, u"@SORA"_s, std::nullopt),
             ProfileSaveError::handleTaken);
    QCOMPARE(store.session()->profileComplete, false);

    QCOMPARE(store.completeProfile(u" 이름 "_s, u"@Good_One"_s, QByteArray("pic")), std::nullopt);
    QCOMPARE(store.session(), (AppSession{me, true}));
    QCOMPARE(store.me()->displayName, u"이름"_s);
    QCOMPARE(store.me()->handle, u"good_one"_s);
    QCOMPARE(store.me()->avatarJPEG, QByteArray("pic"));
    QCOMPARE(store.me()->handleChanged, false);
    QCOMPARE(store.friendState(SeedID::rian()), FriendState::incoming);
    // The house account's welcome is in its direct room.
    const std::optional<Conversation> house = store.directConversation(SeedID::quillo());
    QVERIFY(house);
    QCOMPARE(store.visibleMessages(house->id).size(), 1);

    // Complete already: nothing more happens.
    QCOMPARE(store.completeProfile(u"딴 이름"_s, u"other_one"_s, std::nullopt), std::nullopt);
    QCOMPARE(store.me()->handle, u"good_one"_s);
}

void TestStoreAccount::localHandleChangesOnce()
{
    LocalStore store(true, 0ms, nullptr);
    QCOMPARE(store.updateMe(u"아무개"_s, u"nobody"_s, std::nullopt),
             ProfileSaveError::invalidName); // nobody signed in
    signInWithProfile(store, u"나"_s, u"first_handle"_s);

    QCOMPARE(store.updateMe(QString(21, u'가'), u"first_handle"_s, std::nullopt),
             ProfileSaveError::invalidName);
    QCOMPARE(store.updateMe(u"나"_s, u"no"_s, std::nullopt), ProfileSaveError::invalidHandle);
    QCOMPARE(store.updateMe(u"나"_s, u"taeo"_s, std::nullopt), ProfileSaveError::handleTaken);
    QCOMPARE(store.me()->handleChanged, false);

    // Same handle typed differently: no change is spent.
    QCOMPARE(store.updateMe(u"새 이름"_s, u" @FIRST_handle"_s, QByteArray("p")), std::nullopt);
    QCOMPARE(store.me()->handleChanged, false);
    QCOMPARE(store.me()->displayName, u"새 이름"_s);
    QCOMPARE(store.me()->avatarJPEG, QByteArray("p"));

    QCOMPARE(store.updateMe(u"새 이름"_s, u"second_handle"_s, std::nullopt), std::nullopt);
    QCOMPARE(store.me()->handle, u"second_handle"_s);
    QCOMPARE(store.me()->handleChanged, true);
    QCOMPARE(store.me()->avatarJPEG, QByteArray("p")); // no photo keeps the avatar

    // After the one change another handle is refused and nothing is saved; the name alone
    // still changes.
    QCOMPARE(store.updateMe(u"세 번째"_s, u"third_handle"_s, std::nullopt),
             ProfileSaveError::handleTaken);
    QCOMPARE(store.me()->handle, u"second_handle"_s);
    QCOMPARE(store.me()->displayName, u"새 이름"_s);
    QCOMPARE(store.updateMe(u"세 번째"_s, u"@Second_Handle"_s, std::nullopt), std::nullopt);
    QCOMPARE(store.me()->handle, u"second_handle"_s);
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.account(store.me()->id)->displayName, u"세 번째"_s);
}

// --- profile edit, notifications ---

void TestStoreAccount::saveMeHandleRules()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_now"_s));
    const QString me = u"/v1/me"_s;

    // A bad name or handle is refused here, with its notice.
    QCOMPARE(finish(ops.store->saveMe(u" \n"_s, u"me_now"_s, std::nullopt)),
             std::optional<std::optional<ProfileSaveError>>(ProfileSaveError::invalidName));
    QCOMPARE(ops.store->notice(), kCheckName);
    QCOMPARE(finish(ops.store->saveMe(u"나"_s, u"새 아이디"_s, std::nullopt)),
             std::optional<std::optional<ProfileSaveError>>(ProfileSaveError::invalidHandle));
    QCOMPARE(ops.store->notice(), kHandleRule);
    QCOMPARE(ops.countRequests(u"PATCH"_s, me), 0);

    // The present handle in other spelling sends no handle.
    auto result = finish(ops.store->saveMe(u" 나 "_s, u" @ME_NOW"_s, std::nullopt));
    QVERIFY(result && !result->has_value());
    QCOMPARE(ops.store->notice(), std::nullopt);
    QCOMPARE(ops.lastBody(u"PATCH"_s, me), QJsonObject({{u"display_name"_s, u"나"_s}}));
    QCOMPARE(ops.store->me()->handleChanged, false);

    // A new valid handle goes out and spends the one change.
    result = finish(ops.store->saveMe(u"나"_s, u"me_later"_s, std::nullopt));
    QVERIFY(result && !result->has_value());
    QCOMPARE(ops.lastBody(u"PATCH"_s, me).value(u"handle"_s).toString(), u"me_later"_s);
    QCOMPARE(ops.store->me()->handle, u"me_later"_s);
    QCOMPARE(ops.store->me()->handleChanged, true);

    // Afterwards a typed handle is neither sent nor checked.
    result = finish(ops.store->saveMe(u"나"_s, u"x"_s, std::nullopt));
    QVERIFY(result && !result->has_value());
    QVERIFY(!ops.lastBody(u"PATCH"_s, me).contains(u"handle"_s));
    QCOMPARE(ops.countRequests(u"PATCH"_s, me), 3);
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/uploads"_s), 0);
}

void TestStoreAccount::saveMeHandleLocked()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_now"_s));
    ops.service.failNext(u"PATCH"_s, u"/v1/me"_s, 1, 409, u"handle_locked"_s,
                         u"아이디는 한 번만 바꿀 수 있습니다."_s);
    auto result = finish(ops.store->saveMe(u"나"_s, u"me_later"_s, std::nullopt));
    QVERIFY(result && !result->has_value());
    QCOMPARE(ops.store->notice(), u"아이디는 한 번만 바꿀 수 있습니다."_s);
    QCOMPARE(ops.store->me()->handleChanged, true);
    QCOMPARE(ops.store->me()->handle, u"me_now"_s);

    result = finish(ops.store->saveMe(u"나"_s, u"me_later"_s, std::nullopt));
    QVERIFY(!ops.lastBody(u"PATCH"_s, u"/v1/me"_s).contains(u"handle"_s));

    // Any other failure is a notice and changes nothing.
    ops.service.failNext(u"PATCH"_s, u"/v1/me"_s, 1, 500, u"server_error"_s,
                         u"저장하지 못했습니다."_s);
    result = finish(ops.store->saveMe(u"딴 이름"_s, u"me_now"_s, std::nullopt));
    QVERIFY(result && !result->has_value());
    QCOMPARE(ops.store->notice(), u"저장하지 못했습니다."_s);
    QCOMPARE(ops.store->me()->displayName, u"나"_s);
}

void TestStoreAccount::notificationSwitches()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me"_s));
    const QString put = u"PUT"_s;
    const QString path = u"/v1/me/devices"_s;

    QSignalSpy enabledChanged(ops.store.get(), &LocalStore::notificationsEnabledChanged);
    ops.store->setNotifications(std::nullopt, false, std::nullopt);
    QVERIFY(ops.store->notificationsEnabled());
    QVERIFY(!ops.store->notificationPreview());
    QVERIFY(ops.store->notificationSound());
    QCOMPARE(enabledChanged.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(put, path), 1, kWait);
    QCOMPARE(ops.lastBody(put, path),
             QJsonObject({{u"preview_enabled"_s, false},
                          {u"push_enabled"_s, true},
                          {u"platform"_s, u"macos"_s}}));

    // A refused upload is shown and keeps the new switches.
    ops.service.failNext(put, path, 1, 500, u"server_error"_s, u"기기를 등록하지 못했습니다."_s);
    ops.store->setNotifications(false, std::nullopt, std::nullopt);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"기기를 등록하지 못했습니다."_s, kWait);
    QVERIFY(!ops.store->notificationsEnabled());

    // The sound switch stays here; the token goes along once there is one.
    ops.store->setApnsToken(u"abc123"_s);
    ops.store->setNotifications(false, std::nullopt, false);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(put, path), 3, kWait);
    QCOMPARE(ops.lastBody(put, path),
             QJsonObject({{u"apns_token"_s, u"abc123"_s},
                          {u"preview_enabled"_s, false},
                          {u"push_enabled"_s, false},
                          {u"platform"_s, u"macos"_s}}));
    ops.settle();

    // A new live store (the next start of the program) keeps the user's choice.
    ops.store = std::make_unique<LocalStore>(true, 250ms, ops.makeClient(), &ops.badge);
    QCOMPARE(ops.store->notificationsEnabled(), false);
    QCOMPARE(ops.store->notificationPreview(), false);
    QCOMPARE(ops.store->notificationSound(), false);

    // Unreadable values keep the default.
    QSettings().setValue(u"quillo.live.notificationPreview"_s, u"maybe"_s);
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
    QVERIFY(!QSettings().contains(u"quillo.live.notificationSound"_s));
}

// --- logout and deletion ---

void TestStoreAccount::liveSignOutClearsSessionValues_data()
{
    QTest::addColumn<bool>("deleting");
    QTest::newRow("logout") << false;
    QTest::newRow("deletion") << true;
}

void TestStoreAccount::liveSignOutClearsSessionValues()
{
    QFETCH(bool, deleting);
    LiveOps ops;
    const QUuid pal = ops.addUser(u"pal"_s, u"친구"_s);
    const QUuid room = ops.service.addDirectRoom(ops.addUser(u"me"_s, u"나"_s), pal);
    QVERIFY(ops.started && ops.start(u"me"_s));
    if (deleting) {
        ops.store->block(QUuid::createUuid());
        QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, u"/v1/blocks"_s), 1, kWait);
        ops.barrier();
    }
    ops.store->showNotice(u"알림"_s);
    ops.store->setPushTarget(PushOpen{QUuid::createUuid(), room, std::nullopt});
    ops.store->setInviteFollow(InviteFollow{QUuid::createUuid(), room});
    ops.store->setInviteOutcome(InviteOutcome{QUuid::createUuid(), QUuid::createUuid(), pal});
    ops.store->setVisibleRoomID(room);
    ops.store->setApnsToken(u"token"_s);
    ops.store->setPendingInviteCode(u"CODECODECODECODE"_s);
    ops.badge.counts.clear();

    if (deleting) {
        ops.store->deleteAccount();
        QTRY_COMPARE_WITH_TIMEOUT(ops.store->session(), std::nullopt, kWait);
        QCOMPARE(ops.countRequests(u"DELETE"_s, u"/v1/me"_s), 1);
    } else {
        ops.store->logout();
        QCOMPARE(ops.store->session(), std::nullopt);
    }
    // Nothing of the ended session is left behind.
    QCOMPARE(ops.store->pushTarget(), std::nullopt);
    QCOMPARE(ops.store->inviteFollow(), std::nullopt);
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt);
    QCOMPARE(ops.store->visibleRoomID(), std::nullopt);
    QCOMPARE(ops.store->apnsToken(), std::nullopt);
    QCOMPARE(ops.badge.counts, QList<qint64>{0});
    QVERIFY(ops.sessionWiped());
    QVERIFY(ops.store->account(pal)); // accounts stay
    if (deleting) {
        QCOMPARE(ops.store->lastUserId(), std::nullopt);
        QVERIFY(ops.store->conversations().isEmpty());
        QVERIFY(ops.store->messages().isEmpty());
        QVERIFY(ops.store->friends().isEmpty());
        QVERIFY(ops.store->blocks().isEmpty());
        QCOMPARE(QSettings().value(u"quillo.live.blocks"_s).toStringList(), QStringList());
    } else {
        // A logout clears the notice, and keeps the lists for the next sign-in and a link
        // waiting to be redeemed.
        QCOMPARE(ops.store->notice(), std::nullopt);
        QCOMPARE(ops.store->conversations().size(), 1);
        QCOMPARE(ops.store->lastUserId(), ops.meId);
        QCOMPARE(ops.store->pendingInviteCode(), u"CODECODECODECODE"_s);
        QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, u"/v1/auth/logout"_s), 1, kWait);
    }
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
    QVERIFY(ops.startAs(u"me"_s));
    ops.service.failNext(u"DELETE"_s, u"/v1/me"_s, 1, 500, u"server_error"_s,
                         u"탈퇴하지 못했습니다."_s);
    ops.store->deleteAccount();
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"탈퇴하지 못했습니다."_s, kWait);
    QCOMPARE(ops.store->session(), (AppSession{ops.meId, true}));
    QVERIFY(ops.store->client()->hasSession());
}

void TestStoreAccount::localDeletion()
{
    LocalStore store(true, 0ms, nullptr);
    const QUuid me = signInWithProfile(store, u"나"_s, u"leaving"_s);
    Account mine = *store.me();
    mine.bio = u"소개"_s;
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

    const QDateTime before = QDateTime::currentDateTimeUtc();
    store.deleteAccount();
    QCOMPARE(store.session(), std::nullopt);
    QCOMPARE(store.lastUserId(), std::nullopt);
    const Account gone = *store.account(me);
    QCOMPARE(gone.status, AccountStatus::deleted);
    QCOMPARE(gone.displayName, u"알 수 없음"_s);
    QVERIFY(gone.handle.isEmpty());
    QVERIFY(gone.bio.isEmpty());
    QCOMPARE(gone.avatarJPEG, std::nullopt);
    QCOMPARE(store.conversations(), QList<Conversation>{theirs}); // the house room went too
    QCOMPARE(store.messages().size(), 1);
    QCOMPARE(store.messages().first().conversationId, theirs.id);
    QVERIFY(store.friends().isEmpty());
    QVERIFY(store.officialLinks().isEmpty());
    QVERIFY(store.blocks().isEmpty());
    // The handle is held back for thirty days.
    QCOMPARE(store.retiredHandles().size(), 1);
    QCOMPARE(store.retiredHandles().first().handle, u"leaving"_s);
    const qint64 held = before.secsTo(store.retiredHandles().first().until);
    QVERIFY2(held >= 2'592'000 && held <= 2'592'000 + 60, qPrintable(QString::number(held)));

    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.session(), std::nullopt);
    QCOMPARE(reread.account(me)->status, AccountStatus::deleted);
    QCOMPARE(reread.retiredHandles().size(), 1);

    // An account without a handle retires nothing.
    reread.signIn(); // the deleted account is not active: a new one starts
    reread.deleteAccount();
    QCOMPARE(reread.retiredHandles().size(), 1);

    // Nobody may take the held handle; once the time has passed it is free (the record stays).
    reread.signIn();
    QCOMPARE(reread.completeProfile(u"새 사람"_s, u"leaving"_s, std::nullopt),
             ProfileSaveError::handleTaken);
    QVERIFY(reread.isHandleTaken(u"@Leaving"_s, std::nullopt));
    QList<RetiredHandle> retired = reread.retiredHandles();
    retired.first().until = QDateTime::currentDateTimeUtc().addSecs(-1);
    reread.setRetiredHandles(retired);
    QCOMPARE(reread.completeProfile(u"새 사람"_s, u"leaving"_s, std::nullopt), std::nullopt);
    QCOMPARE(reread.retiredHandles().size(), 1);
}

QTEST_GUILESS_MAIN(TestStoreAccount)
#include "tst_store_account.moc"
