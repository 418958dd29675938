#pragma once

#include "ui/panels/PageBase.h"

class LocalStore;

// The sheet that answers a friend request met through somebody's invite link: "수락", "거절",
// or "닫기", which leaves the request unanswered. Each of them clears the store's pending
// outcome (which is what keeps the sheet up) and asks the host to close the sheet.
class InviteRequest : public PageBase
{
    Q_OBJECT
public:
    explicit InviteRequest(LocalStore &store, QWidget *parent = nullptr);
};
