#include "ui/panels/RowButton.h"

#include "ui/common/UiMetrics.h"
#include "ui/panels/PanelParts.h"

#include <QBoxLayout>
#include <QFocusEvent>
#include <QPainter>

RowButton::RowButton(QWidget *parent)
    : QAbstractButton(parent)
    , m_row(new QHBoxLayout(this))
{
    setAttribute(Qt::WA_Hover);
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(12);
    setPressable(true);
}

void RowButton::addPart(QWidget *part, int stretch)
{
    part->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_row->addWidget(part, stretch);
}

void RowButton::addStretch(int stretch)
{
    m_row->addStretch(stretch);
}

void RowButton::setLeadingRoom(int width)
{
    m_row->setContentsMargins(width, 0, 0, 0);
}

void RowButton::setPressable(bool pressable)
{
    m_pressable = pressable;
    setFocusPolicy(pressable ? Qt::StrongFocus : Qt::NoFocus);
    setCursor(pressable ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

QSize RowButton::sizeHint() const
{
    return m_row->sizeHint();
}

QSize RowButton::minimumSizeHint() const
{
    return m_row->minimumSize();
}

bool RowButton::hitButton(const QPoint &pos) const
{
    return m_pressable && rect().contains(pos);
}

void RowButton::focusInEvent(QFocusEvent *event)
{
    m_ring = PanelParts::focusRingFor(event->reason(), m_ring);
    QAbstractButton::focusInEvent(event);
}

void RowButton::paintEvent(QPaintEvent *)
{
    const bool ring = hasFocus() && m_ring;
    if (!m_pressable || !(underMouse() || ring || isDown()))
        return;
    // Focus is a ring, not a fill: a filled row would read as the chosen one.
    QPainter painter(this);
    UiMetrics::paintButtonState(painter, *this, QRectF(rect()).adjusted(1, 1, -1, -1), ring);
}
