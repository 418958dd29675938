#pragma once

#include <QIcon>
#include <QString>

// The symbol images the window uses ("bell", "bell.slash", "gearshape", "square.and.pencil",
// "person.badge.plus", "photo", "paperplane.fill", "xmark", "arrow.down", ...): the desktop
// theme's icon of the same meaning, else a small drawing of our own, so every symbol shows
// something on every desktop.
class ChatIcon
{
public:
    static QIcon symbol(const QString &name);
};
