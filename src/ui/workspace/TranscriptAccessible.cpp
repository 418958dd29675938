#include "ui/common/PaintedItemAccessible.h"
#include "ui/workspace/TranscriptListView.h"
#include "ui/workspace/TranscriptModel.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace {

TranscriptListView *viewOf(QObject *viewport)
{
    auto *view = qobject_cast<TranscriptListView *>(viewport ? viewport->parent() : nullptr);
    return view && view->viewport() == viewport ? view : nullptr;
}

// One painted row, found again by its message wherever the row has moved. Its actions are the
// row's menu items (one per link among them) and opening its photo, each doing what the click
// does.
class RowAccessible : public PaintedItemAccessible, public QAccessibleActionInterface
{
public:
    RowAccessible(TranscriptListView *view, const QUuid &messageId)
        : PaintedItemAccessible(view->viewport())
        , m_view(view)
        , m_id(messageId)
    { }

    int row() const { return m_view ? m_view->model().rowOf(m_id) : -1; }
    bool isValid() const override { return row() >= 0; }
    QString text(QAccessible::Text t) const override
    {
        const int at = row();
        if (t != QAccessible::Name || at < 0)
            return {};
        return m_view->model().row(at).accessibleText();
    }
    QRect rect() const override
    {
        const int at = row();
        if (at < 0)
            return {};
        const QRect local = m_view->rowRect(at);
        return QRect(m_view->viewport()->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        const int at = row();
        const auto [first, last] = m_view ? m_view->visibleRows() : std::pair(0, -1);
        s.invisible = at < 0;
        s.offscreen = at < first || at > last;
        s.focusable = at >= 0;
        s.focused = at >= 0 && m_view->hasFocus() && m_view->currentRow() == at;
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
        QStringList names;
        for (const TranscriptAction &action : actions())
            names.append(action.name);
        return names;
    }
    void doAction(const QString &name) override
    {
        for (const TranscriptAction &action : actions()) {
            if (action.name == name) {
                action.run();
                return;
            }
        }
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QList<TranscriptAction> actions() const
    {
        const int at = row();
        return at >= 0 ? m_view->actions(at) : QList<TranscriptAction>();
    }

    QPointer<TranscriptListView> m_view;
    QUuid m_id;
};

// The viewport: its items are the rows on screen, after its own widgets (the older-messages
// button).
class ViewportAccessible : public QAccessibleWidget
{
public:
    explicit ViewportAccessible(QWidget *viewport)
        : QAccessibleWidget(viewport, QAccessible::List)
    { }
    ~ViewportAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_rows))
            QAccessible::deleteAccessibleInterface(id);
    }

    // Named as the view that holds the focus.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return view()->accessibleName();
        return QAccessibleWidget::text(t);
    }
    QAccessibleInterface *focusChild() const override
    {
        const int row = view()->currentRow();
        return view()->hasFocus() && row >= 0 ? rowInterface(row) : nullptr;
    }

    int childCount() const override
    {
        const auto [first, last] = view()->visibleRows();
        return int(widgets().size()) + std::max(0, last - first + 1);
    }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QAccessibleInterface *> shown = widgets();
        if (index < shown.size())
            return shown.at(index);
        const int row = view()->visibleRows().first + index - int(shown.size());
        return row < view()->model().count() ? rowInterface(row) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const QList<QAccessibleInterface *> shown = widgets();
        if (const auto *row = dynamic_cast<const RowAccessible *>(child)) {
            const int at = row->row();
            const int first = view()->visibleRows().first;
            return at < first ? -1 : int(shown.size()) + at - first;
        }
        return int(shown.indexOf(const_cast<QAccessibleInterface *>(child)));
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const int row = view()->rowAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return row >= 0 ? rowInterface(row) : QAccessibleWidget::childAt(x, y);
    }

private:
    TranscriptListView *view() const { return viewOf(object()); }
    // The viewport's own widgets that are shown.
    QList<QAccessibleInterface *> widgets() const
    {
        QList<QAccessibleInterface *> shown;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface *widget = QAccessibleWidget::child(i);
            if (widget && !widget->state().invisible)
                shown.append(widget);
        }
        return shown;
    }
    QAccessibleInterface *rowInterface(int row) const
    {
        const QUuid id = view()->model().message(row).id;
        auto found = m_rows.constFind(id);
        if (found == m_rows.cend())
            found = m_rows.insert(
                id, QAccessible::registerAccessibleInterface(new RowAccessible(view(), id)));
        return QAccessible::accessibleInterface(*found);
    }

    mutable QHash<QUuid, QAccessible::Id> m_rows;
};

QAccessibleInterface *transcriptFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    return widget && viewOf(widget) ? new ViewportAccessible(widget) : nullptr;
}

} // namespace

void installTranscriptAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(transcriptFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
