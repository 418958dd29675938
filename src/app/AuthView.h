#pragma once

#include <QStackedWidget>

class LocalStore;
class AuthForm;
class ResetForm;
class SignInForm;
class SignUpForm;
class VerifyForm;

// The signed-out screens: sign-in, sign-up, e-mail verification and password reset, one at a
// time. Form state lives here only; every step is a store operation. Each form is made when it
// is first shown (or asked for): a start that signs in with the stored session shows none.
class AuthView : public QStackedWidget
{
    Q_OBJECT
public:
    explicit AuthView(LocalStore *store, QWidget *parent = nullptr);

    // The forms, each made on first use.
    SignInForm *signInForm();
    SignUpForm *signUpForm();
    VerifyForm *verifyForm();
    ResetForm *resetForm();

    // Shows the sign-in form; a view not on screen yet shows it when it first appears.
    void showSignIn();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showForm(AuthForm *form);
    void showNotice();

    LocalStore *m_store;
    SignInForm *m_signIn = nullptr;
    SignUpForm *m_signUp = nullptr;
    VerifyForm *m_verify = nullptr;
    ResetForm *m_reset = nullptr;
    bool m_showsNotice = false; // the sign-in form's error is the store's notice
};
