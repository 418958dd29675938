#include "ui/panels/MacBlockedList.h"

#include "store/LocalStore.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/panels/BlockedListModel.h"
#include "ui/panels/BlockedRowDelegate.h"
#include "ui/panels/PanelParts.h"
#include "ui/panels/StoreRedraw.h"

#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QStackedLayout>

MacBlockedList::MacBlockedList(LocalStore &store, std::function<void()> onClose, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_model(new BlockedListModel(store, this))
{
    setObjectName(QStringLiteral("blockedList"));

    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("list"));
    m_list->setAccessibleName(QStringLiteral("차단 목록"));
    m_list->setModel(m_model);
    auto *delegate = new BlockedRowDelegate(m_list);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(delegate, &BlockedRowDelegate::actionClicked, this, &MacBlockedList::unblock);
    // Avatars decode off the paint path; repaint the rows when one is ready.
    connect(DecodedImageCache::shared(), &DecodedImageCache::ready, m_list->viewport(),
            qOverload<>(&QWidget::update));

    // The empty list is a single row with the text.
    auto *emptyPage = new QWidget(this);
    emptyPage->setBackgroundRole(QPalette::Base);
    emptyPage->setAutoFillBackground(true);
    auto *emptyLayout = new QVBoxLayout(emptyPage);
    emptyLayout->setContentsMargins(BlockedRowDelegate::padding, 14, BlockedRowDelegate::padding,
                                    0);
    m_empty = new QLabel(emptyText(), emptyPage);
    m_empty->setObjectName(QStringLiteral("empty"));
    m_empty->setFont(ChatFont::subheadline());
    ChatColor::keepSecondary(m_empty);
    emptyLayout->addWidget(m_empty);
    emptyLayout->addStretch(1);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(6);
    page->addWidget(PanelParts::headerRow(QStringLiteral("차단 목록"), onClose, this));
    m_body = new QStackedLayout;
    m_body->addWidget(m_list);
    m_body->addWidget(emptyPage);
    page->addLayout(m_body, 1);

    new StoreRedraw(
        m_store, {&LocalStore::blocksChanged, &LocalStore::accountsChanged}, [this] { refresh(); },
        this);
    refresh();
}

void MacBlockedList::refresh()
{
    m_model->refresh();
    m_body->setCurrentIndex(m_model->rowCount() == 0 ? 1 : 0);
}

void MacBlockedList::unblock(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    // The row goes on the next refresh, once the store's list has changed.
    m_store.unblock(index.data(BlockedListModel::IdRole).toUuid());
}
