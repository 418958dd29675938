#pragma once

#include "model/Conversation.h"
#include "store/MemberRooms.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUuid>

class LocalStore;

// The search forms (TextCompare::searchForm) of every room's title and of the names of its
// known members, made as rooms and accounts change rather than when a search starts: a
// store-wide change marks what it may have touched, and the forms are made again over the next
// turns of the event loop, a slice of rooms a turn so that thousands of rooms never hold up a
// paint or a key, or at once when a search needs them first. One per store, shared by every
// list that searches its rooms.
class RoomSearchTexts : public QObject
{
    Q_OBJECT
public:
    // The store's own (LocalStore::searchTexts()), made on first use.
    static RoomSearchTexts &of(LocalStore &store);
    // Follows the store's changes; the store owns it.
    explicit RoomSearchTexts(LocalStore &store);

    // True when the title or a member's name of the room contains `queryForm` (a search form);
    // an unknown room matches nothing.
    bool matches(const QUuid &roomId, const QString &queryForm);
    // The rooms of `roomIds` that match `queryForm`, in their order.
    QList<QUuid> filter(const QList<QUuid> &roomIds, const QString &queryForm);
    // Makes the forms that changes since the last call may have touched.
    void prepare();
    // Changes whenever the forms of a room change or go: while it stays, every room matches
    // what it matched before. Read after prepare().
    quint64 version() const { return m_version; }

    // Rooms whose forms one turn of the event loop makes at most.
    static constexpr qsizetype kSlice = 1000;

private:
    struct Entry
    {
        Conversation room; // the room the forms were made from
        QStringList forms;
    };
    // Where a room's forms stand in m_joined: one after another, each after a separator, so
    // that a query without the separator is found there exactly when it is found in one of the
    // forms, with one search. All rooms' forms share the one buffer: a search through thousands
    // of rooms reads one block of memory, not thousands of strings spread over the heap.
    struct Joined
    {
        qsizetype at = 0;
        qsizetype size = 0;
    };
    bool matches(const Entry &entry, const QString &queryForm) const;
    void removeEntry(const QUuid &roomId);
    void join(const QUuid &roomId, const QStringList &forms);
    // Writes the buffer afresh once more of it is left over from forms made again than in use.
    void compact();

    void due();
    // Makes the forms of at most `budget` rooms (all when negative); true when none is left.
    bool work(qsizetype budget);
    void settleAccounts();
    void queueAllRooms();
    void makeForms(const Conversation &room);
    void noteRenames();

    LocalStore &m_store;
    QHash<QUuid, Entry> m_entries;
    QHash<QUuid, Joined> m_joinedAt;
    QString m_joined;
    qsizetype m_joinedUnused = 0;
    MemberRooms m_memberRooms; // of the rooms in m_entries, as their forms were made
    quint64 m_version = 0;
    QHash<QUuid, QString> m_names; // each account's name the forms were made with
    QSet<QUuid> m_dueRooms; // to make again
    QList<QUuid> m_checks; // to compare with the room the forms were made from
    qsizetype m_checkAt = 0;
    QSet<QUuid> m_dueAccounts;
    bool m_allRooms = true;
    bool m_allAccounts = true;
    bool m_roomNamed = false; // roomsTouched named the rooms of the list signal that follows
    bool m_accountNamed = false;
    QTimer m_soon;
};
