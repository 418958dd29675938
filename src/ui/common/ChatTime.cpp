#include "ui/common/ChatTime.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLocale>
#include <QTimeZone>

namespace {

// Beyond this many moments kept, the cache starts again: a few screens of rows and the room
// list need far fewer.
constexpr qsizetype kKeptMoments = 8192;
constexpr qint64 kZoneCheckMs = 1000;

const QLocale &korean()
{
    static const QLocale locale(QLocale::Korean, QLocale::SouthKorea);
    return locale;
}

struct LocalMoment
{
    QDate day;
    QTime time; // to the second
    QString clock; // made when first asked for
};

class LocalTimes
{
public:
    static LocalTimes &instance()
    {
        static LocalTimes times;
        return times;
    }

    // The local day and time of a valid moment.
    LocalMoment &moment(const QDateTime &date)
    {
        checkZone();
        // A local date and time is already what the texts show; any other kind is a point in
        // time, kept by its second.
        if (date.timeSpec() == Qt::LocalTime) {
            m_plain = LocalMoment{date.date(), dropMs(date.time()), {}};
            return m_plain;
        }
        const qint64 ms = date.toMSecsSinceEpoch();
        const qint64 second = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
        auto found = m_moments.find(second);
        if (found == m_moments.end()) {
            if (m_moments.size() >= kKeptMoments)
                m_moments.clear();
            const QDateTime local = QDateTime::fromSecsSinceEpoch(second).toLocalTime();
            found = m_moments.insert(second, LocalMoment{local.date(), local.time(), {}});
        }
        return *found;
    }

    const QString &dayHeader(const QDate &day)
    {
        auto found = m_days.find(day.toJulianDay());
        if (found == m_days.end()) {
            if (m_days.size() >= kKeptMoments)
                m_days.clear();
            found = m_days.insert(day.toJulianDay(),
                                  korean().toString(day, QStringLiteral("yyyy년 M월 d일")));
        }
        return *found;
    }

private:
    static QTime dropMs(const QTime &time)
    {
        return QTime(time.hour(), time.minute(), time.second());
    }

    // At most once a second: whether the system's zone is still the one the kept moments
    // were converted in.
    void checkZone()
    {
        if (m_sinceCheck.isValid() && m_sinceCheck.elapsed() < kZoneCheckMs)
            return;
        m_sinceCheck.start();
        const QByteArray zone = QTimeZone::systemTimeZoneId();
        const int offset = QDateTime::currentDateTime().offsetFromUtc();
        if (zone == m_zone && offset == m_offset)
            return;
        m_zone = zone;
        m_offset = offset;
        m_moments.clear();
    }

    QHash<qint64, LocalMoment> m_moments; // by UTC second
    QHash<qint64, QString> m_days; // day headers by Julian day: the same in every zone
    LocalMoment m_plain;
    QElapsedTimer m_sinceCheck;
    QByteArray m_zone;
    int m_offset = 0;
};

QString format(const QTime &time, const QString &pattern)
{
    return korean().toString(time, pattern);
}

} // namespace

QDate ChatTime::localDay(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    return LocalTimes::instance().moment(date).day;
}

QString ChatTime::dayHeader(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    LocalTimes &times = LocalTimes::instance();
    return times.dayHeader(times.moment(date).day);
}

QString ChatTime::clock(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    LocalMoment &moment = LocalTimes::instance().moment(date);
    if (moment.clock.isNull())
        moment.clock = format(moment.time, QStringLiteral("HH:mm"));
    return moment.clock;
}

QString ChatTime::spoken(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    // "AP" is the locale's 오전/오후, and with it "h" counts 1 to 12.
    return format(LocalTimes::instance().moment(date).time, QStringLiteral("AP h시 m분"));
}

QString ChatTime::list(const QDateTime &date, const QDateTime &now)
{
    if (!date.isValid())
        return {};
    const QDate day = localDay(date);
    const QDate today = localDay(now);
    if (day == today)
        return clock(date);
    if (day.year() == today.year())
        return korean().toString(day, QStringLiteral("M월 d일"));
    return korean().toString(day, QStringLiteral("yyyy년"));
}
