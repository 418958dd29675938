#pragma once

#include "service/StandInService.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <optional>

// A refusal of the service: becomes an HTTP status with the body {"code","message"}.
struct ServiceError
{
    int status;
    QString code;
    QString message;
};

[[noreturn]] void refuse(int status, const QString &code, const QString &message);

struct ServiceUser
{
    QUuid id;
    QString email;
    QString password;
    QString kind = QStringLiteral("person");
    QString handle;
    QString displayName;
    QString avatarUrl;
    QString status = QStringLiteral("active");
    QUuid officialAccountId; // set for official accounts only
    bool handleChanged = false;
    bool acceptsUserMessages = true;
    bool canBroadcast = false;
    QString inviteCode;
    QJsonObject device; // last saved device settings
};

struct ServiceMember
{
    QUuid user;
    QString role = QStringLiteral("member");
    QDateTime joinedAt;
    QDateTime leftAt; // invalid while active
    qint64 lastReadSeq = 0;
    bool muted = false;
    bool pinned = false;
    bool active() const { return !leftAt.isValid(); }
};

struct ServiceAttachment
{
    QUuid id;
    int width = 1;
    int height = 1;
    qint64 byteSize = 0;
    QString objectKey;
};

struct ServiceMessage
{
    QUuid id;
    QUuid room;
    qint64 seq = 0;
    QUuid sender;
    QUuid clientMsgId; // null when the message has none
    QString type = QStringLiteral("text");
    QString origin = QStringLiteral("user");
    QString body;
    QDateTime createdAt;
    QList<ServiceAttachment> attachments;
    QSet<QUuid> hiddenFor;
};

struct ServiceRoom
{
    QUuid id;
    QString type; // "direct" or "group"
    QString title;
    QList<ServiceMember> members;
    QList<ServiceMessage> messages; // ascending seq
    QDateTime updatedAt;
    qint64 lastSeq = 0;

    ServiceMember *member(const QUuid &user);
    const ServiceMember *member(const QUuid &user) const;
    ServiceMember *activeMember(const QUuid &user);
    int activeCount() const;
    QList<QUuid> activeUsers() const;
};

struct FriendRequest
{
    QUuid id;
    QUuid from;
    QUuid to;
};

struct OfficialLink
{
    bool following = false;
    bool broadcastOptOut = false;
    bool blocked = false;
};

struct PendingCode
{
    QString code;
    QString password; // for registrations
    QDateTime expires;
};

struct StoredUpload
{
    QUuid owner;
    qint64 byteSize = 0;
    QString kind;
    QByteArray bytes;
    bool stored = false;
};

struct AccessGrant
{
    QUuid user;
    QDateTime expires;
    QString refreshToken;
};

// The whole service in memory, with the rules that the routes and the socket share.
class ServiceState
{
public:
    static constexpr int pageSize = 50;
    static constexpr int maxRoomMembers = 20;
    static constexpr int maxBodyChars = 4000;
    static constexpr int maxTitleChars = 40;
    static constexpr int maxNameChars = 20;

    ServiceState();

    // Wiring: how frames reach connected users, and where e-mail codes go.
    std::function<void(const QUuid &user, const QJsonObject &frame)> pushToUser;
    std::function<void(const QString &email, const QString &code)> emailSent;
    std::function<void(const QUuid &user)> userGone; // tokens revoked, sockets to close
    std::function<void()> changed; // after a request, frame or seeding that may have changed data
    QUrl baseUrl;
    qint64 accessLifetime = 3600;
    qint64 maxUploadBytes = 10 * 1024 * 1024;

    // Accounts and sessions.
    QUuid createUser(const SeedUser &seed);
    ServiceUser *user(const QUuid &id);
    ServiceUser *userByEmail(const QString &email);
    ServiceUser *userByHandle(const QString &handle);
    ServiceUser *userByOfficialId(const QUuid &officialId);
    ServiceUser &requireUser(const QUuid &id); // 404 unless known and not deleted
    IssuedTokens issue(const QUuid &user);
    std::optional<QUuid> authenticate(const QString &accessToken) const;
    void revokeAll(const QUuid &user);
    void revokeAccess(const QString &accessToken);
    QString sendCode(const QString &email, QHash<QString, PendingCode> &box,
                     const QString &password);
    QString newInviteCode();
    void deleteAccount(const QUuid &user);

