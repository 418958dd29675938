#include "ui/workspace/TranscriptRowLayout.h"
#include "model/ChatMessage.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatTime.h"
#include "ui/common/DisplayText.h"
#include "ui/common/PaintedMarks.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal kDayPadding = 8; // above and below the separator's text
constexpr qreal kStackSpacing = 8; // between the separator and the row, as between rows
constexpr qreal kBubblePadX = 12;
constexpr qreal kBubblePadY = 8;
constexpr qreal kContentSpacing = 6;
constexpr qreal kTheirsSpacing = 2; // name, label, bubble and meta of somebody else's message
constexpr qreal kMineSpacing = 4; // bubble and meta of one's own
constexpr qreal kMetaSpacing = 4;
constexpr qreal kNameSpacing = 4;

} // namespace

TranscriptRowLayout::Key TranscriptRowLayout::Key::of(const TranscriptRow &row)
{
    Key key;
    key.kind = row.message.kind;
    key.notice = row.isNotice();
    key.mine = row.mine;
    key.showDay = row.showDay;
    key.showHeader = row.showHeader;
    key.showMeta = row.showMeta;
    key.official = row.senderOfficial;
    key.photo = row.hasPhoto();
    key.failed = row.message.delivery == DeliveryState::failed;
    key.body = row.message.body;
    key.quote = row.message.replyToId ? row.quote : QString();
    key.name = row.senderName;
    key.readMark = row.readMark;
    key.createdAt = row.message.createdAt;
    return key;
}

