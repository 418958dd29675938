#pragma once

#include "ui/common/ActionRowDelegate.h"

#include <QColor>
#include <QRect>
#include <QStyledItemDelegate>

class QListView;

// Painting shared by the sidebar's painted rows: the rounded selection and hover plate, the
// text colours on and off it, and the lists that show the rows.
namespace SidebarRowPaint {

// A list of painted rows on the sidebar's own background: no frame, no horizontal scrolling
// (rows elide), smooth vertical scrolling, rows that light up under the mouse.
void prepareList(QListView &view);

// Rows keep this distance from the list's edges, and their contents 4 more.
constexpr int inset = 8;
constexpr int contentSide = inset + 4;

// The plate behind a selected or hovered row, and the focus ring around the keyboard's row.
void paintBackground(QPainter &painter, const QStyleOptionViewItem &option);
// The plate of a selected row: the highlight colour, deepened as far as the highlighted text,
// in full and toned for secondary lines, reads on it.
QColor plateColor(const QStyleOptionViewItem &option);
// Where that plate lies in a row.
QRectF plateRect(const QRect &row);
// Primary or secondary text colour for the row's state.
QColor textColor(const QStyleOptionViewItem &option, bool secondary);

} // namespace SidebarRowPaint

// Paints one room of the room list (RoomListModel): the picture, the title with the official
// and muted marks, the time of the last message, the one-line preview, the peer-has-not-read dot
// and the unread count. Every row has the same height, so the list can lay out a thousand rooms
// without asking each one.
class ConversationRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// Paints the rows of the friend list (FriendListModel): section headers, and people as a
// 56-pixel avatar with the name, the official mark and the handle. A received request adds
// "수락" and "거절" at the row's end (actions 0 and 1, see ActionRowDelegate). A header does
// nothing; between the person and the buttons lies a gap that does nothing either.
class SidebarPersonDelegate : public ActionRowDelegate
{
    Q_OBJECT
public:
    enum class Part { none = nothing, person = ActionRowDelegate::person, accept, decline };

    using ActionRowDelegate::ActionRowDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // What lies at `pos` in a row of `kind` drawn in `rect`.
    static Part partAt(const QRect &rect, int kind, const QPoint &pos);
    static QString acceptText() { return QStringLiteral("수락"); }
    static QString declineText() { return QStringLiteral("거절"); }

protected:
    bool pressable(const QModelIndex &row) const override;
    QStringList actions(const QModelIndex &row) const override;
    int partAt(const QRect &rect, const QModelIndex &row, const QPoint &pos) const override;
    // Return and Enter open the person; Space does nothing here.
    int keyPart(int key, const QModelIndex &row) const override;
};
