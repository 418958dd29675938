#pragma once

#include <QStyledItemDelegate>

// Paints a row of the new-conversation sheet's friend list: the check symbol
// ("checkmark.circle.fill" while chosen, else "circle") in a 44-pixel box, then the person. The
// whole row is the button; the list's clicked() is its action.
class FriendPickDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int padding = 8;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The same for every row and width.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static QString checkSymbol(bool chosen)
    {
        return chosen ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle");
    }
    // The symbol of a choice centred in `box`, as the rows and the lookup result draw it.
    static void paintCheck(QPainter &painter, const QRect &box, bool chosen, const QColor &colour);
};
