#pragma once

#include "app/AuthForm.h"

class LocalStore;
class QLabel;
class QLineEdit;

// The six-digit code sent to the new address. Success signs the new user in, after which the
// root view shows the first-profile screen.
class VerifyForm : public AuthForm
{
    Q_OBJECT
public:
    explicit VerifyForm(LocalStore *store, QWidget *parent = nullptr);

    void setEmail(const QString &email);
    QString email() const { return m_emailText; }

signals:
    void backRequested();

private:
    void submit();

    LocalStore *m_store;
    QString m_emailText;
    QLabel *m_sentTo;
    QLineEdit *m_code;
};
