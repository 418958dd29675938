// Redeeming an invite code with the service and acting on its answer.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "store/StoreCall.h"

QCoro::Task<> LocalStore::redeemInvite(QString code)
{
    if (!m_client)
        co_return;
    m_redeemingInvite = true;
    const bool alive = co_await StoreCall::settle(this, lookUpInvite(std::move(code)));
    if (!alive)
        co_return;
    m_redeemingInvite = false;
    // The newest link that came meanwhile, if any.
    redeemPendingInvite();
}

QCoro::Task<> LocalStore::lookUpInvite(QString code)
{
    const std::optional<InviteOpenBody> found
        = co_await StoreCall::attempt(this, m_client->openInvite(code));
    if (!found)
        co_return;
    const InviteOpenBody &answer = *found;
    if (answer.result == u"requested") {
        showNotice(QStringLiteral("친구 요청을 보냈습니다."));
    } else if (answer.result == u"already_requested") {
        showNotice(QStringLiteral("요청함"));
    } else if (answer.result == u"self") {
        showNotice(QStringLiteral("내 초대 링크입니다."));
    } else if (answer.result == u"friends") {
        showNotice(QStringLiteral("이미 친구입니다."));
        const bool alive = co_await StoreCall::settle(this, reloadRemote());
        if (!alive)
            co_return;
        if (answer.conversationId)
            setInviteFollow(InviteFollow{QUuid::createUuid(), *answer.conversationId});
    } else if (answer.result == u"incoming") {
        // Without a request id there is nothing the sheet could accept or decline.
        if (answer.requestId)
            setInviteOutcome(InviteOutcome{QUuid::createUuid(), *answer.requestId, answer.userId});
        else
            showNotice(QStringLiteral("초대 링크가 올바르지 않습니다."));
    } else {
        showNotice(QStringLiteral("초대 링크가 올바르지 않습니다."));
    }
}
