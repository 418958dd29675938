#pragma once

#include "model/HandOver.h"
#include "ui/panels/PageBase.h"

class LocalStore;

// The sheet that answers a friend request met through somebody's invite link: "수락", "거절",
// or "닫기", which leaves the request unanswered. Each of them clears the store's pending
// outcome (which is what keeps the sheet up) and asks the host to close the sheet.
class InviteRequest : public PageBase
{
    Q_OBJECT
public:
    InviteRequest(LocalStore &store, const InviteOutcome &outcome, QWidget *parent = nullptr);

    const InviteOutcome &outcome() const { return m_outcome; }

private:
    LocalStore &m_store;
    InviteOutcome m_outcome;
};
