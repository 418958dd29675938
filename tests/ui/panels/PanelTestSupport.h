#pragma once

// Shared pieces of the page tests: the store fixtures, pictures of a page in light and dark, and
// ways to press the buttons of a page and of its confirmation dialogs.

#include "StoreTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

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
    palette.setColor(QPalette::Highlight, QColor(0x2F, 0x7C, 0xF0));
    return palette;
}

// Saves pictures of `page` at the detail column's size in a 960 × 680 window and at a wide
// size (or at the sizes given), in the light and the dark palette, for a look by eye.
inline void savePictures(QWidget &page, const QString &name,
                         const QList<QSize> &sizes = {QSize(720, 680), QSize(1200, 860)})
{
    const QString folder = QStringLiteral(PANEL_SHOT_DIR);
    QDir().mkpath(folder);
    const QPalette light = QApplication::palette();
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : light);
        for (const QSize &size : sizes) {
            page.resize(size);
            page.show();
            QCoreApplication::processEvents();
            page.grab().save(QStringLiteral("%1/%2-%3x%4-%5.png")
                                 .arg(folder, name)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(dark ? u"dark" : u"light"));
        }
    }
    QApplication::setPalette(light);
}

template<typename T = QAbstractButton>
T *part(QWidget &root, const QString &name)
{
    T *found = root.findChild<T *>(name);
    if (!found)
        qWarning("no child named %s", qPrintable(name));
    return found;
}

inline QString shownText(QWidget &root, const QString &name)
{
    QLabel *label = part<QLabel>(root, name);
    return label && !label->isHidden() ? label->text() : QString();
}

// Puts `text` into a field the way a user's typing does (QTest cannot type Hangul): the old
// text selected and replaced through the field's own editing.
inline void typeInto(QLineEdit *field, const QString &text)
{
    field->selectAll();
    field->insert(text);
}

// The confirmation dialog that `page` has open; null when there is none.
inline QMessageBox *openConfirmation(QWidget &page)
{
    for (QMessageBox *box : page.findChildren<QMessageBox *>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

// Presses the button of the open confirmation that reads `text`; false when there is none.
inline bool answerConfirmation(QWidget &page, const QString &text)
{
    QMessageBox *box = openConfirmation(page);
    if (!box)
        return false;
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == text) {
            button->click();
            QCoreApplication::processEvents();
            return true;
        }
    }
    return false;
}

// Lets the zero-delay redraws of a page run.
inline void redraw()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}
