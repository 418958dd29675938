#pragma once

#include "app/MacAuthForm.h"

class LocalStore;
class QLineEdit;

// E-mail and password; leads to sign-up and to the password reset.
class MacSignInForm : public MacAuthForm
{
    Q_OBJECT
public:
    explicit MacSignInForm(LocalStore *store, QWidget *parent = nullptr);

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
