#include "service/ServiceApi.h"
#include "service/ServiceState.h"
#include "service/WireInput.h"

#include <QJsonArray>

#include <algorithm>

using namespace WireInput;

namespace {
QString checkedTitle(const QString &raw)
{
    const QString title = raw.trimmed();
    const int length = ServiceState::charCount(title);
    if (length < 1 || length > ServiceState::maxTitleChars)
        refuse(400, QStringLiteral("invalid_title"), QStringLiteral("방 이름을 확인해 주세요."));
    return title;
}

std::optional<qint64> queryInt(const ApiCall &c, const QString &key)
{
    if (!c.query.hasQueryItem(key))
        return std::nullopt;
    const auto n = parseInt(c.query.queryItemValue(key));
    if (!n)
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("잘못된 요청입니다: \"%1\"은 정수여야 합니다.").arg(key));
    return n;
}
} // namespace

void ServiceApi::addRoomRoutes()
{
    add("GET", QStringLiteral("/v1/conversations"), true, false, &ServiceApi::conversations);
    add("POST", QStringLiteral("/v1/conversations"), true, true, &ServiceApi::createConversation);
    add("PATCH", QStringLiteral("/v1/conversations/{}"), true, true,
        &ServiceApi::patchConversation);
    add("POST", QStringLiteral("/v1/conversations/{}/members"), true, true,
        &ServiceApi::inviteMembers);
    add("DELETE", QStringLiteral("/v1/conversations/{}/members/{}"), true, false,
        &ServiceApi::removeMember);
    add("POST", QStringLiteral("/v1/conversations/{}/leave"), true, false, &ServiceApi::leave);
    add("GET", QStringLiteral("/v1/conversations/{}/messages"), true, false, &ServiceApi::messages);
    add("POST", QStringLiteral("/v1/conversations/{}/messages"), true, true,
        &ServiceApi::sendMessage);
    add("POST", QStringLiteral("/v1/conversations/{}/read"), true, true, &ServiceApi::read);
    add("POST", QStringLiteral("/v1/conversations/{}/images"), true, true, &ServiceApi::sendImages);
    add("POST", QStringLiteral("/v1/messages/{}/hide"), true, false, &ServiceApi::hideMessage);
    add("POST", QStringLiteral("/v1/messages/{}/delete"), true, false, &ServiceApi::deleteMessage);
    add("GET", QStringLiteral("/v1/sync"), true, false, &ServiceApi::sync);
}

ApiReply ServiceApi::conversations(ApiCall &c)
{
    QJsonArray list;
    for (const ServiceRoom *r : m_state.roomsOf(c.me, false))
        list.append(m_state.conversationJson(*r, c.me));
    return ApiReply::json({{QStringLiteral("conversations"), list}});
}

ApiReply ServiceApi::createConversation(ApiCall &c)
{
    const auto type = optString(c.json, QStringLiteral("type"));
    if (type && *type != QLatin1String("group") && *type != QLatin1String("direct"))
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("잘못된 요청입니다: \"type\"은 \"group\" 또는 \"direct\"입니다."));
    if (type && *type == QLatin1String("group")) {
        const QString title = checkedTitle(requireString(c.json, QStringLiteral("title")));
        QList<QUuid> others;
        for (const QUuid &id : requireUuidList(c.json, QStringLiteral("member_ids"))) {
            if (id != c.me && !others.contains(id))
                others.append(id);
        }
        for (const QUuid &id : others) {
            const ServiceUser &u = m_state.requireUser(id);
            if (u.kind != QLatin1String("person") || !m_state.areFriends(c.me, id)
                || m_state.eitherBlocked(c.me, id))
                refuse(403, QStringLiteral("not_friends"),
                       QStringLiteral("친구만 초대할 수 있습니다."));
        }
        if (others.size() + 1 > ServiceState::maxRoomMembers)
            refuse(
                409, QStringLiteral("room_full"),
                QStringLiteral("대화방 인원은 최대 %1명입니다.").arg(ServiceState::maxRoomMembers));
        const QUuid id = m_state.createGroup(c.me, title, others).id;
        return ApiReply::json({{QStringLiteral("id"), ServiceState::idText(id)}});
    }
    const QUuid other = requireUuid(c.json, QStringLiteral("user_id"));
    if (other == c.me)
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("나와의 대화방은 만들 수 없습니다."));
    const ServiceUser &peer = m_state.requireUser(other);
    if (!m_state.directRoom(c.me, other)) {
        const bool official = peer.kind == QLatin1String("official");
        if (m_state.eitherBlocked(c.me, other))
            refuse(403, QStringLiteral("blocked"), QStringLiteral("대화할 수 없는 사용자입니다."));
        if (!official && !m_state.areFriends(c.me, other))
            refuse(403, QStringLiteral("not_friends"),
                   QStringLiteral("친구와만 대화할 수 있습니다."));
    }
    const QUuid id = m_state.openDirect(c.me, other).id;
    return ApiReply::json({{QStringLiteral("id"), ServiceState::idText(id)}});
}

