#pragma once

#include "ui/panels/AccountListModel.h"

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class QAbstractItemView;

// Paints a row of a list of people: the person (PersonRowPaint), then at the trailing edge an
// optional tag (TagRole, footnote, secondary colour) and an optional red text button (ActionRole,
// 44 pixels high). The person is the row's own button: a click on it emits personClicked(), a
// click on the painted button actionClicked(). From the keyboard, Return or Space presses the
// current row's person and Delete its button.
class PersonRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    enum Role {
        TagRole = AccountListModel::AvatarUrlRole + 16, // QString; empty: no tag
        ActionRole, // QString, the button's text; empty: no button
    };

    static constexpr int padding = 16;

    // Becomes the delegate of `view` and handles its keys.
    explicit PersonRowDelegate(QAbstractItemView *view);

    // Where a row occupying `row` paints its button of `text`.
    static QRect actionRect(const QRect &row, const QString &text);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The same for every row and width.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

signals:
    void personClicked(const QModelIndex &index);
    void actionClicked(const QModelIndex &index);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractItemView *m_view;
    QPersistentModelIndex m_pressed;
    bool m_pressedAction = false;
};
