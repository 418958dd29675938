#include "ui/common/UiMetrics.h"

#include <QPalette>

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
