#pragma once

// The store fixtures, pictures of a page in light and dark, and ways to reach a page's parts and
// to answer its confirmation dialogs.

#include "StoreTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

// Saves pictures of `page` at the detail column's size in a 960 × 680 window and at a wide
// size (or at the sizes given), light and dark, for a look by eye.
inline void savePictures(QWidget &page, const QString &name,
                         const QList<QSize> &sizes = {QSize(720, 680), QSize(1200, 860)})
{
    QDir().mkpath(QStringLiteral(PANEL_SHOT_DIR));
    const QPalette light = QApplication::palette();
    QPalette dark(QColor(0x33, 0x33, 0x33), QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::Base, QColor(0x28, 0x28, 0x28));
    dark.setColor(QPalette::Highlight, QColor(0x2F, 0x7C, 0xF0));
    dark.setColor(QPalette::PlaceholderText, QColor(0x99, 0x99, 0x99));
    for (const bool isDark : {false, true}) {
        QApplication::setPalette(isDark ? dark : light);
        for (const QSize &size : sizes) {
            page.resize(size);
            page.show();
            QCoreApplication::processEvents();
            // The offscreen pointer starts inside the window, where it shades a button as
            // hovered, and a modal dialog met on the way can keep it so: no pointer here.
            for (QWidget *child : page.findChildren<QWidget *>()) {
                if (child->testAttribute(Qt::WA_UnderMouse)) {
                    child->setAttribute(Qt::WA_UnderMouse, false);
                    child->update();
                }
            }
            page.grab().save(QStringLiteral(PANEL_SHOT_DIR "/%1-%2x%3-%4.png")
                                 .arg(name)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(isDark ? u"dark" : u"light"));
        }
    }
    QApplication::setPalette(light);
}

// Adds an active account to a local store; an official one is verified, as the local handle
// lookup finds only those.
inline QUuid addAccount(LocalStore &store, const QString &handle, const QString &name,
                        AccountKind kind = AccountKind::person)
{
    Account account = person(handle, name);
    account.kind = kind;
    account.status = AccountStatus::active;
    account.verified = kind == AccountKind::official;
    store.editAccounts([&](QList<Account> &list) { list.append(account); });
    return account.id;
}

template<typename T = QAbstractButton>
T *part(QWidget &root, const QString &name)
{
    return root.findChild<T *>(name);
}

inline QString shownText(QWidget &root, const QString &name)
{
    QLabel *label = part<QLabel>(root, name);
    return label && !label->isHidden() ? label->text() : QString();
}

// As typing would (QTest cannot type Hangul): the old text selected and replaced.
inline void typeInto(QLineEdit *field, const QString &text)
{
    field->selectAll();
    field->insert(text);
}

inline QMessageBox *openConfirmation(QWidget &page)
{
    for (QMessageBox *box : page.findChildren<QMessageBox *>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

// Presses the button reading `text` in the open confirmation; false when there is none.
inline bool answerConfirmation(QWidget &page, const QString &text)
{
    QMessageBox *box = openConfirmation(page);
    for (QAbstractButton *button : box ? box->buttons() : QList<QAbstractButton *>()) {
        if (button->text() == text) {
            button->click();
            QCoreApplication::processEvents();
            return true;
        }
    }
    return false;
}

// Lets the pages' zero-delay redraws run.
inline void redraw()
{
    QCoreApplication::processEvents();
}
