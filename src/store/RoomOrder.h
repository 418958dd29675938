#pragma once

#include "model/Account.h"
#include "model/Conversation.h"

#include <QHash>
#include <QList>
#include <QUuid>

#include <optional>

// The places of the records that differ between two versions of a list; nothing when the ids
// do not stand where they stood (records came, went or moved).
template<typename Record>
std::optional<QList<int>> changedPlaces(const QList<Record> &before, const QList<Record> &after)
{
    if (before.size() != after.size())
        return std::nullopt;
    QList<int> changed;
    if (before.constData() == after.constData())
        return changed; // never detached: nothing was written
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (before.at(i).id != after.at(i).id)
            return std::nullopt;
        if (!(before.at(i) == after.at(i)))
            changed.append(int(i));
    }
    return changed;
}

// Finds a record of a list by its id through a hash. The list is owned elsewhere and may be
// changed in any way between two syncs: sync() keeps the hash when the ids still stand where
// they stood (a walk over the ids) and builds it again otherwise.
template<typename Record>
class IdLookup
{
public:
    void sync(const QList<Record> &list)
    {
        bool same = m_ids.size() == list.size();
        for (qsizetype i = 0; same && i < list.size(); ++i)
            same = m_ids.at(i) == list.at(i).id;
        if (same)
            return;
        m_ids.resize(list.size());
        m_at.clear();
        m_at.reserve(list.size());
        // Backwards, so that of two records with one id the first is found, as a walk finds it.
        for (qsizetype i = list.size() - 1; i >= 0; --i) {
            m_ids[i] = list.at(i).id;
            m_at.insert(list.at(i).id, int(i));
        }
    }
    // Where the record with `id` stands, or -1.
    int indexOf(const QUuid &id) const { return m_at.value(id, -1); }

private:
    QList<QUuid> m_ids;
    QHash<QUuid, int> m_at;
};

// The rooms of the room list in display order, kept up to date room by room: pinned rooms
// first, then the later activity (`updatedAt`) first, rooms equal in both in the order of the
// store's list. A room is listed when it is not hidden from the list and has an active
// membership of mine. A room whose place changes is taken out and put in again, each a binary
// search; only a change of the ids in the store's list (a room added, removed or moved) sorts
// the whole list again.
class RoomOrder
{
public:
    // Brings the order up to the rooms as they are now. `touched` names the places in `rooms`
    // of the only rooms that may have changed since the last call; none: any may have.
    void sync(const QList<Conversation> &rooms, const std::optional<QUuid> &me,
              const QList<int> *touched);

    // Where the room with `id` stands in the store's list, or -1.
    int indexOf(const QUuid &id) const { return m_lookup.indexOf(id); }
    // The listed rooms' places in the store's list, in display order.
    const QList<int> &order() const { return m_order; }
    // The listed rooms' ids, in display order.
    const QList<QUuid> &ids() const { return m_orderIds; }

private:
    struct Key
    {
        bool listed = false;
        bool pinned = false;
        bool timed = false; // a valid updatedAt: earlier than none
        qint64 time = 0; // updatedAt in milliseconds since the epoch
        friend bool operator==(const Key &, const Key &) = default;
    };
    static Key keyOf(const Conversation &room, const std::optional<QUuid> &me);
    bool before(int a, int b) const;
    // Takes the new key when the room keeps its place in the order with it.
    bool keepsPlace(int index, const Key &key);
    void rebuild(const QList<Conversation> &rooms);
    void take(int index);
    void put(int index);

    IdLookup<Conversation> m_lookup;
    QList<QUuid> m_ids; // the ids of the store's list when last synced
    QList<Key> m_keys; // per place in the store's list
    QList<int> m_order;
    QList<QUuid> m_orderIds;
    std::optional<QUuid> m_me;
    bool m_built = false;
};
