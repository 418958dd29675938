#include "model/AppSession.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> AppSession::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid("meId", meId);
    w.boolean("profileComplete", profileComplete);
    return w.finish(error);
}

std::optional<AppSession> AppSession::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    AppSession s;
    s.meId = r.uuid("meId");
    s.profileComplete = r.boolean("profileComplete");
    if (!r.finish(error))
        return std::nullopt;
    return s;
}

size_t qHash(const AppSession &v, size_t seed)
{
    return HashFeed(seed).add(v.meId).add(v.profileComplete).result();
}
