#include "ui/workspace/ConversationRowDelegate.h"

#include "ui/common/AvatarView.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/OfficialMark.h"
#include "ui/common/UiMetrics.h"
#include "ui/common/UnreadBadge.h"
#include "ui/workspace/RoomListModel.h"
#include "ui/workspace/SidebarRowPaint.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int verticalPadding = 4;
constexpr int lineGap = 2;
constexpr int itemGap = 6;
// The flexible space between the two ends of a line: at least 4 points, with the line's
// spacing on both of its sides.
constexpr int minimumSpace = itemGap + 4 + itemGap;
constexpr int dotSize = 6;

int firstLineHeight()
{
    return std::max({QFontMetrics(ChatFont::body()).height(), OfficialMark::sizeFor().height(),
                     QFontMetrics(ChatFont::caption()).height()});
}

int secondLineHeight()
{
    return std::max({QFontMetrics(ChatFont::subheadline()).height(),
                     UnreadBadge::sizeFor(1).height(), dotSize});
}

// A preview is one line: line breaks in a message read as spaces.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return text;
}

QRect centredIn(int x, int width, int lineTop, int lineHeight, int height)
{
    return QRect(x, lineTop + (lineHeight - height) / 2, width, height);
}

} // namespace

int ConversationRowDelegate::rowHeight()
{
    const int texts = firstLineHeight() + lineGap + secondLineHeight();
    return 2 * verticalPadding + std::max(UiMetrics::avatarSize, texts);
}

QSize ConversationRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // No width of its own: a long title is elided, it never widens the sidebar.
    return QSize(1, rowHeight());
}

void ConversationRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const auto *model = qobject_cast<const RoomListModel *>(index.model());
    if (!model)
        return;
    paintRow(*painter, option, model->row(index.row()), QDateTime::currentDateTime());
}

void ConversationRowDelegate::paintRow(QPainter &painter, const QStyleOptionViewItem &option,
                                       const RoomRow &row, const QDateTime &now) const
{
    SidebarRowPaint::paintBackground(painter, option);
    const QRect area = option.rect.adjusted(SidebarRowPaint::inset + 4, verticalPadding,
                                            -(SidebarRowPaint::inset + 4), -verticalPadding);
    const QRectF avatar(area.left(), area.top(), UiMetrics::avatarSize, UiMetrics::avatarSize);
    AvatarView::paintCached(painter, avatar, row.title, row.avatarJPEG, row.avatarURL,
                            option.palette);

    const int left = area.left() + UiMetrics::avatarSize + UiMetrics::avatarGap;
    const int right = area.right() + 1;
    const QColor primary = SidebarRowPaint::textColor(option, false);
    const QColor secondary = SidebarRowPaint::textColor(option, true);
    painter.save();

    // First line: title, marks, then the time at the far end.
    const int top1 = area.top();
    const int height1 = firstLineHeight();
    const QFont captionFont = ChatFont::caption();
    const QFontMetrics caption(captionFont);
    const QString time = RoomListModel::timeText(row, now);
    const int timeWidth = time.isEmpty() ? 0 : caption.horizontalAdvance(time);
    const QSize mark = row.official ? OfficialMark::sizeFor() : QSize();
    const int bell = row.room.muted ? caption.height() : 0;
    int marks = 0;
    if (row.official)
        marks += itemGap + mark.width();
    if (row.room.muted)
        marks += itemGap + bell;
    const int timeRoom = time.isEmpty() ? minimumSpace - itemGap : minimumSpace + timeWidth;
    const QFont bodyFont = ChatFont::body();
    const QFontMetrics body(bodyFont);
    const int titleSpace = std::max(0, right - left - marks - timeRoom);
    const QString title = body.elidedText(row.title, Qt::ElideRight, titleSpace);
    const int titleWidth = std::min(titleSpace, body.horizontalAdvance(title));
    painter.setFont(bodyFont);
    painter.setPen(primary);
    painter.drawText(centredIn(left, titleWidth + 1, top1, height1, body.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    int x = left + titleWidth;
    if (row.official) {
        x += itemGap;
        const QRect markRect = centredIn(x, mark.width(), top1, height1, mark.height());
        if (option.state & QStyle::State_Selected)
            OfficialMark::paint(painter, markRect, primary);
        else
            OfficialMark::paint(painter, markRect, option.palette);
        x += mark.width();
    }
    if (row.room.muted) {
        x += itemGap;
        ChatIcon::symbol(QStringLiteral("bell.slash"), secondary)
            .paint(&painter, centredIn(x, bell, top1, height1, bell));
    }
    if (!time.isEmpty()) {
        painter.setFont(captionFont);
        painter.setPen(secondary);
        painter.drawText(centredIn(right - timeWidth, timeWidth, top1, height1, caption.height()),
                         Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, time);
    }

    // Second line: preview, the unread dot, then the badge at the far end.
    const int top2 = top1 + height1 + lineGap;
    const int height2 = secondLineHeight();
    const QSize badge = row.unread > 0 ? UnreadBadge::sizeFor(row.unread) : QSize();
    const int badgeRoom = row.unread > 0 ? minimumSpace + badge.width() : minimumSpace - itemGap;
    const int dotRoom = row.unreadDot ? itemGap + dotSize : 0;
    const QFont subFont = ChatFont::subheadline();
    const QFontMetrics sub(subFont);
    const int previewSpace = std::max(0, right - left - dotRoom - badgeRoom);
    const QString preview = sub.elidedText(oneLine(row.preview), Qt::ElideRight, previewSpace);
    const int previewWidth = std::min(previewSpace, sub.horizontalAdvance(preview));
    painter.setFont(subFont);
    painter.setPen(secondary);
    painter.drawText(centredIn(left, previewWidth + 1, top2, height2, sub.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, preview);
    if (row.unreadDot) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(secondary);
        painter.drawEllipse(
            centredIn(left + previewWidth + itemGap, dotSize, top2, height2, dotSize));
    }
    if (row.unread > 0) {
        UnreadBadge::paint(
            painter, centredIn(right - badge.width(), badge.width(), top2, height2, badge.height()),
            row.unread, option.palette);
    }
    painter.restore();
}
