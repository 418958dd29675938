#include "ui/workspace/SidebarRowPaint.h"

#include "ui/common/ChatColor.h"
#include "ui/common/UiMetrics.h"

#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionViewItem>

namespace SidebarRowPaint {

void prepareList(QListView &view)
{
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.setAutoFillBackground(false);
    view.viewport()->setAutoFillBackground(false);
    view.viewport()->setAttribute(Qt::WA_Hover);
}

void paintBackground(QPainter &painter, const QStyleOptionViewItem &option)
{
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    if (!selected && !hovered)
        return;
    QColor fill;
    if (selected) {
        const auto group
            = (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        fill = option.palette.color(group, QPalette::Highlight);
    } else {
        fill = UiMetrics::shade(option.palette, UiMetrics::Shade::hover);
    }
    paintPlate(painter, option.rect, fill);
}

void paintPlate(QPainter &painter, const QRect &row, const QColor &fill)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(row.adjusted(inset / 2, 1, -inset / 2, -1)), UiMetrics::plateRadius,
                         UiMetrics::plateRadius);
    painter.fillPath(plate, fill);
    painter.restore();
}

QColor textColor(const QStyleOptionViewItem &option, bool secondary)
{
    if (option.state & QStyle::State_Selected) {
        QColor ink = option.palette.color(QPalette::HighlightedText);
        if (secondary)
            ink.setAlphaF(0.8f);
        return ink;
    }
    return secondary ? ChatColor::secondaryText(option.palette)
                     : option.palette.color(QPalette::Text);
}

} // namespace SidebarRowPaint
