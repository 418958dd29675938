#include "ui/panels/SettingsView.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/StoreTask.h"
#include "ui/panels/PanelParts.h"
#include "ui/panels/PersonRows.h"
#include "ui/panels/SettingsRows.h"
#include "ui/panels/StoreRedraw.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollArea>
#include <QStackedLayout>

using PanelParts::showMessage;

namespace {

// "Beta · 버전 " and the application's version, or "0.1.2" when it has none.
QString footerText()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral("0.1.2");
    return QStringLiteral("Beta · 버전 ") + version;
}

QLineEdit *secureField(const QString &placeholder, const QString &name, QWidget *parent)
{
    QLineEdit *field = PanelParts::textField(placeholder, name, parent);
    field->setEchoMode(QLineEdit::Password);
    field->setMinimumHeight(34);
    return field;
}

// The accounts of the block list, in the store's order, each described by its one action.
class BlockedListModel : public AccountListModel
{
public:
    explicit BlockedListModel(LocalStore &store, QObject *parent)
        : AccountListModel([&store] { return store.blockedAccounts(); }, parent)
    { }

protected:
    QVariant extraData(const Account &, int role) const override
    {
        if (role == Qt::AccessibleDescriptionRole)
            return BlockedRowDelegate::buttonText();
        return {};
    }
};

} // namespace

SettingsView::SettingsView(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("settings"), parent)
    , m_store(store)
{
    auto *list = new QWidget;
    auto *sections = bareBox<QVBoxLayout>(list);
    sections->setContentsMargins(20, 12, 20, 20);
    QLabel *header
        = PanelParts::label(QStringLiteral("알림"), QString(), ChatFont::footnote(QFont::DemiBold),
                            list, PanelParts::Ink::Secondary);
    header->setContentsMargins(14, 0, 0, 4);
    sections->addWidget(header);
    sections->addWidget(notificationSwitches(list));
    sections->addSpacing(20);
    sections->addWidget(pageActions(list));
    sections->addStretch(1);

    QLabel *footer = PanelParts::label(footerText(), QStringLiteral("version"),
                                       ChatFont::footnote(), this, PanelParts::Ink::Secondary);
    footer->setAlignment(Qt::AlignHCenter);

    auto *page = bareBox<QVBoxLayout>(this);
    page->setContentsMargins(0, 0, 0, 12);
    page->addWidget(listTitleBar(QStringLiteral("설정")));
    page->addWidget(scroller(list), 1);
    page->addWidget(footer);

    new StoreRedraw(
        m_store,
        {&LocalStore::notificationsEnabledChanged, &LocalStore::notificationPreviewChanged,
         &LocalStore::notificationSoundChanged},
        [this] { refresh(); }, this);
    refresh();
}

// Each switch sets only its own value; the page then shows the store's values at once.
QWidget *SettingsView::notificationSwitches(QWidget *parent)
{
    auto *switches = new SettingsGroup(parent);
    const auto flip = [this](auto set) {
        return [this, set](bool on) {
            set(on);
            refresh();
        };
    };
    m_enabled = switches->addSwitch(
        QStringLiteral("전체 알림"), QStringLiteral("notificationsEnabled"),
        flip([this](bool on) { m_store.setNotifications(on, std::nullopt, std::nullopt); }));
    m_preview = switches->addSwitch(
        QStringLiteral("미리보기"), QStringLiteral("notificationPreview"),
        flip([this](bool on) { m_store.setNotifications(std::nullopt, on, std::nullopt); }));
    m_sound = switches->addSwitch(
        QStringLiteral("소리"), QStringLiteral("notificationSound"),
        flip([this](bool on) { m_store.setNotifications(std::nullopt, std::nullopt, on); }));
    return switches;
}

