#include "ui/workspace/SidebarRows.h"

#include "ui/common/AvatarView.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/PersonPaint.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/FriendListModel.h"
#include "ui/workspace/RoomListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QListView>
#include <QPainter>
#include <QStyleOptionButton>

#include <algorithm>

namespace SidebarRowPaint {

namespace {
// How much of the highlighted text's colour a secondary line on a selected row keeps.
constexpr qreal secondaryShare = 0.8;
} // namespace

void prepareList(QListView &view)
{
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.viewport()->setAutoFillBackground(false);
    view.viewport()->setAttribute(Qt::WA_Hover);
}

void paintBackground(QPainter &painter, const QStyleOptionViewItem &option)
{
    QColor fill;
    if (option.state & QStyle::State_Selected)
        fill = plateColor(option);
    else if (option.state & QStyle::State_MouseOver)
        fill = UiMetrics::shade(option.palette, UiMetrics::Shade::hover);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = plateRect(option.rect);
    if (fill.isValid()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(plate, UiMetrics::plateRadius, UiMetrics::plateRadius);
    }
    // The keyboard's row (the list's current one while it has focus) is ringed just outside its
    // plate, so that the ring shows on a chosen row as on any other, before any arrow key.
    if (option.state & QStyle::State_HasFocus) {
        painter.setPen(UiMetrics::focusRing(option.palette));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(plate.adjusted(-2, -0.5, 2, 0.5), UiMetrics::plateRadius + 2,
                                UiMetrics::plateRadius + 2);
    }
    painter.restore();
}

QColor plateColor(const QStyleOptionViewItem &option)
{
    const auto group
        = (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    return ChatColor::plateUnder(option.palette.color(group, QPalette::Highlight),
                                 option.palette.color(group, QPalette::HighlightedText),
                                 secondaryShare);
}

QRectF plateRect(const QRect &row)
{
    return QRectF(row.adjusted(inset / 2, 1, -inset / 2, -1));
}

QColor textColor(const QStyleOptionViewItem &option, bool secondary)
{
    if (option.state & QStyle::State_Selected) {
        const QColor ink = option.palette.color(QPalette::HighlightedText);
        return secondary ? ChatColor::mix(ink, plateColor(option), secondaryShare) : ink;
    }
    return secondary ? ChatColor::secondaryText(option.palette)
                     : option.palette.color(QPalette::Text);
}

} // namespace SidebarRowPaint

namespace {

using SidebarRowPaint::contentSide;

constexpr int verticalPadding = 4;

// The room of a row that its contents fill.
QRect contentArea(const QRect &rect)
{
    return rect.adjusted(contentSide, verticalPadding, -contentSide, -verticalPadding);
}

// Room rows.
constexpr int lineGap = 2;
constexpr int itemGap = 6;
// The flexible space between the two ends of a line: at least 4 points, with the line's
// spacing on both of its sides.
constexpr int minimumSpace = itemGap + 4 + itemGap;
constexpr int dotSize = 6;

// The heights of a room row's two lines, measured once for the application's font as it is.
struct LineHeights
{
    QFont font;
    int first = 0;
    int second = 0;
};

const LineHeights &lineHeights()
{
    thread_local LineHeights kept;
    const QFont font = QApplication::font();
    if (kept.first == 0 || !(font == kept.font)) {
        kept.font = font;
        kept.first
            = std::max({QFontMetrics(ChatFont::body()).height(), OfficialMark::sizeFor().height(),
                        QFontMetrics(ChatFont::caption()).height()});
        kept.second = std::max({QFontMetrics(ChatFont::subheadline()).height(),
                                UnreadBadge::sizeFor(1).height(), dotSize});
    }
    return kept;
}

int firstLineHeight()
{
    return lineHeights().first;
}

int secondLineHeight()
{
    return lineHeights().second;
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

QSize ConversationRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // No width of its own: a long title is elided, it never widens the sidebar.
    const int texts = firstLineHeight() + lineGap + secondLineHeight();
    return QSize(1, 2 * verticalPadding + std::max(UiMetrics::avatarSize, texts));
}

void ConversationRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const auto *model = qobject_cast<const RoomListModel *>(index.model());
    if (!model)
        return;
    const RoomRow &row = model->row(index.row());
    SidebarRowPaint::paintBackground(*painter, option);
    const QRect area = contentArea(option.rect);
    const QRectF avatar(area.left(), area.top(), UiMetrics::avatarSize, UiMetrics::avatarSize);
    AvatarView::paintCached(*painter, avatar, row.title, row.avatarJPEG, row.avatarURL,
                            option.palette);

