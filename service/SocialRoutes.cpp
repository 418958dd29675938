#include "service/ServiceApi.h"
#include "service/ServiceState.h"
#include "service/WireInput.h"

#include <QJsonArray>
#include <QRegularExpression>

using namespace WireInput;

void ServiceApi::addSocialRoutes()
{
    add("GET", QStringLiteral("/v1/me/invite"), true, false, &ServiceApi::inviteCode);
    add("POST", QStringLiteral("/v1/me/invite"), true, false, &ServiceApi::rotateInvite);
    add("PUT", QStringLiteral("/v1/me/devices"), true, true, &ServiceApi::saveDevice);
    add("POST", QStringLiteral("/v1/invites/{}"), true, false, &ServiceApi::openInvite);
    add("GET", QStringLiteral("/v1/users"), true, false, &ServiceApi::userByHandle);
    add("GET", QStringLiteral("/v1/friend-requests"), true, false, &ServiceApi::friendRequests);
    add("POST", QStringLiteral("/v1/friend-requests"), true, true, &ServiceApi::requestFriend);
    add("POST", QStringLiteral("/v1/friend-requests/{}/accept"), true, false,
        &ServiceApi::acceptFriend);
    add("POST", QStringLiteral("/v1/friend-requests/{}/reject"), true, false,
        &ServiceApi::rejectFriend);
    add("POST", QStringLiteral("/v1/blocks"), true, true, &ServiceApi::block);
    add("DELETE", QStringLiteral("/v1/blocks/{}"), true, false, &ServiceApi::unblock);
    add("POST", QStringLiteral("/v1/official-accounts/{}/follow"), true, false,
        &ServiceApi::follow);
    add("PATCH", QStringLiteral("/v1/official-accounts/{}/link"), true, true,
        &ServiceApi::officialLink);
    add("POST", QStringLiteral("/v1/reports"), true, true, &ServiceApi::report);
}

ApiReply ServiceApi::inviteCode(ApiCall &c)
{
    return ApiReply::json({{QStringLiteral("code"), meUser(c).inviteCode}});
}

ApiReply ServiceApi::rotateInvite(ApiCall &c)
{
    ServiceUser &u = meUser(c);
    u.inviteCode = m_state.newInviteCode();
    return ApiReply::json({{QStringLiteral("code"), u.inviteCode}});
}

ApiReply ServiceApi::saveDevice(ApiCall &c)
{
    QJsonObject device;
    if (const auto token = optString(c.json, QStringLiteral("apns_token")))
        device.insert(QStringLiteral("apns_token"), *token);
    if (const auto preview = optBool(c.json, QStringLiteral("preview_enabled")))
        device.insert(QStringLiteral("preview_enabled"), *preview);
    if (const auto push = optBool(c.json, QStringLiteral("push_enabled")))
        device.insert(QStringLiteral("push_enabled"), *push);
    if (const auto platform = optString(c.json, QStringLiteral("platform")))
        device.insert(QStringLiteral("platform"), *platform);
    ServiceUser &u = meUser(c);
    for (auto it = device.begin(); it != device.end(); ++it)
        u.device.insert(it.key(), it.value());
    return ApiReply::empty();
}

ApiReply ServiceApi::openInvite(ApiCall &c)
{
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_-]{16,128}$"));
    const QString code = c.segments.value(2);
    ServiceUser *owner = nullptr;
    if (form.match(code).hasMatch()) {
        for (auto &u : m_state.users) {
            if (u.inviteCode == code && u.status == QLatin1String("active"))
                owner = &u;
        }
    }
    if (!owner)
        refuse(404, QStringLiteral("invite_not_found"),
               QStringLiteral("초대 링크가 올바르지 않습니다."));
    const QUuid me = c.me;
    const QUuid other = owner->id;
    QJsonObject answer{{QStringLiteral("user_id"), ServiceState::idText(other)}};
    if (other == me) {
        answer.insert(QStringLiteral("result"), QStringLiteral("self"));
    } else if (m_state.eitherBlocked(me, other)) {
        answer.insert(QStringLiteral("result"), QStringLiteral("unavailable"));
    } else if (m_state.areFriends(me, other)) {
        answer.insert(QStringLiteral("result"), QStringLiteral("friends"));
        answer.insert(QStringLiteral("conversation_id"),
                      ServiceState::idText(m_state.openDirect(me, other).id));
    } else if (FriendRequest *incoming = m_state.pendingRequest(other, me)) {
        answer.insert(QStringLiteral("result"), QStringLiteral("incoming"));
        answer.insert(QStringLiteral("request_id"), ServiceState::idText(incoming->id));
    } else if (FriendRequest *outgoing = m_state.pendingRequest(me, other)) {
        answer.insert(QStringLiteral("result"), QStringLiteral("already_requested"));
        answer.insert(QStringLiteral("request_id"), ServiceState::idText(outgoing->id));
    } else {
        const QUuid requestId = m_state.addFriendRequest(me, other).id;
        answer.insert(QStringLiteral("result"), QStringLiteral("requested"));
        answer.insert(QStringLiteral("request_id"), ServiceState::idText(requestId));
    }
    return ApiReply::json(answer);
}