    // Relations.
    bool areFriends(const QUuid &a, const QUuid &b) const;
    void makeFriends(const QUuid &a, const QUuid &b);
    bool hasBlocked(const QUuid &blocker, const QUuid &blocked) const;
    bool eitherBlocked(const QUuid &a, const QUuid &b) const;
    FriendRequest *pendingRequest(const QUuid &from, const QUuid &to);
    FriendRequest &addFriendRequest(const QUuid &from, const QUuid &to);
    QUuid acceptRequest(const QUuid &requestId, const QUuid &by); // returns the direct room
    OfficialLink &link(const QUuid &user, const QUuid &officialUser);
    QUuid follow(const QUuid &user, const QUuid &officialUser); // returns the direct room
    int broadcast(const QUuid &officialUser, const QString &body);

    // Rooms and messages.
    ServiceRoom *room(const QUuid &id);
    ServiceRoom &requireMemberRoom(const QUuid &roomId, const QUuid &user); // active member
    ServiceRoom *directRoom(const QUuid &a, const QUuid &b);
    ServiceRoom &openDirect(const QUuid &a, const QUuid &b); // existing or new; rejoins
    ServiceRoom &createGroup(const QUuid &owner, const QString &title, const QList<QUuid> &others);
    void addMembers(ServiceRoom &room, const QUuid &by, const QList<QUuid> &users);
    void removeMember(ServiceRoom &room, const QUuid &by, const QUuid &user);
    void leave(ServiceRoom &room, const QUuid &user);
    ServiceMessage &append(ServiceRoom &room, ServiceMessage message);
    ServiceMessage &appendSystem(ServiceRoom &room, const QUuid &sender, const QString &text);
    ServiceMessage *findByClientId(ServiceRoom &room, const QUuid &sender, const QUuid &clientId);
    ServiceMessage *message(const QUuid &id, ServiceRoom **room = nullptr);
    // Sends a text as the user; the same client id gives back the message already made.
    ServiceMessage &sendText(const QUuid &roomId, const QUuid &sender, const QUuid &clientId,
                             const QString &body);
    void checkCanWrite(const ServiceRoom &room, const QUuid &sender);
    void markRead(const QUuid &roomId, const QUuid &user, qint64 seq);
    void typing(const QUuid &roomId, const QUuid &user, bool active);
    QList<const ServiceMessage *> visibleMessages(const ServiceRoom &room, const QUuid &user) const;
    QList<ServiceRoom *> roomsOf(const QUuid &user, bool includeLeft);

    // Live events.
    void pushTo(const QList<QUuid> &users, const QJsonObject &frame, const QUuid &except = {});
    void roomChanged(const ServiceRoom &room, const QList<QUuid> &extra = {});

    // The wire shapes.
    QJsonObject userJson(const ServiceUser &u) const;
    QJsonObject messageJson(const ServiceMessage &m) const;
    QJsonObject memberJson(const ServiceMember &m, bool syncForm) const;
    QJsonObject conversationJson(const ServiceRoom &room, const QUuid &forUser) const;
    QJsonObject syncRoomJson(const ServiceRoom &room, const QUuid &forUser, qint64 afterSeq) const;
    QJsonObject authPayload(const QUuid &user, const IssuedTokens &tokens) const;
    QString fileUrl(const QString &objectKey) const;

    // The data file: every account, session, relation, room, message and upload as one JSON
    // document, and back. restore() replaces all of it, or changes nothing and says why the
    // document cannot be read.
    QJsonObject saved() const;
    bool restore(const QJsonObject &document, QString *problem);
    void noteChange()
    {
        if (changed)
            changed();
    }

    static QString idText(const QUuid &id);
    static QString timeText(const QDateTime &t);
    static int charCount(const QString &text); // user-perceived characters

    QMap<QUuid, ServiceUser> users; // a map: references stay valid across inserts
    QList<QUuid> userOrder;
    QHash<QString, AccessGrant> accessTokens;
    QHash<QString, QUuid> refreshTokens;
    QHash<QString, PendingCode> registrations; // by e-mail
    QHash<QString, PendingCode> resetCodes; // by e-mail
    QHash<QString, QString> lastCodes; // every code sent, by e-mail
    QList<FriendRequest> friendRequests;
    QSet<QPair<QUuid, QUuid>> friendships; // ordered pair (smaller first)
    QHash<QUuid, QList<QUuid>> blocks; // blocker -> blocked, in order
    QHash<QPair<QUuid, QUuid>, OfficialLink> officialLinks; // (user, official user)
    QMap<QUuid, ServiceRoom> rooms;
    QHash<QUuid, QUuid> messageRooms; // message id -> room id
    QHash<QString, StoredUpload> uploads; // by object key
    QList<QJsonObject> reports;
    QUuid houseAccount;

private:
    QString randomToken(int bytes) const;
};
