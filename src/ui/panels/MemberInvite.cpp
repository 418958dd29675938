#include "ui/panels/MemberInvite.h"

#include "store/LocalStore.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/panels/PersonRows.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QStackedLayout>

namespace {

// The friends that may be invited: not active members (a former member may come back), not
// blocked, in the friend list's order. With the room unknown, no one counts as a member.
QList<Account> candidates(const LocalStore &store, const QUuid &roomId)
{
    QList<QUuid> excluded = store.blocks();
    if (const std::optional<Conversation> room = store.conversation(roomId)) {
        for (const Membership &member : LocalStore::activeMembers(*room))
            excluded.append(member.userId);
    }
    QList<Account> result = store.friendAccounts();
    result.removeIf([&](const Account &account) { return excluded.contains(account.id); });
    return result;
}

} // namespace

MemberInvite::MemberInvite(LocalStore &store, const QUuid &conversationId, QWidget *parent)
    : PageBase(QStringLiteral("memberInvite"), parent)
{
    auto *model = new AccountListModel(
        [&store, conversationId] { return candidates(store, conversationId); }, this);
    // A push button, as in the new-conversation sheet: the two sheets' headers look alike.
    QWidget *header = titleBar(QStringLiteral("멤버 초대"), cancelButton());

    auto *list = new QListView(this);
    setUpList(list, model, QStringLiteral("list"), QStringLiteral("친구"));
    auto *delegate = new PersonRowDelegate(list);
    // Inviting is easily undone: it runs at once, and the sheet stays for the next friend.
    connect(delegate, &PersonRowDelegate::personClicked, this,
            [&store, conversationId](const QModelIndex &index) {
                store.invite(conversationId, index.data(AccountListModel::IdRole).toUuid());
            });
    // The sheet opens on its friends, not on "취소".
    PanelParts::focusWhenShown(this, list);

    QVBoxLayout *column = pageColumn(16, 8);
    column->addWidget(header);
    QLabel *empty = PanelParts::label(emptyText(), QStringLiteral("empty"), QFont(), nullptr,
                                      PanelParts::Ink::Secondary);
    column->addLayout(listOrEmpty(list, empty), 1);

    new StoreRedraw(
        store,
        {&LocalStore::conversationsChanged, &LocalStore::friendsChanged,
         &LocalStore::accountsChanged, &LocalStore::blocksChanged,
         &LocalStore::hiddenRoomIDsChanged, &LocalStore::sessionChanged},
        [model] { model->refresh(); }, this);
}
