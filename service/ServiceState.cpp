#include "service/ServiceState.h"

#include <QRandomGenerator>
#include <QTextBoundaryFinder>

#include <algorithm>

void refuse(int status, const QString &code, const QString &message)
{
    throw ServiceError{status, code, message};
}

namespace {
QPair<QUuid, QUuid> orderedPair(const QUuid &a, const QUuid &b)
{
    return a < b ? qMakePair(a, b) : qMakePair(b, a);
}
} // namespace

ServiceState::ServiceState()
{
    SeedUser house;
    house.handle = QStringLiteral("zumo");
    house.displayName = QStringLiteral("Zumo");
    house.kind = QStringLiteral("official");
    house.acceptsUserMessages = false;
    houseAccount = createUser(house);
    users[houseAccount].canBroadcast = true;
}

QString ServiceState::randomToken(int bytes) const
{
    QByteArray raw(bytes, Qt::Uninitialized);
    for (int i = 0; i < bytes; ++i)
        raw[i] = char(QRandomGenerator::global()->bounded(256));
    return QString::fromLatin1(
        raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString ServiceState::newInviteCode()
{
    // 16 random bytes give 22 characters of A-Z, a-z, 0-9, "-" and "_".
    return randomToken(16);
}

QUuid ServiceState::createUser(const SeedUser &seed)
{
    ServiceUser u;
    u.id = QUuid::createUuid();
    u.email = seed.email.trimmed().toLower();
    u.password = seed.password;
    u.kind = seed.kind == QLatin1String("official") ? QStringLiteral("official")
                                                    : QStringLiteral("person");
    u.handle = seed.handle.trimmed().toLower();
    u.displayName = seed.displayName;
    u.avatarUrl = seed.avatarUrl;
    u.acceptsUserMessages = seed.acceptsUserMessages;
    if (u.kind == QLatin1String("official"))
        u.officialAccountId = QUuid::createUuid();
    u.inviteCode = newInviteCode();
    users.insert(u.id, u);
    userOrder.append(u.id);
    return u.id;
}

ServiceUser *ServiceState::user(const QUuid &id)
{
    auto it = users.find(id);
    return it == users.end() ? nullptr : &it.value();
}

ServiceUser *ServiceState::userByEmail(const QString &email)
{
    const QString key = email.trimmed().toLower();
    if (key.isEmpty())
        return nullptr;
    for (auto &u : users) {
        if (u.status != QLatin1String("deleted") && u.email == key)
            return &u;
    }
    return nullptr;
}

ServiceUser *ServiceState::userByHandle(const QString &handle)
{
    QString key = handle.trimmed().toLower();
    if (key.startsWith(QLatin1Char('@')))
        key.remove(0, 1);
    if (key.isEmpty())
        return nullptr;
    for (auto &u : users) {
        if (u.status != QLatin1String("deleted") && u.handle == key)
            return &u;
    }
    return nullptr;
}

ServiceUser *ServiceState::userByOfficialId(const QUuid &officialId)
{
    for (auto &u : users) {
        if (!officialId.isNull() && u.officialAccountId == officialId
            && u.status != QLatin1String("deleted"))
            return &u;
    }
    return nullptr;
}

ServiceUser &ServiceState::requireUser(const QUuid &id)
{
    ServiceUser *u = user(id);
    if (!u || u->status == QLatin1String("deleted"))
        refuse(404, QStringLiteral("user_not_found"), QStringLiteral("사용자를 찾을 수 없습니다."));
    return *u;
}

IssuedTokens ServiceState::issue(const QUuid &userId)
{
    IssuedTokens t;
    t.accessToken = randomToken(24);
    t.refreshToken = randomToken(32);
    t.expiresIn = accessLifetime;
    accessTokens.insert(
        t.accessToken,
        {userId, QDateTime::currentDateTimeUtc().addSecs(accessLifetime), t.refreshToken});
    refreshTokens.insert(t.refreshToken, userId);
    return t;
}

std::optional<QUuid> ServiceState::authenticate(const QString &accessToken) const
{
    const auto it = accessTokens.constFind(accessToken);
    if (it == accessTokens.constEnd() || it->expires <= QDateTime::currentDateTimeUtc())
        return std::nullopt;
    const auto u = users.constFind(it->user);
    if (u == users.constEnd() || u->status != QLatin1String("active"))
        return std::nullopt;
    return it->user;
}

void ServiceState::revokeAccess(const QString &accessToken)
{
    const auto it = accessTokens.find(accessToken);
    if (it == accessTokens.end())
        return;
    refreshTokens.remove(it->refreshToken);
    accessTokens.erase(it);
}

void ServiceState::revokeAll(const QUuid &userId)
{
    for (auto it = accessTokens.begin(); it != accessTokens.end();) {
        if (it->user == userId)
            it = accessTokens.erase(it);
        else
            ++it;
    }
    for (auto it = refreshTokens.begin(); it != refreshTokens.end();) {
        if (it.value() == userId)
            it = refreshTokens.erase(it);
        else
            ++it;
    }
    if (userGone)
        userGone(userId);
}

QString ServiceState::sendCode(const QString &email, QHash<QString, PendingCode> &box,
                               const QString &password)
{
    const QString code = QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000000), 6,
                                                  10, QLatin1Char('0'));
    box.insert(email, {code, password, QDateTime::currentDateTimeUtc().addSecs(600)});
    lastCodes.insert(email, code);
    if (emailSent)
        emailSent(email, code);
    return code;
}

