#include "model/Membership.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> Membership::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid("userId", userId);
    w.enumeration("role", role);
    w.int64("lastReadSeq", lastReadSeq);
    w.time("joinedAt", joinedAt);
    w.optionalTime("leftAt", leftAt);
    return w.finish(error);
}

std::optional<Membership> Membership::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    Membership m;
    m.userId = r.uuid("userId");
    m.role = r.enumeration<MemberRole>("role");
    m.lastReadSeq = r.int64("lastReadSeq");
    m.joinedAt = r.time("joinedAt");
    m.leftAt = r.optionalTime("leftAt");
    if (!r.finish(error))
        return std::nullopt;
    return m;
}

bool operator==(const Membership &a, const Membership &b)
{
    return a.userId == b.userId && a.role == b.role && a.lastReadSeq == b.lastReadSeq
        && a.joinedAt == b.joinedAt && a.leftAt == b.leftAt;
}

size_t qHash(const Membership &v, size_t seed)
{
    return HashFeed(seed)
        .add(v.userId)
        .add(v.role)
        .add(v.lastReadSeq)
        .add(v.joinedAt)
        .add(v.leftAt)
        .result();
}
