#include "ui/common/AccessibleActions.h"

#include "ui/common/PaintedItemAccessible.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWindow>

namespace {

constexpr char toggleRoleProperty[] = "zumoClickToggleRole";

// Where a view keeps what its rows can do.
class RowActionHolder : public QObject
{
public:
    RowActionHolder(QAbstractItemView *view, AccessibleActions::RowActionNames names,
                    AccessibleActions::RunRowAction run)
        : QObject(view)
        , names(std::move(names))
        , run(std::move(run))
    {
        setObjectName(QStringLiteral("zumoRowActions"));
    }

    AccessibleActions::RowActionNames names;
    AccessibleActions::RunRowAction run;
};

RowActionHolder *holderOf(QObject *view)
{
    return view ? view->findChild<RowActionHolder *>(QStringLiteral("zumoRowActions"),
                                                     Qt::FindDirectChildrenOnly)
                : nullptr;
}

// A checkable button whose "Toggle" and "Press" click it.
class ClickToggleAccessible : public QAccessibleWidget
{
public:
    ClickToggleAccessible(QAbstractButton *button, QAccessible::Role role)
        : QAccessibleWidget(button, role)
    { }

    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && button()->accessibleName().isEmpty())
            return button()->text();
        return QAccessibleWidget::text(t);
    }

    // While it cannot be checked (a row that only shows a person who cannot be chosen), it is no
    // check box: it reads as what it shows, with nothing to do.
    QAccessible::Role role() const override
    {
        return button()->isCheckable() ? QAccessibleWidget::role() : QAccessible::StaticText;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = button()->isCheckable();
        s.checked = s.checkable && button()->isChecked();
        s.pressed = button()->isDown();
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (offersToggle())
            names = QStringList{toggleAction(), pressAction()} + names;
        return names;
    }
    void doAction(const QString &action) override
    {
        if (offersToggle() && (action == toggleAction() || action == pressAction()))
            button()->click(); // does nothing while disabled
        else
            QAccessibleWidget::doAction(action);
    }

private:
    bool offersToggle() const { return button()->isEnabled() && button()->isCheckable(); }
};

// One row of a list, found again by its persistent index wherever it has moved.
class RowAccessible : public PaintedItemAccessible, public QAccessibleActionInterface
{
public:
    RowAccessible(QAbstractItemView *view, const QModelIndex &index)
        : PaintedItemAccessible(view)
        , m_view(view)
        , m_index(index)
    { }

    QModelIndex index() const { return m_view ? QModelIndex(m_index) : QModelIndex(); }

    bool isValid() const override { return index().isValid(); }

    QString text(QAccessible::Text t) const override
    {
        const QModelIndex at = index(); // an invalid index has no texts
        if (t == QAccessible::Name) {
            const QString spoken = at.data(Qt::AccessibleTextRole).toString();
            return spoken.isEmpty() ? at.data(Qt::DisplayRole).toString() : spoken;
        }
        if (t == QAccessible::Description)
            return at.data(Qt::AccessibleDescriptionRole).toString();
        return {};
    }

