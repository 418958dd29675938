#pragma once

#include <QStyledItemDelegate>

struct RoomRow;

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

    static int rowHeight();

private:
    void paintRow(QPainter &painter, const QStyleOptionViewItem &option, const RoomRow &row,
                  const QDateTime &now) const;
};
