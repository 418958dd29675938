#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Korean (ko_KR) date and time texts. Every text is computed in the local time zone; an invalid
// date gives an empty text.
//
// Converting to local time asks the C library, which looks at the time-zone file on every
// call: the local day and time of each moment are kept (by the second, which no zone's offset
// splits), and the texts with them, so that painting a row asks the zone nothing. A change of
// the system's zone is noticed within a second and clears what was kept.
class ChatTime
{
public:
    // Day separator in the transcript: "2024년 1월 5일".
    static QString dayHeader(const QDateTime &date);
    // Message time: "09:05", 24-hour.
    static QString clock(const QDateTime &date);
    // Spoken time for screen readers: "오전 9시 5분"; midnight is "오전 12시 0분".
    static QString spoken(const QDateTime &date);
    // Room list: "HH:mm" on the same local day as `now`, "M월 d일" in the same year, else the
    // year alone as ko_KR writes it ("2023년").
    static QString list(const QDateTime &date, const QDateTime &now);
    // The local day of a moment; null for an invalid date.
    static QDate localDay(const QDateTime &date);
};
