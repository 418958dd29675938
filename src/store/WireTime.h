#pragma once

#include "model/JsonFields.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QString>

#include <optional>

// A time as the service writes it: an ISO-8601 internet date-time (full date, "T", full time
// with or without a fraction of a second, and a zone: "Z" or an offset). Nothing when it is
// missing or has another shape: Qt alone would also take a bare date, or a time without a zone
// read as this machine's local time, and either would put a message at a wrong moment.
inline std::optional<QDateTime> parseWireTime(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
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
