#include "store/MessageIndex.h"

#include <algorithm>
#include <cstring>
#include <utility>

void MessageIndex::clear()
{
    for (const auto &[id, room] : m_rooms)
        noteReset(id);
    m_rooms.clear();
    m_byId.first.clear();
    m_byId.extra.clear();
    m_byClientId.first.clear();
    m_byClientId.extra.clear();
    m_size = 0;
}

void MessageIndex::assign(const QList<ChatMessage> &list)
{
    clear();
    m_byId.first.reserve(list.size());
    m_byClientId.first.reserve(list.size());
    // Every room of the list is read again whole: its entries need no journal of their own.
    for (const ChatMessage &message : list) {
        noteReset(message.conversationId);
        append(message);
    }
}

QList<ChatMessage> MessageIndex::toList() const
{
    QList<const Entry *> entries;
    entries.reserve(m_size);
    forEach([&](const Entry &entry) { entries.append(&entry); });
    std::sort(entries.begin(), entries.end(),
              [](const Entry *a, const Entry *b) { return a->order < b->order; });
    QList<ChatMessage> list;
    list.reserve(entries.size());
    for (const Entry *entry : std::as_const(entries))
        list.append(entry->message);
    return list;
}

const MessageIndex::Entry *MessageIndex::find(const QUuid &id) const
{
    return m_byId.first.value(id);
}

const MessageIndex::Entry *MessageIndex::findByClientId(const QUuid &clientMsgId) const
{
    return m_byClientId.first.value(clientMsgId);
}

const MessageIndex::Entry *MessageIndex::findMatch(const QUuid &id, const QUuid &clientMsgId) const
{
    const Entry *byId = find(id);
    const Entry *byClient = findByClientId(clientMsgId);
    if (!byId)
        return byClient;
    if (!byClient)
        return byId;
    return byId->order <= byClient->order ? byId : byClient;
}

MessageIndex::Items::iterator MessageIndex::position(Room &room, const Entry *entry)
{
    auto it = std::lower_bound(room.items.begin(), room.items.end(), entry,
                               [](const std::unique_ptr<Entry> &e, const Entry *wanted) {
                                   return before(*e, wanted->place, wanted->order);
                               });
    Q_ASSERT(it != room.items.end() && it->get() == entry);
    return it;
}

void MessageIndex::place(Room &room, std::unique_ptr<Entry> entry)
{
    if (!confirmed(entry->message))
        ++room.unconfirmed;
    // New messages nearly always belong at the end.
    if (room.items.empty() || before(*room.items.back(), entry->place, entry->order)) {
        room.items.push_back(std::move(entry));
        return;
    }
    const auto at = lowerBound(room, entry->place, entry->order);
    room.items.insert(room.items.begin() + (at - room.items.cbegin()), std::move(entry));
}

std::optional<qint64> MessageIndex::highestConfirmed(const Room &room)
{
    // Confirmed messages sit at their seq, so the last of them in transcript order is the
    // highest; only unconfirmed ones can follow it.
    for (auto it = room.items.crbegin(); it != room.items.crend(); ++it) {
        if (confirmed((*it)->message))
            return (*it)->message.seq;
    }
    return std::nullopt;
}

qint64 MessageIndex::placeFor(const Room &room, const ChatMessage &message)
{
    if (confirmed(message))
        return message.seq;
    // Never later than its own seq would put it: a provisional seq is at most one above the
    // newest message held when it was made.
    return std::min(message.seq, highestConfirmed(room).value_or(0) + 1);
}

MessageIndex::Entry *MessageIndex::insert(const ChatMessage &message, quint64 order)
{
    Room &room = m_rooms[message.conversationId];
    auto owned = std::make_unique<Entry>(Entry{message, order, placeFor(room, message)});
    Entry *entry = owned.get();
    touched(room);
    place(room, std::move(owned));
    link(entry);
    ++m_size;
    noteInserted(entry);
    return entry;
}

const MessageIndex::Entry *MessageIndex::append(const ChatMessage &message)
{
    return insert(message, m_nextOrder++);
}