QWidget *SettingsView::pageActions(QWidget *parent)
{
    auto *actions = new SettingsGroup(parent);
    // Three of them only ask the workspace for another page.
    actions->addAction(QStringLiteral("차단 목록"), QStringLiteral("blocked"), false,
                       [this] { emit blockedRequested(); });
    actions->addAction(QStringLiteral("비밀번호"), QStringLiteral("password"), false,
                       [this] { emit passwordRequested(); });
    actions->addAction(QStringLiteral("로그아웃"), QStringLiteral("logout"), true, [this] {
        LocalStore *store = &m_store;
        confirm(QStringLiteral("로그아웃할까요?"), QStringLiteral("로그아웃"), true,
                [store] { store->logout(); });
    });
    actions->addAction(QStringLiteral("계정 삭제"), QStringLiteral("deleteAccount"), true,
                       [this] { emit deleteAccountRequested(); });
    return actions;
}

void SettingsView::refresh()
{
    const bool enabled = m_store.notificationsEnabled();
    m_enabled->setChecked(enabled);
    m_preview->setChecked(m_store.notificationPreview());
    m_sound->setChecked(m_store.notificationSound());
    // Off, the other two keep their values, greyed out, for when the switch comes back on.
    m_preview->setEnabled(enabled);
    m_sound->setEnabled(enabled);
}

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

BlockedList::BlockedList(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("blockedList"), parent)
{
    auto *model = new BlockedListModel(store, this);
    auto *list = new QListView(this);
    setUpList(list, model, QStringLiteral("list"), QStringLiteral("차단 목록"));
    auto *delegate = new BlockedRowDelegate(list);
    // The row goes on the next refresh, once the store's list has changed.
    connect(delegate, &BlockedRowDelegate::actionClicked, this, [&store](const QModelIndex &row) {
        store.unblock(row.data(AccountListModel::IdRole).toUuid());
    });

    // The empty list is a single row with the text.
    QStackedLayout *body = listOrEmpty(list,
                                       PanelParts::label(emptyText(), QStringLiteral("empty"),
                                                         ChatFont::subheadline(), nullptr,
                                                         PanelParts::Ink::Secondary));
    body->widget(1)->setBackgroundRole(QPalette::Base);
    body->widget(1)->setAutoFillBackground(true);
    auto *page = bareBox<QVBoxLayout>(this, 6);
    page->addWidget(listTitleBar(QStringLiteral("차단 목록")));
    page->addLayout(body, 1);
    closeOnEscape();

    new StoreRedraw(
        store, {&LocalStore::blocksChanged, &LocalStore::accountsChanged},
        [model] { model->refresh(); }, this);
}

DeleteAccount::DeleteAccount(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("deleteAccountPage"), parent)
{
    QVBoxLayout *column = formColumn(16);
    QWidget *holder = column->parentWidget();

    column->addWidget(formTitle(QStringLiteral("계정 삭제"), holder));
    for (const QString &line : {QStringLiteral("프로필과 대화 참여 정보가 삭제됩니다."),
                                QStringLiteral("상대에게는 이름이 \"알 수 없음\"으로 보입니다."),
                                QStringLiteral("아이디는 30일 동안 다시 사용할 수 없습니다.")}) {
        column->addWidget(PanelParts::label(line, QString(), QFont(), holder,
                                            PanelParts::Ink::Normal, PanelParts::Wrap::Yes));
    }

    QLineEdit *phrase = PanelParts::textField(confirmationWord(), QStringLiteral("phrase"), holder);
    phrase->setMinimumHeight(34);
    column->addWidget(phrase);

    WideButton *remove
        = PanelParts::wideButton(QStringLiteral("계정 삭제"), QStringLiteral("delete"), holder,
                                 WideButton::Role::Destructive);
    remove->setDisabled(true);
    column->addWidget(remove);

    addCloseRow(column);
    closeOnEscape();

    // The whole text must be the word: a blank before or after it does not count.
    connect(phrase, &QLineEdit::textChanged, remove,
            [remove](const QString &text) { remove->setDisabled(text != confirmationWord()); });
    connect(remove, &WideButton::clicked, this, [remove, &store] {
        remove->setBusy(true);
        store.deleteAccount();
    });
    PanelParts::focusWhenShown(this, phrase);
}
