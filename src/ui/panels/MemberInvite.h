#pragma once

#include "ui/panels/PageBase.h"

#include <QUuid>

class LocalStore;

// The sheet in which a group's owner adds friends to it: the friends who are neither active
// members of the room nor blocked, in the friend list's order. A tap invites at once and the
// sheet stays open; an invited friend leaves the list as soon as the store lists them as a
// member. "취소" asks the host to close the sheet.
class MemberInvite : public PageBase
{
    Q_OBJECT
public:
    MemberInvite(LocalStore &store, const QUuid &conversationId, QWidget *parent = nullptr);

    static QString emptyText() { return QStringLiteral("초대할 친구가 없습니다."); }

    QSize sizeHint() const override { return QSize(420, 360); }
};
