#include "service/ServiceState.h"

#include <algorithm>

ServiceMember *ServiceRoom::member(const QUuid &user)
{
    for (auto &m : members) {
        if (m.user == user)
            return &m;
    }
    return nullptr;
}

const ServiceMember *ServiceRoom::member(const QUuid &user) const
{
    for (const auto &m : members) {
        if (m.user == user)
            return &m;
    }
    return nullptr;
}

ServiceMember *ServiceRoom::activeMember(const QUuid &user)
{
    ServiceMember *m = member(user);
    return m && m->active() ? m : nullptr;
}

int ServiceRoom::activeCount() const
{
    return int(std::count_if(members.begin(), members.end(),
                             [](const ServiceMember &m) { return m.active(); }));
}

QList<QUuid> ServiceRoom::activeUsers() const
{
    QList<QUuid> out;
    for (const auto &m : members) {
        if (m.active())
            out.append(m.user);
    }
    return out;
}

ServiceRoom *ServiceState::room(const QUuid &id)
{
    auto it = rooms.find(id);
    return it == rooms.end() ? nullptr : &it.value();
}

ServiceRoom &ServiceState::requireMemberRoom(const QUuid &roomId, const QUuid &userId)
{
    ServiceRoom *r = room(roomId);
    if (!r || !r->activeMember(userId))
        refuse(404, QStringLiteral("conversation_not_found"),
               QStringLiteral("대화방을 찾을 수 없습니다."));
    return *r;
}

ServiceRoom *ServiceState::directRoom(const QUuid &a, const QUuid &b)
{
    for (auto &r : rooms) {
        if (r.type == QLatin1String("direct") && r.member(a) && r.member(b))
            return &r;
    }
    return nullptr;
}

ServiceRoom &ServiceState::openDirect(const QUuid &a, const QUuid &b)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (ServiceRoom *existing = directRoom(a, b)) {
        ServiceMember *mine = existing->member(a);
        if (!mine->active()) {
            mine->leftAt = QDateTime();
            mine->joinedAt = now;
            existing->updatedAt = now;
            roomChanged(*existing);
        }
        return *existing;
    }
    ServiceRoom r;
    r.id = QUuid::createUuid();
    r.type = QStringLiteral("direct");
    r.updatedAt = now;
    r.members.append({a, QStringLiteral("owner"), now, {}, 0, false, false});
    r.members.append({b, QStringLiteral("member"), now, {}, 0, false, false});
    const QUuid id = r.id;
    rooms.insert(id, r);
    roomChanged(rooms[id]);
    return rooms[id];
}

ServiceRoom &ServiceState::createGroup(const QUuid &owner, const QString &title,
                                       const QList<QUuid> &others)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    ServiceRoom r;
    r.id = QUuid::createUuid();
    r.type = QStringLiteral("group");
    r.title = title;
    r.updatedAt = now;
    r.members.append({owner, QStringLiteral("owner"), now, {}, 0, false, false});
    const QUuid id = r.id;
    rooms.insert(id, r);
    ServiceRoom &stored = rooms[id];
    for (const QUuid &u : others) {
        if (u == owner || stored.member(u))
            continue;
        stored.members.append({u, QStringLiteral("member"), now, {}, 0, false, false});
        const ServiceUser *added = user(u);
        appendSystem(stored, owner,
                     (added ? added->displayName : QString())
                         + QStringLiteral("님이 들어왔습니다."));
    }
    roomChanged(stored);
    return stored;
}

void ServiceState::addMembers(ServiceRoom &r, const QUuid &by, const QList<QUuid> &wanted)
{
    if (r.type != QLatin1String("group"))
        refuse(400, QStringLiteral("not_group"), QStringLiteral("그룹 대화방이 아닙니다."));
    const ServiceMember *inviter = r.activeMember(by);
    if (!inviter || inviter->role != QLatin1String("owner"))
        refuse(403, QStringLiteral("not_owner"), QStringLiteral("방장만 초대할 수 있습니다."));
    QList<QUuid> toAdd;
    for (const QUuid &u : wanted) {
        if (toAdd.contains(u) || r.activeMember(u))
            continue;
        const ServiceUser &target = requireUser(u);
        if (target.kind != QLatin1String("person") || u == by || !areFriends(by, u)
            || eitherBlocked(by, u))
            refuse(403, QStringLiteral("not_friends"),
                   QStringLiteral("친구만 초대할 수 있습니다."));
        toAdd.append(u);
    }
    if (r.activeCount() + toAdd.size() > maxRoomMembers)
        refuse(409, QStringLiteral("room_full"),
               QStringLiteral("대화방 인원은 최대 %1명입니다.").arg(maxRoomMembers));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QUuid &u : toAdd) {
        if (ServiceMember *old = r.member(u)) {
            old->leftAt = QDateTime();
            old->joinedAt = now;
            old->role = QStringLiteral("member");
        } else {
            r.members.append({u, QStringLiteral("member"), now, {}, 0, false, false});
        }
        appendSystem(r, by, user(u)->displayName + QStringLiteral("님이 들어왔습니다."));
    }
    if (!toAdd.isEmpty())
        roomChanged(r);
}

