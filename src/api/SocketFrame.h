#pragma once

#include "api/ChatEvent.h"

#include <QByteArray>
#include <QJsonValue>

#include <optional>

// What one frame from the service asks of the client. Parsing is pure: the socket acts on the
// result, so that a frame can be checked without a connection.
struct SocketFrame
{
    enum class Action {
        ignore, // not JSON, not an object, no text "type", an unknown type, or incomplete
        authOk, // "auth.ok"
        unauthorized, // "error" with code "unauthorized": refresh and reconnect
        event, // one of the five events
    };

    Action action = Action::ignore;
    std::optional<ChatEvent> event;

    static SocketFrame parse(const QByteArray &utf8Text);
    static SocketFrame parse(const QString &text);

    // The two readers parse() combines. parseDirect() reads a frame of the plain common form
    // straight from its bytes and answers nothing for any other frame; parseDocument() reads
    // every frame through a JSON document and is the reference for what a frame means.
    static std::optional<SocketFrame> parseDirect(QByteArrayView utf8Text);
    static SocketFrame parseDocument(const QByteArray &utf8Text);
};

// Reads a number of a socket frame: an integer as itself, another number with its fraction
// dropped. Anything else, and a number that is not finite or does not fit 64 bits, is missing.
std::optional<qint64> frameInteger(const QJsonValue &value);
