#pragma once

#include <QList>
#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

// The window's confirmations and alerts: window-modal to `parent` and opened without a nested
// event loop, the title always shown, the given choices in their order, then "취소" (cancel,
// no action of its own). Whatever ends the dialog (a choice, "취소", Escape, the parent's
// window going away), `dismissed` runs exactly once, after the chosen action.
class ConfirmDialog
{
public:
    struct Choice
    {
        QString text;
        bool destructive = false;
        std::function<void()> action;
    };

    static QMessageBox *open(QWidget *parent, const QString &title, const QList<Choice> &choices,
                             std::function<void()> dismissed);

    // Ends a dialog from the program's side without running its actions or `dismissed`: for
    // when what it asked about has gone away or been replaced.
    static void withdraw(QMessageBox *box);

    static QString cancelText() { return QStringLiteral("취소"); }
};
