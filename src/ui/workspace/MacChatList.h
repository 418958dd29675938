#pragma once

#include <QUuid>
#include <QWidget>

class LocalStore;
class MacConversationRow;
class MacNavigation;
class MacRoomListModel;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QToolButton;
class WideButton;

// The conversation list of the sidebar: the search field and the new-conversation button above
// the rooms, the rooms themselves with their selection (which follows the open page) and row
// menus, and an empty state over the list. It keeps its memory in the navigation state: the
// search text, the rooms it has seen (to bring a new arrival into view) and the room at its top
// edge.
class MacChatList : public QWidget
{
    Q_OBJECT
public:
    MacChatList(LocalStore &store, MacNavigation &navigation, QWidget *parent = nullptr);

    MacRoomListModel *model() const { return m_model; }
    QListView *view() const { return m_view; }
    QLineEdit *searchField() const { return m_search; }
    QToolButton *newChatButton() const { return m_newChat; }
    WideButton *startButton() const { return m_start; }
    QLabel *noMatchLabel() const { return m_noMatch; }

    // The context menu of one room as the store holds it now: pin, notifications, then delete
    // (an official account's room) or leave. The caller owns it; null for an unknown room.
    QMenu *rowMenu(const QUuid &roomId, QWidget *parent);

    // The list is shown (again): note its rooms, revealing one that arrived meanwhile.
    void appear();

private:
    void noteRooms(const QList<QUuid> &ids);
    void listedIdsChanged();
    void followPage();
    void selectionMoved();
    void followChatScroll();
    void noteTopRow();
    void updateEmptyState();
    void showRowMenu(const QPoint &pos);

    LocalStore &m_store;
    MacNavigation &m_navigation;
    MacRoomListModel *m_model;
    MacConversationRow *m_rowDelegate;
    QLineEdit *m_search;
    QToolButton *m_newChat;
    QListView *m_view;
    WideButton *m_start;
    QLabel *m_noMatch;
    // Set while the list's selection or scroll position is being made to follow the
    // navigation state, so that the list does not write it back.
    bool m_following = false;
    bool m_syncing = false; // the model is bringing its rows up to date
    bool m_layoutDue = false;
};
