#include "ui/panels/SettingsView.h"

#include "store/LocalStore.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ConfirmDialog.h"
#include "ui/panels/PanelParts.h"
#include "ui/panels/SettingsRows.h"
#include "ui/panels/StoreRedraw.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QScrollArea>

namespace {

QLabel *sectionHeader(const QString &text, QWidget *parent)
{
    QFont font = ChatFont::footnote();
    font.setWeight(QFont::DemiBold);
    QLabel *label = PanelParts::label(text, QString(), font, parent, PanelParts::Ink::Secondary);
    label->setContentsMargins(14, 0, 0, 4);
    return label;
}

} // namespace

SettingsView::SettingsView(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("settings"), parent)
    , m_store(store)
{
    auto *list = new QWidget;
    auto *sections = new QVBoxLayout(list);
    sections->setContentsMargins(20, 12, 20, 20);
    sections->setSpacing(0);
    sections->addWidget(sectionHeader(QStringLiteral("알림"), list));
    sections->addWidget(switches(list));
    sections->addSpacing(20);
    sections->addWidget(actions(list));
    sections->addStretch(1);

    auto *footer = new QLabel(footerText(), this);
    footer->setObjectName(QStringLiteral("version"));
    footer->setTextFormat(Qt::PlainText);
    footer->setFont(ChatFont::footnote());
    ChatColor::keepSecondary(footer);
    footer->setAlignment(Qt::AlignHCenter);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 12);
    page->setSpacing(0);
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

QWidget *SettingsView::switches(QWidget *parent)
{
    auto *group = new SettingsGroup(parent);
    m_enabled
        = group->addSwitch(QStringLiteral("전체 알림"), QStringLiteral("notificationsEnabled"));
    m_preview = group->addSwitch(QStringLiteral("미리보기"), QStringLiteral("notificationPreview"));
    m_sound = group->addSwitch(QStringLiteral("소리"), QStringLiteral("notificationSound"));

    // Each switch sets only its own value; the page then shows the store's values at once.
    const auto flip = [this](SwitchRow *row, auto set) {
        connect(row, &SwitchRow::flipRequested, this, [this, set](bool on) {
            set(on);
            refresh();
        });
    };
    flip(m_enabled, [this](bool on) { m_store.setNotifications(on, std::nullopt, std::nullopt); });
    flip(m_preview, [this](bool on) { m_store.setNotifications(std::nullopt, on, std::nullopt); });
    flip(m_sound, [this](bool on) { m_store.setNotifications(std::nullopt, std::nullopt, on); });
    return group;
}

QWidget *SettingsView::actions(QWidget *parent)
{
    auto *group = new SettingsGroup(parent);
    const auto add = [&](const QString &text, const QString &name, bool destructive, auto action) {
        connect(group->addAction(text, name, destructive), &QAbstractButton::clicked, this, action);
    };
    // Three of them only ask the workspace for another page.
    add(QStringLiteral("차단 목록"), QStringLiteral("blocked"), false,
        &SettingsView::blockedRequested);
    add(QStringLiteral("비밀번호"), QStringLiteral("password"), false,
        &SettingsView::passwordRequested);
    add(QStringLiteral("로그아웃"), QStringLiteral("logout"), true, &SettingsView::confirmLogout);
    add(QStringLiteral("계정 삭제"), QStringLiteral("deleteAccount"), true,
        &SettingsView::deleteAccountRequested);
    return group;
}

QString SettingsView::footerText()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral("0.1.2");
    return QStringLiteral("Beta · 버전 ") + version;
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

void SettingsView::confirmLogout()
{
    LocalStore *store = &m_store;
    ConfirmDialog::open(this, QStringLiteral("로그아웃할까요?"),
                        {{QStringLiteral("로그아웃"), true, [store] { store->logout(); }}}, {});
}
