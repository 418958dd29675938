#pragma once

#include <QAccessible>
#include <QPointer>
#include <QWidget>
#include <QWindow>

// What every painted item of a list shares as a screen reader sees it: no object and no children
// of its own, its parent the interface of the widget it is painted on (`owner`). Subclasses say
// whether it still exists, and give its texts, place, role and state.
class PaintedItemAccessible : public QAccessibleInterface
{
public:
    explicit PaintedItemAccessible(QWidget *owner)
        : m_owner(owner)
    { }

    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_owner ? m_owner->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override
    {
        return m_owner ? QAccessible::queryAccessibleInterface(m_owner) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    void setText(QAccessible::Text, const QString &) override { }

private:
    QPointer<QWidget> m_owner;
};
