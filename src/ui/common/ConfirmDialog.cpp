#include "ui/common/ConfirmDialog.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/UiMetrics.h"

#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

// What a window manager's title bar takes for its own buttons, at the most.
constexpr int titleBarButtons = 3 * UiMetrics::controlHeight;

} // namespace

QMessageBox *ConfirmDialog::open(QWidget *parent, const QString &title,
                                 const QList<Choice> &choices, std::function<void()> dismissed)
{
    auto *box = new QMessageBox(parent);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(title);
    box->setText(title);
    box->setTextFormat(Qt::PlainText);
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        label->setFont(ChatFont::headline());
        // The window manager writes the title again in the box's title bar, beside its own
        // buttons, and cuts it where the box is too narrow (QMessageBox makes room for it only on
        // Windows): the text's column is as wide as the title with that room beside it.
        label->setMinimumWidth(QFontMetrics(ChatFont::headline()).horizontalAdvance(title)
                               + titleBarButtons);
    }

    QHash<QAbstractButton *, std::function<void()>> actions;
    for (const Choice &choice : choices) {
        QPushButton *button = box->addButton(choice.text,
                                             choice.destructive ? QMessageBox::DestructiveRole
                                                                : QMessageBox::AcceptRole);
        if (choice.destructive)
            ChatColor::keepAlert(button, QPalette::ButtonText);
        actions.insert(button, choice.action);
    }
    QPushButton *cancel = box->addButton(cancelText(), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    // Buttons as high as everywhere in the window.
    for (QAbstractButton *button : box->buttons())
        button->setMinimumSize(88, UiMetrics::controlHeight);
    box->setEscapeButton(cancel);
    box->setDefaultButton(cancel);

    QObject::connect(box, &QMessageBox::finished, box,
                     [box, actions, dismissed = std::move(dismissed)] {
                         // Read before anything runs: an action may end the dialog's parent.
                         const auto action = actions.value(box->clickedButton());
                         box->deleteLater();
                         if (action)
                             action();
                         if (dismissed)
                             dismissed();
                     });
    box->open();
    return box;
}

void ConfirmDialog::withdraw(QMessageBox *box)
{
    if (!box)
        return;
    QObject::disconnect(box, &QMessageBox::finished, nullptr, nullptr);
    box->hide();
    box->deleteLater();
}
