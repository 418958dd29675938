#pragma once

// What the window benchmarks share: running the event loop dry, timing one step of the whole
// window by the main thread's CPU time, and the main thread's longest stretch away from its
// event loop.

#include "BenchSupport.h"

#include "ui/common/DecodedImageCache.h"

#include <QApplication>
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

// The application object, watching how long the main thread stays away from its event loop: a
// key pressed or a window uncovered meanwhile waits that long. While it watches, each event the
// loop hands out (a timer, a posted event, a paint, an answer's arrival, with everything they
// start) is a stretch, timed in CPU time of the main thread; the caller notes the stretches of
// its own code outside the loop.
class StretchWatch final : public QApplication
{
public:
    using QApplication::QApplication;

    void watch(bool on) { m_on = on; }
    void note(double ms)
    {
        if (m_on)
            m_longest = std::max(m_longest, ms);
    }
    double longest() const { return m_longest; }

    bool notify(QObject *receiver, QEvent *event) override
    {
        // Events sent while one is handled belong to its stretch.
        if (!m_on || m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        const double start = threadCpuMs();
        const bool handled = QApplication::notify(receiver, event);
        note(threadCpuMs() - start);
        --m_depth;
        return handled;
    }

private:
    bool m_on = false;
    int m_depth = 0;
    double m_longest = 0;
};
