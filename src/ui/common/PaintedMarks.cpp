#include "ui/common/PaintedMarks.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

const QString betaText = QStringLiteral("Beta");
constexpr int betaHorizontalPadding = 6;
constexpr int betaVerticalPadding = 2;

// `text` centred on a capsule filling `capsule`.
void paintCapsule(QPainter &painter, const QRectF &capsule, const QColor &fill, const QColor &ink,
                  const QFont &font, const QString &text)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.fillPath(path, fill);
    painter.setPen(ink);
    painter.setFont(font);
    painter.drawText(capsule.toAlignedRect(), Qt::AlignCenter, text);
    painter.restore();
}

} // namespace

PaintedMark::PaintedMark(const QString &name, QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(name);
}

BetaMark::BetaMark(QWidget *parent)
    : PaintedMark(betaText, parent)
{ }

QSize BetaMark::sizeHint() const
{
    const QFontMetrics metrics(ChatFont::caption2(QFont::DemiBold));
    return QSize(metrics.horizontalAdvance(betaText) + 2 * betaHorizontalPadding,
                 metrics.height() + 2 * betaVerticalPadding);
}

void BetaMark::paintEvent(QPaintEvent *)
{
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.12f);
    QColor ink = palette().color(QPalette::WindowText);
    ink.setAlphaF(0.7f);
    QPainter painter(this);
    paintCapsule(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), fill, ink,
                 ChatFont::caption2(QFont::DemiBold), betaText);
}

OfficialMark::OfficialMark(QWidget *parent)
    : PaintedMark(text(), parent)
{ }

QSize OfficialMark::sizeFor()
{
    const QFontMetrics metrics(ChatFont::footnote());
    return QSize(metrics.horizontalAdvance(text()) + 2, metrics.height());
}

void OfficialMark::paint(QPainter &painter, const QRect &rect, const QPalette &palette)
{
    paint(painter, rect, ChatColor::officialMark(palette));
}

void OfficialMark::paint(QPainter &painter, const QRect &rect, const QColor &color)
{
    painter.save();
    painter.setFont(ChatFont::footnote());
    painter.setPen(color);
    painter.drawText(rect, Qt::AlignCenter, text());
    painter.restore();
}

void OfficialMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect(), palette());
}

UnreadBadge::UnreadBadge(int count, QWidget *parent)
    : PaintedMark({}, parent)
{
    setCount(count);
}

void UnreadBadge::setCount(int count)
{
    m_count = count;
    setAccessibleName(text(count));
    updateGeometry();
    update();
}

QString UnreadBadge::text(int count)
{
    if (count >= 100)
        return QStringLiteral("99+");
    return QString::number(std::max(0, count));
}

QSize UnreadBadge::sizeFor(int count)
{
    const QFontMetrics metrics(ChatFont::caption(QFont::Bold));
    const int height = metrics.height() + 4;
    // One digit makes a circle; longer counts stretch it into a capsule.
    return QSize(std::max(height, metrics.horizontalAdvance(text(count)) + height / 2), height);
}

void UnreadBadge::paint(QPainter &painter, const QRect &rect, int count, const QPalette &palette)
{
    paintCapsule(painter, rect, ChatColor::underWhite(ChatColor::alert(palette)), Qt::white,
                 ChatFont::caption(QFont::Bold), text(count));
}

void UnreadBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect(), m_count, palette());
}
