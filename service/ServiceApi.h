#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrlQuery>
#include <QUuid>

#include <functional>

class ServiceState;
struct ServiceUser;

// One HTTP request as the service's routes see it.
struct ApiCall
{
    QByteArray method;
    QStringList segments; // decoded path pieces: "/v1/me/invite" -> {"v1","me","invite"}
    QUrlQuery query;
    QHash<QByteArray, QByteArray> headers; // lower-case names
    QByteArray body;
    QJsonObject json; // the body, parsed for routes that take one
    QUuid me; // the signed-in user for routes that need the bearer token
    QString accessToken;
};

struct ApiReply
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";

    static ApiReply json(const QJsonObject &o, int status = 200);
    static ApiReply error(int status, const QString &code, const QString &message);
    static ApiReply empty(int status = 200); // "{}"
};

// The REST routes of the service over the in-memory state.
class ServiceApi
{
public:
    static constexpr qint64 maxJsonBody = 256 * 1024;

    explicit ServiceApi(ServiceState &state);

    ApiReply handle(ApiCall call);

private:
    using Handler = std::function<ApiReply(ServiceApi *, ApiCall &)>;
    struct Route
    {
        QByteArray method;
        QStringList pattern; // "{}" matches any one piece
        bool authorized;
        bool takesBody;
        Handler handler;
    };
    void add(const char *method, const QString &path, bool authorized, bool takesBody,
             Handler handler);
    void addAuthRoutes();
    void addSocialRoutes();
    void addRoomRoutes();
    void addUploadRoutes();

    // Authentication.
    ApiReply registerAccount(ApiCall &c);
    ApiReply verifyRegistration(ApiCall &c);
    ApiReply login(ApiCall &c);
    ApiReply passwordCode(ApiCall &c);
    ApiReply passwordReset(ApiCall &c);
    ApiReply refresh(ApiCall &c);
    ApiReply logout(ApiCall &c);
    ApiReply changePassword(ApiCall &c);
    ApiReply me(ApiCall &c);
    ApiReply updateMe(ApiCall &c);
    ApiReply deleteMe(ApiCall &c);

    // Account, device and social.
    ApiReply inviteCode(ApiCall &c);
    ApiReply rotateInvite(ApiCall &c);
    ApiReply openInvite(ApiCall &c);
    ApiReply saveDevice(ApiCall &c);
    ApiReply userByHandle(ApiCall &c);
    ApiReply friendRequests(ApiCall &c);
    ApiReply requestFriend(ApiCall &c);
    ApiReply acceptFriend(ApiCall &c);
    ApiReply rejectFriend(ApiCall &c);
    ApiReply block(ApiCall &c);
    ApiReply unblock(ApiCall &c);
    ApiReply follow(ApiCall &c);
    ApiReply officialLink(ApiCall &c);
    ApiReply report(ApiCall &c);

    // Rooms and messages.
    ApiReply conversations(ApiCall &c);
    ApiReply createConversation(ApiCall &c);
    ApiReply patchConversation(ApiCall &c);
    ApiReply inviteMembers(ApiCall &c);
    ApiReply removeMember(ApiCall &c);
    ApiReply leave(ApiCall &c);
    ApiReply messages(ApiCall &c);
    ApiReply sendMessage(ApiCall &c);
    ApiReply read(ApiCall &c);
    ApiReply sendImages(ApiCall &c);
    ApiReply hideMessage(ApiCall &c);
    ApiReply deleteMessage(ApiCall &c);
    ApiReply sync(ApiCall &c);

    // Photo uploads.
    ApiReply uploadTicket(ApiCall &c);
    ApiReply uploadBytes(ApiCall &c);
    ApiReply file(ApiCall &c);

    ApiReply answer(ApiCall call);
    ServiceUser &meUser(const ApiCall &c);
    QUuid segmentUuid(const ApiCall &c, int index) const;

    ServiceState &m_state;
    QList<Route> m_routes;
};
