#pragma once

#include <QStackedWidget>

class LocalStore;
class AuthForm;
class ResetForm;
class SignInForm;
class SignUpForm;
class VerifyForm;

// The signed-out screens: sign-in, sign-up, e-mail verification and password reset, one at a
// time. Form state lives here only; every step is a store operation.
class AuthView : public QStackedWidget
{
    Q_OBJECT
public:
    explicit AuthView(LocalStore *store, QWidget *parent = nullptr);

    SignInForm *signInForm() const { return m_signIn; }
    SignUpForm *signUpForm() const { return m_signUp; }
    VerifyForm *verifyForm() const { return m_verify; }
    ResetForm *resetForm() const { return m_reset; }

    void showSignIn();

private:
    void showForm(AuthForm *form);
    void showNotice();

    LocalStore *m_store;
    SignInForm *m_signIn;
    SignUpForm *m_signUp;
    VerifyForm *m_verify;
    ResetForm *m_reset;
    bool m_showsNotice = false; // the sign-in form's error is the store's notice
};
