#pragma once

#include <QColor>
#include <QRect>

class QListView;
class QPainter;
class QStyleOptionViewItem;

// Painting shared by the sidebar's painted rows: the rounded selection and hover plate, the
// text colours on and off it, and the lists that show the rows.
namespace SidebarRowPaint {

// A list of painted rows on the sidebar's own background: no frame, no horizontal scrolling
// (rows elide), smooth vertical scrolling, rows that light up under the mouse.
void prepareList(QListView &view);

// Rows keep this distance from the list's edges.
constexpr int inset = 8;

// The plate behind a selected or hovered row.
void paintBackground(QPainter &painter, const QStyleOptionViewItem &option);
// That plate in `fill`, for a row that is a widget of its own.
void paintPlate(QPainter &painter, const QRect &row, const QColor &fill);
// Primary or secondary text colour for the row's state.
QColor textColor(const QStyleOptionViewItem &option, bool secondary);

} // namespace SidebarRowPaint
