#include "ui/panels/PasswordView.h"

#include "store/LocalStore.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreTask.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>

using PanelParts::showMessage;

namespace {

QLineEdit *secureField(const QString &placeholder, const QString &name, QWidget *parent)
{
    QLineEdit *field = PanelParts::textField(placeholder, name, parent);
    field->setEchoMode(QLineEdit::Password);
    field->setMinimumHeight(34);
    return field;
}

} // namespace

PasswordView::PasswordView(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("passwordPage"), parent)
    , m_store(store)
{
    QVBoxLayout *column = formColumn(12);
    QWidget *holder = column->parentWidget();

    column->addWidget(formTitle(QStringLiteral("비밀번호"), holder));
    m_current = secureField(QStringLiteral("현재 비밀번호"), QStringLiteral("current"), holder);
    m_password = secureField(QStringLiteral("새 비밀번호"), QStringLiteral("password"), holder);
    m_confirm = secureField(QStringLiteral("새 비밀번호 확인"), QStringLiteral("confirm"), holder);
    for (QLineEdit *field : {m_current, m_password, m_confirm}) {
        column->addWidget(field);
        connect(field, &QLineEdit::textChanged, this, &PasswordView::updateButton);
    }

    column->addWidget(PanelParts::label(QStringLiteral("8자 이상, 영문과 숫자."),
                                        QStringLiteral("hint"), ChatFont::footnote(), holder,
                                        PanelParts::Ink::Secondary));

    m_info = PanelParts::messageLine(PanelParts::Tone::Plain, QStringLiteral("info"), holder);
    m_error = PanelParts::messageLine(PanelParts::Tone::Failure, QStringLiteral("error"), holder);
    column->addWidget(m_info);
    column->addWidget(m_error);

    m_save = PanelParts::wideButton(QStringLiteral("변경"), QStringLiteral("save"), holder);
    connect(m_save, &WideButton::clicked, this, &PasswordView::save);
    column->addWidget(m_save);

    addCloseRow(column);
    closeOnEscape();
    PanelParts::focusWhenShown(this, m_current);
    // Return in any field is "변경" (which does nothing until all three are filled in).
    for (QLineEdit *field : {m_current, m_password, m_confirm})
        connect(field, &QLineEdit::returnPressed, m_save, &WideButton::click);

    updateButton();
}

void PasswordView::updateButton()
{
    // Nothing is trimmed: a field of blanks counts as filled, and the rule refuses it later.
    m_save->setDisabled(m_current->text().isEmpty() || m_password->text().isEmpty()
                        || m_confirm->text().isEmpty());
}

void PasswordView::save()
{
    if (m_save->isBusy())
        return;
    showMessage(m_info, std::nullopt);
    showMessage(m_error, std::nullopt);
    const QString password = m_password->text();
    // Canonically equivalent texts (composed or decomposed Hangul, say) are the same password.
    if (password.normalized(QString::NormalizationForm_C)
        != m_confirm->text().normalized(QString::NormalizationForm_C)) {
        showMessage(m_error, mismatchText());
        return;
    }
    if (!LocalStore::isValidPassword(password)) {
        showMessage(m_error, ruleText());
        return;
    }
    m_save->setBusy(true);
    StoreTask::whenDone(m_store.changePassword(m_current->text(), password), this,
                        kTemporaryErrorText, [this](const std::optional<QString> &failure) {
                            if (failure) {
                                showMessage(m_error, failure);
                            } else {
                                m_current->clear();
                                m_password->clear();
                                m_confirm->clear();
                                showMessage(m_info, changedText());
                            }
                            m_save->setBusy(false);
                        });
}
