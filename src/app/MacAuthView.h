#pragma once

#include <QStackedWidget>

class LocalStore;
class MacAuthForm;
class MacResetForm;
class MacSignInForm;
class MacSignUpForm;
class MacVerifyForm;

// The signed-out screens: sign-in, sign-up, e-mail verification and password reset, one at a
// time. Form state lives here only; every step is a store operation.
class MacAuthView : public QStackedWidget
{
    Q_OBJECT
public:
    explicit MacAuthView(LocalStore *store, QWidget *parent = nullptr);

    MacSignInForm *signInForm() const { return m_signIn; }
    MacSignUpForm *signUpForm() const { return m_signUp; }
    MacVerifyForm *verifyForm() const { return m_verify; }
    MacResetForm *resetForm() const { return m_reset; }

    void showSignIn();

private:
    void showForm(MacAuthForm *form);
    void showNotice();

    LocalStore *m_store;
    MacSignInForm *m_signIn;
    MacSignUpForm *m_signUp;
    MacVerifyForm *m_verify;
    MacResetForm *m_reset;
};
