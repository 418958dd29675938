#include "app/AuthForm.h"

#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/UiMetrics.h"
#include "ui/common/WideButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

AuthForm::AuthForm(const QString &title, QWidget *parent)
    : QWidget(parent)
{
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(24, 24, 24, 24);
    auto *holder = new QWidget(this);
    holder->setFixedWidth(UiMetrics::signInColumnWidth);
    outer->addStretch(1);
    outer->addWidget(holder, 0, Qt::AlignVCenter);
    outer->addStretch(1);

    m_column = bareBox<QVBoxLayout>(holder, 10);

    using PanelParts::Ink, PanelParts::Wrap;
    m_title = PanelParts::label(title, QStringLiteral("title"), ChatFont::title2(), holder,
                                Ink::Normal, Wrap::Yes);
    m_title->setAlignment(Qt::AlignHCenter);
    m_column->addWidget(m_title);
    m_column->addSpacing(8);

    // Wrapped, so that a long error wraps inside the column instead of widening it.
    m_message = PanelParts::label(QString(), QStringLiteral("message"), ChatFont::footnote(),
                                  holder, Ink::Normal, Wrap::Yes);
    m_message->hide();
}

QLineEdit *AuthForm::addField(const QString &placeholder, const QString &objectName, bool secret)
{
    auto *field = new QLineEdit(m_column->parentWidget());
    field->setObjectName(objectName);
    field->setPlaceholderText(placeholder);
    ChatColor::keepSecondary(field, QPalette::PlaceholderText);
    field->setAccessibleName(placeholder);
    field->setMinimumHeight(34);
    if (secret)
        field->setEchoMode(QLineEdit::Password);
    m_column->addWidget(field);
    m_inputs.append(field);
    return field;
}

QLabel *AuthForm::addText(const QString &text, const QString &objectName)
{
    QLabel *label
        = PanelParts::label(text, objectName, ChatFont::subheadline(), m_column->parentWidget(),
                            PanelParts::Ink::Normal, PanelParts::Wrap::Yes);
    m_column->addWidget(label);
    return label;
}

void AuthForm::addWidget(QWidget *widget, Qt::Alignment alignment)
{
    widget->setParent(m_column->parentWidget());
    m_column->addWidget(widget, 0, alignment);
}

WideButton *AuthForm::addPrimary(const QString &title, const QString &objectName)
{
    m_column->addWidget(m_message);
    m_column->addSpacing(4);
    m_primary = new WideButton(title, WideButton::Role::Normal, m_column->parentWidget());
    m_primary->setObjectName(objectName);
    m_column->addWidget(m_primary);

    m_links = new QWidget(m_column->parentWidget());
    auto *links = new QVBoxLayout(m_links);
    links->setContentsMargins(0, 4, 0, 0);
    links->setSpacing(2);
    m_column->addWidget(m_links);
    return m_primary;
}

QPushButton *AuthForm::addLink(const QString &text, const QString &objectName)
{
    // A plain button draws its own focus ring: a flat push button of the desktop's style may show
    // none at all.
    QPushButton *link = PanelParts::plainButton(text, m_links, Qt::AlignHCenter, objectName);
    m_links->layout()->addWidget(link);
    m_links->layout()->setAlignment(link, Qt::AlignHCenter);
    m_inputs.append(link);
    return link;
}

void AuthForm::showError(const std::optional<QString> &text)
{
    if (!text || text->isEmpty()) {
        m_message->clear();
        m_message->hide();
        return;
    }
    QPalette palette = m_message->palette();
    palette.setColor(QPalette::WindowText, ChatColor::alert(palette));
    m_message->setPalette(palette);
    m_message->setText(*text);
    m_message->show();
}

void AuthForm::showNote(const QString &text)
{
    m_message->setPalette(QPalette());
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

QString AuthForm::messageText() const
{
    return m_message->isHidden() ? QString() : m_message->text();
}

void AuthForm::focusFirstEmptyField()
{
    QLineEdit *first = nullptr;
    for (QWidget *input : std::as_const(m_inputs)) {
        auto *field = qobject_cast<QLineEdit *>(input);
        if (!field || field->isHidden() || !field->isEnabled() || field->isReadOnly())
            continue;
        if (field->text().isEmpty()) {
            field->setFocus();
            return;
        }
        if (!first)
            first = field;
    }
    if (first)
        first->setFocus();
}

void AuthForm::returnFocusTo(QLineEdit *field)
{
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

void AuthForm::setBusy(bool busy)
{
    m_busy = busy;
    for (QWidget *input : std::as_const(m_inputs))
        input->setEnabled(!busy);
    if (m_primary)
        m_primary->setBusy(busy);
}
