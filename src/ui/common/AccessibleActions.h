#pragma once

#include <QAccessible>
#include <QModelIndex>
#include <QStringList>

#include <functional>

class QAbstractButton;
class QAbstractItemView;

// What a screen reader can do with our own controls, so that its actions take the same road as
// the mouse and the keyboard.
namespace AccessibleActions {

// A checkable button that changes its state only through its owner (its nextCheckState() does
// nothing; the owner acts on clicked() and then sets what it shows). Qt's own "Toggle" would call
// toggle(), which flips the drawing without a clicked(); here both "Toggle" and "Press" click the
// button, exactly as a mouse click or Space does. While the button is not checkable it reads as
// plain text with no action.
void clickToToggle(QAbstractButton *button, QAccessible::Role role = QAccessible::CheckBox);

// The actions a row offers, by name: QAccessibleActionInterface::pressAction() first for a row
// that acts on a click, then the texts of the buttons painted in it. None for a row that does
// nothing.
using RowActionNames = std::function<QStringList(const QModelIndex &row)>;
using RunRowAction = std::function<void(const QModelIndex &row, const QString &action)>;

// Screen readers see each row of `view` as a list item named by the model's
// Qt::AccessibleTextRole (else Qt::DisplayRole), described by Qt::AccessibleDescriptionRole,
// and checked by Qt::CheckStateRole; its actions are those of `names`, run by `run`. A row with a
// check state offers "Toggle" as well, which is its "Press". Call before anything asks for the
// view's accessible interface (in its owner's constructor).
void rowActions(QAbstractItemView *view, RowActionNames names, RunRowAction run);

// The same for rows whose one action is what a click on them does.
void pressableRows(QAbstractItemView *view, std::function<void(const QModelIndex &row)> press);

// Lists the open popup menus (a message menu, a field's context menu) among the application's
// windows, where a screen reader walking the tree finds them: Qt leaves every popup window out
// of the application's children. Call once, early.
void listPopups();

} // namespace AccessibleActions
