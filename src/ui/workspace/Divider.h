#pragma once

#include <QPainter>
#include <QPalette>
#include <QWidget>

// A hairline between parts of the window, horizontal or vertical, in a faint shade of the
// text colour: it reads on both a light and a dark window whatever the palette's own frame
// colours are.
class Divider : public QWidget
{
public:
    explicit Divider(Qt::Orientation orientation, QWidget *parent = nullptr)
        : QWidget(parent)
    {
        if (orientation == Qt::Horizontal)
            setFixedHeight(1);
        else
            setFixedWidth(1);
    }

    static QColor colour(const QPalette &palette)
    {
        QColor line = palette.color(QPalette::WindowText);
        line.setAlphaF(0.16);
        return line;
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), colour(palette())); }
};
