#pragma once

#include "ui/workspace/Navigation.h"

#include <QButtonGroup>
#include <QWidget>

class LocalStore;
class ChatList;
class FriendList;
class QAbstractButton;
class QStackedWidget;

// The segmented picker between the sidebar's two lists: "대화" and "친구", one segment per
// Section. Each segment is a real button, so the keyboard and screen readers reach it.
class SectionPicker : public QWidget
{
    Q_OBJECT
public:
    explicit SectionPicker(QWidget *parent = nullptr);

    QAbstractButton *segment(Section section) const { return m_group->button(int(section)); }

signals:
    void picked(Section section);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QButtonGroup *m_group;
};

// The sidebar: the title row, the picker between the conversation list and the friend list, the
// chosen list, and the settings button at the foot. It follows the navigation state and asks the
// workspace for every change of it (its own and its lists' requests); everything it changes in
// the data goes through a store operation.
class Sidebar : public QWidget
{
    Q_OBJECT
public:
    Sidebar(LocalStore &store, const Navigation &navigation, QWidget *parent = nullptr);

    ChatList *chatList() const { return m_chatList; }
    FriendList *friendList() const { return m_friendList; }
    // The list of the section on show.
    QWidget *shownList() const;
    // The colour of the foot's "설정" under `palette`.
    static QColor settingsInk(const QPalette &palette);
    SectionPicker *sectionPicker() const { return m_picker; }
    QAbstractButton *settingsButton() const { return m_settings; }

signals:
    void sectionPicked(Section section);
    void settingsRequested();

private:
    SectionPicker *m_picker;
    QStackedWidget *m_lists; // the lists, in the order of Section
    ChatList *m_chatList;
    FriendList *m_friendList;
    QAbstractButton *m_settings;
};
