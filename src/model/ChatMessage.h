#pragma once

#include "model/Enums.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

#include <optional>

// The stand-in body of a photo sent without a caption, as the service and the lists show it.
inline const QString kPhotoText = QStringLiteral("사진");
// What a deleted message shows in its place.
inline const QString kDeletedMessageText = QStringLiteral("삭제된 메시지");

// A message's body as the program keeps it, from the service's: none for a deleted message,
// the stand-in kPhotoText for a photo without a caption.
inline QString storedBody(MessageKind kind, const std::optional<QString> &serviceBody)
{
    if (kind == MessageKind::deleted)
        return {};
    const QString body = serviceBody.value_or(QString());
    return kind == MessageKind::image && body.isEmpty() ? kPhotoText : body;
}

// One message of a room. Identified by `id`. A message this client sends starts with `id`
// equal to `clientMsgId`; the service's copy is matched to it by either.
struct ChatMessage
{
    QUuid id;
    QUuid clientMsgId;
    std::optional<QString> idempotencyKey; // official-account delivery at most once (local mode)
    QUuid conversationId;
    QUuid senderId;
    qint64 seq = 0; // ascending within the room
    MessageKind kind = MessageKind::text;
    MessageOrigin origin = MessageOrigin::user;
    QString body; // the text, a photo's caption or the system line; may be empty
    std::optional<QByteArray> imageJPEG;
    std::optional<QString> imageURL;
    std::optional<QUuid> replyToId;
    QDateTime createdAt;
    DeliveryState delivery = DeliveryState::sent;
    bool hiddenForMe = false;

    // The body less a photo's stand-in kPhotoText: a photo's own caption, or any other body.
    QString caption() const
    {
        return kind == MessageKind::image && body == kPhotoText ? QString() : body;
    }

    std::optional<QJsonObject> toJson(QString *error = nullptr) const;
    static std::optional<ChatMessage> fromJson(const QJsonValue &json, QString *error = nullptr);

    friend bool operator==(const ChatMessage &a, const ChatMessage &b);
};

size_t qHash(const ChatMessage &value, size_t seed = 0);
