#pragma once

// Small pieces the benchmarks share: elapsed milliseconds and the process's memory figures.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

// Milliseconds since `timer` started, with its nanosecond precision.
inline double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
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
