#pragma once

#include <QFont>

// Text styles relative to the application font, so that they follow the desktop's font size;
// each in the normal weight unless told otherwise.
class ChatFont
{
public:
    static QFont body(QFont::Weight weight = QFont::Normal);
    static QFont headline(); // body size, bold
    static QFont subheadline(QFont::Weight weight = QFont::Normal);
    static QFont footnote(QFont::Weight weight = QFont::Normal);
    static QFont caption(QFont::Weight weight = QFont::Normal);
    static QFont caption2(QFont::Weight weight = QFont::Normal);
    static QFont title2(QFont::Weight weight = QFont::Normal);
    static QFont title3(QFont::Weight weight = QFont::Normal); // between the body and title2
};
