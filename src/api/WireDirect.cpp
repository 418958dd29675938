#include "api/WireDirect.h"

#include "api/JsonCursor.h"

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

// The key without its underscores equals `name` but for case: the general decoder may read it
// as that field (SENDER_ID, sender__id) or not (senderID), and settles which of two such
// members wins. Only the general decoder answers for such an object.
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

// Most keys differ from a field name in size or first letter: those are told apart before
// any comparison of the whole.
bool sameKey(QByteArrayView key, QByteArrayView name)
{
    return key.size() == name.size() && (key.isEmpty() || key.front() == name.front())
        && key == name;
}

// The index of the field that `key` names, kUnknown for a member to pass over, kUnsure for a
// key that only the general decoder can place.
template<std::size_t N>
int fieldOf(const FieldName (&fields)[N], QByteArrayView key)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (sameKey(key, fields[i].camel) || sameKey(key, fields[i].snake))
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

bool readValue(JsonCursor &in, APIAttachment &out);
bool readValue(JsonCursor &in, APIMessage &out);
bool readValue(JsonCursor &in, APIMember &out);
bool readValue(JsonCursor &in, APIConversation &out);
bool readValue(JsonCursor &in, APIRead &out);
bool readValue(JsonCursor &in, SyncMember &out);
bool readValue(JsonCursor &in, SyncRoom &out);

// An array of which every element reads as a T.
template<typename T>
bool readList(JsonCursor &in, QList<T> &out)
{
    return in.elements([&] {
        T value;
        if (!readValue(in, value))
            return false;
        out.append(std::move(value));
        return true;
    });
}

// An optional field: null leaves it out, anything else must read as a T.
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

// The words the service names kinds, roles and origins with. A field that holds one of them takes
// the one text kept here, so that the thousands of rooms of a list do not each hold copies.
bool word(JsonCursor &in, QString &out)
{
    using namespace Qt::StringLiterals;
    static const QString words[]
        = {u"direct"_s,   u"group"_s,     u"owner"_s, u"member"_s, u"person"_s,
           u"official"_s, u"text"_s,      u"image"_s, u"system"_s, u"deleted"_s,
           u"user"_s,     u"broadcast"_s, u"reply"_s, u"active"_s};
    return in.text(out, words, std::size(words));
}

// A word that may be null.
bool word(JsonCursor &in, std::optional<QString> &out)
{
    return optional(in, out, [&](QString &value) { return word(in, value); });
}

// A flag that is true unless the member says false.
bool flagOrTrue(JsonCursor &in, bool &out)
{
    out = true;
    return in.null() || in.flag(out);
}

bool readValue(JsonCursor &in, APIAttachment &a)
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

bool readValue(JsonCursor &in, APIMessage &m)
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
            return word(in, m.type);
        case origin:
            return word(in, m.origin);
        case body:
            return optionalText(in, m.body);
        case createdAt:
            return optionalText(in, m.createdAt);
        default:
            return optional(in, m.attachments,
                            [&](QList<APIAttachment> &list) { return readList(in, list); });
        }
    });
}

// A room's member, in the room list and in sync answers alike. What each requires is its
// caller's to say; where a role or kind may be absent, the member's type holds it as optional.
struct MemberField
{
    enum : unsigned { userId, role, handle, displayName, kind, avatarUrl, accepts, leftAt };
};

template<typename Member>
bool readMember(JsonCursor &in, Member &m, unsigned required)
{
    static constexpr FieldName fields[] = {
        {"userId", "user_id"},
        {"role", "role"},
        {"handle", "handle"},
        {"displayName", "display_name"},
        {"kind", "kind"},
        {"avatarUrl", "avatar_url"},
        {"acceptsUserMessages", "accepts_user_messages"},
        {"leftAt", "left_at"},
    };
    return readObject(in, fields, required, [&](int field) {
        switch (field) {
        case MemberField::userId:
            return in.uuid(m.userId);
        case MemberField::role:
            return word(in, m.role);
        case MemberField::handle:
            return optionalText(in, m.handle);
        case MemberField::displayName:
            return optionalText(in, m.displayName);
        case MemberField::kind:
            return word(in, m.kind);
        case MemberField::avatarUrl:
            return optionalText(in, m.avatarUrl);
        case MemberField::accepts:
            return flagOrTrue(in, m.acceptsUserMessages);
        default:
            return optionalText(in, m.leftAt);
        }
    });
}

