#pragma once

#include "app/AuthForm.h"

class LocalStore;
class QLineEdit;

// E-mail and password; leads to sign-up and to the password reset.
class SignInForm : public AuthForm
{
    Q_OBJECT
public:
    explicit SignInForm(LocalStore *store, QWidget *parent = nullptr);

    // Fills in the address and empties the password field.
    void setEmail(const QString &email);
    QString email() const;

signals:
    void signUpRequested();
    void resetRequested();

private:
    void submit();
    void updateButton();

    LocalStore *m_store;
    QLineEdit *m_email;
    QLineEdit *m_password;
};
