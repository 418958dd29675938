#include "ui/panels/InfoPanel.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/MemberInvite.h"
#include "ui/panels/PersonRows.h"
#include "ui/panels/SettingsRows.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QDialog>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>

namespace {

constexpr int sectionGap = 20;

QLabel *footnote(const QString &text, const QString &name, QWidget *parent)
{
    return PanelParts::label(text, name, ChatFont::footnote(), parent, PanelParts::Ink::Secondary,
                             PanelParts::Wrap::Yes);
}

} // namespace

InfoPanel::InfoPanel(LocalStore &store, const QUuid &conversationId, QWidget *parent)
    : PageBase(QStringLiteral("infoPanel"), parent)
    , m_store(store)
    , m_conversationId(conversationId)
{
    // The top bar: "닫기", the title, and "완료" while the name is being edited.
    m_done = PanelParts::plainButton(QStringLiteral("완료"), this, Qt::AlignHCenter,
                                     QStringLiteral("done"));
    connect(m_done, &QPushButton::clicked, this, &InfoPanel::saveTitle);
    QWidget *bar = titleBar(QStringLiteral("대화 정보"), closeButton(), m_done);
    bar->setContentsMargins(16, 0, 16, 0);

    // The sections, in a column at most 600 wide in the middle of a scrolling list.
    auto *list = new QWidget;
    auto *across = new QHBoxLayout(list);
    across->setContentsMargins(20, 8, 20, 20);
    auto *holder = new QWidget(list);
    holder->setMaximumWidth(UiMetrics::infoColumnMaxWidth);
    across->addStretch(0);
    across->addWidget(holder, 1);
    across->addStretch(0);
    auto *sections = bareBox<QVBoxLayout>(holder, sectionGap);

    sections->addWidget(buildHeader(holder));
    sections->addWidget(buildMembers(holder));
    addSwitches(sections);
    sections->addWidget(buildActions(holder));
    sections->addStretch(1);

    m_body = scroller(list);
    m_body->setObjectName(QStringLiteral("body"));

    auto *page = bareBox<QVBoxLayout>(this);
    page->addWidget(bar);
    page->addWidget(m_body, 1);

    new StoreRedraw(
        m_store,
        {&LocalStore::conversationsChanged, &LocalStore::accountsChanged,
         &LocalStore::blocksChanged, &LocalStore::officialLinksChanged,
         &LocalStore::sessionChanged},
        [this] { refresh(); }, this);
    refresh();
}

InfoPanel::~InfoPanel()
{
    // A panel deleted while on screen leaves the screen without a hide event.
    if (isVisible())
        saveTitle();
}

QWidget *InfoPanel::buildMembers(QWidget *parent)
{
    m_members = new SettingsGroup(parent);
    m_members->setObjectName(QStringLiteral("members"));

    m_memberModel = new MemberListModel(m_store, m_conversationId, this);
    m_memberList = new QListView;
    setUpList(m_memberList, m_memberModel, QStringLiteral("memberList"), QStringLiteral("멤버"));
    m_memberList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memberList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memberList->viewport()->setAutoFillBackground(false);
    auto *delegate = new PersonRowDelegate(m_memberList);
    connect(delegate, &PersonRowDelegate::personClicked, this, [this](const QModelIndex &index) {
        emit profileRequested(index.data(AccountListModel::IdRole).toUuid());
    });
    // Removing a member is easily undone: it runs at once, without asking.
    connect(delegate, &PersonRowDelegate::actionClicked, this, [this](const QModelIndex &index) {
        m_store.kick(m_conversationId, index.data(AccountListModel::IdRole).toUuid());
    });
    m_members->addRow(m_memberList);

    m_invite = m_members->addAction(
        QStringLiteral("멤버 초대"), QStringLiteral("invite"), false, [this] {
            if (m_inviteDialog) {
                m_inviteDialog->raise();
                return;
            }
            m_inviteDialog = SheetHost::create(this, new MemberInvite(m_store, m_conversationId),
                                               QSize(420, 360));
            m_inviteDialog->setObjectName(QStringLiteral("inviteDialog"));
            m_inviteDialog->setWindowTitle(QStringLiteral("멤버 초대"));
            m_inviteDialog->open();
        });

    m_cap = footnote(QStringLiteral("인원 상한은 20명입니다."), QStringLiteral("cap"), m_members);
    m_cap->setContentsMargins(14, 12, 14, 12);
    m_members->addRow(m_cap);
    return m_members;
}

