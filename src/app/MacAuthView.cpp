#include "app/MacAuthView.h"

#include "app/MacResetForm.h"
#include "app/MacSignInForm.h"
#include "app/MacSignUpForm.h"
#include "app/MacVerifyForm.h"
#include "store/LocalStore.h"

MacAuthView::MacAuthView(LocalStore *store, QWidget *parent)
    : QStackedWidget(parent)
    , m_store(store)
    , m_signIn(new MacSignInForm(store, this))
    , m_signUp(new MacSignUpForm(store, this))
    , m_verify(new MacVerifyForm(store, this))
    , m_reset(new MacResetForm(store, this))
{
    setObjectName(QStringLiteral("auth"));
    m_signIn->setObjectName(QStringLiteral("signInForm"));
    m_signUp->setObjectName(QStringLiteral("signUpForm"));
    m_verify->setObjectName(QStringLiteral("verifyForm"));
    m_reset->setObjectName(QStringLiteral("resetForm"));
    for (QWidget *page : {static_cast<QWidget *>(m_signIn), static_cast<QWidget *>(m_signUp),
                          static_cast<QWidget *>(m_verify), static_cast<QWidget *>(m_reset)})
        addWidget(page);

    connect(m_signIn, &MacSignInForm::signUpRequested, this, [this] {
        m_signIn->showError(std::nullopt);
        showForm(m_signUp);
    });
    connect(m_signIn, &MacSignInForm::resetRequested, this, [this] {
        m_signIn->showError(std::nullopt);
        m_reset->setEmail(m_signIn->email().trimmed());
        showForm(m_reset);
    });
    connect(m_signUp, &MacSignUpForm::backRequested, this, &MacAuthView::showSignIn);
    connect(m_signUp, &MacSignUpForm::codeSent, this, [this](const QString &email) {
        m_verify->setEmail(email);
        showForm(m_verify);
    });
    connect(m_verify, &MacVerifyForm::backRequested, this, [this] { showForm(m_signUp); });
    connect(m_reset, &MacResetForm::backRequested, this, &MacAuthView::showSignIn);
    connect(m_reset, &MacResetForm::passwordReset, this, [this](const QString &email) {
        m_signIn->setEmail(email);
        showForm(m_signIn);
        m_signIn->showNote(QStringLiteral("비밀번호를 바꿨습니다. 새 비밀번호로 로그인하세요."));
    });

    // Why the user is signed out (a lost session, a failed start-up) is the store's notice;
    // with no workspace to show it, the sign-in form does.
    connect(m_store, &LocalStore::noticeChanged, this, &MacAuthView::showNotice);
    showNotice();
    setCurrentWidget(m_signIn);
}

void MacAuthView::showSignIn()
{
    showForm(m_signIn);
}

void MacAuthView::showForm(MacAuthForm *form)
{
    setCurrentWidget(form);
    // The field that had the focus may have been locked while the last step ran, and the focus
    // then went nowhere useful: put it where the new screen is typed into.
    form->focusFirstEmptyField();
}

void MacAuthView::showNotice()
{
    if (const auto notice = m_store->notice(); notice && !notice->isEmpty())
        m_signIn->showError(*notice);
}
