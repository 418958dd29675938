#include "model/Conversation.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

std::optional<QJsonObject> Conversation::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid("id", id);
    w.enumeration("kind", kind);
    w.text("title", title);
    w.optionalBytes("photoJPEG", photoJPEG);
    w.list("memberships", memberships);
    w.boolean("pinned", pinned);
    w.boolean("muted", muted);
    w.boolean("hiddenFromList", hiddenFromList);
    w.time("createdAt", createdAt);
    w.time("updatedAt", updatedAt);
    return w.finish(error);
}

std::optional<Conversation> Conversation::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    Conversation c;
    c.id = r.uuid("id");
    c.kind = r.enumeration<ConversationKind>("kind");
    c.title = r.text("title");
    c.photoJPEG = r.optionalBytes("photoJPEG");
    c.memberships = r.list<Membership>("memberships");
    c.pinned = r.boolean("pinned");
    c.muted = r.boolean("muted");
    c.hiddenFromList = r.boolean("hiddenFromList");
    c.createdAt = r.time("createdAt");
    c.updatedAt = r.time("updatedAt");
    if (!r.finish(error))
        return std::nullopt;
    return c;
}

bool operator==(const Conversation &a, const Conversation &b)
{
    return a.id == b.id && a.kind == b.kind && sameText(a.title, b.title)
        && a.photoJPEG == b.photoJPEG && a.memberships == b.memberships && a.pinned == b.pinned
        && a.muted == b.muted && a.hiddenFromList == b.hiddenFromList && a.createdAt == b.createdAt
        && a.updatedAt == b.updatedAt;
}

size_t qHash(const Conversation &v, size_t seed)
{
    HashFeed feed(seed);
    feed.add(v.id).add(v.kind).addText(v.title).add(v.photoJPEG);
    feed.add(v.memberships.size());
    for (const Membership &m : v.memberships)
        feed.add(m);
    return feed.add(v.pinned)
        .add(v.muted)
        .add(v.hiddenFromList)
        .add(v.createdAt)
        .add(v.updatedAt)
        .result();
}
