#include "api/ApiDecoder.h"

#include "api/WireJson.h"

#include <QJsonDocument>

std::optional<QJsonValue> ApiDecoder::parse(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (doc.isObject())
        return QJsonValue(doc.object());
    if (doc.isArray())
        return QJsonValue(doc.array());
    return std::nullopt;
}

namespace {

template<typename T>
std::optional<QList<T>> page(const QByteArray &bytes, const QString &name)
{
    const auto value = ApiDecoder::parse(bytes);
    if (!value)
        return std::nullopt;
    const auto o = WireObject::from(*value);
    QList<T> list;
    if (!o || !o->array(name, list))
        return std::nullopt;
    return list;
}

std::optional<QUuid> idMember(const QByteArray &bytes, const QString &name)
{
    const auto value = ApiDecoder::parse(bytes);
    if (!value)
        return std::nullopt;
    const auto o = WireObject::from(*value);
    QUuid id;
    if (!o || !o->uuid(name, id))
        return std::nullopt;
    return id;
}

} // namespace

std::optional<QList<APIConversation>> ApiDecoder::conversationPage(const QByteArray &bytes)
{
    return page<APIConversation>(bytes, QStringLiteral("conversations"));
}

std::optional<QList<APIMessage>> ApiDecoder::messagePage(const QByteArray &bytes)
{
    return page<APIMessage>(bytes, QStringLiteral("messages"));
}

std::optional<QList<SyncRoom>> ApiDecoder::syncPage(const QByteArray &bytes)
{
    return page<SyncRoom>(bytes, QStringLiteral("conversations"));
}

std::optional<QUuid> ApiDecoder::conversationRef(const QByteArray &bytes)
{
    return idMember(bytes, QStringLiteral("conversationId"));
}

std::optional<QUuid> ApiDecoder::resourceId(const QByteArray &bytes)
{
    return idMember(bytes, QStringLiteral("id"));
}

std::optional<QString> ApiDecoder::inviteCode(const QByteArray &bytes)
{
    const auto value = parse(bytes);
    if (!value)
        return std::nullopt;
    const auto o = WireObject::from(*value);
    QString code;
    if (!o || !o->text(QStringLiteral("code"), code))
        return std::nullopt;
    return code;
}

std::optional<bool> ApiDecoder::blockedFlag(const QByteArray &bytes)
{
    const auto value = parse(bytes);
    if (!value)
        return std::nullopt;
    const auto o = WireObject::from(*value);
    bool blocked = false;
    if (!o || !o->flag(QStringLiteral("blocked"), blocked))
        return std::nullopt;
    return blocked;
}
