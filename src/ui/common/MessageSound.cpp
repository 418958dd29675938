#include "ui/common/MessageSound.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSoundEffect>

// The resource is linked from a static library: nothing would pull its object file in without
// this reference. Q_INIT_RESOURCE must be used outside any namespace.
static void initSoundResource()
{
    Q_INIT_RESOURCE(ui_common);
}

MessageSound::MessageSound(QObject *parent)
    : QObject(parent)
    , m_effect(new QSoundEffect(this))
{
    initSoundResource();
    m_effect->setSource(source());
    m_effect->setVolume(0.6f);
}

QUrl MessageSound::source()
{
    initSoundResource();
    return QUrl(QStringLiteral("qrc:/sounds/message.wav"));
}

MessageSound *MessageSound::instance()
{
    static QPointer<MessageSound> shared;
    if (!shared)
        shared = new MessageSound(QCoreApplication::instance());
    return shared;
}

bool MessageSound::play()
{
    return instance()->playNow();
}

bool MessageSound::playNow()
{
    if (m_lastPlayed.isValid() && m_lastPlayed.elapsed() < minimumGap.count())
        return false;
    m_lastPlayed.start();
    // stop() first: without an audio device the last sound never counts as finished, and a
    // restart is what a new message should sound like anyway.
    m_effect->stop();
    m_effect->play();
    return true;
}
