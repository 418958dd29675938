#pragma once

#include <QLabel>

// One line of plain text that gives way to its column: when narrower than the text, it shows
// the start of it followed by "…". Its minimum width is a few characters, so a long text never
// decides how wide the column is; its size hint is still the whole text. text() and the
// accessible name stay the whole text.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    // The text as drawn at the current width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
