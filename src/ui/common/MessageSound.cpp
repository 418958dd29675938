#include "ui/common/MessageSound.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSoundEffect>

// The resource is linked from a static library: nothing would pull its object file in without
// this reference. Q_INIT_RESOURCE must be used outside any namespace.
static void initSoundResource()
{
    Q_INIT_RESOURCE(ui_common);
}

QUrl MessageSound::source()
{
    initSoundResource();
    return QUrl(QStringLiteral("qrc:/sounds/message.wav"));
}

bool MessageSound::play()
{
    static QPointer<QSoundEffect> effect;
    static QElapsedTimer lastPlayed;
    if (!effect) {
        effect = new QSoundEffect(QCoreApplication::instance());
        effect->setSource(source());
        effect->setVolume(0.6f);
        lastPlayed.invalidate();
    }
    if (lastPlayed.isValid() && lastPlayed.elapsed() < minimumGap.count())
        return false;
    lastPlayed.start();
    // stop() first: without an audio device the last sound never counts as finished, and a
    // restart is what a new message should sound like anyway.
    effect->stop();
    effect->play();
    return true;
}
