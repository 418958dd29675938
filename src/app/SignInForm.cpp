#include "app/SignInForm.h"

#include "store/LocalStore.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/WideButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

SignInForm::SignInForm(LocalStore *store, QWidget *parent)
    : AuthForm(QStringLiteral("Zumo"), parent)
    , m_store(store)
{
    // The title row carries the beta mark, as the workspace's title does.
    auto *titleRow = new QWidget;
    auto *row = new QHBoxLayout(titleRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch(1);
    titleLabel()->setParent(titleRow);
    row->addWidget(titleLabel());
    row->addWidget(new BetaMark(titleRow), 0, Qt::AlignVCenter);
    row->addStretch(1);
    column()->insertWidget(0, titleRow);

    addText(QStringLiteral("이메일과 비밀번호로 로그인하세요."))->setAlignment(Qt::AlignHCenter);
    m_email = addField(QStringLiteral("이메일"), QStringLiteral("email"));
    m_password = addField(QStringLiteral("비밀번호"), QStringLiteral("password"), true);
    auto *button = addPrimary(QStringLiteral("로그인"), QStringLiteral("signIn"));
    connect(addLink(QStringLiteral("처음이신가요? 회원가입"), QStringLiteral("toSignUp")),
            &QPushButton::clicked, this, &SignInForm::signUpRequested);
    connect(addLink(QStringLiteral("비밀번호를 잊으셨나요?"), QStringLiteral("toReset")),
            &QPushButton::clicked, this, &SignInForm::resetRequested);

    connect(m_email, &QLineEdit::textChanged, this, &SignInForm::updateButton);
    connect(m_password, &QLineEdit::textChanged, this, &SignInForm::updateButton);
    connect(m_email, &QLineEdit::returnPressed, m_password, qOverload<>(&QWidget::setFocus));
    connect(m_password, &QLineEdit::returnPressed, button, &QAbstractButton::click);
    connect(button, &QAbstractButton::clicked, this, [this] { submit(); });
    updateButton();
}

void SignInForm::setEmail(const QString &email)
{
    m_email->setText(email);
    // Whatever was typed as the password belonged to the attempt before (a reset replaced it).
    m_password->clear();
}

QString SignInForm::email() const
{
    return m_email->text();
}

void SignInForm::updateButton()
{
    primaryButton()->setDisabled(m_email->text().trimmed().isEmpty()
                                 || m_password->text().isEmpty());
}

void SignInForm::submit()
{
    // The form may be gone when the call returns: a successful sign-in replaces this screen.
    runOperation(m_store->login(m_email->text(), m_password->text()),
                 [this](const std::optional<QString> &error) {
                     showError(error);
                     if (error)
                         returnFocusTo(m_password);
                 });
}
