#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

// A confirmation asked before an action: window-modal over `parent`'s window, opened without a
// nested event loop. The title is always shown (as the dialog's text: window titles are not
// drawn by every desktop). The confirming button runs `onConfirm`; "취소" only closes. Either
// button closes the dialog, which deletes itself; so does the parent going away.
namespace MacConfirm {

enum class Role { Normal, Destructive };

QMessageBox *ask(QWidget *parent, const QString &title, const QString &confirm, Role role,
                 std::function<void()> onConfirm);

inline QString cancelText()
{
    return QStringLiteral("취소");
}

} // namespace MacConfirm
