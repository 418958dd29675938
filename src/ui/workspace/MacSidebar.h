#pragma once

#include <QWidget>

class LocalStore;
class MacNavigation;

// The sidebar: title row, section picker, search, the chat list or the friend list.
class MacSidebar : public QWidget
{
    Q_OBJECT
public:
    MacSidebar(LocalStore &store, MacNavigation &navigation, QWidget *parent = nullptr);

private:
    LocalStore &m_store;
    MacNavigation &m_navigation;
};
