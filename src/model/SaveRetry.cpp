#include "model/SaveRetry.h"

SaveRetry::SaveRetry(std::chrono::milliseconds interval)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(interval);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (retry)
            retry();
    });
}

void SaveRetry::report(bool saved)
{
    if (saved) {
        reset();
        return;
    }
    // A failed try waits its full interval again, also when a change brought it earlier.
    m_timer.start();
    if (m_failing)
        return;
    m_failing = true;
    if (onFailing)
        onFailing();
}

void SaveRetry::reset()
{
    m_timer.stop();
    m_failing = false;
}
