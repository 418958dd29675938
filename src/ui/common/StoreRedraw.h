#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <initializer_list>

class LocalStore;

// Redraws a view from the store: any of the watched change signals asks for one redraw, and
// every request made in one turn of the event loop leads to a single redraw after it. Owned by
// the view, so that a view going away takes a waiting redraw with it.
class StoreRedraw : public QObject
{
    Q_OBJECT
public:
    using Change = void (LocalStore::*)();

    StoreRedraw(LocalStore &store, std::initializer_list<Change> changes,
                std::function<void()> redraw, QObject *parent);

    // A redraw made now answers the requests made so far.
    void cancelPending() { m_timer.stop(); }

private:
    QTimer m_timer;
};
