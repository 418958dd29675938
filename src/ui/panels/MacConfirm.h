#pragma once

#include "ui/common/ConfirmDialog.h"

#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

// A confirmation of one action, the window's ConfirmDialog with a single choice: window-modal
// over `parent`'s window, opened without a nested event loop, its title always shown. The
// confirming button runs `onConfirm`; "취소" only closes. Either button closes the dialog, which
// deletes itself; so does the parent going away.
namespace MacConfirm {

enum class Role { Normal, Destructive };

QMessageBox *ask(QWidget *parent, const QString &title, const QString &confirm, Role role,
                 std::function<void()> onConfirm);

inline QString cancelText()
{
    return ConfirmDialog::cancelText();
}

} // namespace MacConfirm