void ServiceState::removeMember(ServiceRoom &r, const QUuid &by, const QUuid &target)
{
    const ServiceMember *owner = r.activeMember(by);
    if (r.type != QLatin1String("group") || !owner || owner->role != QLatin1String("owner"))
        refuse(403, QStringLiteral("not_owner"), QStringLiteral("방장만 내보낼 수 있습니다."));
    if (target == by)
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("자신은 내보낼 수 없습니다."));
    ServiceMember *m = r.activeMember(target);
    if (!m)
        refuse(404, QStringLiteral("member_not_found"),
               QStringLiteral("대화 상대를 찾을 수 없습니다."));
    m->leftAt = QDateTime::currentDateTimeUtc();
    const ServiceUser *removed = user(target);
    appendSystem(
        r, by, (removed ? removed->displayName : QString()) + QStringLiteral("님을 내보냈습니다."));
    roomChanged(r, {target});
}

void ServiceState::leave(ServiceRoom &r, const QUuid &userId)
{
    ServiceMember *m = r.activeMember(userId);
    if (!m)
        return;
    const bool wasOwner = m->role == QLatin1String("owner");
    m->leftAt = QDateTime::currentDateTimeUtc();
    m->role = QStringLiteral("member");
    if (wasOwner) {
        ServiceMember *heir = nullptr;
        for (auto &other : r.members) {
            if (other.active() && (!heir || other.joinedAt < heir->joinedAt))
                heir = &other;
        }
        if (heir)
            heir->role = QStringLiteral("owner");
    }
    const ServiceUser *leaving = user(userId);
    appendSystem(r, userId,
                 (leaving ? leaving->displayName : QString()) + QStringLiteral("님이 나갔습니다."));
    roomChanged(r, {userId});
}

ServiceMessage &ServiceState::append(ServiceRoom &r, ServiceMessage m)
{
    if (m.id.isNull())
        m.id = QUuid::createUuid();
    m.room = r.id;
    m.seq = ++r.lastSeq;
    m.createdAt = QDateTime::currentDateTimeUtc();
    r.updatedAt = m.createdAt;
    r.messages.append(m);
    messageRooms.insert(m.id, r.id);
    // The sender has read what it wrote.
    if (ServiceMember *sender = r.activeMember(m.sender))
        sender->lastReadSeq = std::max(sender->lastReadSeq, m.seq);
    ServiceMessage &stored = r.messages.last();
    QList<QUuid> targets;
    for (const QUuid &u : r.activeUsers()) {
        // A message from someone the member blocked is kept but not delivered to them.
        if (m.type == QLatin1String("system") || !hasBlocked(u, m.sender))
            targets.append(u);
    }
    if (r.type == QLatin1String("direct")) {
        // A direct message reaches a peer who had left the room: it reopens for them.
        for (auto &member : r.members) {
            if (!member.active() && !hasBlocked(member.user, m.sender)) {
                member.leftAt = QDateTime();
                targets.append(member.user);
            }
        }
    }
    pushTo(targets,
           {{QStringLiteral("type"), QStringLiteral("message.created")},
            {QStringLiteral("message"), messageJson(stored)}});
    return stored;
}

ServiceMessage &ServiceState::appendSystem(ServiceRoom &r, const QUuid &sender, const QString &text)
{
    ServiceMessage m;
    m.sender = sender;
    m.type = QStringLiteral("system");
    m.origin = QStringLiteral("system");
    m.body = text;
    return append(r, m);
}

ServiceMessage *ServiceState::findByClientId(ServiceRoom &r, const QUuid &sender,
                                             const QUuid &clientId)
{
    if (clientId.isNull())
        return nullptr;
    for (auto &m : r.messages) {
        if (m.sender == sender && m.clientMsgId == clientId)
            return &m;
    }
    return nullptr;
}

