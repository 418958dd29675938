#include "service/ServiceState.h"

// The state as the data file keeps it. Its own shape, not the wire's: every field the service
// holds, times in UTC with milliseconds, uploads' bytes in Base64.

namespace {
constexpr int formatVersion = 1;

QString text(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces);
}

QUuid uuid(const QJsonValue &v)
{
    return QUuid::fromString(v.toString());
}

QJsonValue text(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(t.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QDateTime moment(const QJsonValue &v)
{
    return QDateTime::fromString(v.toString(), Qt::ISODateWithMs); // invalid when absent
}

template<typename Ids>
QJsonArray idList(const Ids &ids)
{
    QJsonArray out;
    for (const QUuid &id : ids)
        out.append(text(id));
    return out;
}

QList<QUuid> uuids(const QJsonValue &v)
{
    QList<QUuid> out;
    for (const QJsonValue &id : v.toArray())
        out.append(uuid(id));
    return out;
}

QJsonObject codes(const QHash<QString, PendingCode> &box)
{
    QJsonObject out;
    for (auto it = box.cbegin(); it != box.cend(); ++it)
        out.insert(it.key(),
                   QJsonObject{{QStringLiteral("code"), it->code},
                               {QStringLiteral("password"), it->password},
                               {QStringLiteral("expires"), text(it->expires)}});
    return out;
}

QHash<QString, PendingCode> codes(const QJsonValue &v)
{
    QHash<QString, PendingCode> out;
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QJsonObject c = it->toObject();
        out.insert(it.key(),
                   {c.value(QStringLiteral("code")).toString(),
                    c.value(QStringLiteral("password")).toString(),
                    moment(c.value(QStringLiteral("expires")))});
    }
    return out;
}

QJsonObject userObject(const ServiceUser &u)
{
    return {{QStringLiteral("id"), text(u.id)},
            {QStringLiteral("email"), u.email},
            {QStringLiteral("password"), u.password},
            {QStringLiteral("kind"), u.kind},
            {QStringLiteral("handle"), u.handle},
            {QStringLiteral("display_name"), u.displayName},
            {QStringLiteral("avatar_url"), u.avatarUrl},
            {QStringLiteral("status"), u.status},
            {QStringLiteral("official_account_id"), text(u.officialAccountId)},
            {QStringLiteral("handle_changed"), u.handleChanged},
            {QStringLiteral("accepts_user_messages"), u.acceptsUserMessages},
            {QStringLiteral("can_broadcast"), u.canBroadcast},
            {QStringLiteral("invite_code"), u.inviteCode},
            {QStringLiteral("device"), u.device}};
}

ServiceUser userFrom(const QJsonObject &o)
{
    ServiceUser u;
    u.id = uuid(o.value(QStringLiteral("id")));
    u.email = o.value(QStringLiteral("email")).toString();
    u.password = o.value(QStringLiteral("password")).toString();
    u.kind = o.value(QStringLiteral("kind")).toString(u.kind);
    u.handle = o.value(QStringLiteral("handle")).toString();
    u.displayName = o.value(QStringLiteral("display_name")).toString();
    u.avatarUrl = o.value(QStringLiteral("avatar_url")).toString();
    u.status = o.value(QStringLiteral("status")).toString(u.status);
    u.officialAccountId = uuid(o.value(QStringLiteral("official_account_id")));
    u.handleChanged = o.value(QStringLiteral("handle_changed")).toBool();
    u.acceptsUserMessages = o.value(QStringLiteral("accepts_user_messages")).toBool(true);
    u.canBroadcast = o.value(QStringLiteral("can_broadcast")).toBool();
    u.inviteCode = o.value(QStringLiteral("invite_code")).toString();
    u.device = o.value(QStringLiteral("device")).toObject();
    return u;
}

QJsonObject messageObject(const ServiceMessage &m)
{
    QJsonArray attachments;
    for (const ServiceAttachment &a : m.attachments)
        attachments.append(QJsonObject{{QStringLiteral("id"), text(a.id)},
                                       {QStringLiteral("width"), a.width},
                                       {QStringLiteral("height"), a.height},
                                       {QStringLiteral("byte_size"), a.byteSize},
                                       {QStringLiteral("object_key"), a.objectKey}});
    return {{QStringLiteral("id"), text(m.id)},
            {QStringLiteral("seq"), m.seq},
            {QStringLiteral("sender"), text(m.sender)},
            {QStringLiteral("client_msg_id"), text(m.clientMsgId)},
            {QStringLiteral("type"), m.type},
            {QStringLiteral("origin"), m.origin},
            {QStringLiteral("body"), m.body},
            {QStringLiteral("created_at"), text(m.createdAt)},
            {QStringLiteral("attachments"), attachments},
            {QStringLiteral("hidden_for"), idList(m.hiddenFor)}};
}

ServiceMessage messageFrom(const QJsonObject &o, const QUuid &room)
{
    ServiceMessage m;
    m.id = uuid(o.value(QStringLiteral("id")));
    m.room = room;
    m.seq = o.value(QStringLiteral("seq")).toInteger();
    m.sender = uuid(o.value(QStringLiteral("sender")));
    m.clientMsgId = uuid(o.value(QStringLiteral("client_msg_id")));
    m.type = o.value(QStringLiteral("type")).toString(m.type);
    m.origin = o.value(QStringLiteral("origin")).toString(m.origin);
    m.body = o.value(QStringLiteral("body")).toString();
    m.createdAt = moment(o.value(QStringLiteral("created_at")));
    for (const QJsonValue &v : o.value(QStringLiteral("attachments")).toArray()) {
        const QJsonObject a = v.toObject();
        m.attachments.append({uuid(a.value(QStringLiteral("id"))),
                              a.value(QStringLiteral("width")).toInt(1),
                              a.value(QStringLiteral("height")).toInt(1),
                              a.value(QStringLiteral("byte_size")).toInteger(),
                              a.value(QStringLiteral("object_key")).toString()});
    }
    for (const QUuid &id : uuids(o.value(QStringLiteral("hidden_for"))))
        m.hiddenFor.insert(id);
    return m;
}

QJsonObject roomObject(const ServiceRoom &r)
{
    QJsonArray members;
    for (const ServiceMember &m : r.members)
        members.append(QJsonObject{{QStringLiteral("user"), text(m.user)},
                                   {QStringLiteral("role"), m.role},
                                   {QStringLiteral("joined_at"), text(m.joinedAt)},
                                   {QStringLiteral("left_at"), text(m.leftAt)},
                                   {QStringLiteral("last_read_seq"), m.lastReadSeq},
                                   {QStringLiteral("muted"), m.muted},
                                   {QStringLiteral("pinned"), m.pinned}});
    QJsonArray messages;
    for (const ServiceMessage &m : r.messages)
        messages.append(messageObject(m));
    return {
        {QStringLiteral("id"), text(r.id)},      {QStringLiteral("type"), r.type},
        {QStringLiteral("title"), r.title},      {QStringLiteral("updated_at"), text(r.updatedAt)},
        {QStringLiteral("last_seq"), r.lastSeq}, {QStringLiteral("members"), members},
        {QStringLiteral("messages"), messages}};
}

ServiceRoom roomFrom(const QJsonObject &o)
{
    ServiceRoom r;
    r.id = uuid(o.value(QStringLiteral("id")));
    r.type = o.value(QStringLiteral("type")).toString();
    r.title = o.value(QStringLiteral("title")).toString();
    r.updatedAt = moment(o.value(QStringLiteral("updated_at")));
    r.lastSeq = o.value(QStringLiteral("last_seq")).toInteger();
    for (const QJsonValue &v : o.value(QStringLiteral("members")).toArray()) {
        const QJsonObject m = v.toObject();
        r.members.append({uuid(m.value(QStringLiteral("user"))),
                          m.value(QStringLiteral("role")).toString(QStringLiteral("member")),
                          moment(m.value(QStringLiteral("joined_at"))),
                          moment(m.value(QStringLiteral("left_at"))),
                          m.value(QStringLiteral("last_read_seq")).toInteger(),
                          m.value(QStringLiteral("muted")).toBool(),
                          m.value(QStringLiteral("pinned")).toBool()});
    }
    for (const QJsonValue &v : o.value(QStringLiteral("messages")).toArray())
        r.messages.append(messageFrom(v.toObject(), r.id));
    return r;
}
} // namespace