ApiReply ServiceApi::userByHandle(ApiCall &c)
{
    const QString handle = c.query.queryItemValue(QStringLiteral("handle"), QUrl::FullyDecoded);
    if (handle.trimmed().isEmpty())
        refuse(400, QStringLiteral("invalid_request"), QStringLiteral("아이디를 입력해 주세요."));
    const ServiceUser *u = m_state.userByHandle(handle);
    if (!u)
        refuse(404, QStringLiteral("not_found"), QStringLiteral("사용자를 찾을 수 없습니다."));
    QJsonObject answer = m_state.userJson(*u);
    answer.insert(QStringLiteral("blocked"), m_state.hasBlocked(c.me, u->id));
    return ApiReply::json(answer);
}

ApiReply ServiceApi::friendRequests(ApiCall &c)
{
    QJsonArray incoming;
    QJsonArray outgoing;
    for (const FriendRequest &r : m_state.friendRequests) {
        if (r.to == c.me) {
            incoming.append(QJsonObject{
                {QStringLiteral("id"), ServiceState::idText(r.id)},
                {QStringLiteral("user"), m_state.userJson(m_state.users.value(r.from))}});
        } else if (r.from == c.me) {
            outgoing.append(
                QJsonObject{{QStringLiteral("id"), ServiceState::idText(r.id)},
                            {QStringLiteral("user"), m_state.userJson(m_state.users.value(r.to))}});
        }
    }
    return ApiReply::json(
        {{QStringLiteral("incoming"), incoming}, {QStringLiteral("outgoing"), outgoing}});
}

ApiReply ServiceApi::requestFriend(ApiCall &c)
{
    const auto userId = optUuid(c.json, QStringLiteral("user_id"));
    const auto handle = optString(c.json, QStringLiteral("handle"));
    const ServiceUser *target = nullptr;
    if (userId)
        target = m_state.user(*userId);
    else if (handle)
        target = m_state.userByHandle(*handle);
    else
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("잘못된 요청입니다: \"user_id\" 또는 \"handle\"이 필요합니다."));
    if (!target || target->status == QLatin1String("deleted"))
        refuse(404, QStringLiteral("user_not_found"), QStringLiteral("사용자를 찾을 수 없습니다."));
    const QUuid other = target->id;
    if (other == c.me)
        refuse(400, QStringLiteral("self_request"),
               QStringLiteral("나에게는 친구 요청을 보낼 수 없습니다."));
    if (target->kind != QLatin1String("person") || target->status != QLatin1String("active"))
        refuse(400, QStringLiteral("not_allowed"),
               QStringLiteral("친구 요청을 보낼 수 없는 계정입니다."));
    if (m_state.eitherBlocked(c.me, other))
        refuse(403, QStringLiteral("blocked"), QStringLiteral("친구 요청을 보낼 수 없습니다."));
    if (m_state.areFriends(c.me, other))
        refuse(409, QStringLiteral("already_friends"), QStringLiteral("이미 친구입니다."));
    if (m_state.pendingRequest(other, c.me))
        refuse(409, QStringLiteral("request_incoming"),
               QStringLiteral("상대가 이미 친구 요청을 보냈습니다."));
    return ApiReply::json(
        {{QStringLiteral("id"), ServiceState::idText(m_state.addFriendRequest(c.me, other).id)}});
}

ApiReply ServiceApi::acceptFriend(ApiCall &c)
{
    const QUuid room = m_state.acceptRequest(segmentUuid(c, 2), c.me);
    return ApiReply::json({{QStringLiteral("conversation_id"), ServiceState::idText(room)}});
}