ApiReply ServiceApi::patchConversation(ApiCall &c)
{
    const auto title = optString(c.json, QStringLiteral("title"));
    const auto muted = optBool(c.json, QStringLiteral("muted"));
    const auto pinned = optBool(c.json, QStringLiteral("pinned"));
    if (int(title.has_value()) + int(muted.has_value()) + int(pinned.has_value()) != 1)
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral(
                   "잘못된 요청입니다: \"title\", \"muted\", \"pinned\" 중 하나만 보내 주세요."));
    ServiceRoom &r = m_state.requireMemberRoom(segmentUuid(c, 2), c.me);
    ServiceMember *me = r.activeMember(c.me);
    if (title) {
        const QString text = checkedTitle(*title);
        if (r.type != QLatin1String("group") || me->role != QLatin1String("owner"))
            refuse(403, QStringLiteral("not_owner"),
                   QStringLiteral("방장만 방 이름을 바꿀 수 있습니다."));
        if (text != r.title) {
            r.title = text;
            m_state.appendSystem(
                r, c.me, QStringLiteral("방 이름이 ") + text + QStringLiteral("로 바뀌었습니다."));
            m_state.roomChanged(r);
        }
        return ApiReply::empty();
    }
    if (muted)
        me->muted = *muted;
    if (pinned)
        me->pinned = *pinned;
    m_state.pushTo({c.me},
                   {{QStringLiteral("type"), QStringLiteral("conversation.changed")},
                    {QStringLiteral("conversation_id"), ServiceState::idText(r.id)}});
    return ApiReply::empty();
}

ApiReply ServiceApi::inviteMembers(ApiCall &c)
{
    const QList<QUuid> ids = requireUuidList(c.json, QStringLiteral("user_ids"));
    ServiceRoom &r = m_state.requireMemberRoom(segmentUuid(c, 2), c.me);
    if (ids.isEmpty())
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("초대할 사람을 골라 주세요."));
    m_state.addMembers(r, c.me, ids);
    return ApiReply::empty();
}

ApiReply ServiceApi::removeMember(ApiCall &c)
{
    ServiceRoom &r = m_state.requireMemberRoom(segmentUuid(c, 2), c.me);
    m_state.removeMember(r, c.me, WireInput::pathUuid(c.segments.value(4)));
    return ApiReply::empty();
}

ApiReply ServiceApi::leave(ApiCall &c)
{
    ServiceRoom &r = m_state.requireMemberRoom(segmentUuid(c, 2), c.me);
    m_state.leave(r, c.me);
    return ApiReply::empty();
}

ApiReply ServiceApi::messages(ApiCall &c)
{
    const auto after = queryInt(c, QStringLiteral("after_seq"));
    const auto before = queryInt(c, QStringLiteral("before_seq"));
    ServiceRoom &r = m_state.requireMemberRoom(segmentUuid(c, 2), c.me);
    QList<const ServiceMessage *> page;
    for (const ServiceMessage *m : m_state.visibleMessages(r, c.me)) {
        if ((!after || m->seq > *after) && (!before || m->seq < *before))
            page.append(m);
    }
    // Ascending order; after_seq alone pages forward from the mark, otherwise the newest part.
    if (page.size() > ServiceState::pageSize)
        page = after && !before ? page.mid(0, ServiceState::pageSize)
                                : page.mid(page.size() - ServiceState::pageSize);
    QJsonArray list;
    for (const ServiceMessage *m : page)
        list.append(m_state.messageJson(*m));
    return ApiReply::json({{QStringLiteral("messages"), list}});
}

ApiReply ServiceApi::sendMessage(ApiCall &c)
{
    const QUuid clientId = requireUuid(c.json, QStringLiteral("client_msg_id"));
    const QString body = requireString(c.json, QStringLiteral("body"));
    const ServiceMessage &m = m_state.sendText(segmentUuid(c, 2), c.me, clientId, body);
    return ApiReply::json(m_state.messageJson(m));
}

ApiReply ServiceApi::read(ApiCall &c)
{
    const qint64 seq = requireInt(c.json, QStringLiteral("seq"));
    m_state.markRead(segmentUuid(c, 2), c.me, seq);
    return ApiReply::empty();
}

