#pragma once

// What the window benchmarks share: running the event loop dry, and timing one step of the
// whole window by the main thread's CPU time.

#include "BenchSupport.h"

#include "ui/common/DecodedImageCache.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QThread>

// A JPEG picture of `size` that differs for every `seed`.
inline QByteArray benchJpeg(int seed, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed * 53 % 360, 120 + seed % 100, 180));
    QPainter p(&image);
    p.setPen(Qt::white);
    p.drawText(image.rect(), Qt::AlignCenter, QString::number(seed));
    p.drawEllipse(seed % (size.width() / 2), seed % (size.height() / 2), size.width() / 3,
                  size.height() / 3);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 75);
    return bytes;
}

// Runs the event loop until nothing is left for it: posted events and deferred deletes, timers
// due at once (zero-time timers start more work in the next turn), and the picture decodes on
// their way, whose results come back as events. Waiting for a decode sleeps, so it costs the
// main thread no CPU time.
inline void drainEvents()
{
    for (int quiet = 0; quiet < 3;) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (DecodedImageCache::shared()->pendingCount() > 0) {
            QThread::msleep(1);
            quiet = 0;
            continue;
        }
        ++quiet;
    }
}

// Paints every pixel of a window again, as after it was uncovered. QWidget::repaint() on a
// window is not that: Qt keeps what opaque children (a list's viewport, for one) last painted
// in the backing store and paints only the window's own background and the other widgets
// around them. Every widget is marked, and the event loop paints them in one pass.
inline void repaintWholeWindow(QWidget &window)
{
    window.update();
    const QList<QWidget *> children = window.findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->isVisible())
            child->update();
    }
    drainEvents();
}

// The main thread's CPU time of `step` and of the event loop drained after it.
template<typename Step>
double cpuMsOf(Step &&step)
{
    const double start = threadCpuMs();
    step();
    drainEvents();
    return threadCpuMs() - start;
}