// The room list names every member's role and kind.
bool readValue(JsonCursor &in, APIMember &m)
{
    return readMember(
        in, m, 1u << MemberField::userId | 1u << MemberField::role | 1u << MemberField::kind);
}

bool readValue(JsonCursor &in, APIConversation &c)
{
    enum { id, type, title, muted, pinned, unreadCount, lastMessage, members };
    static constexpr FieldName fields[] = {
        {"id", "id"},
        {"type", "type"},
        {"title", "title"},
        {"muted", "muted"},
        {"pinned", "pinned"},
        {"unreadCount", "unread_count"},
        {"lastMessage", "last_message"},
        {"members", "members"},
    };
    constexpr unsigned required
        = 1u << id | 1u << type | 1u << muted | 1u << pinned | 1u << unreadCount | 1u << members;
    return readObject(in, fields, required, [&](int field) {
        switch (field) {
        case id:
            return in.uuid(c.id);
        case type:
            return word(in, c.type);
        case title:
            return optionalText(in, c.title);
        case muted:
            return in.flag(c.muted);
        case pinned:
            return in.flag(c.pinned);
        case unreadCount:
            return in.integer(c.unreadCount);
        case lastMessage:
            return optional(in, c.lastMessage,
                            [&](APIMessage &message) { return readValue(in, message); });
        default:
            return readList(in, c.members);
        }
    });
}

bool readValue(JsonCursor &in, APIRead &r)
{
    enum { userId, lastReadSeq };
    static constexpr FieldName fields[] = {{"userId", "user_id"}, {"lastReadSeq", "last_read_seq"}};
    constexpr unsigned required = 1u << userId | 1u << lastReadSeq;
    return readObject(in, fields, required, [&](int field) {
        return field == userId ? in.uuid(r.userId) : in.integer(r.lastReadSeq);
    });
}

// A sync answer leaves out what did not change: only the member's id is always there.
bool readValue(JsonCursor &in, SyncMember &m)
{
    return readMember(in, m, 1u << MemberField::userId);
}

bool readValue(JsonCursor &in, SyncRoom &r)
{
    enum { id, messages, hasMore, reads, members };
    static constexpr FieldName fields[] = {
        {"id", "id"},       {"messages", "messages"}, {"hasMore", "has_more"},
        {"reads", "reads"}, {"members", "members"},
    };
    constexpr unsigned required
        = 1u << id | 1u << messages | 1u << hasMore | 1u << reads | 1u << members;
    return readObject(in, fields, required, [&](int field) {
        switch (field) {
        case id:
            return in.uuid(r.id);
        case messages:
            return readList(in, r.messages);
        case hasMore:
            return in.flag(r.hasMore);
        case reads:
            return readList(in, r.reads);
        default:
            return readList(in, r.members);
        }
    });
}

} // namespace

bool readDirect(JsonCursor &in, APIMessage &out)
{
    return readValue(in, out);
}

template<typename T>
std::optional<QList<T>> readDirectPage(QByteArrayView bytes, QByteArrayView name)
{
    JsonCursor in(bytes);
    const FieldName fields[] = {{name, name}};
    QList<T> list;
    if (!readObject(in, fields, 1u, [&](int) { return readList(in, list); }) || !in.atEnd())
        return std::nullopt;
    return list;
}

template std::optional<QList<APIConversation>> readDirectPage(QByteArrayView, QByteArrayView);
template std::optional<QList<APIMessage>> readDirectPage(QByteArrayView, QByteArrayView);
template std::optional<QList<SyncRoom>> readDirectPage(QByteArrayView, QByteArrayView);
