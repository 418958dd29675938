#include "ui/workspace/BottomFollow.h"

#include <QList>
#include <QTimer>

#include <cmath>

FollowUpdate BottomFollow::consume(const TranscriptAnchor &anchor)
{
    // Until content and viewport have both been measured the geometry means nothing.
    if (!(anchor.viewport > 1 && anchor.maxY > 1 && anchor.contentHeight > 1))
        return {};
    const bool grew = lastContentHeight > 1 && anchor.contentHeight > lastContentHeight + 1;
    const bool shrank = lastViewport > 1 && anchor.viewport + 1 < lastViewport;
    // Changes of a point or less are neither remembered nor counted, so a height creeping up
    // in small steps counts once, when it has moved more than a point in all.
    if (std::abs(anchor.contentHeight - lastContentHeight) > 1)
        lastContentHeight = anchor.contentHeight;
    if (std::abs(anchor.viewport - lastViewport) > 1)
        lastViewport = anchor.viewport;

    const qreal distance = anchor.maxY - anchor.viewport;
    if (distance <= bottomZone) {
        const bool wasFollowing = stick;
        stick = true;
        return {!wasFollowing, false};
    }
    if (!grew && !shrank && !pinInFlight()) {
        stick = false; // the reader scrolled away
        return {};
    }
    if (!stick)
        return {};
    return {false, !pinInFlight() && (grew || shrank)};
}

namespace TranscriptScroll {

namespace {

// One jump, then the rest of the schedule after `delays` (in ms); a superseded pin stops.
void run(QObject *context, std::function<void()> jump, std::function<bool()> isCurrent,
         std::function<void()> finish, QList<int> delays)
{
    if (!isCurrent())
        return;
    if (delays.isEmpty()) {
        finish();
        return;
    }
    jump();
    const int delay = delays.takeFirst();
    QTimer::singleShot(delay, context, [=] { run(context, jump, isCurrent, finish, delays); });
}

} // namespace

void pinBottom(QObject *context, std::function<void()> jump, std::function<bool()> isCurrent,
               std::function<void()> finish)
{
    // Now, after a turn of the event loop, after 80 ms, after 240 ms more; then one turn
    // before the pin counts as settled.
    run(context, std::move(jump), std::move(isCurrent), std::move(finish), {0, 80, 240, 0});
}

} // namespace TranscriptScroll
