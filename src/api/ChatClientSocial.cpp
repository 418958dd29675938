#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/HttpMethods.h"

namespace {

template<typename T>
T orInvalid(std::optional<T> value)
{
    if (!value)
        throw ChatAPIError::invalidResponse(500);
    return std::move(*value);
}

} // namespace

QCoro::Task<APIUser> ChatClient::updateProfile(std::optional<QString> handle,
                                               std::optional<QString> displayName,
                                               std::optional<QString> avatarURL)
{
    QJsonObject body;
    if (handle)
        body.insert(QStringLiteral("handle"), *handle);
    if (displayName)
        body.insert(QStringLiteral("display_name"), *displayName);
    if (avatarURL)
        body.insert(QStringLiteral("avatar_url"), *avatarURL);
    const QByteArray data = co_await request(kPatch, ChatPath::me(), body);
    co_return orInvalid(ApiDecoder::decode<APIUser>(data));
}

QCoro::Task<QString> ChatClient::inviteLink()
{
    const QByteArray data = co_await request(kGet, ChatPath::inviteLink());
    co_return orInvalid(ApiDecoder::inviteCode(data));
}

QCoro::Task<QString> ChatClient::rotateInvite()
{
    const QByteArray data = co_await request(kPost, ChatPath::rotateInvite());
    co_return orInvalid(ApiDecoder::inviteCode(data));
}

QCoro::Task<InviteOpenBody> ChatClient::openInvite(QString code)
{
    const QByteArray data = co_await request(kPost, ChatPath::invitation(code));
    co_return orInvalid(ApiDecoder::decode<InviteOpenBody>(data));
}

QCoro::Task<> ChatClient::saveDevice(std::optional<QString> apnsToken,
                                     std::optional<bool> previewEnabled,
                                     std::optional<bool> pushEnabled)
{
    QJsonObject body;
    if (apnsToken)
        body.insert(QStringLiteral("apns_token"), *apnsToken);
    if (previewEnabled)
        body.insert(QStringLiteral("preview_enabled"), *previewEnabled);
    if (pushEnabled)
        body.insert(QStringLiteral("push_enabled"), *pushEnabled);
    body.insert(QStringLiteral("platform"), QStringLiteral("macos"));
    co_await request(kPut, ChatPath::devices(), body);
}

QCoro::Task<HandleLookup> ChatClient::user(QString handle)
{
    const QByteArray data = co_await request(kGet, ChatPath::userByHandle(handle));
    HandleLookup lookup;
    lookup.user = orInvalid(ApiDecoder::decode<APIUser>(data));
    // A missing or wrongly typed "blocked" means not blocked.
    lookup.blocked = ApiDecoder::blockedFlag(data).value_or(false);
    co_return lookup;
}

QCoro::Task<APIFriendRequestList> ChatClient::friendRequests()
{
    const QByteArray data = co_await request(kGet, ChatPath::friendRequests());
    co_return orInvalid(ApiDecoder::decode<APIFriendRequestList>(data));
}

QCoro::Task<QUuid> ChatClient::requestFriend(std::optional<QUuid> userId,
                                             std::optional<QString> handle)
{
    QJsonObject body;
    if (userId)
        body.insert(QStringLiteral("user_id"), wireId(*userId));
    if (handle)
        body.insert(QStringLiteral("handle"), *handle);
    const QByteArray data = co_await request(kPost, ChatPath::friendRequests(), body);
    co_return orInvalid(ApiDecoder::resourceId(data));
}

QCoro::Task<QUuid> ChatClient::acceptFriend(QUuid requestId)
{
    const QByteArray data
        = co_await request(kPost, ChatPath::acceptFriendRequest(wireId(requestId)));
    co_return orInvalid(ApiDecoder::conversationRef(data));
}

QCoro::Task<> ChatClient::block(QUuid userId)
{
    const QJsonObject body{{QStringLiteral("user_id"), wireId(userId)}};
    co_await request(kPost, ChatPath::blocks(), body);
}

QCoro::Task<QUuid> ChatClient::follow(QUuid officialAccountId)
{
    const QByteArray data = co_await request(kPost, ChatPath::follow(wireId(officialAccountId)));
    co_return orInvalid(ApiDecoder::conversationRef(data));
}

QCoro::Task<> ChatClient::updateOfficialLink(QUuid officialAccountId,
                                             std::optional<bool> broadcastOptOut,
                                             std::optional<bool> blocked)
{
    QJsonObject body;
    if (broadcastOptOut)
        body.insert(QStringLiteral("broadcast_opt_out"), *broadcastOptOut);
    if (blocked)
        body.insert(QStringLiteral("blocked"), *blocked);
    co_await request(kPatch, ChatPath::officialLink(wireId(officialAccountId)), body);
}
