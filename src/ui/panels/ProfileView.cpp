#include "ui/panels/ProfileView.h"

#include "model/Account.h"
#include "store/LocalStore.h"
#include "ui/common/AvatarView.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DisplayText.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/common/WideButton.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScrollArea>

ProfileView::ProfileView(LocalStore &store, const QUuid &userId, QWidget *parent)
    : PageBase(QStringLiteral("profilePage"), parent)
    , m_store(store)
    , m_userId(userId)
{
    auto *content = new QWidget;
    QVBoxLayout *column = formColumn(16, content);
    QWidget *holder = column->parentWidget();
    m_scroll = scroller(content);
    bareBox<QVBoxLayout>(this)->addWidget(m_scroll);

    // The photo, the name with its mark and the handle, centred across the column.
    m_avatar = new AvatarView(96, holder);
    m_avatar->setObjectName(QStringLiteral("avatar"));
    m_name = PanelParts::label(QString(), QStringLiteral("name"), ChatFont::title2(), holder,
                               PanelParts::Ink::Normal, PanelParts::Wrap::Yes);
    m_name->setAlignment(Qt::AlignCenter);
    m_mark = new OfficialMark(holder);
    m_handle = PanelParts::label(QString(), QStringLiteral("handle"), ChatFont::subheadline(),
                                 holder, PanelParts::Ink::Secondary);
    m_handle->setAlignment(Qt::AlignCenter);
    auto *nameRow = bareBox<QHBoxLayout>(nullptr, 6);
    nameRow->addStretch(1);
    nameRow->addWidget(m_name);
    nameRow->addWidget(m_mark, 0, Qt::AlignVCenter);
    nameRow->addStretch(1);
    auto *header = bareBox<QVBoxLayout>(nullptr, 8);
    header->addWidget(m_avatar, 0, Qt::AlignHCenter);
    header->addLayout(nameRow);
    header->addWidget(m_handle);
    column->addLayout(header);

    m_bio = PanelParts::label(QString(), QStringLiteral("bio"), QFont(), holder,
                              PanelParts::Ink::Normal, PanelParts::Wrap::Yes);
    m_bio->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_bio);
    m_closedInbox = PanelParts::label(kClosedInboxText, QStringLiteral("closedInbox"),
                                      ChatFont::subheadline(), holder, PanelParts::Ink::Secondary,
                                      PanelParts::Wrap::Yes);
    column->addWidget(m_closedInbox);
    column->addWidget(actions(holder));

    new StoreRedraw(
        m_store,
        {&LocalStore::accountsChanged, &LocalStore::blocksChanged, &LocalStore::friendsChanged,
         &LocalStore::conversationsChanged, &LocalStore::sessionChanged},
        [this] { refresh(); }, this);
    refresh();
}

// Every action has its button; refresh() shows those that fit, in this order.
QWidget *ProfileView::actions(QWidget *holder)
{
    m_actions = new QWidget(holder);
    auto *buttons = bareBox<QVBoxLayout>(m_actions, 8);
    using Role = WideButton::Role;
    const auto add = [&](const QString &title, const QString &name, Role role,
                         std::function<void()> action = {}) {
        WideButton *button = PanelParts::wideButton(title, name, m_actions, role);
        buttons->addWidget(button);
        if (action)
            connect(button, &WideButton::clicked, this, std::move(action));
        return button;
    };
    m_accept = add(QStringLiteral("수락"), QStringLiteral("accept"), Role::Normal,
                   [this] { m_store.acceptFriend(m_userId); });
    m_reject = add(QStringLiteral("거절"), QStringLiteral("reject"), Role::Destructive,
                   [this] { m_store.rejectFriend(m_userId); });
    m_requested = add(QStringLiteral("요청함"), QStringLiteral("requested"), Role::Normal);
    m_requested->setDisabled(true);
    m_talk = add(QStringLiteral("대화"), QStringLiteral("talk"), Role::Normal,
                 [this] { emit chatRequested(m_userId); });
    m_request = add(QStringLiteral("친구 요청"), QStringLiteral("request"), Role::Normal,
                    [this] { m_store.requestFriend(m_userId); });
    m_unblock = add(QStringLiteral("차단 해제"), QStringLiteral("unblock"), Role::Normal,
                    [this] { m_store.unblock(m_userId); });
    m_block = add(QStringLiteral("차단"), QStringLiteral("block"), Role::Destructive, [this] {
        LocalStore &store = m_store;
        confirm(QStringLiteral("차단할까요?"), QStringLiteral("차단"), true,
                [&store, id = m_userId] { store.block(id); });
    });
    add(QStringLiteral("신고"), QStringLiteral("report"), Role::Destructive, [this] {
        // A fresh id each time: a second report of the same person is a new request.
        emit reportRequested(ReportDraft{QUuid::createUuid(), m_userId, std::nullopt});
    });
    return m_actions;
}

void ProfileView::refresh()
{
    const std::optional<Account> account = m_store.account(m_userId);
    m_scroll->setVisible(account.has_value());
    if (!account)
        return;

    const bool official = account->kind == AccountKind::official;
    m_avatar->setAvatar(account->displayName, account->avatarJPEG, account->avatarURL);
    m_name->setText(DisplayText::name(account->displayName));
    m_mark->setVisible(official);
    m_handle->setText(QStringLiteral("@") + account->handle);
    m_handle->setVisible(!account->handle.isEmpty());
    // A bio is a body of text like a message: shown as one, isolated from what surrounds it.
    m_bio->setText(DisplayText::isolated(account->bio));
    m_bio->setVisible(official && !account->bio.isEmpty());
    m_closedInbox->setVisible(official && !account->acceptsUserMessages);

    // Without anybody signed in the actions are offered all the same.
    const std::optional<Account> me = m_store.me();
    const bool mine = me && me->id == m_userId;
    m_actions->setVisible(!mine);

    const bool blocked = m_store.blocks().contains(m_userId);
    const std::optional<FriendState> state = m_store.friendState(m_userId);
    // A person's one choice by friend state; a blocked person keeps only "대화" among them.
    const bool person = !official;
    const bool open = !blocked && person;
    m_accept->setVisible(open && state == FriendState::incoming);
    m_reject->setVisible(open && state == FriendState::incoming);
    m_requested->setVisible(open && state == FriendState::outgoing);
    m_request->setVisible(open && !state);
    m_talk->setVisible(official ? !blocked : state == FriendState::friends);
    m_unblock->setVisible(blocked);
    m_block->setVisible(person && !blocked);
}