    const int left = area.left() + UiMetrics::avatarSize + UiMetrics::avatarGap;
    const int right = area.right() + 1;
    const QColor primary = SidebarRowPaint::textColor(option, false);
    const QColor secondary = SidebarRowPaint::textColor(option, true);
    painter->save();

    // First line: title, marks, then the time at the far end.
    const int top1 = area.top();
    const int height1 = firstLineHeight();
    const QFont captionFont = ChatFont::caption();
    const QFontMetrics caption(captionFont);
    // The day of "now" is the local one either way: UTC spares asking the time zone.
    const QString time = RoomListModel::timeText(row, QDateTime::currentDateTimeUtc());
    const int timeWidth = time.isEmpty() ? 0 : caption.horizontalAdvance(time);
    const QSize mark = row.official ? OfficialMark::sizeFor() : QSize();
    const int bell = row.room.muted ? caption.height() : 0;
    const int marks
        = (row.official ? itemGap + mark.width() : 0) + (row.room.muted ? itemGap + bell : 0);
    const int timeRoom = time.isEmpty() ? minimumSpace - itemGap : minimumSpace + timeWidth;
    const QFont bodyFont = ChatFont::body();
    const QFontMetrics body(bodyFont);
    const int titleSpace = std::max(0, right - left - marks - timeRoom);
    const QString title = body.elidedText(row.title, Qt::ElideRight, titleSpace);
    const int titleWidth = std::min(titleSpace, body.horizontalAdvance(title));
    painter->setFont(bodyFont);
    painter->setPen(primary);
    painter->drawText(centredIn(left, titleWidth + 1, top1, height1, body.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    int x = left + titleWidth;
    if (row.official) {
        x += itemGap;
        const QRect markRect = centredIn(x, mark.width(), top1, height1, mark.height());
        if (option.state & QStyle::State_Selected)
            OfficialMark::paint(*painter, markRect, primary);
        else
            OfficialMark::paint(*painter, markRect, option.palette);
        x += mark.width();
    }
    if (row.room.muted) {
        x += itemGap;
        ChatIcon::symbol(QStringLiteral("bell.slash"), secondary)
            .paint(painter, centredIn(x, bell, top1, height1, bell));
    }
    if (!time.isEmpty()) {
        painter->setFont(captionFont);
        painter->setPen(secondary);
        painter->drawText(centredIn(right - timeWidth, timeWidth, top1, height1, caption.height()),
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
    painter->setFont(subFont);
    painter->setPen(secondary);
    painter->drawText(centredIn(left, previewWidth + 1, top2, height2, sub.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, preview);
    if (row.unreadDot) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(secondary);
        painter->drawEllipse(
            centredIn(left + previewWidth + itemGap, dotSize, top2, height2, dotSize));
    }
    if (row.unread > 0) {
        UnreadBadge::paint(
            *painter,
            centredIn(right - badge.width(), badge.width(), top2, height2, badge.height()),
            row.unread, option.palette);
    }
    painter->restore();
}

namespace {

// Friend rows.
constexpr int buttonGap = 8;
constexpr int headerTop = 10;
constexpr int headerBottom = 4;

int buttonWidth(const QString &text)
{
    return std::max(UiMetrics::controlHeight,
                    QFontMetrics(ChatFont::body()).horizontalAdvance(text) + 24);
}

// The two buttons of a request row, right-aligned and centred on the row.
std::pair<QRect, QRect> requestButtons(const QRect &rect)
{
    const QRect area = contentArea(rect);
    const int top = area.center().y() - UiMetrics::controlHeight / 2 + 1;
    const int declineWidth = buttonWidth(SidebarPersonDelegate::declineText());
    const int acceptWidth = buttonWidth(SidebarPersonDelegate::acceptText());
    const QRect decline(area.right() + 1 - declineWidth, top, declineWidth,
                        UiMetrics::controlHeight);
    const QRect accept(decline.left() - buttonGap - acceptWidth, top, acceptWidth,
                       UiMetrics::controlHeight);
    return {accept, decline};
}

const FriendRow *rowOf(const QModelIndex &index)
{
    const auto *model = qobject_cast<const FriendListModel *>(index.model());
    return model && index.isValid() ? &model->row(index.row()) : nullptr;
}

int kindOf(const QModelIndex &index)
{
    const FriendRow *row = rowOf(index);
    return row ? row->kind : FriendRow::header;
}

// Where the mouse is in the row's view; nowhere without a view.
QPoint mouseIn(const QStyleOptionViewItem &option)
{
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    return view ? view->viewport()->mapFromGlobal(QCursor::pos()) : QPoint(-1, -1);
}

// One of a request row's buttons, as the style draws a push button.
void paintButton(QPainter &painter, const QStyleOptionViewItem &option, const QRect &rect,
                 const QString &text, bool pressed)
{
    QStyleOptionButton button;
    button.initFrom(option.widget);
    button.rect = rect;
    button.text = text;
    button.palette = option.palette;
    button.state = QStyle::State_Enabled;
    button.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
    if ((option.state & QStyle::State_MouseOver) && rect.contains(mouseIn(option)))
        button.state |= QStyle::State_MouseOver;
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    painter.save();
    painter.setFont(ChatFont::body());
    style->drawControl(QStyle::CE_PushButton, &button, &painter, option.widget);
    painter.restore();
}

void paintHeader(QPainter &painter, const QStyleOptionViewItem &option, const FriendRow &row)
{
    const QRect area = option.rect.adjusted(contentSide, headerTop, -contentSide, -headerBottom);
    const QFontMetrics metrics(ChatFont::footnote(QFont::DemiBold));
    painter.save();
    painter.setFont(ChatFont::footnote(QFont::DemiBold));
    painter.setPen(ChatColor::secondaryText(option.palette));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     metrics.elidedText(row.text, Qt::ElideRight, area.width()));
    painter.restore();
}

void paintPerson(QPainter &painter, const QStyleOptionViewItem &option, const FriendRow &row)
{
    QRect area = contentArea(option.rect);
    if (row.kind == FriendRow::request)
        area.setRight(requestButtons(option.rect).first.left() - buttonGap - 1);
    area.setHeight(UiMetrics::avatarSize);
    PersonPaint::paint(painter, area, row.account, row.kind == FriendRow::official, option.palette,
                       SidebarRowPaint::textColor(option, false),
                       SidebarRowPaint::textColor(option, true));
}

} // namespace

QSize SidebarPersonDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    const FriendRow *row = rowOf(index);
    if (row && row->kind == FriendRow::header)
        return QSize(1,
                     headerTop + QFontMetrics(ChatFont::footnote(QFont::DemiBold)).height()
                         + headerBottom);
    return QSize(1, UiMetrics::avatarSize + 2 * verticalPadding);
}

SidebarPersonDelegate::Part SidebarPersonDelegate::partAt(const QRect &rect, int kind,
                                                          const QPoint &pos)
{
    if (kind == FriendRow::header || !rect.contains(pos))
        return Part::none;
    if (kind == FriendRow::request) {
        const auto [accept, decline] = requestButtons(rect);
        if (accept.contains(pos))
            return Part::accept;
        if (decline.contains(pos))
            return Part::decline;
        if (pos.x() >= accept.left() - buttonGap)
            return Part::none;
    }
    return Part::person;
}

bool SidebarPersonDelegate::pressable(const QModelIndex &row) const
{
    return kindOf(row) != FriendRow::header;
}

QStringList SidebarPersonDelegate::actions(const QModelIndex &row) const
{
    if (kindOf(row) != FriendRow::request)
        return {};
    return {acceptText(), declineText()};
}

int SidebarPersonDelegate::partAt(const QRect &rect, const QModelIndex &row,
                                  const QPoint &pos) const
{
    return int(partAt(rect, kindOf(row), pos));
}

int SidebarPersonDelegate::keyPart(int key, const QModelIndex &row) const
{
    return key == Qt::Key_Space ? nothing : ActionRowDelegate::keyPart(key, row);
}

void SidebarPersonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    const FriendRow *row = rowOf(index);
    if (!row)
        return;
    if (row->kind == FriendRow::header) {
        paintHeader(*painter, option, *row);
        return;
    }
    QStyleOptionViewItem plate = option;
    if (row->kind == FriendRow::request) {
        // Only the person part of a request row is one button; the row lights up for it alone.
        if (partAt(option.rect, row->kind, mouseIn(option)) != Part::person)
            plate.state &= ~QStyle::State_MouseOver;
    }
    SidebarRowPaint::paintBackground(*painter, plate);
    paintPerson(*painter, option, *row);
    if (row->kind == FriendRow::request) {
        const auto [accept, decline] = requestButtons(option.rect);
        paintButton(*painter, option, accept, acceptText(), isPressed(index, int(Part::accept)));
        paintButton(*painter, option, decline, declineText(), isPressed(index, int(Part::decline)));
    }
}
