#pragma once

#include "app/AuthForm.h"

class LocalStore;
class QLineEdit;

// Two steps on one screen: the e-mail address gets a code; the code and a new password set
// the password. Success returns to the sign-in screen.
class ResetForm : public AuthForm
{
    Q_OBJECT
public:
    explicit ResetForm(LocalStore *store, QWidget *parent = nullptr);

    void setEmail(const QString &email);
    bool codeSent() const { return m_codeSent; }

signals:
    void passwordReset(const QString &email);
    void backRequested();

private:
    void sendCode();
    void reset();
    void setCodeStep(bool codeSent);
    void updateButton();

    LocalStore *m_store;
    QLineEdit *m_email;
    QLineEdit *m_code;
    QLineEdit *m_password;
    QPushButton *m_again;
    bool m_codeSent = false;
};
