#include "ui/panels/MacConfirm.h"

#include "ui/common/ConfirmDialog.h"

namespace MacConfirm {

QMessageBox *ask(QWidget *parent, const QString &title, const QString &confirm, Role role,
                 std::function<void()> onConfirm)
{
    return ConfirmDialog::open(parent, title,
                               {{confirm, role == Role::Destructive, std::move(onConfirm)}}, {});
}

} // namespace MacConfirm
