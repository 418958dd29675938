#pragma once

#include <QString>
#include <QUuid>

#include <optional>

// Names every REST endpoint of the service; path() gives the text appended to the base URL.
// Identifiers are passed as text, the canonical upper-case form (see wireId()); free-text pieces
// (invite code, handle, sync cursor) are percent-encoded. The HTTP method is the caller's.
class ChatPath
{
public:
    enum class Kind {
        // with a payload
        invitation,
        userByHandle,
        acceptFriendRequest,
        rejectFriendRequest,
        friendUser,
        blockedUser,
        members,
        member,
        leave,
        conversation,
        messages,
        read,
        images,
        hideMessage,
        deleteMessage,
        sync,
        follow,
        officialLink,
        // without a payload
        registerAccount,
        registerVerify,
        login,
        passwordCode,
        passwordReset,
        mePassword,
        inviteLink,
        rotateInvite,
        refresh,
        logout,
        me,
        devices,
        friendRequests,
        blocks,
        conversations,
        uploads,
        reports,
    };

    static ChatPath invitation(const QString &code);
    static ChatPath userByHandle(const QString &handle);
    static ChatPath acceptFriendRequest(const QString &requestId);
    static ChatPath rejectFriendRequest(const QString &requestId);
    static ChatPath friendUser(const QString &userId);
    static ChatPath blockedUser(const QString &userId);
    static ChatPath members(const QString &conversationId);
    static ChatPath member(const QString &conversationId, const QString &userId);
    static ChatPath leave(const QString &conversationId);
    static ChatPath conversation(const QString &conversationId);
    static ChatPath messages(const QString &conversationId, std::optional<qint64> after = {},
                             std::optional<qint64> before = {});
    static ChatPath read(const QString &conversationId);
    static ChatPath images(const QString &conversationId);
    static ChatPath hideMessage(const QString &messageId);
    static ChatPath deleteMessage(const QString &messageId);
    static ChatPath sync(const QString &cursor);
    static ChatPath follow(const QString &officialAccountId);
    static ChatPath officialLink(const QString &officialAccountId);

    static ChatPath registerAccount() { return ChatPath(Kind::registerAccount); }
    static ChatPath registerVerify() { return ChatPath(Kind::registerVerify); }
    static ChatPath login() { return ChatPath(Kind::login); }
    static ChatPath passwordCode() { return ChatPath(Kind::passwordCode); }
    static ChatPath passwordReset() { return ChatPath(Kind::passwordReset); }
    static ChatPath mePassword() { return ChatPath(Kind::mePassword); }
    static ChatPath inviteLink() { return ChatPath(Kind::inviteLink); }
    static ChatPath rotateInvite() { return ChatPath(Kind::rotateInvite); }
    static ChatPath refresh() { return ChatPath(Kind::refresh); }
    static ChatPath logout() { return ChatPath(Kind::logout); }
    static ChatPath me() { return ChatPath(Kind::me); }
    static ChatPath devices() { return ChatPath(Kind::devices); }
    static ChatPath friendRequests() { return ChatPath(Kind::friendRequests); }
    static ChatPath blocks() { return ChatPath(Kind::blocks); }
    static ChatPath conversations() { return ChatPath(Kind::conversations); }
    static ChatPath uploads() { return ChatPath(Kind::uploads); }
    static ChatPath reports() { return ChatPath(Kind::reports); }

    Kind kind() const { return m_kind; }
    // The path with any query, always beginning with "/v1/". Never fails.
    QString path() const;

    // Percent-encodes a free-text piece: letters, digits and - . _ ~ ! $ ' ( ) * , ; : @ / stay,
    // every other character becomes its UTF-8 bytes as %XX (upper-case hex).
    static QString encodePiece(const QString &piece);

private:
    explicit ChatPath(Kind kind, QString first = {}, QString second = {})
        : m_kind(kind)
        , m_first(std::move(first))
        , m_second(std::move(second))
    { }

    Kind m_kind;
    QString m_first;
    QString m_second;
    std::optional<qint64> m_after;
    std::optional<qint64> m_before;
};

// The identifier text that goes out on the wire: 8-4-4-4-12, upper-case hex, no braces.
QString wireId(const QUuid &id);
