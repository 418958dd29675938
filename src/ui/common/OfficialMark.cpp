#include "ui/common/OfficialMark.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

OfficialMark::OfficialMark(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text());
}

QString OfficialMark::text()
{
    return QStringLiteral("공식");
}

QSize OfficialMark::sizeFor()
{
    const QFontMetrics metrics(ChatFont::footnote());
    return QSize(metrics.horizontalAdvance(text()) + 2, metrics.height());
}

QSize OfficialMark::sizeHint() const
{
    return sizeFor();
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

void OfficialMark::changeEvent(QEvent *event)
{
    // The colour is read at paint time: a change of appearance only needs a repaint.
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        update();
    else if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}