QJsonObject ServiceState::saved() const
{
    QJsonArray userList;
    for (const QUuid &id : userOrder)
        userList.append(userObject(users.value(id)));

    QJsonArray access;
    for (auto it = accessTokens.cbegin(); it != accessTokens.cend(); ++it)
        access.append(QJsonObject{{QStringLiteral("token"), it.key()},
                                  {QStringLiteral("user"), text(it->user)},
                                  {QStringLiteral("expires"), text(it->expires)},
                                  {QStringLiteral("refresh_token"), it->refreshToken}});
    QJsonObject refresh;
    for (auto it = refreshTokens.cbegin(); it != refreshTokens.cend(); ++it)
        refresh.insert(it.key(), text(it.value()));

    QJsonObject sent;
    for (auto it = lastCodes.cbegin(); it != lastCodes.cend(); ++it)
        sent.insert(it.key(), it.value());

    QJsonArray requests;
    for (const FriendRequest &r : friendRequests)
        requests.append(QJsonObject{{QStringLiteral("id"), text(r.id)},
                                    {QStringLiteral("from"), text(r.from)},
                                    {QStringLiteral("to"), text(r.to)}});
    QJsonArray friends;
    for (const auto &pair : friendships)
        friends.append(QJsonArray{text(pair.first), text(pair.second)});
    QJsonArray blockList;
    for (auto it = blocks.cbegin(); it != blocks.cend(); ++it)
        blockList.append(QJsonObject{{QStringLiteral("user"), text(it.key())},
                                     {QStringLiteral("blocked"), idList(it.value())}});
    QJsonArray links;
    for (auto it = officialLinks.cbegin(); it != officialLinks.cend(); ++it)
        links.append(QJsonObject{{QStringLiteral("user"), text(it.key().first)},
                                 {QStringLiteral("official"), text(it.key().second)},
                                 {QStringLiteral("following"), it->following},
                                 {QStringLiteral("broadcast_opt_out"), it->broadcastOptOut},
                                 {QStringLiteral("blocked"), it->blocked}});

    QJsonArray roomList;
    for (const ServiceRoom &r : rooms)
        roomList.append(roomObject(r));

    QJsonArray uploadList;
    for (auto it = uploads.cbegin(); it != uploads.cend(); ++it)
        uploadList.append(
            QJsonObject{{QStringLiteral("object_key"), it.key()},
                        {QStringLiteral("owner"), text(it->owner)},
                        {QStringLiteral("byte_size"), it->byteSize},
                        {QStringLiteral("kind"), it->kind},
                        {QStringLiteral("stored"), it->stored},
                        {QStringLiteral("bytes"), QString::fromLatin1(it->bytes.toBase64())}});

    QJsonArray reportList;
    for (const QJsonObject &r : reports)
        reportList.append(r);

    return {{QStringLiteral("format"), formatVersion},
            {QStringLiteral("house_account"), text(houseAccount)},
            {QStringLiteral("users"), userList},
            {QStringLiteral("access_tokens"), access},
            {QStringLiteral("refresh_tokens"), refresh},
            {QStringLiteral("registrations"), codes(registrations)},
            {QStringLiteral("reset_codes"), codes(resetCodes)},
            {QStringLiteral("codes_sent"), sent},
            {QStringLiteral("friend_requests"), requests},
            {QStringLiteral("friendships"), friends},
            {QStringLiteral("blocks"), blockList},
            {QStringLiteral("official_links"), links},
            {QStringLiteral("rooms"), roomList},
            {QStringLiteral("uploads"), uploadList},
            {QStringLiteral("reports"), reportList}};
}

