#pragma once

#include "model/Membership.h"

#include <QList>
#include <QSet>
#include <QUuid>

// Which of the rooms a cache holds have an account among their members (left or not), so that a
// change of some accounts finds the rooms that show them without a walk over every room and its
// members' list.
//
// Made for thousands of rooms that are noted far more often than looked up: the pairs of member
// and room lie in one block of memory, noted by appending and read by one pass over the block.
// Nothing is taken out when a room goes or loses a member, so a look-up may also name rooms that
// no longer have the account (remaking those costs a little, misses none); once such leftovers
// outnumber what is current, the cache notes its rooms afresh (wasteful()).
class MemberRooms
{
public:
    // The room is held with `members` now; `before`: the members it was held with, null for a
    // room new to the cache. Members that stay the same note nothing.
    void note(const QUuid &roomId, const QList<Membership> *before,
              const QList<Membership> &members);
    // The room, held with `members`, is held no longer.
    void forget(const QList<Membership> &members) { m_current -= members.size(); }
    void clear();
    // Leftovers outnumber what is current: time to clear() and note every room again.
    bool wasteful() const { return m_pairs.size() > 2 * m_current + 1024; }

    // Calls `f` with the id of each room noted with one of `accounts` among its members (maybe
    // more than once; maybe also rooms that lost the account or went since).
    template<typename F>
    void forEachRoomOf(const QSet<QUuid> &accounts, F &&f) const
    {
        if (accounts.size() == 1) {
            const QUuid account = *accounts.cbegin();
            for (const Pair &pair : m_pairs) {
                if (pair.member == account)
                    f(pair.room);
            }
        } else if (!accounts.isEmpty()) {
            for (const Pair &pair : m_pairs) {
                if (accounts.contains(pair.member))
                    f(pair.room);
            }
        }
    }

private:
    struct Pair
    {
        QUuid member;
        QUuid room;
    };
    QList<Pair> m_pairs;
    qsizetype m_current = 0; // members of the rooms held now
};
