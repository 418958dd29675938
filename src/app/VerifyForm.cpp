#include "app/VerifyForm.h"

#include "app/FormLimits.h"
#include "store/LocalStore.h"
#include "ui/common/WideButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

VerifyForm::VerifyForm(LocalStore *store, QWidget *parent)
    : AuthForm(QStringLiteral("이메일 인증"), parent)
    , m_store(store)
{
    m_sentTo = addText(QString(), QStringLiteral("sentTo"));
    m_sentTo->setAlignment(Qt::AlignHCenter);
    m_code = addField(QStringLiteral("인증 코드 6자리"), QStringLiteral("code"));
    m_code->setAlignment(Qt::AlignHCenter);
    m_code->setInputMethodHints(Qt::ImhDigitsOnly);
    FormLimits::limitToCode(m_code);
    auto *button = addPrimary(QStringLiteral("확인"), QStringLiteral("verify"));
    connect(addLink(QStringLiteral("이메일 다시 입력하기"), QStringLiteral("back")),
            &QPushButton::clicked, this, &VerifyForm::backRequested);

    connect(m_code, &QLineEdit::textChanged, this, [this] {
        primaryButton()->setDisabled(m_code->text().size() != FormLimits::codeLength);
    });
    connect(m_code, &QLineEdit::returnPressed, button, &QAbstractButton::click);
    connect(button, &QAbstractButton::clicked, this, [this] { submit(); });
    primaryButton()->setDisabled(true);
}

void VerifyForm::setEmail(const QString &email)
{
    m_emailText = email;
    m_sentTo->setText(email + QStringLiteral("(으)로 보낸 6자리 코드를 입력하세요."));
    m_code->clear();
    showError(std::nullopt);
}

void VerifyForm::submit()
{
    runOperation(m_store->verifyRegister(m_emailText, m_code->text()),
                 [this](const std::optional<QString> &error) {
                     showError(error);
                     if (error)
                         returnFocusTo(m_code);
                 });
}
