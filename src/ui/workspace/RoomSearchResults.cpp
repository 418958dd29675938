#include "ui/workspace/RoomSearchResults.h"

#include "store/RoomSearchTexts.h"

QList<QUuid> RoomSearchResults::find(const QList<QUuid> &listed, const QString &form)
{
    m_texts.prepare();
    if (m_texts.version() != m_version || listed != m_listed) {
        m_kept.clear();
        m_version = m_texts.version();
        m_listed = listed; // shared, not copied
    }
    for (qsizetype i = m_kept.size() - 1; i >= 0; --i) {
        if (m_kept.at(i).form == form) {
            m_kept.move(i, m_kept.size() - 1);
            return m_kept.last().rooms;
        }
    }
    // The fewest rooms among the results of texts that this one contains.
    const Kept *narrowest = nullptr;
    for (const Kept &kept : std::as_const(m_kept)) {
        if (form.contains(kept.form) && (!narrowest || kept.rooms.size() < narrowest->rooms.size()))
            narrowest = &kept;
    }
    const QList<QUuid> rooms = m_texts.filter(narrowest ? narrowest->rooms : listed, form);
    keep(form, rooms);
    return rooms;
}

void RoomSearchResults::keep(const QString &form, const QList<QUuid> &rooms)
{
    m_kept.append(Kept{form, rooms});
    qsizetype total = 0;
    for (const Kept &kept : std::as_const(m_kept))
        total += kept.rooms.size();
    while (m_kept.size() > kKept || (m_kept.size() > 1 && total > kKeptRooms)) {
        total -= m_kept.first().rooms.size();
        m_kept.removeFirst();
    }
}
