#pragma once

#include "ui/workspace/MacNavigation.h"

#include <QWidget>

class LocalStore;
class MacChatList;
class MacFriendList;
class MacSectionPicker;
class QAbstractButton;
class QStackedWidget;

// The sidebar: the title row, the picker between the conversation list and the friend list, the
// chosen list, and the settings button at the foot. It follows the navigation state and asks the
// workspace for every change of it (its own and its lists' requests); everything it changes in
// the data goes through a store operation.
class MacSidebar : public QWidget
{
    Q_OBJECT
public:
    MacSidebar(LocalStore &store, const MacNavigation &navigation, QWidget *parent = nullptr);

    MacChatList *chatList() const { return m_chatList; }
    MacFriendList *friendList() const { return m_friendList; }
    MacSectionPicker *sectionPicker() const { return m_picker; }
    QAbstractButton *settingsButton() const { return m_settings; }

signals:
    void sectionPicked(MacSection section);
    void settingsRequested();

private:
    void followSection();

    LocalStore &m_store;
    const MacNavigation &m_navigation;
    MacSectionPicker *m_picker;
    QStackedWidget *m_lists;
    MacChatList *m_chatList;
    MacFriendList *m_friendList;
    QAbstractButton *m_settings;
};
