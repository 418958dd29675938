#include "service/ServiceState.h"

#include <algorithm>

// The JSON shapes of the wire: snake_case keys, upper-case UUID text, optional members left
// out when empty.

QJsonObject ServiceState::userJson(const ServiceUser &u) const
{
    QJsonObject o{{QStringLiteral("id"), idText(u.id)},
                  {QStringLiteral("kind"), u.kind},
                  {QStringLiteral("status"), u.status}};
    if (!u.handle.isEmpty())
        o.insert(QStringLiteral("handle"), u.handle);
    if (!u.displayName.isEmpty())
        o.insert(QStringLiteral("display_name"), u.displayName);
    if (!u.avatarUrl.isEmpty())
        o.insert(QStringLiteral("avatar_url"), u.avatarUrl);
    if (!u.officialAccountId.isNull())
        o.insert(QStringLiteral("official_account_id"), idText(u.officialAccountId));
    return o;
}

QJsonObject ServiceState::messageJson(const ServiceMessage &m) const
{
    QJsonObject o{{QStringLiteral("id"), idText(m.id)},
                  {QStringLiteral("conversation_id"), idText(m.room)},
                  {QStringLiteral("seq"), m.seq},
                  {QStringLiteral("sender_id"), idText(m.sender)},
                  {QStringLiteral("type"), m.type},
                  {QStringLiteral("origin"), m.origin},
                  {QStringLiteral("created_at"), timeText(m.createdAt)}};
    if (!m.clientMsgId.isNull())
        o.insert(QStringLiteral("client_msg_id"), idText(m.clientMsgId));
    if (m.type != QLatin1String("deleted")) {
        if (!m.body.isEmpty())
            o.insert(QStringLiteral("body"), m.body);
        if (!m.attachments.isEmpty()) {
            QJsonArray list;
            for (const auto &a : m.attachments) {
                list.append(QJsonObject{{QStringLiteral("id"), idText(a.id)},
                                        {QStringLiteral("width"), a.width},
                                        {QStringLiteral("height"), a.height},
                                        {QStringLiteral("byte_size"), a.byteSize},
                                        {QStringLiteral("url"), fileUrl(a.objectKey)}});
            }
            o.insert(QStringLiteral("attachments"), list);
        }
    }
    return o;
}

QJsonObject ServiceState::memberJson(const ServiceMember &m, bool syncForm) const
{
    const auto u = users.constFind(m.user);
    QJsonObject o{{QStringLiteral("user_id"), idText(m.user)}, {QStringLiteral("role"), m.role}};
    if (u != users.constEnd()) {
        o.insert(QStringLiteral("kind"), u->kind);
        if (!u->handle.isEmpty())
            o.insert(QStringLiteral("handle"), u->handle);
        if (!u->displayName.isEmpty())
            o.insert(QStringLiteral("display_name"), u->displayName);
        if (!u->avatarUrl.isEmpty())
            o.insert(QStringLiteral("avatar_url"), u->avatarUrl);
        o.insert(QStringLiteral("accepts_user_messages"), u->acceptsUserMessages);
    } else if (!syncForm) {
        o.insert(QStringLiteral("kind"), QStringLiteral("person"));
    }
    if (!m.active())
        o.insert(QStringLiteral("left_at"), timeText(m.leftAt));
    return o;
}

QJsonObject ServiceState::conversationJson(const ServiceRoom &r, const QUuid &forUser) const
{
    const ServiceMember *me = r.member(forUser);
    const QList<const ServiceMessage *> visible = visibleMessages(r, forUser);
    int unread = 0;
    for (const ServiceMessage *m : visible) {
        if (me && m->seq > me->lastReadSeq && m->sender != forUser
            && m->type != QLatin1String("system") && m->type != QLatin1String("deleted"))
            ++unread;
    }
    QJsonArray members;
    for (const auto &m : r.members)
        members.append(memberJson(m, false));
    QJsonObject o{
        {QStringLiteral("id"), idText(r.id)},       {QStringLiteral("type"), r.type},
        {QStringLiteral("muted"), me && me->muted}, {QStringLiteral("pinned"), me && me->pinned},
        {QStringLiteral("unread_count"), unread},   {QStringLiteral("members"), members}};
    if (!r.title.isEmpty())
        o.insert(QStringLiteral("title"), r.title);
    if (!visible.isEmpty())
        o.insert(QStringLiteral("last_message"), messageJson(*visible.last()));
    return o;
}

QJsonObject ServiceState::syncRoomJson(const ServiceRoom &r, const QUuid &forUser,
                                       qint64 afterSeq) const
{
    QList<const ServiceMessage *> newer;
    for (const ServiceMessage *m : visibleMessages(r, forUser)) {
        if (m->seq > afterSeq)
            newer.append(m);
    }
    // The page holds the newest messages after the cursor; has_more says older ones exist.
    const bool hasMore = newer.size() > pageSize;
    if (hasMore)
        newer = newer.mid(newer.size() - pageSize);
    QJsonArray messages;
    for (const ServiceMessage *m : newer)
        messages.append(messageJson(*m));
    QJsonArray reads;
    QJsonArray members;
    for (const auto &m : r.members) {
        members.append(memberJson(m, true));
        if (m.active())
            reads.append(QJsonObject{{QStringLiteral("user_id"), idText(m.user)},
                                     {QStringLiteral("last_read_seq"), m.lastReadSeq}});
    }
    return {{QStringLiteral("id"), idText(r.id)},
            {QStringLiteral("messages"), messages},
            {QStringLiteral("has_more"), hasMore},
            {QStringLiteral("reads"), reads},
            {QStringLiteral("members"), members}};
}

QJsonObject ServiceState::authPayload(const QUuid &userId, const IssuedTokens &tokens) const
{
    return {{QStringLiteral("access_token"), tokens.accessToken},
            {QStringLiteral("refresh_token"), tokens.refreshToken},
            {QStringLiteral("expires_in"), tokens.expiresIn},
            {QStringLiteral("user"), userJson(users.value(userId))}};
}
