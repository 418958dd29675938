#include "ui/common/ChatFont.h"

#include <QApplication>

#include <algorithm>

QFont ChatFont::scaled(qreal factor, QFont::Weight weight)
{
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max<qreal>(7.0, font.pointSizeF() * factor));
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(9, qRound(font.pixelSize() * factor)));
    font.setWeight(weight);
    return font;
}
