#pragma once

// Small pieces the benchmarks share: elapsed milliseconds, the main thread's CPU time, medians
// and the process's memory figures.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>

#include <algorithm>
#include <ctime>

// Milliseconds since `timer` started, with its nanosecond precision.
inline double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// CPU time of the calling thread in milliseconds: what the main thread itself spent, without
// the time it slept or waited for another thread.
inline double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// A figure of /proc/self/status in KiB ("VmRSS", "VmHWM", ...); 0 when it cannot be read.
inline qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}
