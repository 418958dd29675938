#include "service/WireInput.h"

#include "service/ServiceState.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

#include <cmath>

namespace WireInput {

namespace {
[[noreturn]] void badKey(const QString &key, const QString &what)
{
    refuse(400, QStringLiteral("invalid_request"),
           QStringLiteral("잘못된 요청입니다: \"%1\" %2").arg(key, what));
}

std::optional<qint64> integral(const QJsonValue &v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9007199254740991.0)
        return std::nullopt;
    return qint64(d);
}
} // namespace

QJsonObject object(const QByteArray &body)
{
    if (body.trimmed().isEmpty())
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        refuse(400, QStringLiteral("invalid_json"),
               QStringLiteral("요청 본문이 JSON이 아닙니다: %1").arg(error.errorString()));
    if (!doc.isObject())
        refuse(400, QStringLiteral("invalid_json"),
               QStringLiteral("요청 본문은 JSON 객체여야 합니다."));
    return doc.object();
}

QString requireString(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        badKey(key, QStringLiteral("is missing"));
    if (!v.isString())
        badKey(key, QStringLiteral("must be a string"));
    return v.toString();
}

std::optional<QString> optString(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isString())
        badKey(key, QStringLiteral("must be a string"));
    return v.toString();
}

std::optional<QUuid> parseUuid(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}

QUuid requireUuid(const QJsonObject &o, const QString &key)
{
    const auto id = parseUuid(requireString(o, key));
    if (!id)
        badKey(key, QStringLiteral("must be a UUID"));
    return *id;
}

std::optional<QUuid> optUuid(const QJsonObject &o, const QString &key)
{
    const auto text = optString(o, key);
    if (!text)
        return std::nullopt;
    const auto id = parseUuid(*text);
    if (!id)
        badKey(key, QStringLiteral("must be a UUID"));
    return id;
}

qint64 requireInt(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        badKey(key, QStringLiteral("is missing"));
    const auto n = integral(v);
    if (!n)
        badKey(key, QStringLiteral("must be an integer"));
    return *n;
}

std::optional<bool> optBool(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isBool())
        badKey(key, QStringLiteral("must be a boolean"));
    return v.toBool();
}

QList<QUuid> requireUuidList(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        badKey(key, QStringLiteral("is missing"));
    if (!v.isArray())
        badKey(key, QStringLiteral("must be an array of UUIDs"));
    QList<QUuid> out;
    for (const QJsonValue &item : v.toArray()) {
        const auto id = item.isString() ? parseUuid(item.toString()) : std::nullopt;
        if (!id)
            badKey(key, QStringLiteral("must be an array of UUIDs"));
        out.append(*id);
    }
    return out;
}

QUuid pathUuid(const QString &piece)
{
    const auto id = parseUuid(piece);
    if (!id)
        refuse(404, QStringLiteral("not_found"), QStringLiteral("찾을 수 없습니다."));
    return *id;
}

std::optional<qint64> parseInt(const QString &text)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

} // namespace WireInput
