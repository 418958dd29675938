#pragma once

#include "model/HandOver.h"
#include "ui/panels/PageBase.h"

#include <QUuid>

class AvatarView;
class LocalStore;
class OfficialMark;
class QLabel;
class QScrollArea;
class WideButton;

// Another account's profile: the photo, name and handle (and, for an official account, its
// introduction), with the actions that fit the account, the block list and the friend state.
// Everything is read from the store on each redraw, so the buttons follow a block or a friend
// request as soon as the store has it. An account the store does not know shows an empty page;
// one's own account shows no actions.
class ProfileView : public PageBase
{
    Q_OBJECT
public:
    ProfileView(LocalStore &store, const QUuid &userId, QWidget *parent = nullptr);

signals:
    // "신고": the workspace raises the report sheet for the draft.
    void reportRequested(const ReportDraft &draft);
    // "대화": the workspace opens the direct room with this account.
    void chatRequested(const QUuid &userId);

private:
    QWidget *actions(QWidget *holder);
    void refresh();

    LocalStore &m_store;
    QUuid m_userId;

    QScrollArea *m_scroll;
    AvatarView *m_avatar;
    QLabel *m_name;
    OfficialMark *m_mark;
    QLabel *m_handle;
    QLabel *m_bio;
    QLabel *m_closedInbox;
    QWidget *m_actions;
    WideButton *m_accept;
    WideButton *m_reject;
    WideButton *m_requested;
    WideButton *m_talk;
    WideButton *m_request;
    WideButton *m_unblock;
    WideButton *m_block;
};
