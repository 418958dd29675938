#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so that the program ends through
// its event loop, as after a normal quit: destructors run and the single-instance socket goes.
// The handler only writes the signal's number to a socket pair, which is safe in a handler; a
// socket notifier reads it on the main thread. One object at a time; it puts the handlers that
// were there before back when it goes.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the socket pair or the handlers could not be set up: the signals then keep
    // their former effect.
    bool isWatching() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
