#pragma once

#include "ui/common/StoreTask.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class WideButton;

// The common frame of the signed-out screens and the first-profile screen: a narrow centred
// column with a title, the fields, a line for the error (or a note), the main button and
// link buttons below it (small text, but as tall as any button: 44 pixels).
class AuthForm : public QWidget
{
    Q_OBJECT
public:
    explicit AuthForm(const QString &title, QWidget *parent = nullptr);

    // The error under the fields; nothing hides it.
    void showError(const std::optional<QString> &text);
    // A neutral note in the same place (e.g. after a successful step).
    void showNote(const QString &text);
    QString messageText() const;

    WideButton *primaryButton() const { return m_primary; }

    // Puts the keyboard focus on the first field still to be filled in (else the first field),
    // so that a screen that has just come up can be typed into at once.
    void focusFirstEmptyField();

    // Store operations started by any form and not yet finished. A form may be gone before
    // its operation ends (a successful sign-in replaces the screen); the count still falls.
    static int runningOperations() { return s_running; }

protected:
    // Lives in an operation's coroutine frame for as long as the operation runs.
    struct Running
    {
        Running() { ++s_running; }
        ~Running() { --s_running; }
        Running(const Running &) = delete;
        Running &operator=(const Running &) = delete;
    };

    // Runs a store operation that answers with an error text (none: it succeeded). The form is
    // busy meanwhile, and `done` gets the answer while the form lives; a failure without a text
    // of its own reads as kTemporaryErrorText.
    template<typename Done>
    void runOperation(QCoro::Task<std::optional<QString>> &&task, Done done)
    {
        showError(std::nullopt);
        setBusy(true);
        StoreTask::whenDone(std::move(task), this, kTemporaryErrorText,
                            [this, running = std::make_shared<Running>(),
                             done = std::move(done)](const std::optional<QString> &error) {
                                setBusy(false);
                                done(error);
                            });
    }

    QLineEdit *addField(const QString &placeholder, const QString &objectName, bool secret = false);
    QLabel *addText(const QString &text, const QString &objectName = QString());
    void addWidget(QWidget *widget, Qt::Alignment alignment = {});
    WideButton *addPrimary(const QString &title, const QString &objectName);
    QPushButton *addLink(const QString &text, const QString &objectName);
    QVBoxLayout *column() const { return m_column; }
    QLabel *titleLabel() const { return m_title; }

    // While an operation runs the fields and links are locked and the button spins.
    void setBusy(bool busy);
    // After an answer that `field` must correct: the keyboard goes back to it (the lock of the
    // busy spell took it away), with its text selected so that typing replaces it.
    void returnFocusTo(QLineEdit *field);
    bool isBusy() const { return m_busy; }

private:
    QVBoxLayout *m_column;
    QLabel *m_title;
    QLabel *m_message;
    WideButton *m_primary = nullptr;
    QWidget *m_links = nullptr;
    QList<QWidget *> m_inputs;
    bool m_busy = false;

    static inline int s_running = 0;
};
