#pragma once

#include "model/Membership.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

// Which of the rooms a cache holds have an account among their members (left or not), so that a
// change of one account finds the rooms that show it without a walk over every room's members.
// The cache notes each room it keeps with the members it kept it with, and takes them back when
// the room goes or is kept again.
class MemberRooms
{
public:
    void add(const QUuid &roomId, const QList<Membership> &members);
    void remove(const QUuid &roomId, const QList<Membership> &members);
    void clear() { m_rooms.clear(); }

    // Calls `f` with the id of each noted room that has `accountId` among its members.
    template<typename F>
    void forEachRoomOf(const QUuid &accountId, F &&f) const
    {
        const auto found = m_rooms.constFind(accountId);
        if (found == m_rooms.cend())
            return;
        for (const QUuid &roomId : *found)
            f(roomId);
    }

private:
    QHash<QUuid, QSet<QUuid>> m_rooms; // by member
};