const MessageIndex::Entry *MessageIndex::replace(const Entry *constEntry,
                                                 const ChatMessage &message)
{
    auto *entry = const_cast<Entry *>(constEntry);
    const ChatMessage &old = entry->message;
    const bool sameRoom = old.conversationId == message.conversationId;
    // An unconfirmed message keeps the place it was given (a failed send stays where it was
    // sent); the service's copy takes its own.
    qint64 newPlace = 0;
    if (confirmed(message))
        newPlace = message.seq;
    else if (sameRoom && !confirmed(old))
        newPlace = std::min(entry->place, message.seq);
    else
        newPlace = placeFor(m_rooms[message.conversationId], message);
    const bool sameKeys = old.id == message.id && old.clientMsgId == message.clientMsgId && sameRoom
        && old.seq == message.seq && entry->place == newPlace;
    if (sameKeys) {
        Room &room = m_rooms[message.conversationId];
        room.unconfirmed += int(!confirmed(message)) - int(!confirmed(old));
        if (old == message)
            return entry;
        entry->message = message;
        touched(m_rooms[message.conversationId]);
        noteChanged(entry, false);
        return entry;
    }
    if (old.conversationId != message.conversationId) {
        noteReset(old.conversationId);
        noteReset(message.conversationId);
    }
    // The keys change: take the entry out of its room and put it back under the new keys. The
    // entry itself (and so its address) stays.
    const QUuid formerId = old.id != message.id ? old.id : QUuid();
    unlink(entry);
    auto roomIt = m_rooms.find(old.conversationId);
    auto at = position(roomIt->second, entry);
    std::unique_ptr<Entry> owned = std::move(*at);
    roomIt->second.items.erase(at);
    if (!confirmed(owned->message))
        --roomIt->second.unconfirmed;
    touched(roomIt->second);
    if (roomIt->second.items.empty())
        m_rooms.erase(roomIt);
    owned->message = message;
    owned->place = newPlace;
    Room &room = m_rooms[message.conversationId];
    touched(room);
    place(room, std::move(owned));
    link(entry);
    noteChanged(entry, true, formerId);
    return entry;
}

void MessageIndex::remove(const Entry *constEntry)
{
    auto *entry = const_cast<Entry *>(constEntry);
    unlink(entry);
    noteReset(entry->message.conversationId);
    auto roomIt = m_rooms.find(entry->message.conversationId);
    if (!confirmed(entry->message))
        --roomIt->second.unconfirmed;
    roomIt->second.items.erase(position(roomIt->second, entry));
    touched(roomIt->second);
    if (roomIt->second.items.empty())
        m_rooms.erase(roomIt);
    --m_size;
}

QList<const MessageIndex::Entry *> MessageIndex::roomEntries(const QUuid &roomId) const
{
    QList<const Entry *> entries;
    entries.reserve(roomSize(roomId));
    forEachInRoom(roomId, [&](const Entry &entry) { entries.append(&entry); });
    std::sort(entries.begin(), entries.end(),
              [](const Entry *a, const Entry *b) { return a->order < b->order; });
    return entries;
}

QList<ChatMessage> MessageIndex::takeRoom(const QUuid &roomId)
{
    auto roomIt = m_rooms.find(roomId);
    if (roomIt == m_rooms.end())
        return {};
    noteReset(roomId);
    const QList<const Entry *> entries = roomEntries(roomId);
    QList<ChatMessage> taken;
    taken.reserve(entries.size());
    for (const Entry *entry : entries) {
        unlink(const_cast<Entry *>(entry));
        taken.append(entry->message);
    }
    m_size -= qsizetype(roomIt->second.items.size());
    m_rooms.erase(roomIt);
    return taken;
}

qsizetype MessageIndex::removeWhere(const QUuid &roomId,
                                    const std::function<bool(const ChatMessage &)> &drop)
{
    auto roomIt = m_rooms.find(roomId);
    if (roomIt == m_rooms.end())
        return 0;
    Room &room = roomIt->second;
    Items kept;
    kept.reserve(room.items.size());
    qsizetype removed = 0;
    for (auto &entry : room.items) {
        if (!drop(entry->message)) {
            kept.push_back(std::move(entry));
            continue;
        }
        unlink(entry.get());
        if (!confirmed(entry->message))
            --room.unconfirmed;
        ++removed;
    }
    if (removed == 0) {
        // Nothing went: the entries move back untouched.
        room.items = std::move(kept);
        return 0;
    }
    noteReset(roomId);
    m_size -= removed;
    room.items = std::move(kept);
    touched(room);
    if (room.items.empty())
        m_rooms.erase(roomIt);
    return removed;
}

qsizetype MessageIndex::roomSize(const QUuid &roomId) const
{
    const auto room = m_rooms.find(roomId);
    return room == m_rooms.cend() ? 0 : qsizetype(room->second.items.size());
}

QList<QUuid> MessageIndex::roomIds() const
{
    QList<QUuid> ids;
    ids.reserve(qsizetype(m_rooms.size()));
    for (const auto &[id, room] : m_rooms)
        ids.append(id);
    return ids;
}

