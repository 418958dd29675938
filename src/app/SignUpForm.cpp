#include "app/SignUpForm.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "ui/common/WideButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

SignUpForm::SignUpForm(LocalStore *store, QWidget *parent)
    : AuthForm(QStringLiteral("회원가입"), parent)
    , m_store(store)
{
    addText(QStringLiteral("가입할 이메일로 6자리 인증 코드를 보내 드립니다."))
        ->setAlignment(Qt::AlignHCenter);
    m_email = addField(QStringLiteral("이메일"), QStringLiteral("email"));
    m_password = addField(QStringLiteral("비밀번호 (영문, 숫자 8–64자)"),
                          QStringLiteral("password"), true);
    auto *button = addPrimary(QStringLiteral("인증 코드 받기"), QStringLiteral("sendCode"));
    connect(addLink(QStringLiteral("로그인으로 돌아가기"), QStringLiteral("back")),
            &QPushButton::clicked, this, &SignUpForm::backRequested);

    connect(m_email, &QLineEdit::textChanged, this, &SignUpForm::updateButton);
    connect(m_password, &QLineEdit::textChanged, this, &SignUpForm::updateButton);
    connect(m_email, &QLineEdit::returnPressed, m_password, qOverload<>(&QWidget::setFocus));
    connect(m_password, &QLineEdit::returnPressed, button, &QAbstractButton::click);
    connect(button, &QAbstractButton::clicked, this, [this] { submit(); });
    updateButton();
}

void SignUpForm::updateButton()
{
    primaryButton()->setDisabled(m_email->text().trimmed().isEmpty()
                                 || m_password->text().isEmpty());
}

void SignUpForm::submit()
{
    const QString email = m_email->text();
    const QString password = m_password->text();
    if (!LocalStore::isValidPassword(password)) {
        showError(passwordRuleText());
        returnFocusTo(m_password);
        return;
    }
    runOperation(m_store->sendRegisterCode(email, password),
                 [this, email](const std::optional<QString> &error) {
                     showError(error);
                     if (error) {
                         // The password passed the same rule here; what the service refuses is
                         // the address.
                         returnFocusTo(m_email);
                         return;
                     }
                     m_password->clear();
                     // The address as the service has it (trimmed, lower case), which is where
                     // the code went.
                     emit codeSent(trimmedText(email).toLower());
                 });
}
