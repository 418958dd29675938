#pragma once

#include "model/Enums.h"
#include "model/Membership.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// A direct or group room with every member it has had. Identified by `id`.
struct Conversation
{
    QUuid id;
    ConversationKind kind = ConversationKind::direct;
    QString title; // the group's own title; may be empty
    std::optional<QByteArray> photoJPEG;
    QList<Membership> memberships; // including those who left
    bool pinned = false;
    bool muted = false;
    bool hiddenFromList = false;
    QDateTime createdAt;
    QDateTime updatedAt; // last activity; orders the room list after the pinned rooms

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<Conversation> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const Conversation &a, const Conversation &b);
};

size_t qHash(const Conversation &value, size_t seed = 0);