std::unique_ptr<TranscriptRowLayout> TranscriptRowLayout::make(const TranscriptRow &row, int width,
                                                               const QPalette &palette)
{
    auto l = std::make_unique<TranscriptRowLayout>();
    const QFont footnote = ChatFont::footnote();
    const QFont body = ChatFont::body();
    const QFontMetricsF small(footnote);
    const qreal lineHeight = std::ceil(small.height());

    qreal y = 0;
    if (row.showDay) {
        l->dayText = ChatTime::dayHeader(row.message.createdAt);
        l->day = QRectF(0, kDayPadding, width, lineHeight);
        y = kDayPadding + lineHeight + kDayPadding + kStackSpacing;
    }

    if (row.isSystem()) {
        l->bodyText = std::make_unique<ChatTextLayout>(row.message.body, footnote);
        l->bodyText->setAlignment(Qt::AlignHCenter);
        l->bodyText->setLinkColor(ChatColor::link(palette));
        const QSizeF size = l->bodyText->layout(width);
        l->text = QRectF(0, y, width, size.height());
        l->height = int(std::ceil(y + size.height()));
        return l;
    }

    const bool mine = row.mine;
    const qreal columnLeft = mine ? 0 : avatarSize + avatarGap;
    const qreal columnWidth = std::max<qreal>(std::min<qreal>(maxColumnWidth, width - columnLeft),
                                              2 * kBubblePadX + 24);
    const qreal inner = columnWidth - 2 * kBubblePadX;

    // The bubble's content, stacked; positions relative to the content's top-left corner.
    qreal contentWidth = 0;
    qreal contentHeight = 0;
    const auto stack = [&](qreal w, qreal h) {
        const qreal top = contentHeight > 0 ? contentHeight + kContentSpacing : 0;
        contentHeight = top + h;
        contentWidth = std::max(contentWidth, w);
        return top;
    };
    qreal quoteTop = -1, deletedTop = -1, photoTop = -1, textTop = -1;
    QSizeF quoteSize, textSize, photoSize;
    if (row.message.replyToId) {
        l->quoteText = std::make_unique<ChatTextLayout>(row.quote, footnote);
        l->quoteText->setMaximumLines(2);
        quoteSize = l->quoteText->layout(inner);
        quoteSize.setWidth(std::min(l->quoteText->naturalWidth(), inner));
        quoteTop = stack(quoteSize.width(), quoteSize.height());
    }
    if (row.isDeleted()) {
        l->bodyText = std::make_unique<ChatTextLayout>(kDeletedMessageText, body);
        textSize = l->bodyText->layout(inner);
        textSize.setWidth(std::min(l->bodyText->naturalWidth(), inner));
        deletedTop = stack(textSize.width(), textSize.height());
    } else {
        if (row.hasPhoto()) {
            photoSize = QSizeF(std::min<qreal>(photoWidth, inner), photoHeight);
            photoTop = stack(photoSize.width(), photoSize.height());
        }
        if (row.showsText()) {
            l->bodyText = std::make_unique<ChatTextLayout>(row.message.body, body);
            l->bodyText->setLinkColor(mine ? ChatColor::linkOnMine(palette)
                                           : ChatColor::link(palette));
            textSize = l->bodyText->layout(inner);
            textSize.setWidth(std::min(l->bodyText->naturalWidth(), inner));
            textTop = stack(textSize.width(), textSize.height());
        }
    }
    const QSizeF bubbleSize(std::ceil(contentWidth) + 2 * kBubblePadX,
                            std::ceil(contentHeight) + 2 * kBubblePadY);

    // The column: name and label (somebody else's), bubble, meta line.
    qreal cy = y;
    if (!mine && row.showHeader) {
        const qreal markWidth = row.senderOfficial ? OfficialMark::sizeFor().width() : 0;
        const qreal room = columnWidth - (markWidth > 0 ? markWidth + kNameSpacing : 0);
        l->nameText = small.elidedText(DisplayText::name(row.senderName), Qt::ElideRight, room);
        const qreal nameWidth = std::ceil(small.horizontalAdvance(l->nameText));
        l->name = QRectF(columnLeft, cy, nameWidth, lineHeight);
        if (row.senderOfficial)
            l->official = QRectF(columnLeft + nameWidth + kNameSpacing, cy, markWidth, lineHeight);
        cy += lineHeight + kTheirsSpacing;
        l->avatar = QRectF(0, y, avatarSize, avatarSize);
    }
    if (!mine && row.isNotice()) {
        l->notice = QRectF(columnLeft, cy,
                           std::ceil(small.horizontalAdvance(QStringLiteral("안내"))), lineHeight);
        cy += lineHeight + kTheirsSpacing;
    }
    const qreal bubbleLeft = mine ? width - bubbleSize.width() : columnLeft;
    l->bubble = QRectF(QPointF(bubbleLeft, cy), bubbleSize);
    const QPointF content = l->bubble.topLeft() + QPointF(kBubblePadX, kBubblePadY);
    if (quoteTop >= 0)
        l->quote = QRectF(content + QPointF(0, quoteTop), quoteSize);
    if (deletedTop >= 0)
        l->deleted = QRectF(content + QPointF(0, deletedTop), textSize);
    if (photoTop >= 0)
        l->photo = QRectF(content + QPointF(0, photoTop), photoSize);
    if (textTop >= 0)
        l->text = QRectF(content + QPointF(0, textTop), textSize);
    cy += bubbleSize.height();

    if (row.showMeta) {
        cy += mine ? kMineSpacing : kTheirsSpacing;
        l->time.text = ChatTime::clock(row.message.createdAt);
        if (mine)
            l->mark.text = row.readMark;
        if (row.message.delivery == DeliveryState::failed) {
            l->failed.text = QStringLiteral("전송 실패");
            l->resend.text = QStringLiteral("재전송");
        }
        Piece *pieces[] = {&l->time, &l->mark, &l->failed, &l->resend};
        qreal total = 0;
        for (Piece *piece : pieces) {
            if (piece->text.isEmpty())
                continue;
            total
                += (total > 0 ? kMetaSpacing : 0) + std::ceil(small.horizontalAdvance(piece->text));
        }
        qreal x = mine ? width - total : columnLeft;
        l->meta = QRectF(x, cy, total, lineHeight);
        for (Piece *piece : pieces) {
            if (piece->text.isEmpty())
                continue;
            const qreal w = std::ceil(small.horizontalAdvance(piece->text));
            piece->rect = QRectF(x, cy, w, lineHeight);
            x += w + kMetaSpacing;
        }
        if (!l->resend.text.isEmpty())
            l->resendTarget = l->resend.rect.adjusted(-6, -6, 6, 6);
        cy += lineHeight;
    }
    l->height = int(std::ceil(std::max(cy, l->avatar.bottom())));
    return l;
}

TranscriptHit TranscriptRowLayout::hitTest(const QPointF &point) const
{
    if (resendTarget.contains(point))
        return {TranscriptHit::Part::resend, {}};
    if (photo.contains(point))
        return {TranscriptHit::Part::photo, {}};
    if (bodyText && text.contains(point)) {
        if (const std::optional<MessageLink> link = bodyText->linkAt(point - text.topLeft()))
            return {TranscriptHit::Part::link, link->url};
    }
    if (bubble.contains(point))
        return {TranscriptHit::Part::bubble, {}};
    return {};
}
