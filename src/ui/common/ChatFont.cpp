#include "ui/common/ChatFont.h"

#include <QApplication>

#include <algorithm>

namespace {

QFont scaled(qreal factor, QFont::Weight weight = QFont::Normal)
{
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max<qreal>(7.0, font.pointSizeF() * factor));
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(9, qRound(font.pixelSize() * factor)));
    font.setWeight(weight);
    return font;
}

} // namespace

QFont ChatFont::body(QFont::Weight weight)
{
    return scaled(1.0, weight);
}

QFont ChatFont::headline()
{
    return scaled(1.0, QFont::Bold);
}

QFont ChatFont::subheadline(QFont::Weight weight)
{
    return scaled(0.92, weight);
}

QFont ChatFont::footnote(QFont::Weight weight)
{
    return scaled(0.85, weight);
}

QFont ChatFont::caption(QFont::Weight weight)
{
    return scaled(0.85, weight);
}

QFont ChatFont::caption2(QFont::Weight weight)
{
    return scaled(0.78, weight);
}

QFont ChatFont::title2(QFont::Weight weight)
{
    return scaled(1.35, weight);
}

QFont ChatFont::title3(QFont::Weight weight)
{
    return scaled(1.15, weight);
}
