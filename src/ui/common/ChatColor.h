#pragma once

#include <QColor>
#include <QPalette>

// The two colours that follow the light or dark appearance. Qt 6.4 has no colour-scheme API,
// so the appearance is read from the palette: a dark window colour means dark mode. Views read
// these colours when they paint, so a repaint after QEvent::ApplicationPaletteChange is all it
// takes to follow a change of appearance.
class ChatColor
{
public:
    // Own message bubbles (white content on top) and the sidebar's settings text.
    static QColor mineBubble();
    static QColor mineBubble(const QPalette &palette);

    // The accent of the "공식" mark, the "안내" label, the reply bar's title and check marks.
    static QColor officialMark();
    static QColor officialMark(const QPalette &palette);

    // The red of unread badges and destructive buttons.
    static QColor alert(const QPalette &palette);

    // Secondary text: day separators, meta lines, previews, captions under titles.
    static QColor secondaryText(const QPalette &palette);
    // The bubble of somebody else's message.
    static QColor theirsBubble(const QPalette &palette);
    // Links in text on the window or on somebody else's bubble.
    static QColor link(const QPalette &palette);
    // Links inside one's own bubble, readable on mineBubble().
    static QColor linkOnMine(const QPalette &palette);

    static bool isDark(const QPalette &palette);
};
