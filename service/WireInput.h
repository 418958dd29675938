#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// Reading request bodies and path pieces. Every refusal is a 400 with a message that names the
// offending key, raised as a ServiceError.
namespace WireInput {

QJsonObject object(const QByteArray &body); // empty body reads as {}
QString requireString(const QJsonObject &o, const QString &key);
std::optional<QString> optString(const QJsonObject &o, const QString &key);
QUuid requireUuid(const QJsonObject &o, const QString &key);
std::optional<QUuid> optUuid(const QJsonObject &o, const QString &key);
qint64 requireInt(const QJsonObject &o, const QString &key);
std::optional<bool> optBool(const QJsonObject &o, const QString &key);
QList<QUuid> requireUuidList(const QJsonObject &o, const QString &key);
QUuid pathUuid(const QString &piece); // 404 when it is not a UUID
std::optional<QUuid> parseUuid(const QString &text); // canonical 8-4-4-4-12 form only
std::optional<qint64> parseInt(const QString &text);

} // namespace WireInput
