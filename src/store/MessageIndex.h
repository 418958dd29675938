#pragma once

#include "model/ChatMessage.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

// Every message of every room, held so that the store's reads and writes stay cheap however
// many messages it holds.
//
// Observable behaviour is that of one flat list in "store order": appends go to the end, a
// replacement keeps its place, and "the first message with id X" is the earliest in that order.
// Underneath, each room keeps its messages in transcript order, (place, store order), and two
// hash tables find a message by `id` and by `clientMsgId`.
//
// A message the service has confirmed (delivery `sent`) is placed by its seq. One that is still
// sending or has failed carries only a provisional seq, which later messages of others may
// take as well: it is placed just above the room's newest confirmed message at the time it
// first came in, and keeps that place until the service's copy replaces it. So it shows after
// what the room held when it was sent, in the order of sending, and before what came later.
// Lookups, appends and replacements cost O(1) on average (O(log room) to find a place); a room's
// transcript costs O(room size); only toList() walks everything.
class MessageIndex
{
public:
    struct Entry
    {
        ChatMessage message;
        quint64 order = 0; // place in store order; smaller is earlier
        qint64 place = 0; // the seq it sorts by in its room (see above)
    };

    // Whether the service has confirmed the message: its seq is then its own.
    static bool confirmed(const ChatMessage &m) { return m.delivery == DeliveryState::sent; }
    // Transcript order within a room.
    static bool precedes(const Entry &a, const Entry &b) { return before(a, b.place, b.order); }

    // What happened to one room's messages since the changes were last taken. Entries named
    // here are alive: a room that lost any entry (or was replaced as a whole) says `reset`.
    struct RoomChange
    {
        bool reset = false; // read the room again: entries went away, or all were replaced
        QList<const Entry *> inserted; // new entries, in the order they came
        QList<const Entry *> changed; // messages changed in place, their place unchanged
        QList<const Entry *> moved; // messages whose seq or ids changed: their place may differ
        // The id each moved message had before, for those whose id changed: what answers it
        // by that id now answers nothing.
        QHash<const Entry *, QUuid> formerIds;
    };

    MessageIndex() = default;
    MessageIndex(const MessageIndex &) = delete;
    MessageIndex &operator=(const MessageIndex &) = delete;

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    void clear();

    // Replaces everything with `list`, in its order.
    void assign(const QList<ChatMessage> &list);
    // Everything in store order.
    QList<ChatMessage> toList() const;

    // The first message in store order with that id / client id / either; null when none.
    const Entry *find(const QUuid &id) const;
    const Entry *findByClientId(const QUuid &clientMsgId) const;
    const Entry *findMatch(const QUuid &id, const QUuid &clientMsgId) const;

    // Appends at the end of store order; returns the new entry.
    const Entry *append(const ChatMessage &message);
    // Replaces the entry's message; the entry keeps its place in store order.
    const Entry *replace(const Entry *entry, const ChatMessage &message);
    // Changes the entry's message through `f` (which receives a ChatMessage&).
    template<typename F>
    const Entry *update(const Entry *entry, F &&f)
    {
        ChatMessage changed = entry->message;
        std::forward<F>(f)(changed);
        return replace(entry, changed);
    }
    void remove(const Entry *entry);

    // The room's own entries in store order. Ids may repeat across rooms (unusual data), so
    // an operation on a room works on these rather than finding its messages again by id.
    QList<const Entry *> roomEntries(const QUuid &roomId) const;
    // Removes every message of the room and returns them in store order.
    QList<ChatMessage> takeRoom(const QUuid &roomId);
    // Removes the room's messages for which `drop(const ChatMessage &)` holds, in one pass;
    // the others keep their places. Returns how many went.
    template<typename F>
    qsizetype removeFromRoom(const QUuid &roomId, F &&drop)
    {
        return removeWhere(roomId, std::function<bool(const ChatMessage &)>(std::forward<F>(drop)));
    }
    qsizetype roomSize(const QUuid &roomId) const;
    QList<QUuid> roomIds() const;

    // The changes since the last call, per room, and forgets them. Only real changes count:
    // replacing a message by an equal one is none.
    QHash<QUuid, RoomChange> takeChanges();

    // The room's messages in transcript order: ascending by place, equal places in store order.
    // `f` gets const Entry& and returns void, or bool false to stop.
    template<typename F>
    void forEachInRoom(const QUuid &roomId, F &&f) const
    {
        const auto room = m_rooms.find(roomId);
        if (room == m_rooms.cend())
            return;
        for (const auto &entry : room->second.items) {
            if constexpr (std::is_same_v<decltype(f(*entry)), bool>) {
                if (!f(*entry))
                    return;
            } else {
                f(*entry);
            }
        }
    }
    // Messages of the room placed above `afterSeq`, in transcript order. For confirmed messages
    // that is their seq.
    template<typename F>
    void forEachInRoomAfter(const QUuid &roomId, qint64 afterSeq, F &&f) const
    {
        const auto room = m_rooms.find(roomId);
        if (room == m_rooms.cend())
            return;
        if (afterSeq == std::numeric_limits<qint64>::max())
            return;
        const Items &items = room->second.items;
        for (auto it = lowerBound(room->second, afterSeq + 1, 0); it != items.end(); ++it)
            f(**it);
    }
    // Every entry, in no particular order.
    template<typename F>
    void forEach(F &&f) const
    {
        for (const auto &[id, room] : m_rooms)
            for (const auto &entry : room.items)
                f(*entry);
    }

