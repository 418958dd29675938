#include "model/Account.h"

#include "model/JsonFields.h"
#include "model/ValueSupport.h"

// The document's key set; the texts are the field names exactly.
namespace StoreKey {
constexpr const char id[] = "id";
constexpr const char kind[] = "kind";
constexpr const char handle[] = "handle";
constexpr const char displayName[] = "displayName";
constexpr const char bio[] = "bio";
constexpr const char avatarJPEG[] = "avatarJPEG";
constexpr const char status[] = "status";
constexpr const char handleChanged[] = "handleChanged";
constexpr const char verified[] = "verified";
constexpr const char avatarURL[] = "avatarURL";
constexpr const char officialAccountId[] = "officialAccountId";
constexpr const char acceptsUserMessages[] = "acceptsUserMessages";
} // namespace StoreKey

std::optional<QJsonObject> Account::toJson(QString *error) const
{
    JsonWriter w;
    w.uuid(StoreKey::id, id);
    w.enumeration(StoreKey::kind, kind);
    w.text(StoreKey::handle, handle);
    w.text(StoreKey::displayName, displayName);
    w.text(StoreKey::bio, bio);
    w.optionalBytes(StoreKey::avatarJPEG, avatarJPEG);
    w.enumeration(StoreKey::status, status);
    w.boolean(StoreKey::handleChanged, handleChanged);
    w.boolean(StoreKey::verified, verified);
    w.optionalText(StoreKey::avatarURL, avatarURL);
    w.optionalUuid(StoreKey::officialAccountId, officialAccountId);
    w.boolean(StoreKey::acceptsUserMessages, acceptsUserMessages);
    return w.finish(error);
}

std::optional<Account> Account::fromJson(const QJsonValue &json, QString *error)
{
    JsonReader r(json);
    Account a;
    a.id = r.uuid(StoreKey::id);
    a.kind = r.enumeration<AccountKind>(StoreKey::kind);
    a.handle = r.text(StoreKey::handle);
    a.displayName = r.text(StoreKey::displayName);
    a.bio = r.text(StoreKey::bio);
    a.avatarJPEG = r.optionalBytes(StoreKey::avatarJPEG);
    a.status = r.enumeration<AccountStatus>(StoreKey::status);
    a.handleChanged = r.boolean(StoreKey::handleChanged);
    a.verified = r.boolean(StoreKey::verified);
    a.avatarURL = r.optionalText(StoreKey::avatarURL);
    a.officialAccountId = r.optionalUuid(StoreKey::officialAccountId);
    // Documents from before this field existed lack it: such accounts take user messages.
    a.acceptsUserMessages = r.optionalBoolean(StoreKey::acceptsUserMessages).value_or(true);
    if (!r.finish(error))
        return std::nullopt;
    return a;
}

bool operator==(const Account &a, const Account &b)
{
    return a.id == b.id && a.kind == b.kind && sameText(a.handle, b.handle)
        && sameText(a.displayName, b.displayName) && sameText(a.bio, b.bio)
        && a.avatarJPEG == b.avatarJPEG && a.status == b.status
        && a.handleChanged == b.handleChanged && a.verified == b.verified
        && sameText(a.avatarURL, b.avatarURL) && a.officialAccountId == b.officialAccountId
        && a.acceptsUserMessages == b.acceptsUserMessages;
}

size_t qHash(const Account &v, size_t seed)
{
    return HashFeed(seed)
        .add(v.id)
        .add(v.kind)
        .addText(v.handle)
        .addText(v.displayName)
        .addText(v.bio)
        .add(v.avatarJPEG)
        .add(v.status)
        .add(v.handleChanged)
        .add(v.verified)
        .addText(v.avatarURL)
        .add(v.officialAccountId)
        .add(v.acceptsUserMessages)
        .result();
}
