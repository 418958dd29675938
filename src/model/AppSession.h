#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// Who is signed in. The store holds it as std::optional: empty means signed out. No identity.
struct AppSession
{
    QUuid meId;
    bool profileComplete = false; // the first profile (handle and display name) is done

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<AppSession> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const AppSession &a, const AppSession &b) = default;
};

size_t qHash(const AppSession &value, size_t seed = 0);
