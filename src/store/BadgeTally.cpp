#include "store/BadgeTally.h"

#include "model/Conversation.h"

void BadgeTally::markRoom(const QUuid &roomId)
{
    if (m_all)
        return;
    if (m_rooms.size() >= 256) {
        m_all = true;
        m_rooms.clear();
        return;
    }
    m_rooms.insert(roomId);
}

qint64 BadgeTally::count(const QList<Conversation> &rooms,
                         const std::function<int(const QUuid &)> &indexOf,
                         const std::function<int(const Conversation &)> &unread)
{
    if (!m_all) {
        for (const QUuid &id : std::as_const(m_rooms)) {
            const int index = indexOf(id);
            const int count = index >= 0 ? unread(rooms.at(index)) : 0;
            m_total += count - m_counts.value(id, 0);
            if (index >= 0)
                m_counts.insert(id, count);
            else
                m_counts.remove(id);
        }
    } else {
        m_counts.clear();
        m_total = 0;
        for (const Conversation &room : rooms) {
            const int count = unread(room);
            m_total += count;
            m_counts.insert(room.id, count);
        }
        // Two rooms with one id are each counted, as above; room by room they could not be.
        m_all = m_counts.size() != rooms.size();
    }
    m_rooms.clear();
    return m_total;
}
