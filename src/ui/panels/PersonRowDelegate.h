#pragma once

#include "ui/common/AccountListModel.h"
#include "ui/common/ActionRowDelegate.h"

// Paints a row of a list of people: the person (PersonPaint), then at the trailing edge an
// optional tag (TagRole, footnote, secondary colour) and an optional red text button (ActionRole,
// 44 pixels high). The person is the row's own button (see ActionRowDelegate); from the
// keyboard, Delete presses the current row's button.
class PersonRowDelegate : public ActionRowDelegate
{
    Q_OBJECT
public:
    enum Role {
        TagRole = AccountListModel::AvatarUrlRole + 16, // QString; empty: no tag
        ActionRole, // QString, the button's text; empty: no button
    };

    static constexpr int padding = 16;

    using ActionRowDelegate::ActionRowDelegate;

    // Where a row occupying `row` paints its button of `text`.
    static QRect actionRect(const QRect &row, const QString &text);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The same for every row and width.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    QStringList actions(const QModelIndex &row) const override;
    QRect actionRect(const QRect &rect, const QModelIndex &row, int action) const override;
    int keyPart(int key, const QModelIndex &row) const override;
};
