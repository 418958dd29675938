#include "store/RoomOrder.h"

#include <algorithm>

RoomOrder::Key RoomOrder::keyOf(const Conversation &room, const std::optional<QUuid> &me)
{
    Key key;
    key.listed = me && !room.hiddenFromList
        && std::any_of(room.memberships.cbegin(), room.memberships.cend(),
                       [&](const Membership &m) { return m.userId == *me && !m.leftAt; });
    key.pinned = room.pinned;
    key.timed = room.updatedAt.isValid();
    key.time = key.timed ? room.updatedAt.toMSecsSinceEpoch() : 0;
    return key;
}

// The display order: pinned first, then the later time first (a time before none), then the
// earlier place in the store's list. Two places never compare equal.
bool RoomOrder::before(int a, int b) const
{
    const Key &x = m_keys.at(a);
    const Key &y = m_keys.at(b);
    if (x.pinned != y.pinned)
        return x.pinned;
    if (x.timed != y.timed)
        return x.timed;
    if (x.time != y.time)
        return x.time > y.time;
    return a < b;
}

void RoomOrder::sync(const QList<Conversation> &rooms, const std::optional<QUuid> &me,
                     const QList<int> *touched)
{
    bool sameIds = m_built && me == m_me && m_ids.size() == rooms.size();
    if (sameIds && !touched) {
        for (qsizetype i = 0; sameIds && i < rooms.size(); ++i)
            sameIds = m_ids.at(i) == rooms.at(i).id;
    }
    m_me = me;
    if (!sameIds) {
        rebuild(rooms);
        return;
    }
    const auto update = [&](int i) {
        const Key key = keyOf(rooms.at(i), me);
        if (key == m_keys.at(i))
            return;
        if (keepsPlace(i, key))
            return;
        take(i);
        m_keys[i] = key;
        put(i);
    };
    if (touched) {
        for (int i : *touched) {
            if (i >= 0 && i < rooms.size())
                update(i);
        }
    } else {
        for (int i = 0; i < rooms.size(); ++i)
            update(i);
    }
}

void RoomOrder::rebuild(const QList<Conversation> &rooms)
{
    m_built = true;
    m_lookup.sync(rooms);
    m_ids.resize(rooms.size());
    m_keys.resize(rooms.size());
    m_order.clear();
    for (int i = 0; i < rooms.size(); ++i) {
        m_ids[i] = rooms.at(i).id;
        m_keys[i] = keyOf(rooms.at(i), m_me);
        if (m_keys.at(i).listed)
            m_order.append(i);
    }
    std::sort(m_order.begin(), m_order.end(), [this](int a, int b) { return before(a, b); });
    m_orderIds.resize(m_order.size());
    for (qsizetype i = 0; i < m_order.size(); ++i)
        m_orderIds[i] = m_ids.at(m_order.at(i));
}

bool RoomOrder::keepsPlace(int index, const Key &key)
{
    // The room that gets a new message is most often the first already: its place, and the
    // list of ids that others share, stay as they are.
    if (!m_keys.at(index).listed || !key.listed)
        return false;
    const auto at = std::lower_bound(m_order.begin(), m_order.end(), index,
                                     [this](int a, int b) { return before(a, b); });
    if (at == m_order.end() || *at != index)
        return false;
    const Key old = std::exchange(m_keys[index], key);
    const qsizetype place = at - m_order.begin();
    if ((place == 0 || before(m_order.at(place - 1), index))
        && (place + 1 == m_order.size() || before(index, m_order.at(place + 1))))
        return true;
    m_keys[index] = old;
    return false;
}

void RoomOrder::take(int index)
{
    if (!m_keys.at(index).listed)
        return;
    const auto at = std::lower_bound(m_order.begin(), m_order.end(), index,
                                     [this](int a, int b) { return before(a, b); });
    if (at == m_order.end() || *at != index)
        return;
    const qsizetype place = at - m_order.begin();
    m_order.remove(place);
    m_orderIds.remove(place);
}

void RoomOrder::put(int index)
{
    if (!m_keys.at(index).listed)
        return;
    const auto at = std::lower_bound(m_order.begin(), m_order.end(), index,
                                     [this](int a, int b) { return before(a, b); });
    const qsizetype place = at - m_order.begin();
    m_order.insert(place, index);
    m_orderIds.insert(place, m_ids.at(index));
}
