#pragma once

#include "model/JsonFields.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <optional>

namespace WireTimeDetail {

// The service's own form, "yyyy-MM-ddTHH:mm:ssZ" or with ".zzz" milliseconds, read without the
// general parser: nothing when the text has another form (the general parser then decides).
inline std::optional<QDateTime> plainUtc(const QString &text)
{
    const qsizetype n = text.size();
    if ((n != 20 && n != 24) || text.at(n - 1) != u'Z' || text.at(4) != u'-' || text.at(7) != u'-'
        || text.at(10) != u'T' || text.at(13) != u':' || text.at(16) != u':'
        || (n == 24 && text.at(19) != u'.'))
        return std::nullopt;
    const auto number = [&](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    const int ms = n == 24 ? number(20, 3) : 0;
    if (year < 1 || month < 0 || day < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 59 || ms < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return QDateTime(date, QTime(hour, minute, second, ms), Qt::UTC);
}

} // namespace WireTimeDetail

// A time as the service writes it: an ISO-8601 internet date-time (full date, "T", full time
// with or without a fraction of a second, and a zone: "Z" or an offset). Nothing when it is
// missing or has another shape: Qt alone would also take a bare date, or a time without a zone
// read as this machine's local time, and either would put a message at a wrong moment.
inline std::optional<QDateTime> parseWireTime(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    if (std::optional<QDateTime> plain = WireTimeDetail::plainUtc(*text))
        return plain;
    static const QRegularExpression shape(QStringLiteral(
        R"(^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\.[0-9]+)?(Z|[+-][0-9]{2}:?[0-9]{2})$)"));
    if (!shape.match(*text).hasMatch())
        return std::nullopt;
    QDateTime time = QDateTime::fromString(*text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(*text, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    time = time.toUTC();
    // An offset can move a time in year 9999 or 0001 out of the years the store document can
    // write; kept, it would make every later save fail.
    if (!hasTimeText(time))
        return std::nullopt;
    return time;
}

// The later of two times; a missing one yields to the other.
inline std::optional<QDateTime> laterOf(const std::optional<QDateTime> &a,
                                        const std::optional<QDateTime> &b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return *a < *b ? b : a;
}