    QList<ChatMessage> roomMessages(const QUuid &roomId, bool includeHidden) const;
    // The highest seq of any of the room's messages, provisional ones included.
    std::optional<qint64> highestSeq(const QUuid &roomId) const;
    // The highest seq of the room's confirmed messages; the lowest.
    std::optional<qint64> highestConfirmedSeq(const QUuid &roomId) const;
    std::optional<qint64> lowestConfirmedSeq(const QUuid &roomId) const;
    // The room's last message in transcript order that is not hidden for me.
    const Entry *lastVisible(const QUuid &roomId) const;
    // Changes whenever anything of the room changes (never repeats, 0 for an empty room), so
    // that a figure computed from the room can be kept until the room changes.
    quint64 roomVersion(const QUuid &roomId) const;

private:
    // A room's messages in transcript order: ascending (seq, store order). A sorted array of
    // owned entries: new messages almost always come last, so an append costs O(1) and a walk
    // reads one contiguous array; entries themselves never move, so pointers to them stay good.
    struct Room
    {
        std::vector<std::unique_ptr<Entry>> items;
        quint64 version = 0;
        qsizetype unconfirmed = 0; // entries not confirmed: their seq may exceed the last place
    };
    using Items = std::vector<std::unique_ptr<Entry>>;

    static bool before(const Entry &e, qint64 place, quint64 order)
    {
        return e.place != place ? e.place < place : e.order < order;
    }
    static Items::const_iterator lowerBound(const Room &room, qint64 place, quint64 order)
    {
        return std::lower_bound(room.items.cbegin(), room.items.cend(), nullptr,
                                [&](const std::unique_ptr<Entry> &e, std::nullptr_t) {
                                    return before(*e, place, order);
                                });
    }
    static Items::iterator position(Room &room, const Entry *entry);
    static void place(Room &room, std::unique_ptr<Entry> entry);
    // Where `message` sorts in `room` when it comes in now.
    static qint64 placeFor(const Room &room, const ChatMessage &message);
    static std::optional<qint64> highestConfirmed(const Room &room);
    qsizetype removeWhere(const QUuid &roomId,
                          const std::function<bool(const ChatMessage &)> &drop);

    // An open-addressing table from a UUID to an entry: one array of slots, linear probing,
    // at most half full. A lookup usually reads a single cache line, which keeps the cost of a
    // lookup the same for a thousand messages and for a hundred thousand.
    class EntryTable
    {
    public:
        Entry *value(const QUuid &key) const;
        // The slot of `key`, made empty (null) when the key is new; the caller fills it.
        Entry *&slot(const QUuid &key);
        void erase(const QUuid &key);
        void reserve(qsizetype count);
        void clear() { *this = EntryTable(); }

    private:
        struct Slot
        {
            QUuid key;
            Entry *entry = nullptr; // null: empty
        };
        static size_t hashOf(const QUuid &key);
        size_t home(const QUuid &key) const { return hashOf(key) & (m_slots.size() - 1); }
        void grow(size_t capacity);

        std::vector<Slot> m_slots;
        size_t m_count = 0;
    };

    struct KeyTable
    {
        EntryTable first; // the earliest entry holding the key
        QHash<QUuid, int> extra; // how many later entries hold it too (rare)
    };

    void link(Entry *entry);
    void unlink(Entry *entry);
    void addKey(KeyTable &table, const QUuid &key, Entry *entry, bool byClientId);
    void dropKey(KeyTable &table, const QUuid &key, Entry *entry, bool byClientId);
    Entry *insert(const ChatMessage &message, quint64 order);
    void touched(Room &room) { room.version = ++m_lastVersion; }

    // The changes not yet taken, per room; the sets keep one mention per entry.
    struct Journal
    {
        bool reset = false;
        QList<const Entry *> inserted;
        // The inserted ones as a set, kept only once there are more than a few: a live
        // message adds one at a time, and a short list is searched faster than a set is made.
        QSet<const Entry *> fresh;
        bool isFresh(const Entry *entry) const;
        QSet<const Entry *> changed;
        QSet<const Entry *> moved;
        QHash<const Entry *, QUuid> formerIds; // the first id of those whose id changed
    };
    void noteReset(const QUuid &roomId);
    void noteInserted(const Entry *entry);
    void noteChanged(const Entry *entry, bool moved, const QUuid &formerId = {});

    struct UuidHash
    {
        size_t operator()(const QUuid &id) const noexcept { return qHash(id); }
    };
    std::unordered_map<QUuid, Room, UuidHash> m_rooms;
    KeyTable m_byId;
    KeyTable m_byClientId;
    QHash<QUuid, Journal> m_journal;
    qsizetype m_size = 0;
    quint64 m_nextOrder = 1;
    quint64 m_lastVersion = 0;
};
