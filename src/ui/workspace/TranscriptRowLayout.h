#pragma once

#include "ui/common/ChatTextLayout.h"
#include "ui/workspace/TranscriptModel.h"

#include <QDateTime>
#include <QRectF>
#include <QString>
#include <QUrl>

#include <memory>

class QPalette;

// What a point of a row hits.
struct TranscriptHit
{
    enum class Part { none, bubble, photo, link, resend };
    Part part = Part::none;
    QUrl url; // the link's address

    friend bool operator==(const TranscriptHit &, const TranscriptHit &) = default;
};

// The geometry of one transcript row at one width, in points relative to the row's top-left
// corner: the day separator, then a centred system line, or a bubble with what goes around it.
// Made once per (row look, width) and shared by painting and hit-testing.
struct TranscriptRowLayout
{
    // Everything of a row that decides its layout; rows with equal keys lay out alike.
    struct Key
    {
        MessageKind kind = MessageKind::text;
        bool notice = false;
        bool mine = false;
        bool showDay = false;
        bool showHeader = false;
        bool showMeta = false;
        bool official = false;
        bool photo = false;
        bool failed = false;
        QString body;
        QString quote;
        QString name;
        QString readMark;
        QDateTime createdAt;

        static Key of(const TranscriptRow &row);
        friend bool operator==(const Key &, const Key &) = default;
    };

    static constexpr int maxColumnWidth = 460;
    static constexpr int avatarSize = 32;
    static constexpr int avatarGap = 8;
    static constexpr qreal bubbleRadius = 16;
    static constexpr qreal photoRadius = 10;
    static constexpr int photoWidth = 220;
    static constexpr int photoHeight = 180;

    static std::unique_ptr<TranscriptRowLayout> make(const TranscriptRow &row, int width,
                                                     const QPalette &palette);

    TranscriptHit hitTest(const QPointF &point) const;

    int height = 0;

    QRectF day; // the separator's text line
    QString dayText;

    QRectF avatar; // empty unless somebody else's message opens its group
    QRectF name;
    QString nameText; // elided to fit
    QRectF official;
    QRectF notice; // "안내"

    QRectF bubble; // empty for a system line
    QRectF quote;
    std::unique_ptr<ChatTextLayout> quoteText;
    QRectF deleted;
    QRectF photo;
    QRectF text; // the body, or the system line
    std::unique_ptr<ChatTextLayout> bodyText;

    struct Piece
    {
        QRectF rect;
        QString text;
    };
    QRectF meta;
    Piece time;
    Piece mark; // "읽음" or "안 읽음 N"
    Piece failed; // "전송 실패"
    Piece resend; // "재전송"
    QRectF resendTarget; // the button's clickable area, taller than its text
};
