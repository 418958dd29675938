#pragma once

#include "ui/panels/PageBase.h"

class BlockedListModel;
class LocalStore;
class QLabel;
class QListView;
class QStackedLayout;

// The block list page: the blocked accounts that the store lists, each with "해제", which lifts
// the block at once without asking. The list follows the store: a lifted block leaves it, a
// block that the service refused to lift comes back.
class BlockedList : public PageBase
{
    Q_OBJECT
public:
    explicit BlockedList(LocalStore &store, QWidget *parent = nullptr);

    static QString emptyText() { return QStringLiteral("차단한 계정이 없습니다."); }

private:
    void setUpRows();
    QWidget *emptyPage();
    void refresh();
    void unblock(const QModelIndex &index);

    LocalStore &m_store;
    BlockedListModel *m_model;
    QListView *m_list;
    QLabel *m_empty;
    QStackedLayout *m_body;
};
