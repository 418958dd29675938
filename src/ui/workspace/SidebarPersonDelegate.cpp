#include "ui/workspace/SidebarPersonDelegate.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PersonPaint.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/FriendListModel.h"
#include "ui/workspace/SidebarRowPaint.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyleOptionButton>

#include <algorithm>

namespace {

constexpr int verticalPadding = 4;
constexpr int itemGap = 8;
constexpr int headerTop = 10;
constexpr int headerBottom = 4;

int buttonWidth(const QString &text)
{
    return std::max(UiMetrics::controlHeight,
                    QFontMetrics(ChatFont::body()).horizontalAdvance(text) + 24);
}

QRect contentArea(const QRect &rect)
{
    const int side = SidebarRowPaint::inset + 4;
    return rect.adjusted(side, verticalPadding, -side, -verticalPadding);
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
    const QRect accept(decline.left() - itemGap - acceptWidth, top, acceptWidth,
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
        if (pos.x() >= accept.left() - itemGap)
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
        const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
        const QPoint mouse
            = view ? view->viewport()->mapFromGlobal(QCursor::pos()) : QPoint(-1, -1);
        if (partAt(option.rect, row->kind, mouse) != Part::person)
            plate.state &= ~QStyle::State_MouseOver;
    }
    SidebarRowPaint::paintBackground(*painter, plate);
    paintPerson(*painter, option, *row);
    if (row->kind == FriendRow::request) {
        const auto [accept, decline] = requestButtons(option.rect);
        paintButton(*painter, option, accept, acceptText(), Part::accept, index);
        paintButton(*painter, option, decline, declineText(), Part::decline, index);
    }
}

void SidebarPersonDelegate::paintHeader(QPainter &painter, const QStyleOptionViewItem &option,
                                        const FriendRow &row) const
{
    const QRect area = option.rect.adjusted(SidebarRowPaint::inset + 4, headerTop,
                                            -(SidebarRowPaint::inset + 4), -headerBottom);
    const QFontMetrics metrics(ChatFont::footnote(QFont::DemiBold));
    painter.save();
    painter.setFont(ChatFont::footnote(QFont::DemiBold));
    painter.setPen(ChatColor::secondaryText(option.palette));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     metrics.elidedText(row.text, Qt::ElideRight, area.width()));
    painter.restore();
}

void SidebarPersonDelegate::paintPerson(QPainter &painter, const QStyleOptionViewItem &option,
                                        const FriendRow &row) const
{
    QRect area = contentArea(option.rect);
    if (row.kind == FriendRow::request)
        area.setRight(requestButtons(option.rect).first.left() - itemGap - 1);
    area.setHeight(UiMetrics::avatarSize);
    PersonPaint::paint(painter, area, row.account, row.kind == FriendRow::official, option.palette,
                       SidebarRowPaint::textColor(option, false),
                       SidebarRowPaint::textColor(option, true));
}

void SidebarPersonDelegate::paintButton(QPainter &painter, const QStyleOptionViewItem &option,
                                        const QRect &rect, const QString &text, Part part,
                                        const QModelIndex &index) const
{
    QStyleOptionButton button;
    button.initFrom(option.widget);
    button.rect = rect;
    button.text = text;
    button.palette = option.palette;
    button.state = QStyle::State_Enabled;
    button.state |= isPressed(index, int(part)) ? QStyle::State_Sunken : QStyle::State_Raised;
    if (option.state & QStyle::State_MouseOver) {
        const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
        if (view && rect.contains(view->viewport()->mapFromGlobal(QCursor::pos())))
            button.state |= QStyle::State_MouseOver;
    }
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    painter.save();
    painter.setFont(ChatFont::body());
    style->drawControl(QStyle::CE_PushButton, &button, &painter, option.widget);
    painter.restore();
}
