#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// A time as the service writes it (ISO-8601), read first with fractional seconds and then
// without; nothing when it is missing or unreadable.
inline std::optional<QDateTime> parseWireTime(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    QDateTime time = QDateTime::fromString(*text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(*text, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    return time.toUTC();
}
