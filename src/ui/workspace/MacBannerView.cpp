#include "ui/workspace/MacBannerView.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int padX = 16;
constexpr int padY = 10;
constexpr int lift = 24;
constexpr int sideRoom = 24; // keeps a long text off the window's edges

} // namespace

MacBannerView::MacBannerView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("banner"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(ChatFont::subheadline());
    hide();
}

void MacBannerView::setText(const std::optional<QString> &text)
{
    m_text = text.value_or(QString());
    setAccessibleName(m_text);
    setVisible(text.has_value());
    place();
    update();
}

QSize MacBannerView::sizeHint() const
{
    // The whole-pixel advance is rounded to the nearest pixel and may fall short of what
    // eliding measures: round the exact width up instead.
    const QFontMetricsF metrics(font());
    return {int(std::ceil(metrics.horizontalAdvance(m_text))) + 2 * padX,
            int(std::ceil(metrics.height())) + 2 * padY};
}

QString MacBannerView::shownText() const
{
    const int room = width() - 2 * padX;
    return fontMetrics().elidedText(m_text, Qt::ElideRight, room);
}

void MacBannerView::place()
{
    const QWidget *host = parentWidget();
    if (!host)
        return;
    QSize size = sizeHint();
    size.setWidth(std::min(size.width(), std::max(0, host->width() - 2 * sideRoom)));
    setGeometry((host->width() - size.width()) / 2, host->height() - lift - size.height(),
                size.width(), size.height());
    raise();
}

void MacBannerView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    // A thin, translucent backdrop in the window's own colour, with a hairline to set it off
    // from content of the same colour.
    QColor fill = colours.color(QPalette::Window);
    fill.setAlphaF(0.86);
    QColor edge = colours.color(QPalette::WindowText);
    edge.setAlphaF(ChatColor::isDark(colours) ? 0.22 : 0.12);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = area.height() / 2;
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(area, radius, radius);

    painter.setPen(colours.color(QPalette::WindowText));
    painter.drawText(rect().adjusted(padX, padY, -padX, -padY), Qt::AlignCenter, shownText());
}

void MacBannerView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationFontChange) {
        setFont(ChatFont::subheadline());
        place();
    }
    QWidget::changeEvent(event);
}
