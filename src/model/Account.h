#pragma once

#include "model/Enums.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// The name shown for a person this client does not know, or whose account is gone.
inline const QString kUnknownName = QStringLiteral("알 수 없음");
// An official account's note when it takes no messages from users.
inline const QString kClosedInboxText = QStringLiteral("이 서비스는 메시지를 받지 않습니다.");

// A person or an official account as this client knows it. Identified by `id`.
//
// JSON (store document only): the twelve field names as keys; empty optionals are left out.
// Reading is strict except that a missing or null `acceptsUserMessages` reads as true, so that
// documents written before the field existed still load.
struct Account
{
    QUuid id;
    AccountKind kind = AccountKind::person;
    QString handle; // without "@"; empty until the user has chosen one
    QString displayName;
    QString bio;
    std::optional<QByteArray> avatarJPEG;
    AccountStatus status = AccountStatus::active;
    bool handleChanged = false; // a handle may be changed once only
    bool verified = false;
    std::optional<QString> avatarURL;
    std::optional<QUuid> officialAccountId;
    bool acceptsUserMessages = true;

    // Writing fails (empty result, `error` set) only for values that have no text form.
    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    // Any failure gives no value and a one-line reason in `error`; never a partial record.
    static std::optional<Account> fromJson(const QJsonValue &json, QString *error = nullptr);

    // Texts compare as canonically equivalent Unicode.
    friend bool operator==(const Account &a, const Account &b);
};

size_t qHash(const Account &value, size_t seed = 0);
