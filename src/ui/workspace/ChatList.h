#pragma once

#include <QSet>
#include <QUuid>
#include <QWidget>

#include <optional>

class ChatSearchField;
class LocalStore;
class Navigation;
class RoomListModel;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QToolButton;
class WideButton;

// The conversation list of the sidebar: the search field and the new-conversation button above
// the rooms, the rooms themselves with their selection (which follows the open page) and row
// menus, and an empty state over the list. It reads the search text and the open page from the
// navigation state and asks the workspace for every change of them; it remembers on its own
// the rooms it has seen (to bring a new arrival into view) and the room at its top edge.
class ChatList : public QWidget
{
    Q_OBJECT
public:
    ChatList(LocalStore &store, const Navigation &navigation, QWidget *parent = nullptr);

    RoomListModel *model() const { return m_model; }
    QListView *view() const { return m_view; }
    QLineEdit *searchField() const;
    QToolButton *newChatButton() const { return m_newChat; }
    WideButton *startButton() const { return m_start; }
    QLabel *noMatchLabel() const { return m_noMatch; }

    // The context menu of one room as the store holds it now: pin, notifications, then delete
    // (an official account's room) or leave. The caller owns it; null for an unknown room.
    QMenu *rowMenu(const QUuid &roomId, QWidget *parent);

    // The rooms the list has seen, and the room at its top edge (null until scrolled or until a
    // new room is brought into view).
    QSet<QUuid> knownRoomIDs() const { return m_knownRoomIDs; }
    std::optional<QUuid> chatScroll() const { return m_chatScroll; }

signals:
    void queryEdited(const QString &query);
    void newChatRequested();
    // A row chosen; a click or Return on a row (or a screen reader's "Press") asks to write in
    // the room.
    void roomRequested(const QUuid &roomId);
    void writeRequested(const QUuid &roomId);
    void leaveRequested(const QUuid &roomId);
    // An official account's room was taken off the list.
    void hidden(const QUuid &roomId);

private:
    void prepareParts();
    void layOut();
    void followModel();
    void connectRequests();
    void noteRooms(const QList<QUuid> &ids);
    void listedIdsChanged();
    void followPage();
    void selectionMoved();
    void bringToTop(const QUuid &roomId);
    void noteTopRow();
    void updateEmptyState();
    void showRowMenu(const QPoint &pos);

    LocalStore &m_store;
    const Navigation &m_navigation;
    RoomListModel *m_model;
    ChatSearchField *m_search;
    QToolButton *m_newChat;
    QListView *m_view;
    WideButton *m_start;
    QLabel *m_noMatch;
    QSet<QUuid> m_knownRoomIDs;
    std::optional<QUuid> m_chatScroll;
    // Set while the list's selection or scroll position is being made to follow the
    // navigation state or the remembered room, so that the list does not note it back.
    bool m_following = false;
    bool m_syncing = false; // the model is bringing its rows up to date
    bool m_layoutDue = false;
};
