#pragma once

#include "model/ChatMessage.h"

#include <QAccessible>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <chrono>
#include <optional>

class LocalStore;
class TranscriptModel;

// Tells a screen reader about the messages that others write into the room on screen: while
// the transcript shows in the active window, each one is announced with the sentence its row is
// read with (sender, time, text). Outside the active window the desktop notification speaks
// for it instead.
//
// Qt 6.4 has no announcement event. What Orca speaks unasked, for a native application, is an
// object of the role "notification" that becomes showing: the announcement is such an object
// (QAccessible::Notification, which the AT-SPI bridge maps to ROLE_NOTIFICATION), named with
// the sentence, and announced by an ObjectShow event (object:state-changed:showing). It takes
// no focus and is no child of the window's tree, so nothing else moves.
//
// A burst is spoken as the room's notifications show it: the first message at once, then, for
// the messages that came during the following interval, only the newest, when it ends.
class TranscriptAnnouncer : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultInterval{2000};

    TranscriptAnnouncer(LocalStore &store, TranscriptModel &model, QWidget *owner);
    ~TranscriptAnnouncer() override;

    // The quiet time after an announcement during which arrivals wait (a test shortens it).
    void setInterval(std::chrono::milliseconds interval) { m_hold.setInterval(interval); }
    // The sentence of the latest announcement; empty before the first.
    QString text() const { return m_text; }

private:
    void arrived(const ChatMessage &message);
    void announce(const QUuid &messageId);
    void holdEnded();

    LocalStore &m_store;
    TranscriptModel &m_model;
    QPointer<QWidget> m_owner;
    QTimer m_hold; // runs for an interval after each announcement
    std::optional<QUuid> m_waiting; // the newest arrival while the interval runs
    QString m_text;
    QAccessible::Id m_notice = 0; // the announcing object, made at the first announcement
};
