#include "api/ApiDecoder.h"

#include "api/WireDirect.h"
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
std::optional<QList<T>> page(const QByteArray &bytes, const char *name, ApiDecoder::Reader reader)
{
    if (reader != ApiDecoder::Reader::document) {
        auto list = readDirectPage<T>(bytes, name);
        if (list || reader == ApiDecoder::Reader::direct)
            return list;
    }
    const auto value = ApiDecoder::parse(bytes);
    if (!value)
        return std::nullopt;
    const auto o = WireObject::from(*value);
    QList<T> list;
    if (!o || !o->array(QString::fromLatin1(name), list))
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

std::optional<QList<APIConversation>> ApiDecoder::conversationPage(const QByteArray &bytes,
                                                                   Reader reader)
{
    return page<APIConversation>(bytes, "conversations", reader);
}

std::optional<QList<APIMessage>> ApiDecoder::messagePage(const QByteArray &bytes, Reader reader)
{
    return page<APIMessage>(bytes, "messages", reader);
}

std::optional<QList<SyncRoom>> ApiDecoder::syncPage(const QByteArray &bytes, Reader reader)
{
    return page<SyncRoom>(bytes, "conversations", reader);
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
