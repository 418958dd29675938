#include "store/MemberRooms.h"

#include <algorithm>

void MemberRooms::note(const QUuid &roomId, const QList<Membership> *before,
                       const QList<Membership> &members)
{
    if (before) {
        const auto sameMember
            = [](const Membership &a, const Membership &b) { return a.userId == b.userId; };
        if (std::equal(before->cbegin(), before->cend(), members.cbegin(), members.cend(),
                       sameMember))
            return;
        m_current -= before->size();
    }
    m_current += members.size();
    for (const Membership &m : members)
        m_pairs.append(Pair{m.userId, roomId});
}

void MemberRooms::clear()
{
    m_pairs.clear();
    m_current = 0;
}
