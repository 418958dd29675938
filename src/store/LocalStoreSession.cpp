// Adopting the signed-in user, the local sign-in, the avatar kept from before sign-in, the
// device upload and the requests that come from notification taps and invite links.

#include "store/LocalStore.h"

#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/ChatErrors.h"

#include <QJsonObject>
#include <QPointer>

void LocalStore::apply(const APIUser &user, const std::optional<QByteArray> &photo)
{
    Account mapped = mapUser(user, photo, false);
    const std::optional<Account> stored = account(user.id);
    if (!photo && stored)
        mapped.avatarJPEG = stored->avatarJPEG;
    upsertAccount(mapped);
    setSession(AppSession{user.id, !mapped.handle.isEmpty() && !mapped.displayName.isEmpty()});
    setLastUserId(user.id);
}

void LocalStore::signIn()
{
    if (m_client)
        return;
    if (m_lastUserId) {
        const std::optional<Account> last = account(*m_lastUserId);
        if (last && last->status == AccountStatus::active) {
            setSession(
                AppSession{last->id, !last->handle.isEmpty() && !last->displayName.isEmpty()});
            ensureWelcome();
            persist();
            return;
        }
    }
    Account fresh;
    fresh.id = QUuid::createUuid();
    fresh.kind = AccountKind::person;
    fresh.status = AccountStatus::active;
    fresh.verified = false;
    fresh.acceptsUserMessages = true;
    editAccounts([&](QList<Account> &list) { list.append(fresh); });
    setSession(AppSession{fresh.id, false});
    setLastUserId(fresh.id);
    setFriends({});
    setOfficialLinks({});
    setBlocks({});
    persist();
}

QCoro::Task<> LocalStore::publishLocalAvatar(bool serverHasAvatar)
{
    if (!m_client || serverHasAvatar || !m_session)
        co_return;
    const std::optional<Account> mine = me();
    if (!mine || !mine->avatarJPEG || mine->avatarJPEG->isEmpty())
        co_return;
    const QByteArray jpeg = *mine->avatarJPEG;
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    try {
        const PreparedImage image = co_await client->upload(jpeg, QStringLiteral("avatar"));
        if (!self)
            co_return;
        QJsonObject body;
        body.insert(QStringLiteral("avatar_url"), image.objectKey);
        const QByteArray answer
            = co_await client->request(QStringLiteral("PATCH"), ChatPath::me(), body);
        if (!self)
            co_return;
        if (const std::optional<APIUser> user = ApiDecoder::decode<APIUser>(answer))
            apply(*user, jpeg);
    } catch (...) {
        // Publishing is a courtesy at sign-in: a failure is dropped without a notice.
    }
}

QCoro::Task<> LocalStore::uploadDevice()
{
    if (!m_client || !m_session || !m_session->profileComplete)
        co_return;
    QPointer<LocalStore> self(this);
    try {
        co_await m_client->saveDevice(m_apnsToken, m_notificationPreview, m_notificationsEnabled);
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
    }
}

void LocalStore::openFromPush(const QUuid &conversationId, std::optional<QUuid> messageId)
{
    if (!m_session || !m_session->profileComplete)
        return;
    setPushTarget(PushOpen{QUuid::createUuid(), conversationId, messageId});
}

void LocalStore::redeemPendingInvite()
{
    if (!m_session || !m_session->profileComplete || !m_pendingInviteCode)
        return;
    // One look-up at a time: the code waits, and a newer link replaces it.
    if (m_client && m_redeemingInvite)
        return;
    const QString code = *m_pendingInviteCode;
    setPendingInviteCode(std::nullopt);
    if (!m_client) {
        showNotice(code == m_localInviteCode ? QStringLiteral("내 초대 링크입니다.")
                                             : QStringLiteral("친구 요청을 보냈습니다."));
        return;
    }
    redeemInvite(code);
}
