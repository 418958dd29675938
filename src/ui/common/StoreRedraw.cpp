#include "ui/common/StoreRedraw.h"

#include "store/LocalStore.h"

StoreRedraw::StoreRedraw(LocalStore &store, std::initializer_list<Change> changes,
                         std::function<void()> redraw, QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, std::move(redraw));
    for (const Change change : changes)
        connect(&store, change, &m_timer, qOverload<>(&QTimer::start));
}
