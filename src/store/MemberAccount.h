#pragma once

#include "model/Account.h"
#include "model/Enums.h"

#include <QString>

#include <optional>

// What a room's member entry says of the member's account, merged over `account`: the one the
// store holds, or, when `held` is false, a fresh one that has only its id. `Member` is a member
// of the room list or of a sync page. A handle, name, kind or photo the entry leaves out keeps
// what was held; an account first seen here is verified exactly when it is official (the
// service lists only genuine ones).
template<typename Member>
void mergeMemberAccount(Account &account, bool held, const Member &member)
{
    // The room list always names the kind; a sync page may leave it out.
    const std::optional<QString> &kind = member.kind;
    if (kind)
        account.kind = fromRawText<AccountKind>(*kind).value_or(AccountKind::person);
    if (!held)
        account.verified = account.kind == AccountKind::official;
    account.handle = member.handle.value_or(account.handle);
    account.displayName = member.displayName.value_or(account.displayName);
    if (member.avatarUrl)
        account.avatarURL = member.avatarUrl;
    account.acceptsUserMessages = member.acceptsUserMessages;
}
