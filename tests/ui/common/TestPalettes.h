#pragma once

// A dark palette, as a dark desktop gives one, for the views' tests in both appearances.

#include <QPalette>

inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x1E, 0x1E, 0x1E));
    palette.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    palette.setColor(QPalette::Base, QColor(0x28, 0x28, 0x28));
    palette.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    palette.setColor(QPalette::Button, QColor(0x33, 0x33, 0x33));
    palette.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    palette.setColor(QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
    palette.setColor(QPalette::Link, QColor(0x5A, 0xA9, 0xFF));
    return palette;
}