QList<ChatMessage> MessageIndex::roomMessages(const QUuid &roomId, bool includeHidden) const
{
    QList<ChatMessage> list;
    list.reserve(roomSize(roomId));
    forEachInRoom(roomId, [&](const Entry &entry) {
        if (includeHidden || !entry.message.hiddenForMe)
            list.append(entry.message);
    });
    return list;
}

std::optional<qint64> MessageIndex::highestSeq(const QUuid &roomId) const
{
    const auto room = m_rooms.find(roomId);
    if (room == m_rooms.cend() || room->second.items.empty())
        return std::nullopt;
    qint64 top = room->second.items.back()->message.seq;
    // An unconfirmed message may hold a provisional seq above the last place.
    if (room->second.unconfirmed > 0) {
        for (const auto &entry : room->second.items) {
            if (!confirmed(entry->message))
                top = std::max(top, entry->message.seq);
        }
    }
    return top;
}

std::optional<qint64> MessageIndex::highestConfirmedSeq(const QUuid &roomId) const
{
    const auto room = m_rooms.find(roomId);
    return room == m_rooms.cend() ? std::nullopt : highestConfirmed(room->second);
}

std::optional<qint64> MessageIndex::lowestConfirmedSeq(const QUuid &roomId) const
{
    const auto room = m_rooms.find(roomId);
    if (room == m_rooms.cend())
        return std::nullopt;
    for (const auto &entry : room->second.items) {
        if (confirmed(entry->message))
            return entry->message.seq;
    }
    return std::nullopt;
}

const MessageIndex::Entry *MessageIndex::lastVisible(const QUuid &roomId) const
{
    const auto room = m_rooms.find(roomId);
    if (room == m_rooms.cend())
        return nullptr;
    for (auto it = room->second.items.rbegin(); it != room->second.items.rend(); ++it) {
        if (!(*it)->message.hiddenForMe)
            return it->get();
    }
    return nullptr;
}

quint64 MessageIndex::roomVersion(const QUuid &roomId) const
{
    const auto room = m_rooms.find(roomId);
    return room == m_rooms.cend() ? 0 : room->second.version;
}

QHash<QUuid, MessageIndex::RoomChange> MessageIndex::takeChanges()
{
    QHash<QUuid, RoomChange> changes;
    if (m_journal.isEmpty())
        return changes;
    changes.reserve(m_journal.size());
    for (auto it = m_journal.begin(); it != m_journal.end(); ++it) {
        Journal &j = it.value();
        RoomChange &change = changes[it.key()];
        change.reset = j.reset;
        if (j.reset)
            continue;
        change.inserted = std::move(j.inserted);
        change.changed = QList<const Entry *>(j.changed.cbegin(), j.changed.cend());
        change.moved = QList<const Entry *>(j.moved.cbegin(), j.moved.cend());
        change.formerIds = std::move(j.formerIds);
    }
    m_journal.clear();
    return changes;
}

namespace {

constexpr qsizetype kFreshListed = 8; // inserted entries searched one by one, up to this many

} // namespace

bool MessageIndex::Journal::isFresh(const Entry *entry) const
{
    if (inserted.size() <= kFreshListed)
        return inserted.contains(entry);
    return fresh.contains(entry);
}

void MessageIndex::noteReset(const QUuid &roomId)
{
    Journal &j = m_journal[roomId];
    if (j.reset)
        return;
    j = Journal();
    j.reset = true;
}

void MessageIndex::noteInserted(const Entry *entry)
{
    Journal &j = m_journal[entry->message.conversationId];
    if (j.reset)
        return;
    j.inserted.append(entry);
    if (j.inserted.size() > kFreshListed + 1)
        j.fresh.insert(entry);
    else if (j.inserted.size() == kFreshListed + 1)
        j.fresh = QSet<const Entry *>(j.inserted.cbegin(), j.inserted.cend());
}

void MessageIndex::noteChanged(const Entry *entry, bool moved, const QUuid &formerId)
{
    Journal &j = m_journal[entry->message.conversationId];
    if (j.reset || j.isFresh(entry))
        return; // a new entry is read whole, wherever it ends up
    if (moved) {
        j.changed.remove(entry);
        j.moved.insert(entry);
        // Only the id the observers last saw matters: a second change keeps the first.
        if (!formerId.isNull() && !j.formerIds.contains(entry))
            j.formerIds.insert(entry, formerId);
    } else if (!j.moved.contains(entry)) {
        j.changed.insert(entry);
    }
}

