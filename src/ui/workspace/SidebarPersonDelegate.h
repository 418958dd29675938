#pragma once

#include "ui/common/ActionRowDelegate.h"

struct FriendRow;

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

private:
    void paintHeader(QPainter &painter, const QStyleOptionViewItem &option,
                     const FriendRow &row) const;
    void paintPerson(QPainter &painter, const QStyleOptionViewItem &option,
                     const FriendRow &row) const;
    void paintButton(QPainter &painter, const QStyleOptionViewItem &option, const QRect &rect,
                     const QString &text, Part part, const QModelIndex &index) const;
};
