#include "store/MemberRooms.h"

void MemberRooms::add(const QUuid &roomId, const QList<Membership> &members)
{
    for (const Membership &m : members)
        m_rooms[m.userId].insert(roomId);
}

void MemberRooms::remove(const QUuid &roomId, const QList<Membership> &members)
{
    for (const Membership &m : members) {
        const auto found = m_rooms.find(m.userId);
        if (found == m_rooms.end())
            continue;
        found->remove(roomId);
        if (found->isEmpty())
            m_rooms.erase(found);
    }
}
