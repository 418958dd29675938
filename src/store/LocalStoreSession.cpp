// Adopting the signed-in user, the local sign-in, the avatar kept from before sign-in, the
// device upload and the requests that come from notification taps and invite links.

#include "store/LocalStore.h"

#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "store/StoreCall.h"

#include <QJsonObject>

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
    // Publishing is a courtesy at sign-in: a failure is dropped without a notice.
    // Named values only in a co_await expression: g++ 12 destroys its temporaries twice.
    ChatClient *client = m_client.get();
    const QString kind = QStringLiteral("avatar");
    const std::optional<PreparedImage> image
        = co_await StoreCall::attempt(this, client->upload(jpeg, kind), StoreCall::quiet);
    if (!image)
        co_return;
    QJsonObject body;
    body.insert(QStringLiteral("avatar_url"), image->objectKey);
    const QString method = QStringLiteral("PATCH");
    const ChatPath path = ChatPath::me();
    const std::optional<QByteArray> answer
        = co_await StoreCall::attempt(this, client->request(method, path, body), StoreCall::quiet);
    if (!answer)
        co_return;
    if (const std::optional<APIUser> user = ApiDecoder::decode<APIUser>(*answer))
        apply(*user, jpeg);
}

QCoro::Task<> LocalStore::uploadDevice()
{
    if (!m_client || !m_session || !m_session->profileComplete)
        co_return;
    co_await StoreCall::attempt(
        this, m_client->saveDevice(m_apnsToken, m_notificationPreview, m_notificationsEnabled));
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
