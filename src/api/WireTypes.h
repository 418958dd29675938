#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// Values in which the service's JSON answers arrive. Each public type decodes from a JSON value
// whose keys are snake_case (converted to the camelCase field names first; camelCase keys match
// too) and compares equal field by field. A required field must be present, non-null and of its
// JSON type; an optional one may be absent or null but fails the whole value when it has the
// wrong type. fromJson() never throws: it answers nothing when the value does not decode.

struct APIUser
{
    QUuid id;
    QString kind;
    std::optional<QString> handle;
    std::optional<QString> displayName;
    std::optional<QString> avatarUrl;
    QString status;
    std::optional<QUuid> officialAccountId;

    static std::optional<APIUser> fromJson(const QJsonValue &value);
    // The stored-session form: field names as keys, absent optionals left out.
    QJsonObject toStoredJson() const;
    static std::optional<APIUser> fromStoredJson(const QJsonValue &value);

    friend bool operator==(const APIUser &, const APIUser &) = default;
};

struct APIAttachment
{
    QUuid id;
    qint64 width = 0;
    qint64 height = 0;
    qint64 byteSize = 0;
    std::optional<QString> url;

    static std::optional<APIAttachment> fromJson(const QJsonValue &value);
    friend bool operator==(const APIAttachment &, const APIAttachment &) = default;
};

struct APIMessage
{
    QUuid id;
    QUuid conversationId;
    qint64 seq = 0;
    QUuid senderId;
    std::optional<QUuid> clientMsgId;
    QString type;
    QString origin;
    std::optional<QString> body;
    // ISO-8601 text as the service sent it; the store interprets it.
    std::optional<QString> createdAt;
    std::optional<QList<APIAttachment>> attachments;

    static std::optional<APIMessage> fromJson(const QJsonValue &value);
    friend bool operator==(const APIMessage &, const APIMessage &) = default;
};

struct APIMember
{
    QUuid userId;
    QString role;
    std::optional<QString> handle;
    std::optional<QString> displayName;
    QString kind;
    std::optional<QString> avatarUrl;
    bool acceptsUserMessages = true;
    std::optional<QString> leftAt;

    static std::optional<APIMember> fromJson(const QJsonValue &value);
    friend bool operator==(const APIMember &, const APIMember &) = default;
};

struct APIConversation
{
    QUuid id;
    QString type;
    std::optional<QString> title;
    bool muted = false;
    bool pinned = false;
    qint64 unreadCount = 0;
    std::optional<APIMessage> lastMessage;
    QList<APIMember> members;

    static std::optional<APIConversation> fromJson(const QJsonValue &value);
    friend bool operator==(const APIConversation &, const APIConversation &) = default;
};

struct APIRead
{
    QUuid userId;
    qint64 lastReadSeq = 0;

    static std::optional<APIRead> fromJson(const QJsonValue &value);
    friend bool operator==(const APIRead &, const APIRead &) = default;
};

struct APIFriendRequest
{
    QUuid id;
    APIUser user;

    static std::optional<APIFriendRequest> fromJson(const QJsonValue &value);
    friend bool operator==(const APIFriendRequest &, const APIFriendRequest &) = default;
};

struct APIFriendRequestList
{
    QList<APIFriendRequest> incoming;
    QList<APIFriendRequest> outgoing;

    static std::optional<APIFriendRequestList> fromJson(const QJsonValue &value);
    friend bool operator==(const APIFriendRequestList &, const APIFriendRequestList &) = default;
};

struct SyncMember
{
    QUuid userId;
    std::optional<QString> role;
    std::optional<QString> handle;
    std::optional<QString> displayName;
    std::optional<QString> kind;
    std::optional<QString> leftAt;
    std::optional<QString> avatarUrl;
    bool acceptsUserMessages = true;

    static std::optional<SyncMember> fromJson(const QJsonValue &value);
    friend bool operator==(const SyncMember &, const SyncMember &) = default;
};

struct SyncRoom
{
    QUuid id;
    QList<APIMessage> messages;
    bool hasMore = false;
    QList<APIRead> reads;
    QList<SyncMember> members;

    static std::optional<SyncRoom> fromJson(const QJsonValue &value);
    friend bool operator==(const SyncRoom &, const SyncRoom &) = default;
};

struct InviteOpenBody
{
    QString result;
    std::optional<QUuid> requestId;
    std::optional<QUuid> conversationId;
    std::optional<QUuid> userId;

    static std::optional<InviteOpenBody> fromJson(const QJsonValue &value);
    friend bool operator==(const InviteOpenBody &, const InviteOpenBody &) = default;
};

// The service's answer to verification, sign-in and token refresh.
struct AuthPayload
{
    QString accessToken;
    QString refreshToken;
    qint64 expiresIn = 0; // seconds from now
    APIUser user;

    static std::optional<AuthPayload> fromJson(const QJsonValue &value);
};

// The signed-in session as kept in session storage. Its JSON uses the field names as keys and
// writes expiresAt as UTC ISO-8601 with whole seconds and "Z".
struct StoredSession
{
    QString accessToken;
    QString refreshToken;
    QDateTime expiresAt;
    APIUser user;

    QByteArray encode() const;
    static std::optional<StoredSession> decode(const QByteArray &bytes);
};

// The answer to looking a user up by handle.
struct HandleLookup
{
    APIUser user;
    bool blocked = false;
};

// The outcome of a photo upload.
struct PreparedImage
{
    QString objectKey;
    qint64 width = 1;
    qint64 height = 1;
    qint64 byteSize = 0;

    friend bool operator==(const PreparedImage &, const PreparedImage &) = default;
};
