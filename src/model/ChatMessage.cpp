#include "model/ChatMessage.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> ChatMessage::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid("id", id);
    w.uuid("clientMsgId", clientMsgId);
    w.optionalText("idempotencyKey", idempotencyKey);
    w.uuid("conversationId", conversationId);
    w.uuid("senderId", senderId);
    w.int64("seq", seq);
    w.enumeration("kind", kind);
    w.enumeration("origin", origin);
    w.text("body", body);
    w.optionalBytes("imageJPEG", imageJPEG);
    w.optionalText("imageURL", imageURL);
    w.optionalUuid("replyToId", replyToId);
    w.time("createdAt", createdAt);
    w.enumeration("delivery", delivery);
    w.boolean("hiddenForMe", hiddenForMe);
    return w.finish(error);
}

std::optional<ChatMessage> ChatMessage::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    ChatMessage m;
    m.id = r.uuid("id");
    m.clientMsgId = r.uuid("clientMsgId");
    m.idempotencyKey = r.optionalText("idempotencyKey");
    m.conversationId = r.uuid("conversationId");
    m.senderId = r.uuid("senderId");
    m.seq = r.int64("seq");
    m.kind = r.enumeration<MessageKind>("kind");
    m.origin = r.enumeration<MessageOrigin>("origin");
    m.body = r.text("body");
    m.imageJPEG = r.optionalBytes("imageJPEG");
    m.imageURL = r.optionalText("imageURL");
    m.replyToId = r.optionalUuid("replyToId");
    m.createdAt = r.time("createdAt");
    m.delivery = r.enumeration<DeliveryState>("delivery");
    m.hiddenForMe = r.boolean("hiddenForMe");
    if (!r.finish(error))
        return std::nullopt;
    return m;
}

bool operator==(const ChatMessage &a, const ChatMessage &b)
{
    return a.id == b.id && a.clientMsgId == b.clientMsgId
        && sameText(a.idempotencyKey, b.idempotencyKey) && a.conversationId == b.conversationId
        && a.senderId == b.senderId && a.seq == b.seq && a.kind == b.kind && a.origin == b.origin
        && sameText(a.body, b.body) && a.imageJPEG == b.imageJPEG
        && sameText(a.imageURL, b.imageURL) && a.replyToId == b.replyToId
        && a.createdAt == b.createdAt && a.delivery == b.delivery && a.hiddenForMe == b.hiddenForMe;
}

size_t qHash(const ChatMessage &v, size_t seed)
{
    return HashFeed(seed)
        .add(v.id)
        .add(v.clientMsgId)
        .addText(v.idempotencyKey)
        .add(v.conversationId)
        .add(v.senderId)
        .add(v.seq)
        .add(v.kind)
        .add(v.origin)
        .addText(v.body)
        .add(v.imageJPEG)
        .addText(v.imageURL)
        .add(v.replyToId)
        .add(v.createdAt)
        .add(v.delivery)
        .add(v.hiddenForMe)
        .result();
}