void ServiceState::deleteAccount(const QUuid &userId)
{
    ServiceUser *u = user(userId);
    if (!u)
        return;
    u->status = QStringLiteral("deleted");
    u->email.clear();
    u->handle.clear();
    friendRequests.erase(
        std::remove_if(friendRequests.begin(), friendRequests.end(),
                       [&](const FriendRequest &r) { return r.from == userId || r.to == userId; }),
        friendRequests.end());
    for (ServiceRoom *r : roomsOf(userId, false)) {
        if (r->type == QLatin1String("group"))
            leave(*r, userId);
        else
            roomChanged(*r);
    }
    revokeAll(userId);
}

bool ServiceState::areFriends(const QUuid &a, const QUuid &b) const
{
    return friendships.contains(orderedPair(a, b));
}

void ServiceState::makeFriends(const QUuid &a, const QUuid &b)
{
    if (a == b)
        return;
    friendships.insert(orderedPair(a, b));
    friendRequests.erase(std::remove_if(friendRequests.begin(), friendRequests.end(),
                                        [&](const FriendRequest &r) {
                                            return (r.from == a && r.to == b)
                                                || (r.from == b && r.to == a);
                                        }),
                         friendRequests.end());
    openDirect(a, b);
}

bool ServiceState::hasBlocked(const QUuid &blocker, const QUuid &blocked) const
{
    const auto it = blocks.constFind(blocker);
    if (it != blocks.constEnd() && it->contains(blocked))
        return true;
    const auto l = officialLinks.constFind(qMakePair(blocker, blocked));
    return l != officialLinks.constEnd() && l->blocked;
}

bool ServiceState::eitherBlocked(const QUuid &a, const QUuid &b) const
{
    return hasBlocked(a, b) || hasBlocked(b, a);
}

FriendRequest *ServiceState::pendingRequest(const QUuid &from, const QUuid &to)
{
    for (auto &r : friendRequests) {
        if (r.from == from && r.to == to)
            return &r;
    }
    return nullptr;
}

FriendRequest &ServiceState::addFriendRequest(const QUuid &from, const QUuid &to)
{
    if (FriendRequest *existing = pendingRequest(from, to))
        return *existing;
    friendRequests.append({QUuid::createUuid(), from, to});
    pushTo({to}, {{QStringLiteral("type"), QStringLiteral("friend.requested")}});
    return friendRequests.last();
}

QUuid ServiceState::acceptRequest(const QUuid &requestId, const QUuid &by)
{
    const auto it = std::find_if(friendRequests.begin(), friendRequests.end(),
                                 [&](const FriendRequest &r) { return r.id == requestId; });
    if (it == friendRequests.end() || it->to != by)
        refuse(404, QStringLiteral("request_not_found"),
               QStringLiteral("요청을 찾을 수 없습니다."));
    const QUuid from = it->from;
    friendRequests.erase(it);
    requireUser(from);
    if (eitherBlocked(from, by))
        refuse(403, QStringLiteral("blocked"), QStringLiteral("차단된 사용자입니다."));
    makeFriends(from, by);
    return directRoom(from, by)->id;
}

OfficialLink &ServiceState::link(const QUuid &userId, const QUuid &officialUser)
{
    return officialLinks[qMakePair(userId, officialUser)];
}

QUuid ServiceState::follow(const QUuid &userId, const QUuid &officialUser)
{
    OfficialLink &l = link(userId, officialUser);
    l.following = true;
    l.blocked = false;
    return openDirect(userId, officialUser).id;
}

int ServiceState::broadcast(const QUuid &officialUser, const QString &body)
{
    int delivered = 0;
    const QList<QPair<QUuid, QUuid>> keys = officialLinks.keys();
    for (const auto &key : keys) {
        if (key.second != officialUser)
            continue;
        const OfficialLink l = officialLinks.value(key);
        const ServiceUser *follower = user(key.first);
        if (!l.following || l.broadcastOptOut || l.blocked || !follower
            || follower->status != QLatin1String("active"))
            continue;
        ServiceRoom &r = openDirect(key.first, officialUser);
        ServiceMessage m;
        m.sender = officialUser;
        m.origin = QStringLiteral("broadcast");
        m.body = body;
        append(r, m);
        ++delivered;
    }
    return delivered;
}

void ServiceState::pushTo(const QList<QUuid> &targets, const QJsonObject &frame,
                          const QUuid &except)
{
    if (!pushToUser)
        return;
    QSet<QUuid> done;
    for (const QUuid &u : targets) {
        if (u == except || done.contains(u))
            continue;
        done.insert(u);
        pushToUser(u, frame);
    }
}

void ServiceState::roomChanged(const ServiceRoom &r, const QList<QUuid> &extra)
{
    pushTo(r.activeUsers() + extra,
           {{QStringLiteral("type"), QStringLiteral("conversation.changed")},
            {QStringLiteral("conversation_id"), idText(r.id)}});
}

QString ServiceState::idText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString ServiceState::timeText(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

int ServiceState::charCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QString ServiceState::fileUrl(const QString &objectKey) const
{
    return baseUrl.toString() + QStringLiteral("/v1/files/") + objectKey;
}
