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

QFont ChatFont::body()
{
    return scaled(1.0);
}

QFont ChatFont::headline()
{
    return scaled(1.0, QFont::Bold);
}

QFont ChatFont::subheadline()
{
    return scaled(0.92);
}

QFont ChatFont::footnote()
{
    return scaled(0.85);
}

QFont ChatFont::caption()
{
    return scaled(0.85);
}

QFont ChatFont::caption2()
{
    return scaled(0.78);
}

QFont ChatFont::title2()
{
    return scaled(1.35);
}

QFont ChatFont::title3()
{
    return scaled(1.15);
}
