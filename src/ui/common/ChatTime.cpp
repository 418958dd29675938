#include "ui/common/ChatTime.h"

#include <QLocale>

namespace {

const QLocale &korean()
{
    static const QLocale locale(QLocale::Korean, QLocale::SouthKorea);
    return locale;
}

QString format(const QDateTime &date, const QString &pattern)
{
    if (!date.isValid())
        return {};
    return korean().toString(date.toLocalTime(), pattern);
}

} // namespace

QString ChatTime::dayHeader(const QDateTime &date)
{
    return format(date, QStringLiteral("yyyy년 M월 d일"));
}

QString ChatTime::clock(const QDateTime &date)
{
    return format(date, QStringLiteral("HH:mm"));
}

QString ChatTime::spoken(const QDateTime &date)
{
    // "AP" is the locale's 오전/오후, and with it "h" counts 1 to 12.
    return format(date, QStringLiteral("AP h시 m분"));
}

QString ChatTime::list(const QDateTime &date, const QDateTime &now)
{
    if (!date.isValid())
        return {};
    const QDate day = date.toLocalTime().date();
    const QDate today = now.isValid() ? now.toLocalTime().date() : QDate();
    if (day == today)
        return clock(date);
    if (day.year() == today.year())
        return format(date, QStringLiteral("M월 d일"));
    return format(date, QStringLiteral("yyyy년"));
}
