#pragma once

#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

class QLoggingCategory;

// What a failed save of the user's data does next: the save is tried again every 30 s until it
// lands (a save for a later change counts too, through report()). A stretch of failures is one
// failing period: it is logged once when it begins and once when a save ends it, and the owner
// hears of it through onFailingChanged at both ends, not at every failed try.
class SaveRetry
{
public:
    static constexpr std::chrono::milliseconds defaultInterval = std::chrono::seconds(30);

    // `what` names the data in the log ("the session"), under `category`.
    SaveRetry(QString what, const QLoggingCategory &category,
              std::chrono::milliseconds interval = defaultInterval);

    // Saves once more; it reports its outcome through report() itself.
    std::function<void()> retry;
    // A failing period began (true) or ended (false): a save landed or nothing is left to save.
    std::function<void(bool failing)> onFailingChanged;

    // The outcome of every save; `problem` says why one failed, for the log.
    void report(bool saved, const QString &problem = {});
    // Nothing is left to save (the data went away): no more tries; the next failure tells again.
    void reset();
    bool failing() const { return m_failing; }

private:
    void setFailing(bool failing);

    const QString m_what;
    const QLoggingCategory &m_category;
    QTimer m_timer;
    bool m_failing = false;
};
