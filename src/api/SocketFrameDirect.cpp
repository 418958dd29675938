// Frames of the plain common form read straight from their bytes into the event, without a
// JSON document, one string per key or a second pass over the names. Whatever this reader is
// not sure of (a member it cannot tell from another, a value of an unusual form, any fault) it
// leaves to the document decoder by answering nothing, so both always agree.

#include "api/SocketFrame.h"

#include "api/JsonCursor.h"
#include "api/WireDirect.h"

std::optional<SocketFrame> SocketFrame::parseDirect(QByteArrayView utf8Text)
{
    // The frame's own members are looked up by their exact keys.
    enum { type, message, conversationId, userId, seq, active, code, count };
    static constexpr QByteArrayView names[]
        = {"type", "message", "conversation_id", "user_id", "seq", "active", "code"};
    JsonCursor in(utf8Text);
    // Where each member's value starts, to be read once the type is known.
    std::optional<JsonCursor> at[count];
    QByteArrayView typeName;
    SocketFrame frame;
    bool messageRead = false;
    const bool object = in.members([&](QByteArrayView key) {
        int member = 0;
        while (member < count && key != names[member])
            ++member;
        if (member == count)
            return in.skip();
        if (at[member])
            return false; // a repeated member: the document decides which one counts
        at[member] = in;
        if (member == type)
            return in.plain(typeName);
        if (member == message && typeName == "message.created") {
            // The service sends the type first: the message is read on the first pass.
            frame.event.emplace();
            frame.event->kind = ChatEvent::Kind::message;
            messageRead = true;
            return readDirect(in, frame.event->message);
        }
        return in.skip();
    });
    if (!object || !in.atEnd() || !at[type])
        return std::nullopt;

    const auto uuidAt = [&](int member, QUuid &out) { return at[member] && at[member]->uuid(out); };
    if (typeName == "auth.ok") {
        frame.action = Action::authOk;
    } else if (typeName == "error") {
        QByteArrayView codeText;
        if (at[code] && !at[code]->plain(codeText))
            return std::nullopt;
        if (codeText == "unauthorized")
            frame.action = Action::unauthorized;
    } else if (typeName == "message.created") {
        if (!messageRead) {
            if (!at[message])
                return std::nullopt;
            frame.event.emplace();
            frame.event->kind = ChatEvent::Kind::message;
            if (!readDirect(*at[message], frame.event->message))
                return std::nullopt;
        }
        frame.action = Action::event;
    } else if (typeName == "read.updated") {
        QUuid room, user;
        qint64 mark = 0;
        if (!uuidAt(conversationId, room) || !uuidAt(userId, user) || !at[seq]
            || !at[seq]->integer(mark))
            return std::nullopt;
        frame.action = Action::event;
        frame.event = ChatEvent::makeRead(room, user, mark);
    } else if (typeName == "friend.requested") {
        frame.action = Action::event;
        frame.event = ChatEvent::makeFriendRequest();
    } else if (typeName == "conversation.changed") {
        QUuid room;
        if (!uuidAt(conversationId, room))
            return std::nullopt;
        frame.action = Action::event;
        frame.event = ChatEvent::makeConversationChanged(room);
    } else if (typeName == "typing") {
        QUuid room, user;
        if (!uuidAt(conversationId, room) || !uuidAt(userId, user))
            return std::nullopt;
        // Anything but true, the member left out included, is false.
        bool flag = false;
        const bool isActive = at[active] && at[active]->flag(flag) && flag;
        frame.action = Action::event;
        frame.event = ChatEvent::makeTyping(room, user, isActive);
    }
    return frame;
}
