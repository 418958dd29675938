#pragma once

#include "model/Enums.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// One member of a room, held inside its Conversation. Identified by `userId`.
struct Membership
{
    QUuid userId;
    MemberRole role = MemberRole::member;
    qint64 lastReadSeq = 0; // the highest message seq of the room this member has read
    QDateTime joinedAt;
    std::optional<QDateTime> leftAt; // set once the member left or was removed

    QUuid id() const { return userId; }
    bool isActive() const { return !leftAt.has_value(); }

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<Membership> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const Membership &a, const Membership &b);
};

size_t qHash(const Membership &value, size_t seed = 0);
