#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QToolButton;
class QWidget;

// The symbol images the window uses ("bell", "bell.slash", "gearshape", "square.and.pencil",
// "person.badge.plus", "photo", "photo.slash", "folder", "arrow.up.circle.fill", "xmark",
// "arrow.down", ...): the desktop theme's icon of the same meaning, else a small drawing of our own
// in the application palette's text colour, read each time the icon is drawn (so it follows a
// change between light and dark on the next repaint). An unknown name gives the theme's icon of
// that name, or a null icon.
class ChatIcon
{
public:
    static QIcon symbol(const QString &name);

    // The symbol in one colour (a secondary colour, an accent): our drawing in that colour,
    // or the theme's icon used as a mask and filled with it. Disabled icons are faded.
    static QIcon symbol(const QString &name, const QColor &color);

    // A flat control-sized button showing the symbol at `iconSide`, spoken as `accessibleName`.
    static QToolButton *button(const QString &name, const QString &accessibleName, int iconSide,
                               QWidget *parent);
};
