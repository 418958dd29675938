#include "ui/panels/BlockedList.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/panels/BlockedListModel.h"
#include "ui/panels/BlockedRowDelegate.h"
#include "ui/panels/PanelParts.h"
#include "ui/panels/StoreRedraw.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QStackedLayout>

BlockedList::BlockedList(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("blockedList"), parent)
    , m_store(store)
    , m_model(new BlockedListModel(store, this))
    , m_list(new QListView(this))
{
    setUpRows();
    auto *page = bareBox<QVBoxLayout>(this, 6);
    page->addWidget(listTitleBar(QStringLiteral("차단 목록")));
    m_body = new QStackedLayout;
    m_body->addWidget(m_list);
    m_body->addWidget(emptyPage());
    page->addLayout(m_body, 1);

    new StoreRedraw(
        m_store, {&LocalStore::blocksChanged, &LocalStore::accountsChanged}, [this] { refresh(); },
        this);
    refresh();
}

void BlockedList::setUpRows()
{
    setUpList(m_list, m_model, QStringLiteral("list"), QStringLiteral("차단 목록"));
    auto *delegate = new BlockedRowDelegate(m_list);
    connect(delegate, &BlockedRowDelegate::actionClicked, this, &BlockedList::unblock);
}

// The empty list is a single row with the text.
QWidget *BlockedList::emptyPage()
{
    auto *emptyPage = new QWidget(this);
    emptyPage->setBackgroundRole(QPalette::Base);
    emptyPage->setAutoFillBackground(true);
    auto *emptyLayout = new QVBoxLayout(emptyPage);
    emptyLayout->setContentsMargins(BlockedRowDelegate::padding, 14, BlockedRowDelegate::padding,
                                    0);
    m_empty = PanelParts::label(emptyText(), QStringLiteral("empty"), ChatFont::subheadline(),
                                emptyPage, PanelParts::Ink::Secondary);
    emptyLayout->addWidget(m_empty);
    emptyLayout->addStretch(1);
    return emptyPage;
}

void BlockedList::refresh()
{
    m_model->refresh();
    m_body->setCurrentIndex(m_model->rowCount() == 0 ? 1 : 0);
}

void BlockedList::unblock(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    // The row goes on the next refresh, once the store's list has changed.
    m_store.unblock(index.data(BlockedListModel::IdRole).toUuid());
}