ApiReply ServiceApi::rejectFriend(ApiCall &c)
{
    const QUuid id = segmentUuid(c, 2);
    for (int i = 0; i < m_state.friendRequests.size(); ++i) {
        const FriendRequest &r = m_state.friendRequests.at(i);
        // The addressee refuses; the sender may also withdraw.
        if (r.id == id && (r.to == c.me || r.from == c.me)) {
            m_state.friendRequests.removeAt(i);
            return ApiReply::empty();
        }
    }
    refuse(404, QStringLiteral("request_not_found"), QStringLiteral("요청을 찾을 수 없습니다."));
}

ApiReply ServiceApi::block(ApiCall &c)
{
    const QUuid other = requireUuid(c.json, QStringLiteral("user_id"));
    if (other == c.me)
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("나를 차단할 수는 없습니다."));
    m_state.requireUser(other);
    QList<QUuid> &list = m_state.blocks[c.me];
    if (!list.contains(other))
        list.append(other);
    // Pending requests between the two end with the block.
    m_state.friendRequests.removeIf([&](const FriendRequest &r) {
        return (r.from == c.me && r.to == other) || (r.from == other && r.to == c.me);
    });
    return ApiReply::empty();
}

ApiReply ServiceApi::unblock(ApiCall &c)
{
    const QUuid other = segmentUuid(c, 2);
    m_state.blocks[c.me].removeAll(other);
    return ApiReply::empty();
}

ApiReply ServiceApi::follow(ApiCall &c)
{
    const ServiceUser *official = m_state.userByOfficialId(segmentUuid(c, 2));
    if (!official || official->status != QLatin1String("active"))
        refuse(404, QStringLiteral("not_found"), QStringLiteral("서비스 계정을 찾을 수 없습니다."));
    const QUuid room = m_state.follow(c.me, official->id);
    return ApiReply::json({{QStringLiteral("conversation_id"), ServiceState::idText(room)}});
}

ApiReply ServiceApi::officialLink(ApiCall &c)
{
    const auto optOut = optBool(c.json, QStringLiteral("broadcast_opt_out"));
    const auto blocked = optBool(c.json, QStringLiteral("blocked"));
    const ServiceUser *official = m_state.userByOfficialId(segmentUuid(c, 2));
    if (!official)
        refuse(404, QStringLiteral("not_found"), QStringLiteral("서비스 계정을 찾을 수 없습니다."));
    OfficialLink &link = m_state.link(c.me, official->id);
    if (optOut)
        link.broadcastOptOut = *optOut;
    if (blocked)
        link.blocked = *blocked;
    return ApiReply::empty();
}

ApiReply ServiceApi::report(ApiCall &c)
{
    const QString reason = requireString(c.json, QStringLiteral("reason")).trimmed();
    const QUuid target = requireUuid(c.json, QStringLiteral("user_id"));
    const auto messageId = optUuid(c.json, QStringLiteral("message_id"));
    const auto roomId = optUuid(c.json, QStringLiteral("conversation_id"));
    if (reason.isEmpty() || reason.size() > 2000)
        refuse(400, QStringLiteral("invalid_reason"), QStringLiteral("신고 사유를 확인해 주세요."));
    if (!m_state.user(target))
        refuse(404, QStringLiteral("user_not_found"), QStringLiteral("사용자를 찾을 수 없습니다."));
    if (messageId && !m_state.message(*messageId))
        refuse(404, QStringLiteral("message_not_found"),
               QStringLiteral("메시지를 찾을 수 없습니다."));
    if (roomId && !m_state.room(*roomId))
        refuse(404, QStringLiteral("conversation_not_found"),
               QStringLiteral("대화방을 찾을 수 없습니다."));
    const QString id = ServiceState::idText(QUuid::createUuid());
    QJsonObject record{{QStringLiteral("id"), id},
                       {QStringLiteral("reporter_id"), ServiceState::idText(c.me)},
                       {QStringLiteral("reason"), reason},
                       {QStringLiteral("user_id"), ServiceState::idText(target)}};
    if (messageId)
        record.insert(QStringLiteral("message_id"), ServiceState::idText(*messageId));
    if (roomId)
        record.insert(QStringLiteral("conversation_id"), ServiceState::idText(*roomId));
    m_state.reports.append(record);
    return ApiReply::json({{QStringLiteral("id"), id}});
}
