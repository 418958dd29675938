#include "app/AuthView.h"

#include "app/ResetForm.h"
#include "app/SignInForm.h"
#include "app/SignUpForm.h"
#include "app/VerifyForm.h"
#include "store/LocalStore.h"

AuthView::AuthView(LocalStore *store, QWidget *parent)
    : QStackedWidget(parent)
    , m_store(store)
    , m_signIn(new SignInForm(store, this))
    , m_signUp(new SignUpForm(store, this))
    , m_verify(new VerifyForm(store, this))
    , m_reset(new ResetForm(store, this))
{
    setObjectName(QStringLiteral("auth"));
    m_signIn->setObjectName(QStringLiteral("signInForm"));
    m_signUp->setObjectName(QStringLiteral("signUpForm"));
    m_verify->setObjectName(QStringLiteral("verifyForm"));
    m_reset->setObjectName(QStringLiteral("resetForm"));
    for (QWidget *page : {static_cast<QWidget *>(m_signIn), static_cast<QWidget *>(m_signUp),
                          static_cast<QWidget *>(m_verify), static_cast<QWidget *>(m_reset)})
        addWidget(page);

    connect(m_signIn, &SignInForm::signUpRequested, this, [this] {
        m_signIn->showError(std::nullopt);
        showForm(m_signUp);
    });
    connect(m_signIn, &SignInForm::resetRequested, this, [this] {
        m_signIn->showError(std::nullopt);
        m_reset->setEmail(m_signIn->email().trimmed());
        showForm(m_reset);
    });
    connect(m_signUp, &SignUpForm::backRequested, this, &AuthView::showSignIn);
    connect(m_signUp, &SignUpForm::codeSent, this, [this](const QString &email) {
        m_verify->setEmail(email);
        showForm(m_verify);
    });
    connect(m_verify, &VerifyForm::backRequested, this, [this] { showForm(m_signUp); });
    connect(m_reset, &ResetForm::backRequested, this, &AuthView::showSignIn);
    connect(m_reset, &ResetForm::passwordReset, this, [this](const QString &email) {
        m_signIn->setEmail(email);
        showForm(m_signIn);
        m_signIn->showNote(QStringLiteral("비밀번호를 바꿨습니다. 새 비밀번호로 로그인하세요."));
    });

    // Why the user is signed out (a lost session, a failed start-up) is the store's notice;
    // with no workspace to show it, the sign-in form does.
    connect(m_store, &LocalStore::noticeChanged, this, &AuthView::showNotice);
    showNotice();
    setCurrentWidget(m_signIn);
}

void AuthView::showSignIn()
{
    showForm(m_signIn);
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
