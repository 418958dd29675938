#pragma once

#include <functional>

class QObject;

// Keeping the transcript at its end while its rows finish their layout.
namespace TranscriptScroll {

// Jumps to the end at once, then again after the event loop's next turn, 80 ms later and
// 240 ms after that, each time only while `isCurrent()` holds (a newer pin or a reveal makes an
// older pin stop); after the last jump and one more turn, `finish()` runs when the pin is still
// current. The schedule ends with `context`.
void pinBottom(QObject *context, std::function<void()> jump, std::function<bool()> isCurrent,
               std::function<void()> finish);

} // namespace TranscriptScroll
