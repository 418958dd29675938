#include "api/WireTypes.h"
#include "api/ChatPath.h"

#include "api/WireJson.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimeZone>

std::optional<APIUser> APIUser::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIUser u;
    if (!o->uuid(QStringLiteral("id"), u.id) || !o->text(QStringLiteral("kind"), u.kind)
        || !o->text(QStringLiteral("handle"), u.handle)
        || !o->text(QStringLiteral("displayName"), u.displayName)
        || !o->text(QStringLiteral("avatarUrl"), u.avatarUrl)
        || !o->text(QStringLiteral("status"), u.status)
        || !o->uuid(QStringLiteral("officialAccountId"), u.officialAccountId))
        return std::nullopt;
    return u;
}

QJsonObject APIUser::toStoredJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("id"), wireId(id));
    o.insert(QStringLiteral("kind"), kind);
    if (handle)
        o.insert(QStringLiteral("handle"), *handle);
    if (displayName)
        o.insert(QStringLiteral("displayName"), *displayName);
    if (avatarUrl)
        o.insert(QStringLiteral("avatarUrl"), *avatarUrl);
    o.insert(QStringLiteral("status"), status);
    if (officialAccountId)
        o.insert(QStringLiteral("officialAccountId"), wireId(*officialAccountId));
    return o;
}

std::optional<APIUser> APIUser::fromStoredJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value, WireObject::Keys::asIs);
    if (!o)
        return std::nullopt;
    APIUser u;
    if (!o->uuid(QStringLiteral("id"), u.id) || !o->text(QStringLiteral("kind"), u.kind)
        || !o->text(QStringLiteral("handle"), u.handle)
        || !o->text(QStringLiteral("displayName"), u.displayName)
        || !o->text(QStringLiteral("avatarUrl"), u.avatarUrl)
        || !o->text(QStringLiteral("status"), u.status)
        || !o->uuid(QStringLiteral("officialAccountId"), u.officialAccountId))
        return std::nullopt;
    return u;
}

std::optional<APIAttachment> APIAttachment::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIAttachment a;
    if (!o->uuid(QStringLiteral("id"), a.id) || !o->integer(QStringLiteral("width"), a.width)
        || !o->integer(QStringLiteral("height"), a.height)
        || !o->integer(QStringLiteral("byteSize"), a.byteSize)
        || !o->text(QStringLiteral("url"), a.url))
        return std::nullopt;
    return a;
}

std::optional<APIMessage> APIMessage::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIMessage m;
    if (!o->uuid(QStringLiteral("id"), m.id)
        || !o->uuid(QStringLiteral("conversationId"), m.conversationId)
        || !o->integer(QStringLiteral("seq"), m.seq)
        || !o->uuid(QStringLiteral("senderId"), m.senderId)
        || !o->uuid(QStringLiteral("clientMsgId"), m.clientMsgId)
        || !o->text(QStringLiteral("type"), m.type) || !o->text(QStringLiteral("origin"), m.origin)
        || !o->text(QStringLiteral("body"), m.body)
        || !o->text(QStringLiteral("createdAt"), m.createdAt)
        || !o->array(QStringLiteral("attachments"), m.attachments))
        return std::nullopt;
    return m;
}

std::optional<APIMember> APIMember::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIMember m;
    std::optional<bool> accepts;
    if (!o->uuid(QStringLiteral("userId"), m.userId) || !o->text(QStringLiteral("role"), m.role)
        || !o->text(QStringLiteral("handle"), m.handle)
        || !o->text(QStringLiteral("displayName"), m.displayName)
        || !o->text(QStringLiteral("kind"), m.kind)
        || !o->text(QStringLiteral("avatarUrl"), m.avatarUrl)
        || !o->flag(QStringLiteral("acceptsUserMessages"), accepts)
        || !o->text(QStringLiteral("leftAt"), m.leftAt))
        return std::nullopt;
    m.acceptsUserMessages = accepts.value_or(true);
    return m;
}

std::optional<APIConversation> APIConversation::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIConversation c;
    if (!o->uuid(QStringLiteral("id"), c.id) || !o->text(QStringLiteral("type"), c.type)
        || !o->text(QStringLiteral("title"), c.title) || !o->flag(QStringLiteral("muted"), c.muted)
        || !o->flag(QStringLiteral("pinned"), c.pinned)
        || !o->integer(QStringLiteral("unreadCount"), c.unreadCount)
        || !o->object(QStringLiteral("lastMessage"), c.lastMessage)
        || !o->array(QStringLiteral("members"), c.members))
        return std::nullopt;
    return c;
}

