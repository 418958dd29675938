#include "api/SocketFrame.h"

#include "api/WireJson.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

std::optional<qint64> frameInteger(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    if (const auto exact = wireInteger(value))
        return exact;
    const double d = std::trunc(value.toDouble());
    // Outside this range the conversion to qint64 is undefined: such a number counts as missing.
    constexpr double lowest = -9223372036854775808.0; // -2^63
    constexpr double beyond = 9223372036854775808.0; // 2^63
    if (!std::isfinite(d) || d < lowest || d >= beyond)
        return std::nullopt;
    return static_cast<qint64>(d);
}

SocketFrame SocketFrame::parse(const QString &text)
{
    return parse(text.toUtf8());
}

SocketFrame SocketFrame::parse(const QByteArray &utf8Text)
{
    if (auto frame = parseDirect(utf8Text))
        return std::move(*frame);
    return parseDocument(utf8Text);
}

SocketFrame SocketFrame::parseDocument(const QByteArray &utf8Text)
{
    SocketFrame frame;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(utf8Text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return frame;
    const QJsonObject o = doc.object();
    const QJsonValue typeValue = o.value(QLatin1String("type"));
    if (!typeValue.isString())
        return frame;
    const QString type = typeValue.toString();

    if (type == QLatin1String("auth.ok")) {
        frame.action = Action::authOk;
    } else if (type == QLatin1String("error")) {
        const QJsonValue code = o.value(QLatin1String("code"));
        if (code.isString() && code.toString() == QLatin1String("unauthorized"))
            frame.action = Action::unauthorized;
    } else if (type == QLatin1String("message.created")) {
        const QJsonValue message = o.value(QLatin1String("message"));
        if (!message.isObject())
            return frame;
        if (const auto decoded = APIMessage::fromJson(message)) {
            frame.action = Action::event;
            frame.event = ChatEvent::makeMessage(*decoded);
        }
    } else if (type == QLatin1String("read.updated")) {
        const auto room = parseWireUuid(o.value(QLatin1String("conversation_id")));
        const auto user = parseWireUuid(o.value(QLatin1String("user_id")));
        const auto seq = frameInteger(o.value(QLatin1String("seq")));
        if (room && user && seq) {
            frame.action = Action::event;
            frame.event = ChatEvent::makeRead(*room, *user, *seq);
        }
    } else if (type == QLatin1String("friend.requested")) {
        frame.action = Action::event;
        frame.event = ChatEvent::makeFriendRequest();
    } else if (type == QLatin1String("conversation.changed")) {
        if (const auto room = parseWireUuid(o.value(QLatin1String("conversation_id")))) {
            frame.action = Action::event;
            frame.event = ChatEvent::makeConversationChanged(*room);
        }
    } else if (type == QLatin1String("typing")) {
        const auto room = parseWireUuid(o.value(QLatin1String("conversation_id")));
        const auto user = parseWireUuid(o.value(QLatin1String("user_id")));
        if (room && user) {
            const QJsonValue active = o.value(QLatin1String("active"));
            frame.action = Action::event;
            frame.event = ChatEvent::makeTyping(*room, *user, active.isBool() && active.toBool());
        }
    }
    return frame;
}
