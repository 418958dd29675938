#pragma once

#include <QList>
#include <QString>
#include <QUuid>

class RoomSearchTexts;

// The listed rooms that a search text finds, for a text typed key by key. A text that contains
// an earlier one (it grew, or a letter was composed further) is looked for only among the rooms
// the earlier text found, since a room whose texts contain the longer text contains the shorter
// one too; and the results of the last texts are kept, so that a backspace finds its text's rooms
// again without a search. What is kept holds while the listed rooms and their search texts stay
// as they were (RoomSearchTexts::version()); any change of them makes the next search look at
// every room again, so the answer is always that of a search over all of them.
class RoomSearchResults
{
public:
    explicit RoomSearchResults(RoomSearchTexts &texts)
        : m_texts(texts)
    { }

    // The rooms of `listed` whose search texts contain `form` (a search form), in list order.
    QList<QUuid> find(const QList<QUuid> &listed, const QString &form);

    // Results kept at most: the texts of some keys back. Past kKeptRooms rooms in all, the
    // oldest go earlier.
    static constexpr qsizetype kKept = 12;
    static constexpr qsizetype kKeptRooms = 40'000;

private:
    struct Kept
    {
        QString form;
        QList<QUuid> rooms;
    };

    void keep(const QString &form, const QList<QUuid> &rooms);

    RoomSearchTexts &m_texts;
    QList<QUuid> m_listed; // the rooms the kept results were found among
    quint64 m_version = 0; // the texts' version they were found with
    QList<Kept> m_kept; // the latest last
};
