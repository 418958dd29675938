#include "ui/common/WideButton.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/Spinner.h"
#include "ui/common/UiMetrics.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int cornerRadius = 8;
constexpr int horizontalPadding = 16;
constexpr int bodyInset = 1; // the rounded body stays off the edges so its outline is not cut

} // namespace

WideButton::WideButton(const QString &title, Role role, QWidget *parent)
    : QAbstractButton(parent)
    , m_role(role)
{
    setText(title);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    m_spin.setInterval(kSpinnerFrameMs);
    connect(&m_spin, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void WideButton::setDisabled(bool disabled)
{
    m_disabled = disabled;
    applyState();
}

void WideButton::setBusy(bool busy)
{
    m_busy = busy;
    applyState();
}

void WideButton::applyState()
{
    // A disabled widget takes no mouse or key input and QAbstractButton::click() does nothing,
    // and a press under way is dropped without a click.
    m_applying = true;
    QAbstractButton::setEnabled(!m_disabled && !m_busy);
    m_applying = false;
    setAccessibleDescription(m_busy ? QStringLiteral("진행 중") : QString());
    updateSpinner();
    update();
}

void WideButton::updateSpinner()
{
    if (m_busy && isVisible()) {
        if (!m_spin.isActive()) {
            m_spinClock.start();
            m_spin.start();
        }
    } else {
        m_spin.stop();
    }
}

void WideButton::showEvent(QShowEvent *event)
{
    QAbstractButton::showEvent(event);
    updateSpinner();
}

void WideButton::hideEvent(QHideEvent *event)
{
    QAbstractButton::hideEvent(event);
    updateSpinner();
}

void WideButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !m_applying) {
        // QWidget::setEnabled() is not virtual: a call through a base pointer shows up only
        // here. WA_ForceDisabled is set by the widget's own setEnabled(false), not by a
        // disabled parent. (A call made while busy changes nothing visible and goes unseen.)
        m_disabled = testAttribute(Qt::WA_ForceDisabled);
        // Enabled by the caller while busy: it stays locked until the work ends.
        applyState();
    }
    QAbstractButton::changeEvent(event);
}

QSize WideButton::sizeHint() const
{
    const QFontMetrics metrics(ChatFont::body(QFont::DemiBold));
    // A button kept at this width (a fixed size policy) must not elide its own title: the
    // title is laid out inside the inset body, and its advance is fractional (the whole-pixel
    // advance rounds it down).
    const int titleWidth
        = int(std::ceil(QFontMetricsF(ChatFont::body(QFont::DemiBold)).horizontalAdvance(text())));
    return QSize(titleWidth + 2 * (horizontalPadding + bodyInset),
                 std::max(UiMetrics::controlHeight, metrics.height() + 20));
}

QSize WideButton::minimumSizeHint() const
{
    const QFontMetrics metrics(ChatFont::body(QFont::DemiBold));
    return QSize(std::min(sizeHint().width(), 8 * metrics.averageCharWidth()), sizeHint().height());
}

QColor WideButton::fillColour() const
{
    const QColor fill = ChatColor::underWhite(
        m_role == Role::Destructive ? ChatColor::alert(palette())
                                    : palette().color(QPalette::Active, QPalette::Highlight));
    // Only a disabled button fades; a busy one keeps its colour under the spinner.
    if (m_disabled && !m_busy)
        return ChatColor::mix(fill, palette().color(QPalette::Active, QPalette::Window), 0.4);
    return fill;
}

QColor WideButton::textColour() const
{
    if (!m_disabled || m_busy)
        return Qt::white;
    // On the faded body: white or the window's text, whichever reads better, toned down.
    const QColor fill = fillColour();
    const QColor text = palette().color(QPalette::Active, QPalette::WindowText);
    const QColor white(Qt::white);
    return ChatColor::disabledInk(
        ChatColor::contrast(white, fill) >= ChatColor::contrast(text, fill) ? white : text, fill);
}

void WideButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QColor fill = fillColour();
    if (!m_busy && isEnabled()) {
        if (isDown())
            fill = fill.darker(115);
        else if (underMouse())
            fill = fill.lighter(108);
    }

    const QRectF body = QRectF(rect()).adjusted(bodyInset, bodyInset, -bodyInset, -bodyInset);
    QPainterPath shape;
    shape.addRoundedRect(body, cornerRadius, cornerRadius);
    painter.fillPath(shape, fill);
    const QColor ink = textColour();
    if (hasFocus() && isEnabled()) {
        // The ring sits inside the fill, in the title's colour: a ring on the fill's edge, or
        // in the highlight colour, is lost on a button filled with that very colour.
        painter.setPen(QPen(ink, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(body.adjusted(3, 3, -3, -3), cornerRadius - 2, cornerRadius - 2);
    }

    if (m_busy) {
        paintSpinner(painter, body, ink, m_spinClock.isValid() ? m_spinClock.elapsed() : 0);
        return;
    }
    painter.setPen(ink);
    painter.setFont(ChatFont::body(QFont::DemiBold));
    const QFontMetrics metrics(ChatFont::body(QFont::DemiBold));
    const QRectF textArea = body.adjusted(horizontalPadding, 0, -horizontalPadding, 0);
    painter.drawText(textArea, Qt::AlignCenter,
                     metrics.elidedText(text(), Qt::ElideRight, int(textArea.width())));
}
