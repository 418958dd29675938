#include "ui/workspace/BannerView.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

namespace {

constexpr int padX = 16;
constexpr int padY = 10;
constexpr int lift = 24;
constexpr int sideRoom = 24; // keeps a long text off the window's edges
constexpr int textFlags = Qt::AlignCenter | Qt::TextWordWrap;

} // namespace

BannerView::BannerView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("banner"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(ChatFont::subheadline());
    hide();
}

void BannerView::setText(const std::optional<QString> &text)
{
    m_text = text.value_or(QString());
    setAccessibleName(m_text);
    setVisible(text.has_value());
    place();
    update();
}

QSize BannerView::sizeHint() const
{
    return sizeFor(QWIDGETSIZE_MAX);
}

QSize BannerView::sizeFor(int maxWidth) const
{
    // The whole-pixel advance is rounded to the nearest pixel and may fall short of what the
    // text needs when drawn: round the exact width up instead.
    const QFontMetricsF metrics(font());
    const int lineWidth = int(std::ceil(metrics.horizontalAdvance(m_text)));
    const int textWidth = std::max(0, std::min(lineWidth, maxWidth - 2 * padX));
    const QRectF text
        = metrics.boundingRect(QRectF(0, 0, textWidth, QWIDGETSIZE_MAX), textFlags, m_text);
    return {textWidth + 2 * padX, int(std::ceil(text.height())) + 2 * padY};
}

void BannerView::place()
{
    const QWidget *host = parentWidget();
    if (!host)
        return;
    // A text too long for one line goes on as more lines, never cut.
    const QSize size = sizeFor(host->width() - 2 * sideRoom);
    setGeometry((host->width() - size.width()) / 2, host->height() - lift - size.height(),
                size.width(), size.height());
    raise();
}

void BannerView::paintEvent(QPaintEvent *)
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
    painter.drawText(rect().adjusted(padX, padY, -padX, -padY), textFlags, m_text);
}

void BannerView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationFontChange) {
        setFont(ChatFont::subheadline());
        place();
    }
    QWidget::changeEvent(event);
}
