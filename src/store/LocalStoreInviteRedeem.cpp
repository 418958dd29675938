// Redeeming an invite code with the service and acting on its answer.

#include "store/LocalStore.h"

#include "api/ChatClient.h"

#include <QPointer>

QCoro::Task<> LocalStore::redeemInvite(QString code)
{
    if (!m_client)
        co_return;
    QPointer<LocalStore> self(this);
    m_redeemingInvite = true;
    co_await lookUpInvite(std::move(code));
    if (!self)
        co_return;
    m_redeemingInvite = false;
    // The newest link that came meanwhile, if any.
    redeemPendingInvite();
}

QCoro::Task<> LocalStore::lookUpInvite(QString code)
{
    QPointer<LocalStore> self(this);
    try {
        const InviteOpenBody answer = co_await m_client->openInvite(code);
        if (!self)
            co_return;
        if (answer.result == u"requested") {
            showNotice(QStringLiteral("친구 요청을 보냈습니다."));
        } else if (answer.result == u"already_requested") {
            showNotice(QStringLiteral("요청함"));
        } else if (answer.result == u"self") {
            showNotice(QStringLiteral("내 초대 링크입니다."));
        } else if (answer.result == u"friends") {
            showNotice(QStringLiteral("이미 친구입니다."));
            co_await reloadRemote();
            if (!self)
                co_return;
            if (answer.conversationId)
                setInviteFollow(InviteFollow{QUuid::createUuid(), *answer.conversationId});
        } else if (answer.result == u"incoming") {
            // Without a request id there is nothing the sheet could accept or decline.
            if (answer.requestId)
                setInviteOutcome(
                    InviteOutcome{QUuid::createUuid(), *answer.requestId, answer.userId});
            else
                showNotice(QStringLiteral("초대 링크가 올바르지 않습니다."));
        } else {
            showNotice(QStringLiteral("초대 링크가 올바르지 않습니다."));
        }
    } catch (...) {
        if (self)
            showAPI(std::current_exception());
    }
}
