#pragma once

#include <QPainter>
#include <QPalette>
#include <QWidget>

// A horizontal hairline between parts of a column, in a faint shade of the text colour: it reads
// on both a light and a dark window whatever the palette's own frame colours are. The line
// between the window's columns is painted in the same colour().
class Divider : public QWidget
{
public:
    explicit Divider(QWidget *parent = nullptr)
        : QWidget(parent)
    {
        setFixedHeight(1);
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
