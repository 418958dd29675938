#include "model/FriendLink.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> FriendLink::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid("userId", userId);
    w.enumeration("state", state);
    return w.finish(error);
}

std::optional<FriendLink> FriendLink::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    FriendLink f;
    f.userId = r.uuid("userId");
    f.state = r.enumeration<FriendState>("state");
    if (!r.finish(error))
        return std::nullopt;
    return f;
}

size_t qHash(const FriendLink &v, size_t seed)
{
    return HashFeed(seed).add(v.userId).add(v.state).result();
}
