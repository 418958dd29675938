#pragma once

#include <QWidget>

class LocalStore;
class MacFriendListModel;
class MacNavigation;
class MacPersonRow;
class QAbstractButton;
class QLabel;
class QListView;
class QPushButton;

// The friend list of the sidebar: the user's own row, the "친구 추가" and "초대 링크" buttons and,
// while the user has no contacts, a hint; below them the painted list of received requests,
// friends and official accounts (MacFriendListModel). Everything it opens goes through the
// navigation state; accepting and declining go to the store.
class MacFriendList : public QWidget
{
    Q_OBJECT
public:
    MacFriendList(LocalStore &store, MacNavigation &navigation, QWidget *parent = nullptr);

    MacFriendListModel *model() const { return m_model; }
    QListView *view() const { return m_view; }
    QAbstractButton *ownRow() const { return m_ownRow; }
    QPushButton *addFriendButton() const { return m_addFriend; }
    QPushButton *inviteButton() const { return m_invite; }
    QLabel *hint() const { return m_hint; }

private:
    void followStore();

    LocalStore &m_store;
    MacNavigation &m_navigation;
    MacFriendListModel *m_model;
    QAbstractButton *m_ownRow;
    QPushButton *m_addFriend;
    QPushButton *m_invite;
    QLabel *m_hint;
    QListView *m_view;
    MacPersonRow *m_rowDelegate;
};
