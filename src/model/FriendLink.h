#pragma once

#include "model/Enums.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// The user's friend row for another account. Identified by `userId`.
struct FriendLink
{
    QUuid userId;
    FriendState state = FriendState::friends;

    QUuid id() const { return userId; }

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<FriendLink> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const FriendLink &a, const FriendLink &b) = default;
};

size_t qHash(const FriendLink &value, size_t seed = 0);
