#pragma once

#include <QPalette>
#include <QWidget>

// A hairline between parts of the window, horizontal or vertical, in a faint shade of the
// text colour: it reads on both a light and a dark window whatever the palette's own frame
// colours are.
class Divider : public QWidget
{
public:
    explicit Divider(Qt::Orientation orientation, QWidget *parent = nullptr);

    static QColor colour(const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;
};
