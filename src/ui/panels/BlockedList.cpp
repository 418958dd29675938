#include "ui/panels/BlockedList.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/panels/PersonRows.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStackedLayout>

namespace {

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
    // Opened, the page has the keyboard on its list, or on "닫기" while nobody is blocked.
    PanelParts::focusWhenShown(this, list, findChild<QPushButton *>(QStringLiteral("close")));

    new StoreRedraw(
        store, {&LocalStore::blocksChanged, &LocalStore::accountsChanged},
        [model] { model->refresh(); }, this);
}
