#pragma once

#include "model/ChatMessage.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <optional>

// Everything one row of the transcript shows, read from the store when the row is asked for:
// the message, where it stands in its group, who sent it and its read mark.
struct TranscriptRow
{
    ChatMessage message;
    bool mine = false; // sent by the signed-in account
    bool showDay = false; // a day separator stands above it
    bool showHeader = false; // opens a group: avatar and name (somebody else's message)
    bool showMeta = false; // closes a group: the time line under it

    bool senderKnown = false; // the store holds the sender's account
    QString senderName; // the sender's display name, "알 수 없음" when unknown
    bool senderOfficial = false;
    std::optional<QByteArray> avatarJPEG;
    std::optional<QString> avatarURL;

    QString quote; // the reply preview, when the message answers another
    QString readMark; // "읽음", "안 읽음 N" or empty

    bool isSystem() const { return message.kind == MessageKind::system; }
    bool isDeleted() const { return message.kind == MessageKind::deleted; }
    bool isNotice() const
    {
        return message.origin == MessageOrigin::broadcast
            || message.origin == MessageOrigin::system;
    }
    // The photo shown in the bubble, if any.
    bool hasPhoto() const
    {
        return message.kind == MessageKind::image && (message.imageJPEG || message.imageURL);
    }
    // The body shown under the photo or alone: a photo's stand-in body "사진" is not shown.
    bool showsText() const { return !message.caption().isEmpty(); }

    // The sentence a screen reader reads for the row.
    QString accessibleText() const;

    friend bool operator==(const TranscriptRow &, const TranscriptRow &) = default;
};

Q_DECLARE_METATYPE(TranscriptRow)
