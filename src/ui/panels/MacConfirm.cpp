#include "ui/panels/MacConfirm.h"

#include "ui/common/ChatColor.h"

#include <QMessageBox>
#include <QPushButton>

namespace MacConfirm {

QMessageBox *ask(QWidget *parent, const QString &title, const QString &confirm, Role role,
                 std::function<void()> onConfirm)
{
    auto *box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("confirmation"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowTitle(title);
    box->setText(title);
    box->setTextFormat(Qt::PlainText);

    QPushButton *yes = box->addButton(confirm,
                                      role == Role::Destructive ? QMessageBox::DestructiveRole
                                                                : QMessageBox::AcceptRole);
    yes->setObjectName(QStringLiteral("confirm"));
    if (role == Role::Destructive) {
        QPalette colours = yes->palette();
        colours.setColor(QPalette::ButtonText, ChatColor::alert(colours));
        yes->setPalette(colours);
    }
    QPushButton *no = box->addButton(cancelText(), QMessageBox::RejectRole);
    no->setObjectName(QStringLiteral("cancel"));
    box->setEscapeButton(no);
    // Return must not run a destructive action by accident.
    box->setDefaultButton(role == Role::Destructive ? no : yes);

    QObject::connect(yes, &QPushButton::clicked, box, [onConfirm = std::move(onConfirm)] {
        if (onConfirm)
            onConfirm();
    });
    box->open();
    return box;
}

} // namespace MacConfirm
