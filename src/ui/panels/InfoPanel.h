#pragma once

#include "model/HandOver.h"
#include "ui/panels/PageBase.h"

#include <QDialog>
#include <QPointer>
#include <QUuid>

#include <optional>

struct Account;
class AvatarView;
struct Conversation;
class LineLimitedText;
class LocalStore;
class MemberListModel;
class PersonLabel;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QScrollArea;
class RowButton;
class SettingsGroup;

// The room's information, shown by the room pane in place of its transcript and composer. A group
// shows its photo, name and members (its owner may change the photo and the name, remove members
// and invite friends) and can be left; a direct room shows its peer and can block, clear and
// report; every room has the notification and pinning switches, a room with an official account
// the broadcast switch. Everything shown is read from the store, and every action is one store
// operation. An edited group name is saved by "완료", "저장", Return, and when the panel leaves
// the screen.
class InfoPanel : public PageBase
{
    Q_OBJECT
public:
    InfoPanel(LocalStore &store, const QUuid &conversationId, QWidget *parent = nullptr);
    ~InfoPanel() override;

    // The member-invite sheet's dialog while it is up.
    QDialog *inviteDialog() const { return m_inviteDialog; }

signals:
    // "신고" of a direct room's peer.
    void reportRequested(const ReportDraft &draft);
    // A member's row or the peer's photo was pressed.
    void profileRequested(const QUuid &userId);
    // The user left the group: the room is no longer theirs to show.
    void left();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // The first section (InfoPanelHeader.cpp): a group's photo and name, or the peer.
    QWidget *buildHeader(QWidget *parent);
    QWidget *buildGroupHeader(QWidget *parent);
    QWidget *buildOfficialHeader(QWidget *parent);
    void refreshHeader(const Conversation &room, bool owner, bool official,
                       const std::optional<Account> &peer);
    void pickPhoto();

    QWidget *buildMembers(QWidget *parent);
    void addSwitches(QVBoxLayout *sections);
    QWidget *buildActions(QWidget *parent);

    void refresh();
    void refreshTitleButtons();
    void fillTitle();
    // Whether the user may rename `room` here: its owner, once the field holds its name.
    bool mayRename(const Conversation &room) const;
    bool canSaveTitle(const Conversation &room) const;
    // The other person of a direct room, looked up afresh.
    std::optional<Account> roomPeer() const;
    void saveTitle();
    void followSavedTitle();

    LocalStore &m_store;
    const QUuid m_conversationId;
    bool m_titleReady = false;
    bool m_expanded = false; // the official account's description is unfolded
    // The name as typed when it was last saved, until the store holds it.
    std::optional<QString> m_savedTitle;

    QPushButton *m_done;
    QScrollArea *m_body;
    QWidget *m_header;
    QWidget *m_group;
    QAbstractButton *m_photoButton;
    AvatarView *m_ownerPhoto;
    AvatarView *m_memberPhoto;
    QLabel *m_memberTitle;
    QPushButton *m_file;
    QLineEdit *m_titleField;
    QPushButton *m_save;
    QWidget *m_official;
    AvatarView *m_officialPhoto;
    QLabel *m_officialName;
    LineLimitedText *m_bio;
    QPushButton *m_more;
    QLabel *m_closedNote;
    RowButton *m_person;
    PersonLabel *m_personLabel;
    SettingsGroup *m_members;
    MemberListModel *m_memberModel;
    QListView *m_memberList;
    QAbstractButton *m_invite;
    QLabel *m_cap;
    QAbstractButton *m_notify;
    QAbstractButton *m_pin;
    QWidget *m_broadcast;
    QAbstractButton *m_broadcastSwitch;
    SettingsGroup *m_actions;
    QAbstractButton *m_leave;
    QAbstractButton *m_block;
    QAbstractButton *m_unblock;
    QAbstractButton *m_clear;
    QAbstractButton *m_report;
    QPointer<QDialog> m_inviteDialog;
};
