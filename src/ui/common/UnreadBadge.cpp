#include "ui/common/UnreadBadge.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

UnreadBadge::UnreadBadge(int count, QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
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

QSize UnreadBadge::sizeHint() const
{
    return sizeFor(m_count);
}

void UnreadBadge::paint(QPainter &painter, const QRect &rect, int count, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule(rect);
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.fillPath(path, ChatColor::underWhite(ChatColor::alert(palette)));
    painter.setPen(Qt::white);
    painter.setFont(ChatFont::caption(QFont::Bold));
    painter.drawText(rect, Qt::AlignCenter, text(count));
    painter.restore();
}

void UnreadBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect(), m_count, palette());
}

void UnreadBadge::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        update();
    else if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}
