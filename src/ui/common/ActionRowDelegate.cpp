#include "ui/common/ActionRowDelegate.h"

#include "ui/common/AccessibleActions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

ActionRowDelegate::ActionRowDelegate(QAbstractItemView *view, bool pressMovesCurrent)
    : QStyledItemDelegate(view)
    , m_view(view)
    , m_pressMovesCurrent(pressMovesCurrent)
{
    view->setItemDelegate(this);
    view->setMouseTracking(true);
    view->installEventFilter(this);
    AccessibleActions::rowActions(
        view,
        [this](const QModelIndex &row) {
            QStringList names = actions(row);
            if (pressable(row))
                names.prepend(QAccessibleActionInterface::pressAction());
            return names;
        },
        [this](const QModelIndex &row, const QString &action) {
            // A row without a press of its own is pressed through its only button.
            const int at = actions(row).indexOf(action);
            trigger(row, at >= 0 ? at + 1 : (pressable(row) ? person : 1));
        });
}

int ActionRowDelegate::partAt(const QRect &rect, const QModelIndex &row, const QPoint &pos) const
{
    if (!rect.contains(pos))
        return nothing;
    const qsizetype count = actions(row).size();
    for (int action = 0; action < count; ++action) {
        if (actionRect(rect, row, action).contains(pos))
            return action + 1;
    }
    return pressable(row) ? person : nothing;
}

int ActionRowDelegate::keyPart(int key, const QModelIndex &row) const
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
        return nothing;
    if (pressable(row))
        return person;
    return actions(row).size() == 1 ? 1 : nothing;
}

bool ActionRowDelegate::isPressed(const QModelIndex &row, int part) const
{
    return m_pressedPart == part && m_pressed == row
        && (QApplication::mouseButtons() & Qt::LeftButton);
}

void ActionRowDelegate::trigger(const QModelIndex &row, int part)
{
    if (part == person)
        emit personClicked(row);
    else if (part > 0)
        emit actionClicked(row, part - 1);
}

bool ActionRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease
        && type != QEvent::MouseButtonDblClick)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const int part = partAt(option.rect, index, mouse->position().toPoint());
    const bool click
        = type == QEvent::MouseButtonRelease && m_pressed == index && m_pressedPart == part;
    m_pressed = type == QEvent::MouseButtonPress && part != nothing ? QPersistentModelIndex(index)
                                                                    : QPersistentModelIndex();
    m_pressedPart = m_pressed.isValid() ? part : nothing;
    if (click)
        trigger(index, part);
    // A press left to the view moves the current row there; the release still comes here, as
    // the view passes on the release of a click on the row it pressed.
    return part != nothing && !(type == QEvent::MouseButtonPress && m_pressMovesCurrent);
}

bool ActionRowDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const QModelIndex current = m_view->currentIndex();
        const int part = current.isValid()
            ? keyPart(static_cast<QKeyEvent *>(event)->key(), current)
            : nothing;
        if (part != nothing) {
            trigger(current, part);
            return true;
        }
    }
    // Not the base's filter: that one takes the object it watches for an open editor.
    return false;
}
