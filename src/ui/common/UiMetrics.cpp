#include "ui/common/UiMetrics.h"

#include <QAbstractButton>
#include <QPainter>

QColor UiMetrics::shade(const QPalette &palette, Shade state)
{
    QColor colour
        = palette.color(state == Shade::focus ? QPalette::Highlight : QPalette::WindowText);
    colour.setAlphaF(state == Shade::hover ? 0.06f : 0.12f);
    return colour;
}

QPen UiMetrics::focusRing(const QPalette &palette, qreal width)
{
    return QPen(palette.color(QPalette::Highlight), width);
}

void UiMetrics::paintButtonState(QPainter &painter, const QAbstractButton &button,
                                 const QRectF &face, bool ring)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (button.isEnabled() && (button.isDown() || button.underMouse())) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade(button.palette(), button.isDown() ? Shade::pressed : Shade::hover));
        painter.drawRoundedRect(face, plateRadius, plateRadius);
    }
    if (ring && button.hasFocus()) {
        painter.setPen(focusRing(button.palette()));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), plateRadius, plateRadius);
    }
    painter.restore();
}
