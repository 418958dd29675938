#include "api/ChatPath.h"

#include <QStringList>

namespace {

bool allowedInPiece(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
        return true;
    switch (c) {
    case u'-':
    case u'.':
    case u'_':
    case u'~':
    case u'!':
    case u'$':
    case u'\'':
    case u'(':
    case u')':
    case u'*':
    case u',':
    case u';':
    case u':':
    case u'@':
    case u'/':
        return true;
    default:
        return false;
    }
}

bool validUnicode(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

} // namespace

QString ChatPath::encodePiece(const QString &piece)
{
    if (!validUnicode(piece))
        return piece;
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(piece.size());
    const QByteArray utf8 = piece.toUtf8();
    for (const char byte : utf8) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x80 && allowedInPiece(char16_t(b))) {
            out += QChar(b);
        } else {
            out += u'%';
            out += QChar(hex[b >> 4]);
            out += QChar(hex[b & 0xF]);
        }
    }
    return out;
}

ChatPath ChatPath::invitation(const QString &code)
{
    return ChatPath(Kind::invitation, code);
}
ChatPath ChatPath::userByHandle(const QString &handle)
{
    return ChatPath(Kind::userByHandle, handle);
}
ChatPath ChatPath::acceptFriendRequest(const QString &requestId)
{
    return ChatPath(Kind::acceptFriendRequest, requestId);
}
ChatPath ChatPath::rejectFriendRequest(const QString &requestId)
{
    return ChatPath(Kind::rejectFriendRequest, requestId);
}
ChatPath ChatPath::friendUser(const QString &userId)
{
    return ChatPath(Kind::friendUser, userId);
}
ChatPath ChatPath::blockedUser(const QString &userId)
{
    return ChatPath(Kind::blockedUser, userId);
}
ChatPath ChatPath::members(const QString &conversationId)
{
    return ChatPath(Kind::members, conversationId);
}
ChatPath ChatPath::member(const QString &conversationId, const QString &userId)
{
    return ChatPath(Kind::member, conversationId, userId);
}
ChatPath ChatPath::leave(const QString &conversationId)
{
    return ChatPath(Kind::leave, conversationId);
}
ChatPath ChatPath::conversation(const QString &conversationId)
{
    return ChatPath(Kind::conversation, conversationId);
}
ChatPath ChatPath::messages(const QString &conversationId, std::optional<qint64> after,
                            std::optional<qint64> before)
{
    ChatPath p(Kind::messages, conversationId);
    p.m_after = after;
    p.m_before = before;
    return p;
}
ChatPath ChatPath::read(const QString &conversationId)
{
    return ChatPath(Kind::read, conversationId);
}
ChatPath ChatPath::images(const QString &conversationId)
{
    return ChatPath(Kind::images, conversationId);
}
ChatPath ChatPath::hideMessage(const QString &messageId)
{
    return ChatPath(Kind::hideMessage, messageId);
}
ChatPath ChatPath::deleteMessage(const QString &messageId)
{
    return ChatPath(Kind::deleteMessage, messageId);
}
ChatPath ChatPath::sync(const QString &cursor)
{
    return ChatPath(Kind::sync, cursor);
}
ChatPath ChatPath::follow(const QString &officialAccountId)
{
    return ChatPath(Kind::follow, officialAccountId);
}
ChatPath ChatPath::officialLink(const QString &officialAccountId)
{
    return ChatPath(Kind::officialLink, officialAccountId);
}

QString ChatPath::path() const
{
    const QString conv = QStringLiteral("/v1/conversations/");
    switch (m_kind) {
    case Kind::invitation:
        return QStringLiteral("/v1/invites/") + encodePiece(m_first);
    case Kind::userByHandle:
        return QStringLiteral("/v1/users?handle=") + encodePiece(m_first);
    case Kind::acceptFriendRequest:
        return QStringLiteral("/v1/friend-requests/") + m_first + QStringLiteral("/accept");
    case Kind::rejectFriendRequest:
        return QStringLiteral("/v1/friend-requests/") + m_first + QStringLiteral("/reject");
    case Kind::friendUser:
        return QStringLiteral("/v1/friends/") + m_first;
    case Kind::blockedUser:
        return QStringLiteral("/v1/blocks/") + m_first;
    case Kind::members:
        return conv + m_first + QStringLiteral("/members");
    case Kind::member:
        return conv + m_first + QStringLiteral("/members/") + m_second;
    case Kind::leave:
        return conv + m_first + QStringLiteral("/leave");
    case Kind::conversation:
        return conv + m_first;
    case Kind::messages: {
        QStringList items;
        if (m_after)
            items << QStringLiteral("after_seq=") + QString::number(*m_after);
        if (m_before)
            items << QStringLiteral("before_seq=") + QString::number(*m_before);
        const QString query = items.isEmpty() ? QString() : u'?' + items.join(u'&');
        return conv + m_first + QStringLiteral("/messages") + query;
    }
    case Kind::read:
        return conv + m_first + QStringLiteral("/read");
    case Kind::images:
        return conv + m_first + QStringLiteral("/images");
    case Kind::hideMessage:
        return QStringLiteral("/v1/messages/") + m_first + QStringLiteral("/hide");
    case Kind::deleteMessage:
        return QStringLiteral("/v1/messages/") + m_first + QStringLiteral("/delete");
    case Kind::sync:
        return QStringLiteral("/v1/sync?after=") + encodePiece(m_first);
    case Kind::follow:
        return QStringLiteral("/v1/official-accounts/") + m_first + QStringLiteral("/follow");
    case Kind::officialLink:
        return QStringLiteral("/v1/official-accounts/") + m_first + QStringLiteral("/link");
    case Kind::registerAccount:
        return QStringLiteral("/v1/auth/register");
    case Kind::registerVerify:
        return QStringLiteral("/v1/auth/register/verify");
    case Kind::login:
        return QStringLiteral("/v1/auth/login");
    case Kind::passwordCode:
        return QStringLiteral("/v1/auth/password/code");
    case Kind::passwordReset:
        return QStringLiteral("/v1/auth/password/reset");
    case Kind::mePassword:
        return QStringLiteral("/v1/me/password");
    case Kind::inviteLink:
    case Kind::rotateInvite:
        return QStringLiteral("/v1/me/invite");
    case Kind::refresh:
        return QStringLiteral("/v1/auth/refresh");
    case Kind::logout:
        return QStringLiteral("/v1/auth/logout");
    case Kind::me:
        return QStringLiteral("/v1/me");
    case Kind::devices:
        return QStringLiteral("/v1/me/devices");
    case Kind::friendRequests:
        return QStringLiteral("/v1/friend-requests");
    case Kind::blocks:
        return QStringLiteral("/v1/blocks");
    case Kind::conversations:
        return QStringLiteral("/v1/conversations");
    case Kind::uploads:
        return QStringLiteral("/v1/uploads");
    case Kind::reports:
        return QStringLiteral("/v1/reports");
    }
    return QStringLiteral("/v1/");
}

QString wireId(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}