std::optional<APIRead> APIRead::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIRead r;
    if (!o->uuid(QStringLiteral("userId"), r.userId)
        || !o->integer(QStringLiteral("lastReadSeq"), r.lastReadSeq))
        return std::nullopt;
    return r;
}

std::optional<APIFriendRequest> APIFriendRequest::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIFriendRequest r;
    if (!o->uuid(QStringLiteral("id"), r.id) || !o->object(QStringLiteral("user"), r.user))
        return std::nullopt;
    return r;
}

std::optional<APIFriendRequestList> APIFriendRequestList::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    APIFriendRequestList l;
    if (!o->array(QStringLiteral("incoming"), l.incoming)
        || !o->array(QStringLiteral("outgoing"), l.outgoing))
        return std::nullopt;
    return l;
}

std::optional<SyncMember> SyncMember::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    SyncMember m;
    std::optional<bool> accepts;
    if (!o->uuid(QStringLiteral("userId"), m.userId) || !o->text(QStringLiteral("role"), m.role)
        || !o->text(QStringLiteral("handle"), m.handle)
        || !o->text(QStringLiteral("displayName"), m.displayName)
        || !o->text(QStringLiteral("kind"), m.kind) || !o->text(QStringLiteral("leftAt"), m.leftAt)
        || !o->text(QStringLiteral("avatarUrl"), m.avatarUrl)
        || !o->flag(QStringLiteral("acceptsUserMessages"), accepts))
        return std::nullopt;
    m.acceptsUserMessages = accepts.value_or(true);
    return m;
}

std::optional<SyncRoom> SyncRoom::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    SyncRoom r;
    if (!o->uuid(QStringLiteral("id"), r.id) || !o->array(QStringLiteral("messages"), r.messages)
        || !o->flag(QStringLiteral("hasMore"), r.hasMore)
        || !o->array(QStringLiteral("reads"), r.reads)
        || !o->array(QStringLiteral("members"), r.members))
        return std::nullopt;
    return r;
}

std::optional<InviteOpenBody> InviteOpenBody::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    InviteOpenBody b;
    if (!o->text(QStringLiteral("result"), b.result)
        || !o->uuid(QStringLiteral("requestId"), b.requestId)
        || !o->uuid(QStringLiteral("conversationId"), b.conversationId)
        || !o->uuid(QStringLiteral("userId"), b.userId))
        return std::nullopt;
    return b;
}

std::optional<AuthPayload> AuthPayload::fromJson(const QJsonValue &value)
{
    const auto o = WireObject::from(value);
    if (!o)
        return std::nullopt;
    AuthPayload p;
    if (!o->text(QStringLiteral("accessToken"), p.accessToken)
        || !o->text(QStringLiteral("refreshToken"), p.refreshToken)
        || !o->integer(QStringLiteral("expiresIn"), p.expiresIn)
        || !o->object(QStringLiteral("user"), p.user))
        return std::nullopt;
    return p;
}

namespace {

QString isoSeconds(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'Z';
}

// An internet date-time without fraction: 2026-01-31T09:30:00Z or with a numeric offset.
std::optional<QDateTime> parseIsoSeconds(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    // An offset can carry a time of year 9999 or 0001 outside the years that isoSeconds()
    // writes; such a session could be read but never saved again.
    const QDateTime utc = time.toUTC();
    if (utc.date().year() < 1 || utc.date().year() > 9999)
        return std::nullopt;
    return utc;
}

} // namespace

QByteArray StoredSession::encode() const
{
    QJsonObject o;
    o.insert(QStringLiteral("accessToken"), accessToken);
    o.insert(QStringLiteral("refreshToken"), refreshToken);
    o.insert(QStringLiteral("expiresAt"), isoSeconds(expiresAt));
    o.insert(QStringLiteral("user"), user.toStoredJson());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<StoredSession> StoredSession::decode(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const auto o = WireObject::from(doc.object(), WireObject::Keys::asIs);
    if (!o)
        return std::nullopt;
    StoredSession s;
    QString expires;
    if (!o->text(QStringLiteral("accessToken"), s.accessToken)
        || !o->text(QStringLiteral("refreshToken"), s.refreshToken)
        || !o->text(QStringLiteral("expiresAt"), expires))
        return std::nullopt;
    const auto time = parseIsoSeconds(expires);
    if (!time)
        return std::nullopt;
    s.expiresAt = *time;
    const auto user = APIUser::fromStoredJson(o->value(QStringLiteral("user")));
    if (!user)
        return std::nullopt;
    s.user = *user;
    return s;
}