void InfoPanel::addSwitches(QVBoxLayout *sections)
{
    QWidget *holder = sections->parentWidget();
    // Each switch sets its value in the store; the panel then shows the store's value at once.
    auto *notices = new SettingsGroup(holder);
    m_notify
        = notices->addSwitch(QStringLiteral("알림"), QStringLiteral("notify"), [this](bool on) {
              m_store.setMuted(m_conversationId, !on);
              refresh();
          });
    m_pin = notices->addSwitch(QStringLiteral("고정"), QStringLiteral("pin"), [this](bool on) {
        m_store.setPinned(m_conversationId, on);
        refresh();
    });
    sections->addWidget(notices);

    m_broadcast = new QWidget(holder);
    m_broadcast->setObjectName(QStringLiteral("broadcast"));
    auto *broadcast = bareBox<QVBoxLayout>(m_broadcast, 6);
    auto *broadcastGroup = new SettingsGroup(m_broadcast);
    m_broadcastSwitch = broadcastGroup->addSwitch(
        QStringLiteral("방송 받기"), QStringLiteral("broadcastSwitch"), [this](bool on) {
            if (const std::optional<Account> peer = roomPeer())
                m_store.setBroadcastOptOut(peer->id, !on);
            refresh();
        });
    broadcast->addWidget(broadcastGroup);
    QLabel *footer = footnote(QStringLiteral("꺼도 이미 받은 안내와 직접 보낸 메시지는 남습니다."),
                              QStringLiteral("broadcastFooter"), m_broadcast);
    footer->setContentsMargins(14, 0, 14, 0);
    broadcast->addWidget(footer);
    sections->addWidget(m_broadcast);
}

QWidget *InfoPanel::buildActions(QWidget *parent)
{
    m_actions = new SettingsGroup(parent);
    m_actions->setObjectName(QStringLiteral("actions"));
    m_leave = m_actions->addAction(QStringLiteral("나가기"), QStringLiteral("leave"), true, [this] {
        confirm(QStringLiteral("대화방에서 나갈까요?"), QStringLiteral("나가기"), true, [this] {
            m_store.leaveGroup(m_conversationId);
            // At once, without waiting for the service: the room pane goes back to the
            // placeholder, which also ends this panel.
            emit left();
        });
    });
    // Lifting a block is easily undone: it runs at once, without asking.
    m_unblock = m_actions->addAction(QStringLiteral("차단 해제"), QStringLiteral("unblock"), false,
                                     [this] {
                                         if (const std::optional<Account> peer = roomPeer())
                                             m_store.unblock(peer->id);
                                     });
    m_block = m_actions->addAction(QStringLiteral("차단"), QStringLiteral("block"), true, [this] {
        confirm(QStringLiteral("차단할까요?"), QStringLiteral("차단"), true, [this] {
            // Looked up again: the room or its peer may have gone meanwhile.
            if (const std::optional<Account> peer = roomPeer())
                m_store.block(peer->id);
        });
    });
    m_clear = m_actions->addAction(
        QStringLiteral("대화 내용 삭제"), QStringLiteral("clear"), true, [this] {
            confirm(QStringLiteral("이 대화의 메시지를 내 화면에서 지울까요?"),
                    QStringLiteral("지우기"), true,
                    [this] { m_store.clearMessages(m_conversationId); });
        });
    m_report = m_actions->addAction(QStringLiteral("신고"), QStringLiteral("report"), true, [this] {
        if (const std::optional<Account> peer = roomPeer())
            emit reportRequested(ReportDraft{QUuid::createUuid(), peer->id, std::nullopt});
    });
    return m_actions;
}

