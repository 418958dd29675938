// Editing the own profile, changing the password and the notification switches.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "model/TextLimits.h"
#include "platform/PushCenter.h"
#include "store/StoreCall.h"

#include <QSettings>

namespace {

const QString kWrongPassword = QStringLiteral("현재 비밀번호가 올바르지 않습니다.");

const QString kEnabledKey = QStringLiteral("quillo.live.notificationsEnabled");
const QString kPreviewKey = QStringLiteral("quillo.live.notificationPreview");
const QString kSoundKey = QStringLiteral("quillo.live.notificationSound");

// A switch kept in the settings: a stored boolean (or its text form) wins, anything else keeps
// the default.
std::optional<bool> storedSwitch(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.metaType() == QMetaType::fromType<bool>())
        return value.toBool();
    if (value.metaType() == QMetaType::fromType<QString>()) {
        const QString text = value.toString().trimmed().toLower();
        if (text == u"true")
            return true;
        if (text == u"false")
            return false;
    }
    return std::nullopt;
}

// The service's message when it refuses a handle change because the handle is fixed already.
std::optional<QString> handleLockedMessage(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const ChatAPIError &e) {
        if (e.code == u"handle_locked")
            return e.message;
    } catch (...) { }
    return std::nullopt;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Profile edit and password

QCoro::Task<std::optional<ProfileSaveError>> LocalStore::saveMe(QString name, QString handle,
                                                                std::optional<QByteArray> photo)
{
    if (!m_client)
        co_return updateMe(name, handle, photo);
    acknowledgeNotice();
    const QString trimmedName = trimmedText(name);
    if (!isValidDisplayName(trimmedName)) {
        showNotice(kCheckNameText);
        co_return ProfileSaveError::invalidName;
    }
    const QString wantedHandle = normalizedHandle(handle);
    const std::optional<Account> before = me();
    const bool changeHandle
        = !(before && (before->handleChanged || wantedHandle == before->handle));
    if (changeHandle && !isValidHandle(wantedHandle)) {
        showNotice(kHandleRuleText);
        co_return ProfileSaveError::invalidHandle;
    }
    const bool markChanged = changeHandle || (before && before->handleChanged);

    ChatClient *client = m_client.get();
    const auto refused = [this](const std::exception_ptr &failure) {
        const std::optional<QString> lockedMessage = handleLockedMessage(failure);
        if (!lockedMessage) {
            showAPI(failure);
            return;
        }
        // The service has the handle fixed already: stop offering the change.
        if (std::optional<Account> mine = me(); mine && !mine->handleChanged) {
            mine->handleChanged = true;
            replaceAccount(*mine);
        }
        showNotice(*lockedMessage);
    };
    const std::optional<std::optional<QString>> avatarKey
        = co_await StoreCall::attempt(this, uploadedAvatar(photo), refused);
    if (!avatarKey)
        co_return std::nullopt;
    const std::optional<QString> sentHandle
        = changeHandle ? std::optional<QString>(wantedHandle) : std::nullopt;
    const std::optional<APIUser> user = co_await StoreCall::attempt(
        this, client->updateProfile(sentHandle, trimmedName, *avatarKey), refused);
    if (!user)
        co_return std::nullopt;
    apply(*user, photo);
    if (markChanged) {
        if (std::optional<Account> mine = me(); mine && !mine->handleChanged) {
            mine->handleChanged = true;
            replaceAccount(*mine);
        }
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<QString>> LocalStore::changePassword(QString current, QString newPassword)
{
    if (!m_client)
        co_return std::nullopt;
    ChatClient *client = m_client.get();
    try {
        co_await client->changePassword(current, newPassword);
    } catch (const ChatAPIError &e) {
        if (e.status == 401 || e.code == u"invalid_password")
            co_return kWrongPassword;
        co_return e.message;
    } catch (...) {
        co_return StoreCall::caughtText(std::current_exception());
    }
    co_return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Notification switches

void LocalStore::setNotifications(std::optional<bool> enabled, std::optional<bool> preview,
                                  std::optional<bool> sound)
{
    if (enabled)
        setNotificationsEnabled(*enabled);
    if (preview)
        setNotificationPreview(*preview);
    if (sound)
        setNotificationSound(*sound);
    persist();
    if (!m_client)
        return;
    saveNotificationSwitches();
    const std::optional<QString> token = m_apnsToken;
    const bool previewOn = m_notificationPreview;
    const bool on = m_notificationsEnabled;
    if (on)
        PushCenter::registerForNotifications();
    // The sound switch stays on this machine; the service only learns the other two.
    saveDeviceLive(token, previewOn, on);
}

QCoro::Task<> LocalStore::saveDeviceLive(std::optional<QString> token, bool preview, bool enabled)
{
    if (!m_client)
        co_return;
    co_await StoreCall::attempt(this, m_client->saveDevice(token, preview, enabled));
}

void LocalStore::loadNotificationSwitches()
{
    if (!m_client)
        return;
    const QSettings settings;
    if (const std::optional<bool> value = storedSwitch(settings, kEnabledKey))
        setNotificationsEnabled(*value);
    if (const std::optional<bool> value = storedSwitch(settings, kPreviewKey))
        setNotificationPreview(*value);
    if (const std::optional<bool> value = storedSwitch(settings, kSoundKey))
        setNotificationSound(*value);
}

void LocalStore::saveNotificationSwitches()
{
    saveSettings();
}

QVariantMap LocalStore::notificationSettings() const
{
    return {{kEnabledKey, m_notificationsEnabled},
            {kPreviewKey, m_notificationPreview},
            {kSoundKey, m_notificationSound}};
}
