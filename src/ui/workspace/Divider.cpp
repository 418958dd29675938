#include "ui/workspace/Divider.h"

#include <QPainter>

Divider::Divider(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent)
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(1);
    else
        setFixedWidth(1);
}

QColor Divider::colour(const QPalette &palette)
{
    QColor line = palette.color(QPalette::WindowText);
    line.setAlphaF(0.16);
    return line;
}

void Divider::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), colour(palette()));
}
