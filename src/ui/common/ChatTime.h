#pragma once

#include <QDateTime>
#include <QString>

// Korean (ko_KR) date and time texts. Every text is computed in the local time zone; an invalid
// date gives an empty text.
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
};
