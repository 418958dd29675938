#include "model/ReportRecord.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> ReportRecord::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid("id", id);
    w.uuid("targetUserId", targetUserId);
    w.optionalUuid("messageId", messageId);
    w.text("reason", reason);
    w.text("note", note);
    w.time("createdAt", createdAt);
    return w.finish(error);
}

std::optional<ReportRecord> ReportRecord::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    ReportRecord rr;
    rr.id = r.uuid("id");
    rr.targetUserId = r.uuid("targetUserId");
    rr.messageId = r.optionalUuid("messageId");
    rr.reason = r.text("reason");
    rr.note = r.text("note");
    rr.createdAt = r.time("createdAt");
    if (!r.finish(error))
        return std::nullopt;
    return rr;
}

bool operator==(const ReportRecord &a, const ReportRecord &b)
{
    return a.id == b.id && a.targetUserId == b.targetUserId && a.messageId == b.messageId
        && sameText(a.reason, b.reason) && sameText(a.note, b.note) && a.createdAt == b.createdAt;
}

size_t qHash(const ReportRecord &v, size_t seed)
{
    return HashFeed(seed)
        .add(v.id)
        .add(v.targetUserId)
        .add(v.messageId)
        .addText(v.reason)
        .addText(v.note)
        .add(v.createdAt)
        .result();
}
