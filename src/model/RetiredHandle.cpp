#include "model/RetiredHandle.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> RetiredHandle::toJson(QString *error) const
{
    JsonWriter w;
    w.text("handle", handle);
    w.time("until", until);
    return w.finish(error);
}

std::optional<RetiredHandle> RetiredHandle::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    RetiredHandle h;
    h.handle = r.text("handle");
    h.until = r.time("until");
    if (!r.finish(error))
        return std::nullopt;
    return h;
}

bool operator==(const RetiredHandle &a, const RetiredHandle &b)
{
    return sameText(a.handle, b.handle) && a.until == b.until;
}

size_t qHash(const RetiredHandle &v, size_t seed)
{
    return HashFeed(seed).addText(v.handle).add(v.until).result();
}
