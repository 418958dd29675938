#include "ui/common/BetaMark.h"

#include "ui/common/ChatFont.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

const QString betaText = QStringLiteral("Beta");
constexpr int horizontalPadding = 6;
constexpr int verticalPadding = 2;

} // namespace

BetaMark::BetaMark(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(betaText);
}

QSize BetaMark::sizeHint() const
{
    const QFontMetrics metrics(ChatFont::caption2(QFont::DemiBold));
    return QSize(metrics.horizontalAdvance(betaText) + 2 * horizontalPadding,
                 metrics.height() + 2 * verticalPadding);
}

void BetaMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.12f);
    painter.fillPath(path, fill);
    QColor ink = palette().color(QPalette::WindowText);
    ink.setAlphaF(0.7f);
    painter.setPen(ink);
    painter.setFont(ChatFont::caption2(QFont::DemiBold));
    painter.drawText(rect(), Qt::AlignCenter, betaText);
}

void BetaMark::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        update();
    else if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}
