#include "files/SaveRetry.h"

#include <QLoggingCategory>

SaveRetry::SaveRetry(QString what, const QLoggingCategory &category,
                     std::chrono::milliseconds interval)
    : m_what(std::move(what))
    , m_category(category)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(interval);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        if (retry)
            retry();
    });
}

void SaveRetry::report(bool saved, const QString &problem)
{
    if (saved) {
        if (m_failing)
            qCInfo(m_category, "saved %s again", qPrintable(m_what));
        reset();
        return;
    }
    // A failed try waits its full interval again, also when a change brought it earlier.
    m_timer.start();
    if (m_failing)
        return;
    qCWarning(m_category, "could not save %s (%s); trying again until it lands", qPrintable(m_what),
              problem.isEmpty() ? "no reason given" : qPrintable(problem));
    setFailing(true);
}

void SaveRetry::reset()
{
    m_timer.stop();
    setFailing(false);
}

void SaveRetry::setFailing(bool failing)
{
    if (m_failing == failing)
        return;
    m_failing = failing;
    if (onFailingChanged)
        onFailingChanged(failing);
}
