#pragma once

#include "ui/common/ActionRowDelegate.h"

// Paints a row of the block list: the person (56-pixel avatar, name, "공식" for an official
// account, "@handle") and the row's "해제" button at the trailing edge. A click inside the
// painted button is the row's one action (see ActionRowDelegate); clicks elsewhere on the row do
// nothing.
class BlockedRowDelegate : public ActionRowDelegate
{
    Q_OBJECT
public:
    static constexpr int padding = 16;

    using ActionRowDelegate::ActionRowDelegate;

    static QString buttonText() { return QStringLiteral("해제"); }

    // Where the "해제" button is painted in a row occupying `row`.
    static QRect buttonRect(const QRect &row);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The same for every row and width: the avatar or the button, whichever is taller, padded.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    bool pressable(const QModelIndex &) const override { return false; }
    QStringList actions(const QModelIndex &) const override { return {buttonText()}; }
    QRect actionRect(const QRect &rect, const QModelIndex &, int) const override
    {
        return buttonRect(rect);
    }
};