ServiceMessage *ServiceState::message(const QUuid &id, ServiceRoom **outRoom)
{
    ServiceRoom *r = room(messageRooms.value(id));
    if (!r)
        return nullptr;
    for (auto &m : r->messages) {
        if (m.id == id) {
            if (outRoom)
                *outRoom = r;
            return &m;
        }
    }
    return nullptr;
}

void ServiceState::checkCanWrite(const ServiceRoom &r, const QUuid &sender)
{
    if (r.type != QLatin1String("direct"))
        return;
    for (const auto &m : r.members) {
        if (m.user == sender)
            continue;
        const ServiceUser *peer = user(m.user);
        if (!peer || peer->status != QLatin1String("active"))
            refuse(403, QStringLiteral("peer_gone"), QStringLiteral("대화 상대가 떠났습니다."));
        if (hasBlocked(sender, m.user))
            refuse(403, QStringLiteral("blocked"), QStringLiteral("차단한 사용자입니다."));
        if (!peer->acceptsUserMessages)
            refuse(403, QStringLiteral("inbox_closed"),
                   QStringLiteral("이 계정은 메시지를 받지 않습니다."));
    }
}

ServiceMessage &ServiceState::sendText(const QUuid &roomId, const QUuid &sender,
                                       const QUuid &clientId, const QString &body)
{
    ServiceRoom &r = requireMemberRoom(roomId, sender);
    if (ServiceMessage *existing = findByClientId(r, sender, clientId))
        return *existing;
    const QString text = body.trimmed();
    if (text.isEmpty())
        refuse(400, QStringLiteral("invalid_body"), QStringLiteral("메시지를 입력해 주세요."));
    if (charCount(text) > maxBodyChars)
        refuse(400, QStringLiteral("body_too_long"),
               QStringLiteral("메시지는 %1자까지 보낼 수 있습니다.").arg(maxBodyChars));
    checkCanWrite(r, sender);
    ServiceMessage m;
    m.sender = sender;
    m.clientMsgId = clientId;
    m.body = text;
    return append(r, m);
}

void ServiceState::markRead(const QUuid &roomId, const QUuid &userId, qint64 seq)
{
    ServiceRoom &r = requireMemberRoom(roomId, userId);
    if (seq < 0)
        refuse(400, QStringLiteral("invalid_seq"), QStringLiteral("잘못된 요청입니다."));
    ServiceMember *m = r.activeMember(userId);
    const qint64 mark = std::min(seq, r.lastSeq);
    if (mark <= m->lastReadSeq)
        return;
    m->lastReadSeq = mark;
    pushTo(r.activeUsers(),
           {{QStringLiteral("type"), QStringLiteral("read.updated")},
            {QStringLiteral("conversation_id"), idText(r.id)},
            {QStringLiteral("user_id"), idText(userId)},
            {QStringLiteral("seq"), mark}});
}

void ServiceState::typing(const QUuid &roomId, const QUuid &userId, bool active)
{
    ServiceRoom &r = requireMemberRoom(roomId, userId);
    pushTo(r.activeUsers(),
           {{QStringLiteral("type"), QStringLiteral("typing")},
            {QStringLiteral("conversation_id"), idText(r.id)},
            {QStringLiteral("user_id"), idText(userId)},
            {QStringLiteral("active"), active}},
           userId);
}

QList<const ServiceMessage *> ServiceState::visibleMessages(const ServiceRoom &r,
                                                            const QUuid &userId) const
{
    QList<const ServiceMessage *> out;
    const ServiceMember *m = r.member(userId);
    for (const auto &msg : r.messages) {
        if (msg.hiddenFor.contains(userId))
            continue;
        // A member who left sees nothing written after they left.
        if (m && !m->active() && msg.createdAt > m->leftAt)
            continue;
        // Messages of a user I blocked in a direct room are not shown to me.
        if (r.type == QLatin1String("direct") && msg.sender != userId
            && msg.type != QLatin1String("system") && hasBlocked(userId, msg.sender))
            continue;
        out.append(&msg);
    }
    return out;
}

QList<ServiceRoom *> ServiceState::roomsOf(const QUuid &userId, bool includeLeft)
{
    QList<ServiceRoom *> out;
    for (auto &r : rooms) {
        const ServiceMember *m = r.member(userId);
        if (m && (includeLeft || m->active()))
            out.append(&r);
    }
    std::sort(out.begin(), out.end(), [](const ServiceRoom *a, const ServiceRoom *b) {
        if (a->updatedAt != b->updatedAt)
            return a->updatedAt > b->updatedAt;
        return a->id < b->id;
    });
    return out;
}
