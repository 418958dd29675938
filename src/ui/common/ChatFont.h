#pragma once

#include <QFont>

// Text styles relative to the application font, so that they follow the desktop's font size.
class ChatFont
{
public:
    static QFont body();
    static QFont headline(); // body size, bold
    static QFont subheadline();
    static QFont footnote();
    static QFont caption();
    static QFont caption2();
    static QFont title2();
    static QFont title3(); // between the body and title2
};
