#pragma once

#include <QUrl>

#include <chrono>

// The incoming-message sound: one short WAV played through one QSoundEffect that is created on
// the first call and kept for the life of the application. Two sounds are at least
// `minimumGap` apart; a request inside that time is dropped. Nothing ever waits for the sound
// to end: without an audio device QSoundEffect reports "playing" for ever.
namespace MessageSound {

inline constexpr std::chrono::milliseconds minimumGap{500};

// Plays the sound unless one started less than `minimumGap` ago; true when it was started.
bool play();

// The sound resource.
QUrl source();

} // namespace MessageSound
