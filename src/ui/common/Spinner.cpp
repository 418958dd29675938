#include "ui/common/Spinner.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int spinnerTurnMs = 900;

} // namespace

void paintSpinner(QPainter &painter, const QRectF &area, const QColor &color, qint64 elapsedMs)
{
    const qreal side = std::min<qreal>(20.0, std::min(area.width(), area.height()) - 8);
    if (side <= 4)
        return;
    const QRectF ring(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    const int angle = int((elapsedMs % spinnerTurnMs) * 360 / spinnerTurnMs);
    QColor track = color;
    track.setAlphaF(0.3f);
    painter.setPen(QPen(track, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawEllipse(ring);
    painter.setPen(QPen(color, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, (90 - angle) * 16, -100 * 16);
}

Spinner::Spinner(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_spin.setInterval(kSpinnerFrameMs);
    connect(&m_spin, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintSpinner(painter, rect(), palette().color(QPalette::WindowText),
                 m_clock.isValid() ? m_clock.elapsed() : 0);
}

void Spinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_clock.start();
    m_spin.start();
}

void Spinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_spin.stop();
}
