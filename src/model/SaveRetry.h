#pragma once

#include <QTimer>

#include <chrono>
#include <functional>

// What a failed save of the user's data does next: the save is tried again every 30 s until it
// lands (a save for a later change counts too, through report()), and the user is told once
// per stretch of failures, not at every failed try.
class SaveRetry
{
public:
    static constexpr std::chrono::milliseconds defaultInterval = std::chrono::seconds(30);

    explicit SaveRetry(std::chrono::milliseconds interval = defaultInterval);

    // Saves once more; it reports its outcome through report() itself.
    std::function<void()> retry;
    // The first failure after a save that landed.
    std::function<void()> onFailing;

    // The outcome of every save.
    void report(bool saved);
    // Nothing is left to save (the data went away): no more tries; the next failure tells again.
    void reset();
    bool failing() const { return m_failing; }

private:
    QTimer m_timer;
    bool m_failing = false;
};
