#include "SteadyScrollBar.h"

#include <QPaintEvent>
#include <QStyleOptionSlider>

SteadyScrollBar::SteadyScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{ }

SteadyScrollBar::Look SteadyScrollBar::look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const auto place = [&](QStyle::SubControl part) {
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, part, this);
    };
    return {place(QStyle::SC_ScrollBarSlider),
            place(QStyle::SC_ScrollBarAddPage),
            place(QStyle::SC_ScrollBarSubPage),
            option.state,
            option.activeSubControls,
            option.sliderValue == option.minimum,
            option.sliderValue == option.maximum};
}

void SteadyScrollBar::setAll(int minimum, int maximum, int pageStep, int singleStep, int value)
{
    m_together = true;
    setRange(minimum, maximum);
    setPageStep(pageStep);
    setSingleStep(singleStep);
    setValue(value);
    m_together = false;
    sliderChange(SliderValueChange);
}

void SteadyScrollBar::sliderChange(SliderChange change)
{
    if (m_together)
        return;
    // A style with bars that fade in shows them on every change: those keep Qt's way.
    if (m_painted && *m_painted == look()
        && !style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this))
        return;
    QScrollBar::sliderChange(change);
}

void SteadyScrollBar::paintEvent(QPaintEvent *event)
{
    QScrollBar::paintEvent(event);
    // Only a paint of the whole bar is known to show the look throughout.
    m_painted = event->rect().contains(rect()) ? std::optional(look()) : std::nullopt;
}
