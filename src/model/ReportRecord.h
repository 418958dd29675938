#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// A report the user filed. Identified by `id`.
struct ReportRecord
{
    QUuid id;
    QUuid targetUserId;
    std::optional<QUuid> messageId; // empty when the account itself is reported
    QString reason; // the label of the chosen ReportReason, e.g. "스팸"
    QString note; // trimmed, at most 200 characters; empty unless the reason is "기타"
    QDateTime createdAt;

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<ReportRecord> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const ReportRecord &a, const ReportRecord &b);
};

size_t qHash(const ReportRecord &value, size_t seed = 0);
