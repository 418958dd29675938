#include "app/ResetForm.h"

#include "app/FormLimits.h"
#include "app/SignUpForm.h"
#include "store/LocalStore.h"
#include "ui/common/WideButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ResetForm::ResetForm(LocalStore *store, QWidget *parent)
    : AuthForm(QStringLiteral("비밀번호 재설정"), parent)
    , m_store(store)
{
    addText(QStringLiteral("가입한 이메일로 인증 코드를 보내 드립니다."))
        ->setAlignment(Qt::AlignHCenter);
    m_email = addField(QStringLiteral("이메일"), QStringLiteral("email"));
    m_code = addField(QStringLiteral("인증 코드 6자리"), QStringLiteral("code"));
    m_code->setInputMethodHints(Qt::ImhDigitsOnly);
    FormLimits::limitToCode(m_code);
    m_password = addField(QStringLiteral("새 비밀번호 (영문, 숫자 8–64자)"),
                          QStringLiteral("newPassword"), true);
    auto *button = addPrimary(QStringLiteral("인증 코드 받기"), QStringLiteral("resetPrimary"));
    m_again = addLink(QStringLiteral("이메일 다시 입력하기"), QStringLiteral("again"));
    connect(addLink(QStringLiteral("로그인으로 돌아가기"), QStringLiteral("back")),
            &QPushButton::clicked, this, &ResetForm::backRequested);

    connect(m_again, &QPushButton::clicked, this, [this] {
        showError(std::nullopt);
        setCodeStep(false);
    });
    for (QLineEdit *field : {m_email, m_code, m_password})
        connect(field, &QLineEdit::textChanged, this, &ResetForm::updateButton);
    connect(m_email, &QLineEdit::returnPressed, button, &QAbstractButton::click);
    connect(m_code, &QLineEdit::returnPressed, m_password, qOverload<>(&QWidget::setFocus));
    connect(m_password, &QLineEdit::returnPressed, button, &QAbstractButton::click);
    connect(button, &QAbstractButton::clicked, this, [this] {
        if (m_codeSent)
            reset();
        else
            sendCode();
    });
    setCodeStep(false);
}

void ResetForm::setEmail(const QString &email)
{
    m_email->setText(email);
    showError(std::nullopt);
    setCodeStep(false);
}

void ResetForm::setCodeStep(bool codeSent)
{
    m_codeSent = codeSent;
    m_email->setReadOnly(codeSent);
    m_code->setVisible(codeSent);
    m_password->setVisible(codeSent);
    m_again->setVisible(codeSent);
    if (!codeSent) {
        m_code->clear();
        m_password->clear();
    }
    primaryButton()->setTitle(codeSent ? QStringLiteral("비밀번호 바꾸기")
                                       : QStringLiteral("인증 코드 받기"));
    updateButton();
}

void ResetForm::updateButton()
{
    const bool ready = m_codeSent
        ? m_code->text().size() == FormLimits::codeLength && !m_password->text().isEmpty()
        : !m_email->text().trimmed().isEmpty();
    primaryButton()->setDisabled(!ready);
}

void ResetForm::sendCode()
{
    runOperation(m_store->sendResetCode(m_email->text()),
                 [this](const std::optional<QString> &error) {
                     if (error) {
                         showError(error);
                         returnFocusTo(m_email);
                         return;
                     }
                     setCodeStep(true);
                     showNote(QStringLiteral("인증 코드를 보냈습니다. 메일함을 확인하세요."));
                     m_code->setFocus();
                 });
}

void ResetForm::reset()
{
    const QString email = m_email->text();
    const QString password = m_password->text();
    if (!LocalStore::isValidPassword(password)) {
        showError(SignUpForm::passwordRuleText());
        returnFocusTo(m_password);
        return;
    }
    runOperation(m_store->resetPassword(email, m_code->text(), password),
                 [this, email](const std::optional<QString> &error) {
                     if (error) {
                         // The new password passed the same rule here; what the service refuses
                         // is the code.
                         showError(error);
                         returnFocusTo(m_code);
                         return;
                     }
                     const QString trimmed = email.trimmed();
                     setEmail(QString());
                     emit passwordReset(trimmed);
                 });
}
