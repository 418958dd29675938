#include "app/AuthView.h"

#include "app/ResetForm.h"
#include "app/SignInForm.h"
#include "app/SignUpForm.h"
#include "app/VerifyForm.h"
#include "store/LocalStore.h"

namespace {

template<typename Form>
Form *addForm(QStackedWidget *stack, Form *form, const QString &name)
{
    form->setObjectName(name);
    stack->addWidget(form);
    return form;
}

} // namespace

AuthView::AuthView(LocalStore *store, QWidget *parent)
    : QStackedWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("auth"));
    // Why the user is signed out (a lost session, a failed start-up) is the store's notice;
    // with no workspace to show it, the sign-in form does.
    connect(m_store, &LocalStore::noticeChanged, this, &AuthView::showNotice);
}

SignInForm *AuthView::signInForm()
{
    if (m_signIn)
        return m_signIn;
    m_signIn = addForm(this, new SignInForm(m_store, this), QStringLiteral("signInForm"));
    connect(m_signIn, &SignInForm::signUpRequested, this, [this] {
        m_signIn->showError(std::nullopt);
        showForm(signUpForm());
    });
    connect(m_signIn, &SignInForm::resetRequested, this, [this] {
        m_signIn->showError(std::nullopt);
        resetForm()->setEmail(m_signIn->email().trimmed());
        showForm(m_reset);
    });
    showNotice();
    return m_signIn;
}

SignUpForm *AuthView::signUpForm()
{
    if (m_signUp)
        return m_signUp;
    m_signUp = addForm(this, new SignUpForm(m_store, this), QStringLiteral("signUpForm"));
    connect(m_signUp, &SignUpForm::backRequested, this, &AuthView::showSignIn);
    connect(m_signUp, &SignUpForm::codeSent, this, [this](const QString &email) {
        verifyForm()->setEmail(email);
        showForm(m_verify);
    });
    return m_signUp;
}

VerifyForm *AuthView::verifyForm()
{
    if (m_verify)
        return m_verify;
    m_verify = addForm(this, new VerifyForm(m_store, this), QStringLiteral("verifyForm"));
    connect(m_verify, &VerifyForm::backRequested, this, [this] { showForm(signUpForm()); });
    return m_verify;
}

ResetForm *AuthView::resetForm()
{
    if (m_reset)
        return m_reset;
    m_reset = addForm(this, new ResetForm(m_store, this), QStringLiteral("resetForm"));
    connect(m_reset, &ResetForm::backRequested, this, &AuthView::showSignIn);
    connect(m_reset, &ResetForm::passwordReset, this, [this](const QString &email) {
        signInForm()->setEmail(email);
        showForm(m_signIn);
        m_signIn->showNote(QStringLiteral("비밀번호를 바꿨습니다. 새 비밀번호로 로그인하세요."));
    });
    return m_reset;
}

void AuthView::showSignIn()
{
    if (!currentWidget() && !isVisible())
        return; // made and shown when the view first appears (showEvent)
    showForm(signInForm());
}

void AuthView::showEvent(QShowEvent *event)
{
    if (!currentWidget())
        showForm(signInForm());
    QStackedWidget::showEvent(event);
}

void AuthView::showForm(AuthForm *form)
{
    setCurrentWidget(form);
    // The field that had the focus may have been locked while the last step ran, and the focus
    // then went nowhere useful: put it where the new screen is typed into.
    form->focusFirstEmptyField();
}

void AuthView::showNotice()
{
    if (!m_signIn)
        return; // the form reads the notice when it is made
    if (const auto notice = m_store->notice(); notice && !notice->isEmpty()) {
        m_signIn->showError(*notice);
        m_showsNotice = true;
    } else if (m_showsNotice) {
        // A notice taken back (a sign-out clears the last one just after the form came up)
        // leaves the form: an old failure must not read as the reason for this one.
        m_signIn->showError(std::nullopt);
        m_showsNotice = false;
    }
}
