// Signing in and up, the password reset and the first profile; the local modes' profile rules.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "model/SeedID.h"
#include "model/TextLimits.h"
#include "platform/PushCenter.h"
#include "store/StoreCall.h"

#include <QCoroTimer>
#include <QPointer>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

const QString kBadCredentials = QStringLiteral("이메일 또는 비밀번호가 올바르지 않습니다.");
const QString kEmailTaken = QStringLiteral("이미 가입된 이메일입니다.");

// Every address sent to the service: trimmed and in lower case. Passwords and codes go as typed.
QString normalizedEmail(const QString &email)
{
    return trimmedText(email).toLower();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Sign-in and registration

QCoro::Task<std::optional<QString>> LocalStore::login(QString email, QString password)
{
    if (!m_client) {
        signIn();
        co_return std::nullopt;
    }
    acknowledgeNotice();
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    std::optional<APIUser> user;
    std::optional<QString> failure;
    try {
        user = co_await client->login(normalizedEmail(email), password);
    } catch (const ChatAPIError &e) {
        failure = (e.status == 401 || e.status == 404) ? kBadCredentials : e.message;
    } catch (...) {
        failure = StoreCall::caughtText(std::current_exception());
    }
    if (failure)
        co_return failure;
    if (!self)
        co_return std::nullopt;

    // The previous user's rooms and links go; accounts, blocks and hidden rooms stay.
    setConversations({});
    setMessages({});
    setFriends({});
    setOfficialLinks({});
    apply(*user, std::nullopt);
    co_await publishLocalAvatar(user->avatarUrl.has_value());
    if (!self)
        co_return std::nullopt;
    if (m_session && m_session->profileComplete) {
        co_await reloadRemote();
        if (!self)
            co_return std::nullopt;
    }
    co_await client->connectSocket();
    if (!self)
        co_return std::nullopt;
    if (m_session && m_session->profileComplete && m_notificationsEnabled)
        PushCenter::registerForNotifications();
    co_return std::nullopt;
}

QCoro::Task<std::optional<QString>> LocalStore::sendRegisterCode(QString email, QString password)
{
    if (!m_client)
        co_return std::nullopt;
    ChatClient *client = m_client.get();
    try {
        co_await client->registerAccount(normalizedEmail(email), password);
    } catch (const ChatAPIError &e) {
        if (e.status == 409 || e.code == u"email_taken" || e.message.contains(u"이미 가입"))
            co_return kEmailTaken;
        co_return e.message;
    } catch (...) {
        co_return StoreCall::caughtText(std::current_exception());
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<QString>> LocalStore::verifyRegister(QString email, QString code)
{
    if (!m_client) {
        signIn();
        co_return std::nullopt;
    }
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    std::optional<APIUser> user;
    try {
        user = co_await client->verifyRegistration(normalizedEmail(email), code);
    } catch (...) {
        co_return StoreCall::caughtText(std::current_exception());
    }
    // Nothing is emptied, reloaded or connected: the first-profile screen comes next.
    if (self)
        apply(*user, std::nullopt);
    co_return std::nullopt;
}

QCoro::Task<std::optional<QString>> LocalStore::sendResetCode(QString email)
{
    if (!m_client)
        co_return std::nullopt;
    ChatClient *client = m_client.get();
    try {
        co_await client->requestPasswordCode(normalizedEmail(email));
    } catch (...) {
        co_return StoreCall::caughtText(std::current_exception());
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<QString>> LocalStore::resetPassword(QString email, QString code,
                                                              QString password)
{
    if (!m_client)
        co_return std::nullopt;
    ChatClient *client = m_client.get();
    try {
        co_await client->resetPassword(normalizedEmail(email), code, password);
    } catch (...) {
        co_return StoreCall::caughtText(std::current_exception());
    }
    co_return std::nullopt;
}

bool LocalStore::isValidPassword(const QString &password)
{
    const int count = graphemeCount(password);
    if (count < 8 || count > 64)
        return false;
    // Only ASCII letters and digits count; other scripts are allowed but do not qualify.
    bool letter = false;
    bool digit = false;
    for (const QChar c : password) {
        const char16_t u = c.unicode();
        if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z'))
            letter = true;
        else if (u >= u'0' && u <= u'9')
            digit = true;
    }
    return letter && digit;
}

QCoro::Task<std::optional<ProfileSaveError>> LocalStore::saveProfile(
    QString name, QString handle, std::optional<QByteArray> photo)
{
    if (!m_client)
        co_return completeProfile(name, handle, photo);
    acknowledgeNotice();
    const QString trimmedName = trimmedText(name);
    if (!isValidDisplayName(trimmedName)) {
        showNotice(kCheckNameText);
        co_return ProfileSaveError::invalidName;
    }
    const QString wantedHandle = normalizedHandle(handle);
    if (!isValidHandle(wantedHandle)) {
        showNotice(kHandleRuleText);
        co_return ProfileSaveError::invalidHandle;
    }

    // A failure is shown as the notice; the form gets no error case and the profile stays
    // incomplete.
    ChatClient *client = m_client.get();
    const std::optional<std::optional<QString>> avatarKey
        = co_await StoreCall::attempt(this, uploadedAvatar(photo));
    if (!avatarKey)
        co_return std::nullopt;
    const std::optional<APIUser> user = co_await StoreCall::attempt(
        this, client->updateProfile(wantedHandle, trimmedName, *avatarKey));
    if (!user)
        co_return std::nullopt;
    apply(*user, photo);
    const bool reloaded = co_await StoreCall::settle(this, reloadRemote());
    if (!reloaded)
        co_return std::nullopt;
    const bool connected = co_await StoreCall::settle(this, client->connectSocket());
    if (!connected)
        co_return std::nullopt;
    if (m_session && m_session->profileComplete && m_notificationsEnabled)
        PushCenter::registerForNotifications();
    redeemPendingInvite();
    // The service builds the welcome room shortly after the first profile; look again then.
    const bool waited = co_await StoreCall::settle(this, QCoro::sleepFor(1s));
    if (waited)
        co_await reloadRemote();
    co_return std::nullopt;
}

void LocalStore::cancelSignup()
{
    if (m_client) {
        logout();
        return;
    }
    if (!m_session || m_session->profileComplete)
        return;
    const QUuid meId = m_session->meId;
    if (accountIndex(meId) >= 0)
        editAccounts([&](QList<Account> &list) {
            list.removeIf([&](const Account &a) { return a.id == meId; });
        });
    setSession(std::nullopt);
    setLastUserId(std::nullopt);
    persist();
}

bool LocalStore::isHandleTaken(const QString &handle, std::optional<QUuid> except) const
{
    const QString wanted = normalizedHandle(handle);
    if (wanted.isEmpty())
        return false;
    for (const Account &a : m_accounts) {
        if (except && a.id == *except)
            continue;
        if (normalizedHandle(a.handle) == wanted)
            return true;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return std::any_of(m_retiredHandles.cbegin(), m_retiredHandles.cend(),
                       [&](const RetiredHandle &r) {
                           return normalizedHandle(r.handle) == wanted && r.until > now;
                       });
}

std::optional<ProfileSaveError> LocalStore::completeProfile(const QString &name,
                                                            const QString &handle,
                                                            const std::optional<QByteArray> &photo)
{
    if (m_client || (m_session && m_session->profileComplete))
        return std::nullopt;
    const QString trimmedName = trimmedText(name);
    if (!isValidDisplayName(trimmedName))
        return ProfileSaveError::invalidName;
    const QString wantedHandle = normalizedHandle(handle);
    if (!isValidHandle(wantedHandle))
        return ProfileSaveError::invalidHandle;
    const std::optional<QUuid> meId
        = m_session ? std::optional<QUuid>(m_session->meId) : std::nullopt;
    if (isHandleTaken(wantedHandle, meId))
        return ProfileSaveError::handleTaken;
    std::optional<Account> mine = me();
    if (!mine)
        return ProfileSaveError::invalidName; // nobody is signed in to take the profile

    mine->displayName = trimmedName;
    mine->handle = wantedHandle;
    if (photo)
        mine->avatarJPEG = photo;
    replaceAccount(*mine);
    setSession(AppSession{mine->id, true});
    // A new user meets one of the seed people through a friend request to answer.
    const QUuid rian = SeedID::rian();
    const bool linked = std::any_of(m_friends.cbegin(), m_friends.cend(),
                                    [&](const FriendLink &l) { return l.userId == rian; });
    if (!linked)
        editFriends([&](QList<FriendLink> &list) {
            list.append(FriendLink{rian, FriendState::incoming});
        });
    ensureWelcome();
    persist();
    return std::nullopt;
}

std::optional<ProfileSaveError> LocalStore::updateMe(const QString &name, const QString &handle,
                                                     const std::optional<QByteArray> &photo)
{
    const QString trimmedName = trimmedText(name);
    std::optional<Account> mine = me();
    if (!isValidDisplayName(trimmedName) || !mine)
        return ProfileSaveError::invalidName;
    // The handle may change once: a second change is refused like a taken handle, so that the
    // form says so instead of dropping the typed handle silently.
    const QString wantedHandle = normalizedHandle(handle);
    if (wantedHandle != mine->handle) {
        if (!isValidHandle(wantedHandle))
            return ProfileSaveError::invalidHandle;
        if (mine->handleChanged || isHandleTaken(wantedHandle, mine->id))
            return ProfileSaveError::handleTaken;
        mine->handle = wantedHandle;
        mine->handleChanged = true;
    }
    mine->displayName = trimmedName;
    if (photo)
        mine->avatarJPEG = photo;
    replaceAccount(*mine);
    persist();
    return std::nullopt;
}

QCoro::Task<std::optional<QString>> LocalStore::uploadedAvatar(std::optional<QByteArray> photo)
{
    if (!m_client || !photo || photo->isEmpty())
        co_return std::nullopt;
    const std::optional<Account> mine = me();
    if (mine && mine->avatarJPEG == photo && mine->avatarURL)
        co_return std::nullopt; // already the avatar on the service
    const QString kind = QStringLiteral("avatar");
    ChatClient *client = m_client.get();
    const PreparedImage image = co_await client->upload(*photo, kind);
    co_return image.objectKey;
}
