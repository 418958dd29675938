#include "model/OfficialLink.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> OfficialLink::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid("accountId", accountId);
    w.boolean("broadcastOptOut", broadcastOptOut);
    return w.finish(error);
}

std::optional<OfficialLink> OfficialLink::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    OfficialLink o;
    o.accountId = r.uuid("accountId");
    o.broadcastOptOut = r.boolean("broadcastOptOut");
    if (!r.finish(error))
        return std::nullopt;
    return o;
}

size_t qHash(const OfficialLink &v, size_t seed)
{
    return HashFeed(seed).add(v.accountId).add(v.broadcastOptOut).result();
}
