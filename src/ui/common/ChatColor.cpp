#include "ui/common/ChatColor.h"

#include <QGuiApplication>

bool ChatColor::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QColor ChatColor::mineBubble()
{
    return mineBubble(QGuiApplication::palette());
}

QColor ChatColor::mineBubble(const QPalette &palette)
{
    // Dark enough in both variants for white text on top, bright enough to read as text.
    return isDark(palette) ? QColor(0x2F, 0x7C, 0xF0) : QColor(0x1E, 0x6F, 0xE6);
}

QColor ChatColor::officialMark()
{
    return officialMark(QGuiApplication::palette());
}

QColor ChatColor::officialMark(const QPalette &palette)
{
    return isDark(palette) ? QColor(0x3D, 0xD6, 0x8C) : QColor(0x0E, 0x8F, 0x5A);
}

QColor ChatColor::alert(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xFF, 0x45, 0x3A) : QColor(0xE5, 0x2E, 0x24);
}

QColor ChatColor::secondaryText(const QPalette &palette)
{
    return palette.color(QPalette::PlaceholderText);
}

QColor ChatColor::theirsBubble(const QPalette &palette)
{
    return isDark(palette) ? QColor(0x3A, 0x3A, 0x3C) : QColor(0xEE, 0xEE, 0xF0);
}

QColor ChatColor::link(const QPalette &palette)
{
    return palette.color(QPalette::Link);
}

QColor ChatColor::linkOnMine(const QPalette &)
{
    return QColor(Qt::white);
}
