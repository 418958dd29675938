#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

class QAbstractItemView;

// The behaviour of painted rows that show a person and, at their trailing edge, painted text
// buttons (the row's actions). A row may itself be a button (pressable()): a click on it emits
// personClicked(), a click on its n-th button actionClicked(row, n). As with real buttons, the
// press and the release must fall on the same part; the second click of a double click is no
// click. From the keyboard, keyPart() picks the part a key presses on the current row, and a
// screen reader presses the row or a button by its text. Subclasses paint, and say where the
// buttons lie.
class ActionRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // The part of a row under a point or a key: none, the row itself, or button `n` as n + 1.
    static constexpr int nothing = -1;
    static constexpr int person = 0;

    // Becomes the delegate of `view` and handles its keys and its screen reader's actions. With
    // `pressMovesCurrent`, a press also makes its row the view's current one, as in a plain list.
    explicit ActionRowDelegate(QAbstractItemView *view, bool pressMovesCurrent = false);

signals:
    void personClicked(const QModelIndex &row);
    void actionClicked(const QModelIndex &row, int action);

protected:
    // Whether a click on the row (off its buttons) acts.
    virtual bool pressable(const QModelIndex &) const { return true; }
    // The texts of the row's buttons.
    virtual QStringList actions(const QModelIndex &) const { return {}; }
    // Where the row occupying `rect` paints its button `action`.
    virtual QRect actionRect(const QRect & /*rect*/, const QModelIndex &, int /*action*/) const
    {
        return {};
    }
    // The part at `pos` of the row occupying `rect`: a button, else the row if pressable().
    virtual int partAt(const QRect &rect, const QModelIndex &row, const QPoint &pos) const;
    // The part that `key` presses on the current row: Return, Enter and Space press the row,
    // or its only button when the row itself does nothing.
    virtual int keyPart(int key, const QModelIndex &row) const;

    // Whether the mouse holds `part` of `row` down now.
    bool isPressed(const QModelIndex &row, int part) const;

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void trigger(const QModelIndex &row, int part);

    QAbstractItemView *m_view;
    bool m_pressMovesCurrent;
    QPersistentModelIndex m_pressed;
    int m_pressedPart = nothing;
};