    QRect rect() const override
    {
        const QModelIndex at = index();
        if (!at.isValid())
            return {};
        const QRect local = m_view->visualRect(at);
        return QRect(m_view->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        const QModelIndex at = index();
        if (!at.isValid()) {
            s.invalid = true;
            return s;
        }
        s.disabled = !(at.flags() & Qt::ItemIsEnabled);
        s.focusable = m_view->focusPolicy() != Qt::NoFocus;
        s.focused = m_view->hasFocus() && m_view->currentIndex() == at;
        s.selectable = m_view->selectionMode() != QAbstractItemView::NoSelection;
        s.selected = m_view->selectionModel() && m_view->selectionModel()->isSelected(at);
        const QVariant check = at.data(Qt::CheckStateRole);
        s.checkable = check.isValid();
        s.checked = check.toInt() == Qt::Checked;
        // A row of a list that is not on screen (a hidden page of a stack, say) is not shown
        // either: Qt's own item interfaces would still say it is.
        const QRect local = m_view->visualRect(at);
        s.invisible = local.isEmpty() || !m_view->isVisible();
        s.offscreen = s.invisible || !local.intersects(m_view->viewport()->rect());
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface
            ? static_cast<QAccessibleActionInterface *>(this)
            : nullptr;
    }

    QStringList actionNames() const override
    {
        const QModelIndex at = index();
        RowActionHolder *holder = holderOf(m_view);
        if (!at.isValid() || !holder || !(at.flags() & Qt::ItemIsEnabled))
            return {};
        QStringList names = holder->names(at);
        if (at.data(Qt::CheckStateRole).isValid() && names.contains(pressAction()))
            names.prepend(toggleAction());
        return names;
    }
    void doAction(const QString &action) override
    {
        const QModelIndex at = index();
        if (!actionNames().contains(action))
            return;
        // The row's toggle is its press; the holder may be replaced while it runs.
        holderOf(m_view)->run(at, action == toggleAction() ? pressAction() : action);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QAbstractItemView> m_view;
    QPersistentModelIndex m_index;
};

// The view: a list whose items are its model's rows.
class RowListAccessible : public QAccessibleWidget
{
public:
    explicit RowListAccessible(QAbstractItemView *view)
        : QAccessibleWidget(view, QAccessible::List)
    { }
    ~RowListAccessible() override
    {
        for (const auto &[index, id] : std::as_const(m_rows))
            QAccessible::deleteAccessibleInterface(id);
    }

    QAbstractItemView *view() const { return static_cast<QAbstractItemView *>(widget()); }

    int childCount() const override
    {
        return view()->model() ? view()->model()->rowCount(view()->rootIndex()) : 0;
    }
    QAccessibleInterface *child(int row) const override
    {
        QAbstractItemModel *model = view()->model();
        if (!model || row < 0 || row >= childCount())
            return nullptr;
        return rowInterface(model->index(row, 0, view()->rootIndex()));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *row = dynamic_cast<const RowAccessible *>(child);
        return row && row->isValid() ? row->index().row() : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QModelIndex at = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return at.isValid() ? rowInterface(at) : nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        const QModelIndex current = view()->currentIndex();
        return view()->hasFocus() && current.isValid() ? rowInterface(current) : nullptr;
    }

private:
    QAccessibleInterface *rowInterface(const QModelIndex &index) const
    {
        // Rows that have gone are forgotten as they are met.
        for (auto it = m_rows.begin(); it != m_rows.end();) {
            if (!it->first.isValid()) {
                QAccessible::deleteAccessibleInterface(it->second);
                it = m_rows.erase(it);
            } else if (it->first == index) {
                return QAccessible::accessibleInterface(it->second);
            } else {
                ++it;
            }
        }
        const QAccessible::Id id
            = QAccessible::registerAccessibleInterface(new RowAccessible(view(), index));
        m_rows.append({QPersistentModelIndex(index), id});
        return QAccessible::accessibleInterface(id);
    }

    mutable QList<std::pair<QPersistentModelIndex, QAccessible::Id>> m_rows;
};

// The application as Qt sees it, with its popup windows that are on screen as well.
class PopupListingApplication : public QAccessibleApplication
{
public:
    int childCount() const override { return int(windows().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QObjectList shown = windows();
        return index >= 0 && index < shown.size()
            ? QAccessible::queryAccessibleInterface(shown.at(index))
            : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(windows().indexOf(child->object())) : -1;
    }

private:
    static QObjectList windows()
    {
        QObjectList shown;
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            const Qt::WindowType type = window->type();
            if (type == Qt::Desktop || (type == Qt::Popup && !window->isVisible()))
                continue;
            QAccessibleInterface *root = window->accessibleRoot();
            if (root && root->object())
                shown.append(root->object());
        }
        return shown;
    }
};

bool popupsListed = false;

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (popupsListed && object == qApp)
        return new PopupListingApplication;
    if (auto *button = qobject_cast<QAbstractButton *>(object)) {
        const QVariant role = button->property(toggleRoleProperty);
        if (role.isValid())
            return new ClickToggleAccessible(button, QAccessible::Role(role.toInt()));
    }
    if (auto *view = qobject_cast<QAbstractItemView *>(object); view && holderOf(view))
        return new RowListAccessible(view);
    return nullptr;
}

// Qt makes and keeps an object's interface at its first accessibility event, which its
// constructor may already have sent (setAccessibleName()): drop it so that ours is made.
void forgetInterface(QObject *object)
{
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(object))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace

namespace AccessibleActions {

// QAccessible::installFactory() adds a factory only once, however often it is asked to.
void clickToToggle(QAbstractButton *button, QAccessible::Role role)
{
    QAccessible::installFactory(factory);
    button->setProperty(toggleRoleProperty, int(role));
    forgetInterface(button);
}

void rowActions(QAbstractItemView *view, RowActionNames names, RunRowAction run)
{
    QAccessible::installFactory(factory);
    delete holderOf(view);
    new RowActionHolder(view, std::move(names), std::move(run));
    forgetInterface(view);
}

void listPopups()
{
    QAccessible::installFactory(factory);
    popupsListed = true;
    forgetInterface(qApp);
}

void pressableRows(QAbstractItemView *view, std::function<void(const QModelIndex &)> press)
{
    rowActions(
        view,
        [](const QModelIndex &) { return QStringList{QAccessibleActionInterface::pressAction()}; },
        [press = std::move(press)](const QModelIndex &row, const QString &) { press(row); });
}

} // namespace AccessibleActions
