#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QUrl>

#include <chrono>

class QSoundEffect;

// The incoming-message sound: one short WAV played through one QSoundEffect that is created on
// the first call and kept for the life of the application. Two sounds are at least
// `minimumGap` apart; a request inside that time is dropped. Nothing ever waits for the sound
// to end: without an audio device QSoundEffect reports "playing" for ever.
class MessageSound : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds minimumGap{500};

    // Plays the sound unless one started less than `minimumGap` ago; true when it was started.
    static bool play();

    // The sound resource.
    static QUrl source();

private:
    explicit MessageSound(QObject *parent);
    static MessageSound *instance();
    bool playNow();

    QSoundEffect *m_effect;
    QElapsedTimer m_lastPlayed;
};
