#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QPainter;

// Our own drawings of the symbol images the window names, for desktops whose icon theme has
// no icon of that meaning: simple strokes on a 24-unit grid in one colour. Filled variants
// ("….fill") leave their inner mark transparent, and a slash cuts a gap into what it crosses,
// so they must be drawn onto a transparent picture, not straight onto a view.
namespace SymbolDrawing {

// The desktop icon theme names that mean the symbol, best first; empty for symbols that have
// none (or whose partner has none, so that a pair such as "circle" and
// "checkmark.circle.fill" never mixes two styles).
QStringList themeNames(const QString &symbol);

bool isKnown(const QString &symbol);

// Draws the symbol into the square (0, 0, side, side) of a transparent picture.
void draw(QPainter &painter, const QString &symbol, qreal side, const QColor &color);

} // namespace SymbolDrawing