void MessageIndex::link(Entry *entry)
{
    addKey(m_byId, entry->message.id, entry, false);
    addKey(m_byClientId, entry->message.clientMsgId, entry, true);
}

void MessageIndex::unlink(Entry *entry)
{
    dropKey(m_byId, entry->message.id, entry, false);
    dropKey(m_byClientId, entry->message.clientMsgId, entry, true);
}

void MessageIndex::addKey(KeyTable &table, const QUuid &key, Entry *entry, bool)
{
    Entry *&holder = table.first.slot(key); // one probe: finds the slot or makes an empty one
    if (!holder) {
        holder = entry;
        return;
    }
    ++table.extra[key];
    if (entry->order < holder->order)
        holder = entry;
}

void MessageIndex::dropKey(KeyTable &table, const QUuid &key, Entry *entry, bool byClientId)
{
    Entry *holder = table.first.value(key);
    if (!holder)
        return;
    auto extra = table.extra.find(key);
    if (extra == table.extra.end()) {
        if (holder == entry)
            table.first.erase(key);
        return;
    }
    if (--extra.value() == 0)
        table.extra.erase(extra);
    if (holder != entry)
        return;
    // The earliest holder of a shared key goes: find the next one. Keys are shared only by
    // unusual data (a document with repeated ids), so a full walk here is acceptable.
    Entry *next = nullptr;
    for (auto &[id, room] : m_rooms) {
        for (auto &candidate : room.items) {
            if (candidate.get() == entry)
                continue;
            const QUuid &candidateKey
                = byClientId ? candidate->message.clientMsgId : candidate->message.id;
            if (candidateKey == key && (!next || candidate->order < next->order))
                next = candidate.get();
        }
    }
    if (next)
        table.first.slot(key) = next;
    else
        table.first.erase(key);
}

// ---------------------------------------------------------------------------------------------
// EntryTable

size_t MessageIndex::EntryTable::hashOf(const QUuid &key)
{
    quint64 a = 0;
    quint64 b = 0;
    static_assert(sizeof(QUuid) == 16);
    std::memcpy(&a, &key, 8);
    std::memcpy(&b, reinterpret_cast<const char *>(&key) + 8, 8);
    // splitmix64's finaliser: ids made on purpose to collide still spread over the table.
    quint64 x = a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return size_t(x ^ (x >> 31));
}

MessageIndex::Entry *MessageIndex::EntryTable::value(const QUuid &key) const
{
    if (m_count == 0)
        return nullptr;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = home(key);; i = (i + 1) & mask) {
        const Slot &s = m_slots[i];
        if (!s.entry)
            return nullptr;
        if (s.key == key)
            return s.entry;
    }
}

MessageIndex::Entry *&MessageIndex::EntryTable::slot(const QUuid &key)
{
    if ((m_count + 1) * 2 > m_slots.size())
        grow(std::max<size_t>(16, m_slots.size() * 2));
    const size_t mask = m_slots.size() - 1;
    for (size_t i = home(key);; i = (i + 1) & mask) {
        Slot &s = m_slots[i];
        if (!s.entry) {
            s.key = key;
            ++m_count;
            return s.entry;
        }
        if (s.key == key)
            return s.entry;
    }
}

void MessageIndex::EntryTable::erase(const QUuid &key)
{
    if (m_count == 0)
        return;
    const size_t mask = m_slots.size() - 1;
    size_t i = home(key);
    while (true) {
        if (!m_slots[i].entry)
            return;
        if (m_slots[i].key == key)
            break;
        i = (i + 1) & mask;
    }
    // Backward-shift deletion: later members of the probe run move up, so no tombstones are
    // needed and lookups never walk over dead slots.
    size_t j = i;
    while (true) {
        j = (j + 1) & mask;
        if (!m_slots[j].entry)
            break;
        const size_t k = home(m_slots[j].key);
        const bool movable = (i <= j) ? (k <= i || k > j) : (k <= i && k > j);
        if (movable) {
            m_slots[i] = m_slots[j];
            i = j;
        }
    }
    m_slots[i] = Slot{};
    --m_count;
}

void MessageIndex::EntryTable::reserve(qsizetype count)
{
    size_t capacity = 16;
    while (capacity < size_t(count) * 2)
        capacity *= 2;
    if (capacity > m_slots.size())
        grow(capacity);
}

void MessageIndex::EntryTable::grow(size_t capacity)
{
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(capacity));
    m_count = 0;
    for (const Slot &s : old) {
        if (s.entry)
            slot(s.key) = s.entry;
    }
}
