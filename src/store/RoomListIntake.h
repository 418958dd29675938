#pragma once

#include "api/ChatEvent.h"
#include "api/WireTypes.h"

#include <QByteArray>
#include <QFuture>
#include <QList>
#include <QObject>
#include <QUuid>

#include <QCoroTask>

#include <optional>

class LocalStore;

// Takes the room list's answers in. Reading thousands of rooms takes longer than a frame, so an
// answer is decoded on Qt's thread pool while the window goes on, and then applied to the store
// in one step. The store ends up as if the answer had been applied when it arrived: answers apply
// in the order they arrived, so an older one never overwrites a newer one, and the socket's
// events that come while an answer is decoded wait for it and follow it in their order, so that
// the older answer does not overwrite them either. An answer or a waiting event whose user is no
// longer signed in when its turn comes is dropped. One per store.
class RoomListIntake : public QObject
{
    Q_OBJECT
public:
    // The store's own (LocalStore::roomListIntake()), made on first use.
    static RoomListIntake &of(LocalStore &store);
    // The store owns it.
    explicit RoomListIntake(LocalStore &store);

    // Fetches the room list of the user signed in now and takes it in (take()). Gives the rooms
    // applied; nothing when the fetch failed (the store shows the failure while that user is
    // still signed in) or see take().
    QCoro::Task<std::optional<QList<APIConversation>>> fetch();

    // The room list's answer, just arrived, asked for `forUser` (none: asked while nobody was
    // signed in): decoded off the main thread, then applied after the answers that arrived
    // before it. Gives the rooms applied; nothing when the answer does not decode (the store
    // shows the temporary error, as for any unusable answer), when `forUser` is not the user
    // signed in by then (nothing is applied nor shown: the list is nobody's now), or when the
    // store went away meanwhile.
    QCoro::Task<std::optional<QList<APIConversation>>> take(QByteArray answer,
                                                            std::optional<QUuid> forUser);
    // The same for a list asked for the user signed in now.
    QCoro::Task<std::optional<QList<APIConversation>>> take(QByteArray answer);

    // An event from the socket: applied at once, or after the answers still being decoded that
    // arrived before it, unless the user signed in when it came has signed out by then.
    void deliver(const ChatEvent &event);

    // Answers taken and not yet applied (or dropped).
    int decoding() const { return int(m_arrived - m_settled); }

private:
    // Applies the events that waited for the answers up to `ticket`.
    void release(quint64 ticket);

    LocalStore &m_store;
    quint64 m_arrived = 0; // the tickets of the answers taken, 1, 2, ...
    quint64 m_settled = 0; // the last answer applied or dropped; they settle in ticket order
    QFuture<void> m_last; // finished when the answer taken last has settled
    struct Waiting
    {
        quint64 after; // the last answer taken when the event came
        std::optional<QUuid> forUser; // signed in when it came
        ChatEvent event;
    };
    QList<Waiting> m_waiting;
};
