#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// A handle given up by a deleted account; nobody may take it before `until`. No identity.
struct RetiredHandle
{
    QString handle;
    QDateTime until;

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<RetiredHandle> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const RetiredHandle &a, const RetiredHandle &b);
};

size_t qHash(const RetiredHandle &value, size_t seed = 0);
