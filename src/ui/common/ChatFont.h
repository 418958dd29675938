#pragma once

#include <QFont>

// Text styles relative to the application font, so that they follow the desktop's font size;
// each in the normal weight unless told otherwise.
class ChatFont
{
public:
    static QFont body(QFont::Weight weight = QFont::Normal) { return scaled(1.0, weight); }
    static QFont headline() { return scaled(1.0, QFont::Bold); } // body size, bold
    static QFont subheadline(QFont::Weight weight = QFont::Normal) { return scaled(0.92, weight); }
    static QFont footnote(QFont::Weight weight = QFont::Normal) { return scaled(0.85, weight); }
    static QFont caption(QFont::Weight weight = QFont::Normal) { return scaled(0.85, weight); }
    static QFont caption2(QFont::Weight weight = QFont::Normal) { return scaled(0.78, weight); }
    static QFont title2(QFont::Weight weight = QFont::Normal) { return scaled(1.35, weight); }
    // Between the body and title2.
    static QFont title3(QFont::Weight weight = QFont::Normal) { return scaled(1.15, weight); }

private:
    // The application font at `factor` times its size, never below a legible minimum.
    static QFont scaled(qreal factor, QFont::Weight weight);
};
