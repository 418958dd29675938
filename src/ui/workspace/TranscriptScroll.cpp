#include "ui/workspace/TranscriptScroll.h"

#include <QList>
#include <QTimer>

#include <memory>

namespace TranscriptScroll {

namespace {

struct Pin
{
    QObject *context;
    std::function<void()> jump;
    std::function<bool()> isCurrent;
    std::function<void()> finish;
};

// One jump, then the rest of the schedule after `delays` (in ms); a superseded pin stops.
void run(std::shared_ptr<const Pin> pin, QList<int> delays)
{
    if (!pin->isCurrent())
        return;
    if (delays.isEmpty()) {
        pin->finish();
        return;
    }
    pin->jump();
    const int delay = delays.takeFirst();
    QTimer::singleShot(delay, pin->context, [pin, delays] { run(pin, delays); });
}

} // namespace

void pinBottom(QObject *context, std::function<void()> jump, std::function<bool()> isCurrent,
               std::function<void()> finish)
{
    auto pin = std::make_shared<const Pin>(
        Pin{context, std::move(jump), std::move(isCurrent), std::move(finish)});
    // Now, after a turn of the event loop, after 80 ms, after 240 ms more; then one turn
    // before the pin counts as settled.
    run(pin, {0, 80, 240, 0});
}

} // namespace TranscriptScroll
