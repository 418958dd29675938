#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QUuid>

struct MacFriendRow;

// Paints the rows of the friend list (MacFriendListModel): section headers, and people as a
// 56-pixel avatar with the name, the official mark and the handle. A received request adds
// "수락" and "거절" at the row's end. Clicks are hit-tested against the painted layout: the
// person opens the profile, the two buttons answer the request.
class MacPersonRow : public QStyledItemDelegate
{
    Q_OBJECT
public:
    enum class Part { none, person, accept, decline };

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // What lies at `pos` in a row of `kind` drawn in `rect`.
    static Part partAt(const QRect &rect, int kind, const QPoint &pos);
    static QString acceptText() { return QStringLiteral("수락"); }
    static QString declineText() { return QStringLiteral("거절"); }

signals:
    void openProfile(const QUuid &accountId);
    void accept(const QUuid &accountId);
    void decline(const QUuid &accountId);

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    void paintHeader(QPainter &painter, const QStyleOptionViewItem &option,
                     const MacFriendRow &row) const;
    void paintPerson(QPainter &painter, const QStyleOptionViewItem &option,
                     const MacFriendRow &row) const;
    void paintButton(QPainter &painter, const QStyleOptionViewItem &option, const QRect &rect,
                     const QString &text, Part part, const QModelIndex &index) const;

    QPersistentModelIndex m_pressedIndex;
    Part m_pressedPart = Part::none;
};
