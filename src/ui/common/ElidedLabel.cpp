#include "ui/common/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QString ElidedLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QSize full = sizeHint();
    const QFontMetrics metrics = fontMetrics();
    const int least = metrics.horizontalAdvance(QChar(0x2026)) + 2 * metrics.averageCharWidth();
    return QSize(std::min(full.width(), least), full.height());
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(),
                          QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}