ApiReply ServiceApi::sendImages(ApiCall &c)
{
    const QUuid clientId = requireUuid(c.json, QStringLiteral("client_msg_id"));
    const QJsonValue list = c.json.value(QStringLiteral("attachments"));
    if (!list.isArray() || list.toArray().isEmpty() || list.toArray().size() > 10)
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral(
                   "잘못된 요청입니다: \"attachments\"는 사진 1–10장의 배열이어야 합니다."));
    QList<ServiceAttachment> attachments;
    for (const QJsonValue &item : list.toArray()) {
        if (!item.isObject())
            refuse(400, QStringLiteral("invalid_request"),
                   QStringLiteral("잘못된 요청입니다: \"attachments\"의 항목은 객체여야 합니다."));
        const QJsonObject o = item.toObject();
        ServiceAttachment a;
        a.id = QUuid::createUuid();
        a.objectKey = requireString(o, QStringLiteral("object_key"));
        const qint64 width = requireInt(o, QStringLiteral("width"));
        const qint64 height = requireInt(o, QStringLiteral("height"));
        a.byteSize = requireInt(o, QStringLiteral("byte_size"));
        if (width < 1 || height < 1 || width > 100000 || height > 100000 || a.byteSize < 1)
            refuse(400, QStringLiteral("invalid_request"),
                   QStringLiteral("사진 크기가 올바르지 않습니다."));
        a.width = int(width);
        a.height = int(height);
        const auto upload = m_state.uploads.constFind(a.objectKey);
        if (upload == m_state.uploads.constEnd() || !upload->stored || upload->owner != c.me)
            refuse(400, QStringLiteral("unknown_object"),
                   QStringLiteral("올리지 않은 사진입니다."));
        attachments.append(a);
    }
    ServiceRoom &r = m_state.requireMemberRoom(segmentUuid(c, 2), c.me);
    if (const ServiceMessage *existing = m_state.findByClientId(r, c.me, clientId))
        return ApiReply::json(m_state.messageJson(*existing));
    m_state.checkCanWrite(r, c.me);
    ServiceMessage m;
    m.sender = c.me;
    m.clientMsgId = clientId;
    m.type = QStringLiteral("image");
    m.body = QStringLiteral("사진");
    m.attachments = attachments;
    return ApiReply::json(m_state.messageJson(m_state.append(r, m)));
}

ApiReply ServiceApi::hideMessage(ApiCall &c)
{
    ServiceRoom *r = nullptr;
    ServiceMessage *m = m_state.message(segmentUuid(c, 2), &r);
    if (!m || !r->member(c.me))
        refuse(404, QStringLiteral("message_not_found"),
               QStringLiteral("메시지를 찾을 수 없습니다."));
    m->hiddenFor.insert(c.me);
    return ApiReply::empty();
}

ApiReply ServiceApi::deleteMessage(ApiCall &c)
{
    ServiceRoom *r = nullptr;
    ServiceMessage *m = m_state.message(segmentUuid(c, 2), &r);
    if (!m || !r->member(c.me))
        refuse(404, QStringLiteral("message_not_found"),
               QStringLiteral("메시지를 찾을 수 없습니다."));
    if (m->sender != c.me || m->type == QLatin1String("system"))
        refuse(403, QStringLiteral("not_sender"),
               QStringLiteral("내가 보낸 메시지만 삭제할 수 있습니다."));
    m->type = QStringLiteral("deleted");
    m->origin = QStringLiteral("user");
    m->body.clear();
    m->attachments.clear();
    m_state.roomChanged(*r);
    return ApiReply::empty();
}

ApiReply ServiceApi::sync(ApiCall &c)
{
    const QString cursor = c.query.queryItemValue(QStringLiteral("after"), QUrl::FullyDecoded);
    QList<QPair<QUuid, qint64>> wanted;
    if (cursor.trimmed().isEmpty()) {
        for (const ServiceRoom *r : m_state.roomsOf(c.me, false))
            wanted.append({r->id, 0});
    } else {
        const QStringList entries = cursor.split(QLatin1Char(','));
        if (entries.size() > ServiceState::pageSize)
            refuse(400, QStringLiteral("invalid_cursor"),
                   QStringLiteral("한 번에 %1개 대화방까지 동기화할 수 있습니다.")
                       .arg(ServiceState::pageSize));
        for (const QString &entry : entries) {
            const QStringList parts = entry.split(QLatin1Char(':'));
            const auto id = parts.size() == 2 ? parseUuid(parts[0].trimmed()) : std::nullopt;
            const auto seq = parts.size() == 2 ? parseInt(parts[1].trimmed()) : std::nullopt;
            if (!id || !seq || *seq < 0)
                refuse(400, QStringLiteral("invalid_cursor"),
                       QStringLiteral("잘못된 요청입니다: 동기화 위치 \"%1\"을 읽을 수 없습니다.")
                           .arg(entry));
            wanted.append({*id, *seq});
        }
    }
    QJsonArray list;
    for (const auto &[id, seq] : wanted) {
        const ServiceRoom *r = m_state.room(id);
        if (r && r->member(c.me))
            list.append(m_state.syncRoomJson(*r, c.me, seq));
    }
    return ApiReply::json({{QStringLiteral("conversations"), list}});
}