void InfoPanel::refresh()
{
    const std::optional<Conversation> room = m_store.conversation(m_conversationId);
    // An unknown room shows the top bar alone.
    m_body->setVisible(room.has_value());
    if (!room) {
        refreshTitleButtons();
        return;
    }
    if (isVisible())
        fillTitle();
    followSavedTitle();

    const bool group = room->kind == ConversationKind::group;
    const bool owner = m_store.isOwner(*room);
    const bool official = m_store.isOfficial(*room);
    const std::optional<Account> peer = m_store.otherAccount(*room);

    refreshHeader(*room, owner, official, peer);

    m_members->setVisible(group);
    if (group) {
        m_memberModel->refresh();
        const int rows = m_memberModel->rowCount();
        const int rowHeight = rows ? m_memberList->sizeHintForRow(0) : 0;
        m_memberList->setFixedHeight(rows * rowHeight);
        m_memberList->setVisible(rows > 0);
        const bool full = LocalStore::activeMembers(*room).size() >= TextLimit::groupMembers;
        m_invite->setVisible(owner && !full);
        m_cap->setVisible(owner && full);
    }

    m_notify->setChecked(!room->muted);
    m_pin->setChecked(room->pinned);
    m_pin->setVisible(!official);
    m_broadcast->setVisible(official && peer);
    if (official && peer)
        m_broadcastSwitch->setChecked(!m_store.isOptOut(peer->id));

    const bool direct = !group && peer;
    const bool blocked = direct && m_store.blocks().contains(peer->id);
    m_leave->setVisible(group);
    m_unblock->setVisible(direct && blocked);
    m_block->setVisible(direct && !blocked);
    m_clear->setVisible(direct);
    m_report->setVisible(direct);
    m_actions->setVisible(group || direct);
    m_actions->update();
    refreshTitleButtons();
}

void InfoPanel::fillTitle()
{
    // Once, from the stored title: later renames from elsewhere do not overwrite what is typed.
    if (m_titleReady)
        return;
    const std::optional<Conversation> room = m_store.conversation(m_conversationId);
    if (!room)
        return;
    m_titleField->setText(room->title);
    m_titleReady = true;
}

void InfoPanel::refreshTitleButtons()
{
    const std::optional<Conversation> room = m_store.conversation(m_conversationId);
    // "완료" follows the draft as it stands, untrimmed, so it may show where saving would do
    // nothing (a draft of blanks, or the title with a trailing blank).
    m_done->setVisible(room && mayRename(*room) && !sameText(m_titleField->text(), room->title));
    m_save->setVisible(room && canSaveTitle(*room));
}

bool InfoPanel::mayRename(const Conversation &room) const
{
    return m_titleReady && room.kind == ConversationKind::group && m_store.isOwner(room);
}

bool InfoPanel::canSaveTitle(const Conversation &room) const
{
    const QString name = trimmedText(m_titleField->text());
    return mayRename(room) && !name.isEmpty() && !sameText(name, room.title);
}

void InfoPanel::saveTitle()
{
    const std::optional<Conversation> room = m_store.conversation(m_conversationId);
    if (!room || !canSaveTitle(*room))
        return;
    // As typed: the store trims the name and cuts it to 40 characters.
    m_savedTitle = m_titleField->text();
    m_store.rename(m_conversationId, *m_savedTitle);
    followSavedTitle();
    refreshTitleButtons();
}

// Once the store holds the name that was saved (at once, or when the service has answered), the
// field shows it as stored: trimmed and cut. A name typed since is left alone.
void InfoPanel::followSavedTitle()
{
    if (!m_savedTitle)
        return;
    const std::optional<Conversation> room = m_store.conversation(m_conversationId);
    if (m_titleField->text() != *m_savedTitle) {
        m_savedTitle.reset();
        return;
    }
    if (!room || room->title != LocalStore::storedTitle(*m_savedTitle))
        return;
    m_savedTitle.reset();
    if (m_titleField->text() != room->title)
        m_titleField->setText(room->title);
}

std::optional<Account> InfoPanel::roomPeer() const
{
    const std::optional<Conversation> room = m_store.conversation(m_conversationId);
    return room ? m_store.otherAccount(*room) : std::nullopt;
}

void InfoPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fillTitle();
    refreshTitleButtons();
}

void InfoPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Minimising the window is no leaving.
    if (!event->spontaneous())
        saveTitle();
}
