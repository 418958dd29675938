#pragma once

#include <QtGlobal>

#include <functional>

class QObject;

// The transcript's geometry as the bottom-following rules read it, in points: `maxY` is the
// content's bottom edge measured from the top of the visible area (it equals `viewport` when
// scrolled to the end), `contentHeight` the height of the whole content, `viewport` the visible
// height.
struct TranscriptAnchor
{
    qreal maxY = 0;
    qreal contentHeight = 0;
    qreal viewport = 0;

    friend bool operator==(const TranscriptAnchor &, const TranscriptAnchor &) = default;
};

// What one step of BottomFollow asks of the room.
struct FollowUpdate
{
    bool arrived = false; // came within the bottom zone while not following
    bool needsPin = false; // following, and the bottom slipped out of view: pin again

    friend bool operator==(const FollowUpdate &, const FollowUpdate &) = default;
};

// Whether the transcript follows its newest message, fed with the geometry after every change.
// The reader scrolling more than 80 points away from the end stops following; coming back
// within 80 points resumes it. While following, content that grows or a visible area that
// shrinks (by more than a point) asks for a new pin, unless one is still running.
struct BottomFollow
{
    bool stick = true;
    int pinGeneration = 0; // the latest pin or reveal started
    int settledGeneration = 0; // the latest one finished
    qreal lastContentHeight = 0; // 0: none yet
    qreal lastViewport = 0; // 0: none yet

    static constexpr qreal bottomZone = 80;

    bool pinInFlight() const { return pinGeneration != settledGeneration; }
    FollowUpdate consume(const TranscriptAnchor &anchor);

    friend bool operator==(const BottomFollow &, const BottomFollow &) = default;
};

// Keeping the transcript at its end while its rows finish their layout.
namespace TranscriptScroll {

// Jumps to the end at once, then again after the event loop's next turn, 80 ms later and
// 240 ms after that, each time only while `isCurrent()` holds (a newer pin or a reveal makes an
// older pin stop); after the last jump and one more turn, `finish()` runs when the pin is still
// current. The schedule ends with `context`.
void pinBottom(QObject *context, std::function<void()> jump, std::function<bool()> isCurrent,
               std::function<void()> finish);

} // namespace TranscriptScroll
