#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

#include <functional>

struct Conversation;

// The launcher badge's figure: the unread counts of all rooms, summed. A message or a read mark
// changes one room's count, so each room's share is kept and only the rooms marked since the
// last count are counted again; a change of the whole list, of the service's unread counts or
// of the session counts every room again.
class BadgeTally
{
public:
    // Every room is counted again next time.
    void markAll() { m_all = true; }
    // The room's count may have changed. Past a few hundred rooms a whole count is cheaper.
    void markRoom(const QUuid &roomId);

    // The sum over `rooms`, counting again what was marked. `indexOf` finds a room's index in
    // `rooms` (-1 when gone) and `unread` counts one room.
    qint64 count(const QList<Conversation> &rooms, const std::function<int(const QUuid &)> &indexOf,
                 const std::function<int(const Conversation &)> &unread);

private:
    QHash<QUuid, int> m_counts;
    qint64 m_total = 0;
    bool m_all = true;
    QSet<QUuid> m_rooms;
};
