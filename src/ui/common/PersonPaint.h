#pragma once

#include <QRect>

struct Account;
class QColor;
class QModelIndex;
class QPainter;
class QPalette;
class QStyleOptionViewItem;

// A person in a painted row, as PersonLabel shows one: the avatar at the leading edge
// of the area, vertically centred, and beside it the name (cut short with "…", followed by
// "공식" for an official account) over "@handle" in the secondary colour.
namespace PersonPaint {

void paint(QPainter &painter, const QRect &area, const Account &account, bool official,
           const QPalette &palette, const QColor &primary, const QColor &secondary);
// The same from the roles of AccountListModel, in the palette's own text colours.
void paint(QPainter &painter, const QRect &area, const QModelIndex &index, const QPalette &palette);

// The shade of a row that acts as a button: light while hovered, stronger while focused.
void paintShade(QPainter &painter, const QRect &row, const QStyleOptionViewItem &option);

// The height of the taller of the avatar and the two lines of text.
int height();

} // namespace PersonPaint
