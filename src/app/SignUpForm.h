#pragma once

#include "app/AuthForm.h"

class LocalStore;
class QLineEdit;

// E-mail and a new password; asks the service to send the sign-up code.
class SignUpForm : public AuthForm
{
    Q_OBJECT
public:
    static QString passwordRuleText()
    {
        return QStringLiteral("비밀번호는 영문과 숫자를 섞어 8–64자로 입력하세요.");
    }

    explicit SignUpForm(LocalStore *store, QWidget *parent = nullptr);

signals:
    // The code was sent to `email`; `password` is kept by nobody but the service.
    void codeSent(const QString &email);
    void backRequested();

private:
    void submit();
    void updateButton();

    LocalStore *m_store;
    QLineEdit *m_email;
    QLineEdit *m_password;
};
