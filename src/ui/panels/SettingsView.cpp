#include "ui/panels/SettingsView.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/panels/SettingsRows.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QScrollArea>

namespace {

// "Beta · 버전 " and the application's version, or "0.1.2" when it has none.
QString footerText()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral("0.1.2");
    return QStringLiteral("Beta · 버전 ") + version;
}

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
    // The page opens on its first switch, ringed: a switch shows no caret to find the keyboard by.
    PanelParts::focusWhenShown(this, m_enabled, PanelParts::Ring::Yes);

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
