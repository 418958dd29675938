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
                                 const QRectF &face, FocusMark focus, qreal radius)
{
    const bool focused = button.hasFocus();
    const bool shaded = button.isEnabled()
        && (button.isDown() || button.underMouse() || (focus == FocusMark::shade && focused));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (shaded) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade(button.palette(), button.isDown() ? Shade::pressed : Shade::hover));
        painter.drawRoundedRect(face, radius, radius);
    }
    painter.restore();
    if (focus == FocusMark::ring)
        paintFocusRing(painter, button, face, radius);
}

void UiMetrics::paintFocusRing(QPainter &painter, const QWidget &widget, const QRectF &face,
                               qreal radius, qreal width)
{
    if (!widget.hasFocus())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(focusRing(widget.palette(), width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}
