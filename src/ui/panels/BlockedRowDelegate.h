#pragma once

#include <QStyledItemDelegate>

// Paints a row of the block list: the person (56-pixel avatar, name, "공식" for an official
// account, "@handle") and the row's "해제" button at the trailing edge. A click inside the
// painted button emits unblockClicked(); clicks elsewhere on the row do nothing.
class BlockedRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int padding = 16;

    using QStyledItemDelegate::QStyledItemDelegate;

    static QString buttonText() { return QStringLiteral("해제"); }

    // Where the "해제" button is painted in a row occupying `row`.
    static QRect buttonRect(const QRect &row);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The same for every row and width: the avatar or the button, whichever is taller, padded.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

signals:
    void unblockClicked(const QModelIndex &index);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    QPersistentModelIndex m_pressed;
};
