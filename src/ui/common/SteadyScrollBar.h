#pragma once

#include <QScrollBar>
#include <QStyle>

#include <optional>

// A scroll bar that paints again on a change of its range, value or steps only when what it
// draws changes. A list that grows at the bottom while the reader follows it changes the range
// on every new row, yet with a long list the handle keeps its smallest size at the end: painting
// the bar's gradients again each time costs more than the new row itself.
class SteadyScrollBar : public QScrollBar
{
    Q_OBJECT
public:
    explicit SteadyScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    // Sets the range, steps and value as one change, judged by its end: a range that grows
    // before the value follows passes through a look that is never shown.
    void setAll(int minimum, int maximum, int pageStep, int singleStep, int value);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // What the style draws from: the parts' places, the states, and the ends reached, for a
    // style that greys an arrow at its end.
    struct Look
    {
        QRect slider;
        QRect addPage;
        QRect subPage;
        QStyle::State state;
        QStyle::SubControls active;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };
    Look look() const;

    std::optional<Look> m_painted;
    bool m_together = false;
};
