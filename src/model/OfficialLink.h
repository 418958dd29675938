#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// The user's link to an official account. Identified by `accountId`.
struct OfficialLink
{
    QUuid accountId;
    bool broadcastOptOut = false; // the user switched that account's broadcasts off

    QUuid id() const { return accountId; }

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<OfficialLink> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const OfficialLink &a, const OfficialLink &b) = default;
};

size_t qHash(const OfficialLink &value, size_t seed = 0);
