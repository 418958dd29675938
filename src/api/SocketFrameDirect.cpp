// Frames of the plain common form read straight from their bytes into the event, without a
// JSON document, one string per key or a second pass over the names. Whatever this reader is
// not sure of (a member it cannot tell from another, a value of an unusual form, any fault) it
// leaves to the document decoder by answering nothing, so both always agree.

#include "api/SocketFrame.h"

#include "api/JsonCursor.h"

#include <QLatin1StringView>

namespace {

// A field of a wire object under its two accepted keys.
struct FieldName
{
    QByteArrayView camel;
    QByteArrayView snake;
};

constexpr int kUnknown = -1;
constexpr int kUnsure = -2;

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The key without its underscores equals `name` but for case: the document decoder may read it
// as that field (SENDER_ID, sender__id) or not (senderID), and settles which of two such
// members wins. Only the document decoder answers for such an object.
bool alikeKey(QByteArrayView key, QByteArrayView name)
{
    qsizetype at = 0;
    for (const char c : key) {
        if (c == '_')
            continue;
        if (at == name.size() || asciiLower(c) != asciiLower(name[at]))
            return false;
        ++at;
    }
    return at == name.size();
}

// The index of the field that `key` names, kUnknown for a member to pass over, kUnsure for a
// key that only the document decoder can place.
template<std::size_t N>
int fieldOf(const FieldName (&fields)[N], QByteArrayView key)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (key == fields[i].camel || key == fields[i].snake)
            return int(i);
    }
    for (const FieldName &field : fields) {
        if (alikeKey(key, field.camel))
            return kUnsure;
    }
    return kUnknown;
}

// Reads an object of a wire type: every member once, through read(field) for a known one;
// true when every field in `required` (a bit per field) was there.
template<std::size_t N, typename Read>
bool readObject(JsonCursor &in, const FieldName (&fields)[N], unsigned required, Read &&read)
{
    static_assert(N <= 32);
    unsigned seen = 0;
    const bool complete = in.members([&](QByteArrayView key) {
        const int field = fieldOf(fields, key);
        if (field == kUnknown)
            return in.skip();
        if (field == kUnsure || (seen & (1u << field)))
            return false;
        seen |= 1u << field;
        return read(field);
    });
    return complete && (seen & required) == required;
}

template<typename T, typename Read>
bool optional(JsonCursor &in, std::optional<T> &out, Read &&read)
{
    if (in.null())
        return true;
    T value;
    if (!read(value))
        return false;
    out = std::move(value);
    return true;
}

bool optionalText(JsonCursor &in, std::optional<QString> &out)
{
    return optional(in, out, [&](QString &value) { return in.text(value); });
}

bool readAttachment(JsonCursor &in, APIAttachment &a)
{
    enum { id, width, height, byteSize, url };
    static constexpr FieldName fields[] = {{"id", "id"},
                                           {"width", "width"},
                                           {"height", "height"},
                                           {"byteSize", "byte_size"},
                                           {"url", "url"}};
    constexpr unsigned required = 1u << id | 1u << width | 1u << height | 1u << byteSize;
    return readObject(in, fields, required, [&](int field) {
        switch (field) {
        case id:
            return in.uuid(a.id);
        case width:
            return in.integer(a.width);
        case height:
            return in.integer(a.height);
        case byteSize:
            return in.integer(a.byteSize);
        default:
            return optionalText(in, a.url);
        }
    });
}

bool readMessage(JsonCursor &in, APIMessage &m)
{
    enum {
        id,
        conversationId,
        seq,
        senderId,
        clientMsgId,
        type,
        origin,
        body,
        createdAt,
        attachments
    };
    static constexpr FieldName fields[] = {
        {"id", "id"},
        {"conversationId", "conversation_id"},
        {"seq", "seq"},
        {"senderId", "sender_id"},
        {"clientMsgId", "client_msg_id"},
        {"type", "type"},
        {"origin", "origin"},
        {"body", "body"},
        {"createdAt", "created_at"},
        {"attachments", "attachments"},
    };
    constexpr unsigned required
        = 1u << id | 1u << conversationId | 1u << seq | 1u << senderId | 1u << type | 1u << origin;
    return readObject(in, fields, required, [&](int field) {
        switch (field) {
        case id:
            return in.uuid(m.id);
        case conversationId:
            return in.uuid(m.conversationId);
        case seq:
            return in.integer(m.seq);
        case senderId:
            return in.uuid(m.senderId);
        case clientMsgId:
            return optional(in, m.clientMsgId, [&](QUuid &value) { return in.uuid(value); });
        case type:
            return in.text(m.type);
        case origin:
            return in.text(m.origin);
        case body:
            return optionalText(in, m.body);
        case createdAt:
            return optionalText(in, m.createdAt);
        default:
            return optional(in, m.attachments, [&](QList<APIAttachment> &list) {
                return in.elements([&] {
                    APIAttachment a;
                    if (!readAttachment(in, a))
                        return false;
                    list.append(std::move(a));
                    return true;
                });
            });
        }
    });
}

} // namespace

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
            return readMessage(in, frame.event->message);
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
            if (!readMessage(*at[message], frame.event->message))
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