bool ServiceState::restore(const QJsonObject &document, QString *problem)
{
    if (document.value(QStringLiteral("format")).toInt() != formatVersion) {
        *problem = QStringLiteral("not a zumo-service data file of format %1").arg(formatVersion);
        return false;
    }
    QMap<QUuid, ServiceUser> newUsers;
    QList<QUuid> newOrder;
    for (const QJsonValue &v : document.value(QStringLiteral("users")).toArray()) {
        const ServiceUser u = userFrom(v.toObject());
        if (u.id.isNull() || newUsers.contains(u.id)) {
            *problem = QStringLiteral("an account without an id of its own");
            return false;
        }
        newUsers.insert(u.id, u);
        newOrder.append(u.id);
    }
    const QUuid house = uuid(document.value(QStringLiteral("house_account")));
    if (!newUsers.contains(house)) {
        *problem = QStringLiteral("no announcement account");
        return false;
    }

    QHash<QString, AccessGrant> access;
    for (const QJsonValue &v : document.value(QStringLiteral("access_tokens")).toArray()) {
        const QJsonObject o = v.toObject();
        access.insert(o.value(QStringLiteral("token")).toString(),
                      {uuid(o.value(QStringLiteral("user"))),
                       moment(o.value(QStringLiteral("expires"))),
                       o.value(QStringLiteral("refresh_token")).toString()});
    }
    QHash<QString, QUuid> refresh;
    const QJsonObject refreshObject = document.value(QStringLiteral("refresh_tokens")).toObject();
    for (auto it = refreshObject.begin(); it != refreshObject.end(); ++it)
        refresh.insert(it.key(), uuid(*it));
    QHash<QString, QString> sent;
    const QJsonObject sentObject = document.value(QStringLiteral("codes_sent")).toObject();
    for (auto it = sentObject.begin(); it != sentObject.end(); ++it)
        sent.insert(it.key(), it->toString());

    QList<FriendRequest> requests;
    for (const QJsonValue &v : document.value(QStringLiteral("friend_requests")).toArray()) {
        const QJsonObject o = v.toObject();
        requests.append({uuid(o.value(QStringLiteral("id"))), uuid(o.value(QStringLiteral("from"))),
                         uuid(o.value(QStringLiteral("to")))});
    }
    QSet<QPair<QUuid, QUuid>> friends;
    for (const QJsonValue &v : document.value(QStringLiteral("friendships")).toArray()) {
        const QJsonArray pair = v.toArray();
        friends.insert(qMakePair(uuid(pair.at(0)), uuid(pair.at(1))));
    }
    QHash<QUuid, QList<QUuid>> blockMap;
    for (const QJsonValue &v : document.value(QStringLiteral("blocks")).toArray()) {
        const QJsonObject o = v.toObject();
        blockMap.insert(uuid(o.value(QStringLiteral("user"))),
                        uuids(o.value(QStringLiteral("blocked"))));
    }
    QHash<QPair<QUuid, QUuid>, OfficialLink> links;
    for (const QJsonValue &v : document.value(QStringLiteral("official_links")).toArray()) {
        const QJsonObject o = v.toObject();
        links.insert(qMakePair(uuid(o.value(QStringLiteral("user"))),
                               uuid(o.value(QStringLiteral("official")))),
                     {o.value(QStringLiteral("following")).toBool(),
                      o.value(QStringLiteral("broadcast_opt_out")).toBool(),
                      o.value(QStringLiteral("blocked")).toBool()});
    }

    QMap<QUuid, ServiceRoom> roomMap;
    QHash<QUuid, QUuid> roomOfMessage;
    for (const QJsonValue &v : document.value(QStringLiteral("rooms")).toArray()) {
        const ServiceRoom r = roomFrom(v.toObject());
        if (r.id.isNull() || roomMap.contains(r.id)) {
            *problem = QStringLiteral("a room without an id of its own");
            return false;
        }
        for (const ServiceMessage &m : r.messages)
            roomOfMessage.insert(m.id, r.id);
        roomMap.insert(r.id, r);
    }

    QHash<QString, StoredUpload> uploadMap;
    for (const QJsonValue &v : document.value(QStringLiteral("uploads")).toArray()) {
        const QJsonObject o = v.toObject();
        StoredUpload upload;
        upload.owner = uuid(o.value(QStringLiteral("owner")));
        upload.byteSize = o.value(QStringLiteral("byte_size")).toInteger();
        upload.kind = o.value(QStringLiteral("kind")).toString();
        upload.stored = o.value(QStringLiteral("stored")).toBool();
        upload.bytes
            = QByteArray::fromBase64(o.value(QStringLiteral("bytes")).toString().toLatin1());
        uploadMap.insert(o.value(QStringLiteral("object_key")).toString(), upload);
    }
    QList<QJsonObject> reportList;
    for (const QJsonValue &v : document.value(QStringLiteral("reports")).toArray())
        reportList.append(v.toObject());

    users = newUsers;
    userOrder = newOrder;
    houseAccount = house;
    accessTokens = access;
    refreshTokens = refresh;
    registrations = codes(document.value(QStringLiteral("registrations")));
    resetCodes = codes(document.value(QStringLiteral("reset_codes")));
    lastCodes = sent;
    friendRequests = requests;
    friendships = friends;
    blocks = blockMap;
    officialLinks = links;
    rooms = roomMap;
    messageRooms = roomOfMessage;
    uploads = uploadMap;
    reports = reportList;
    return true;
}
