#include "ui/workspace/MacDivider.h"

#include <QPainter>

MacDivider::MacDivider(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent)
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(1);
    else
        setFixedWidth(1);
}

QColor MacDivider::colour(const QPalette &palette)
{
    QColor line = palette.color(QPalette::WindowText);
    line.setAlphaF(0.16);
    return line;
}

void MacDivider::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), colour(palette()));
}
