#pragma once

#include "ui/workspace/Navigation.h"

#include <QWidget>

class LocalStore;
class FriendListModel;
class QAbstractButton;
class QLabel;
class QListView;
class QPushButton;

// The friend list of the sidebar: the user's own row, the "친구 추가" and "초대 링크" buttons and,
// while the user has no contacts, a hint; below them the painted list of received requests,
// friends and official accounts (FriendListModel). Everything it opens it asks the workspace
// for; accepting and declining go to the store.
class FriendList : public QWidget
{
    Q_OBJECT
public:
    FriendList(LocalStore &store, const Navigation &navigation, QWidget *parent = nullptr);

    FriendListModel *model() const { return m_model; }
    QListView *view() const { return m_view; }
    QAbstractButton *ownRow() const { return m_ownRow; }
    QPushButton *addFriendButton() const { return m_addFriend; }
    QPushButton *inviteButton() const { return m_invite; }
    QLabel *hint() const { return m_hint; }

signals:
    // The user's own row, the invite button and a person's row each open a page.
    void pageRequested(const Page &page);
    void newChatRequested();

private:
    void layOut();
    void prepareList();
    void followStore();

    LocalStore &m_store;
    FriendListModel *m_model;
    QAbstractButton *m_ownRow;
    QPushButton *m_addFriend;
    QPushButton *m_invite;
    QLabel *m_hint;
    QListView *m_view;
};
