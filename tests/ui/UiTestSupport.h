#pragma once

// Pieces shared by the widget tests: a small JPEG to show, a dark palette to look at the
// views in the dark appearance, whether a view draws its focus ring, the areas a widget paints,
// and whether a button takes Return as its own press.

#include <QAbstractButton>
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QSignalBlocker>
#include <QSize>
#include <QTest>
#include <QWidget>

#include <utility>

// A JPEG of `color` with a white band over its left third, so that cropping shows.
inline QByteArray jpegOf(const QColor &color, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 3, size.height(), Qt::white);
    painter.end();
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpeg");
    return out;
}

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

// Whether `widget` draws its focus ring in `area` (all of it by default): some pixel there is
// in (or within antialiasing of) the highlight colour the rings are drawn in.
inline bool drawsFocusRing(QWidget *widget, const QRect &area = QRect(0, 0, -1, -1))
{
    const QImage picture = widget->grab(area).toImage();
    const QColor ring = widget->palette().color(QPalette::Highlight);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor at = picture.pixelColor(x, y);
            if (qAbs(at.red() - ring.red()) + qAbs(at.green() - ring.green())
                    + qAbs(at.blue() - ring.blue())
                < 30)
                return true;
        }
    }
    return false;
}

// The areas of a widget painted while this lives, or since the last take().
struct PaintedAreas : QObject
{
    explicit PaintedAreas(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QRegion take() { return std::exchange(painted, QRegion()); }
    QRegion painted;
};

// Whether Return on `button` is the button's own: it presses the button and goes no further, to
// the page, the dialog (and its default button) or the window around it. The button's signals
// are blocked meanwhile, so that the press acts on nothing.
inline bool takesReturn(QAbstractButton *button)
{
    struct : QObject
    {
        int presses = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            presses += event->type() == QEvent::KeyPress;
            return false;
        }
    } witness;
    for (QWidget *around = button->parentWidget(); around; around = around->parentWidget())
        around->installEventFilter(&witness);
    {
        const QSignalBlocker quiet(button);
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Return);
    }
    for (QWidget *around = button->parentWidget(); around; around = around->parentWidget())
        around->removeEventFilter(&witness);
    return witness.presses == 0;
}
