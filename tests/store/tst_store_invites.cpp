// The user's invite link and the answers to an invite's friend request.

#include "StoreTestSupport.h"

#include "api/ChatAPI.h"

#include <QRegularExpression>
#include <QSignalSpy>

namespace {

constexpr int kWait = 10000;

// "me" signed in with a friend request from "other" waiting.
struct PendingRequest
{
    QUuid other;
    QUuid requestId;
};

std::optional<PendingRequest> startWithRequest(LiveOps &ops)
{
    if (!ops.started)
        return std::nullopt;
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("상대"));
    const QUuid requestId = ops.service.addFriendRequest(other, me);
    if (!ops.start(QStringLiteral("me")))
        return std::nullopt;
    return PendingRequest{other, requestId};
}

QString requestPath(const QUuid &requestId, const QString &answer)
{
    return QStringLiteral("/v1/friend-requests/") + LiveOps::id(requestId) + u'/' + answer;
}

} // namespace

class TestStoreInvites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void localLinkAndRotation();
    void localAnswersOnlyClearTheOutcome();
    void answersWithoutOutcomeDoNothing();
    void liveLinkAndRotation();
    void liveLinkFailureGivesNothing();
    void liveAcceptFollowsTheRoomAfterReload();
    void liveAcceptFailureKeepsRequestPending();
    void liveRejectPostsTheRequest();
};

void TestStoreInvites::localLinkAndRotation()
{
    LocalStore store(true, 0ms, nullptr);
    signInWithProfile(store);
    const QString first = finish(store.inviteURL()).value_or(std::nullopt).value_or(QString());
    QCOMPARE(first,
             ChatClient::defaultBaseUrl().toString(QUrl::StripTrailingSlash) + QStringLiteral("/i/")
                 + store.localInviteCode());
    QCOMPARE(ChatAPI::inviteCode(QUrl(first)), store.localInviteCode());

    const QString second = finish(store.rotateInvite()).value_or(std::nullopt).value_or(QString());
    const QString third = finish(store.rotateInvite()).value_or(std::nullopt).value_or(QString());
    static const QRegularExpression code(QStringLiteral("/i/[0-9A-F]{32}$"));
    for (const QString &link : {first, second, third})
        QVERIFY2(code.match(link).hasMatch(), qPrintable(link));
    QVERIFY(second != first);
    QVERIFY(third != second);
    QCOMPARE(finish(store.inviteURL()).value_or(std::nullopt), third);

    // The rotated code lives in memory only.
    LocalStore reread(true, 0ms, nullptr);
    QVERIFY(reread.localInviteCode() != store.localInviteCode());
}

void TestStoreInvites::localAnswersOnlyClearTheOutcome()
{
    LocalStore store(false, 0ms, nullptr);
    signInWithProfile(store);
    const QList<FriendLink> links = store.friends();
    store.setInviteOutcome(InviteOutcome{QUuid::createUuid(), QUuid::createUuid(), SeedID::sora()});
    store.acceptInvite();
    QCOMPARE(store.inviteOutcome(), std::nullopt);
    store.setInviteOutcome(InviteOutcome{QUuid::createUuid(), QUuid::createUuid(), SeedID::sora()});
    store.rejectInvite();
    QCOMPARE(store.inviteOutcome(), std::nullopt);
    QCOMPARE(store.friends(), links);
    QCOMPARE(store.inviteFollow(), std::nullopt);
}

void TestStoreInvites::answersWithoutOutcomeDoNothing()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me")));
    QSignalSpy outcomeChanged(ops.store.get(), &LocalStore::inviteOutcomeChanged);
    ops.store->acceptInvite();
    ops.store->rejectInvite();
    ops.barrier();
    QCOMPARE(outcomeChanged.count(), 0);
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/friend-requests")), 0);
}

void TestStoreInvites::liveLinkAndRotation()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me")));
    const QString base
        = ops.service.baseUrl().toString(QUrl::StripTrailingSlash) + QStringLiteral("/i/");

    const QString code = ops.service.inviteCode(me);
    QCOMPARE(finish(ops.store->inviteURL()).value_or(std::nullopt), base + code);
    QCOMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/me/invite")), 1);

    const std::optional<QString> rotated = finish(ops.store->rotateInvite()).value_or(std::nullopt);
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/me/invite")), 1);
    QVERIFY(ops.service.inviteCode(me) != code);
    QCOMPARE(rotated, base + ops.service.inviteCode(me));
    QCOMPARE(ops.store->notice(), std::nullopt);
}

void TestStoreInvites::liveLinkFailureGivesNothing()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me")));
    ops.service.failNext(QStringLiteral("GET"), QStringLiteral("/v1/me/invite"), 1, 503,
                         QStringLiteral("unavailable"),
                         QStringLiteral("초대 링크를 불러오지 못했습니다."));
    QVERIFY(answeredNothing(finish(ops.store->inviteURL())));
    QCOMPARE(ops.store->notice(), QStringLiteral("초대 링크를 불러오지 못했습니다."));

    ops.service.answerNonJsonNext(QStringLiteral("POST"), QStringLiteral("/v1/me/invite"), 1, 200);
    QVERIFY(answeredNothing(finish(ops.store->rotateInvite())));
    QCOMPARE(ops.store->notice(), QStringLiteral("일시적인 오류입니다."));
}

void TestStoreInvites::liveAcceptFollowsTheRoomAfterReload()
{
    LiveOps ops;
    const std::optional<PendingRequest> pending = startWithRequest(ops);
    QVERIFY(pending);
    const auto [other, requestId] = *pending;

    // The room must be in the store by the time the window is asked to open it.
    bool roomKnownWhenAsked = false;
    connect(ops.store.get(), &LocalStore::inviteFollowChanged, this, [&] {
        if (const auto follow = ops.store->inviteFollow())
            roomKnownWhenAsked = ops.store->conversation(follow->conversationId).has_value();
    });
    QSignalSpy outcomeChanged(ops.store.get(), &LocalStore::inviteOutcomeChanged);
    ops.store->setInviteOutcome(InviteOutcome{QUuid::createUuid(), requestId, other});
    ops.store->acceptInvite();
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt); // the sheet closes at once
    QCOMPARE(outcomeChanged.count(), 2);

    QTRY_VERIFY_WITH_TIMEOUT(ops.store->inviteFollow().has_value(), kWait);
    QVERIFY(roomKnownWhenAsked);
    const std::optional<Conversation> room = ops.store->directConversation(other);
    QVERIFY(room);
    QCOMPARE(ops.store->inviteFollow()->conversationId, room->id);
    QCOMPARE(
        ops.countRequests(QStringLiteral("POST"), requestPath(requestId, QStringLiteral("accept"))),
        1);
}

void TestStoreInvites::liveAcceptFailureKeepsRequestPending()
{
    LiveOps ops;
    const std::optional<PendingRequest> pending = startWithRequest(ops);
    QVERIFY(pending);
    const auto [other, requestId] = *pending;
    const InviteFollow earlier{QUuid::createUuid(), QUuid::createUuid()};
    ops.store->setInviteFollow(earlier);

    ops.service.failNext(QStringLiteral("POST"), QStringLiteral("/v1/friend-requests/"), 1, 500,
                         QStringLiteral("server_error"), QStringLiteral("수락하지 못했습니다."));
    ops.store->setInviteOutcome(InviteOutcome{QUuid::createUuid(), requestId, other});
    ops.store->acceptInvite();
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("수락하지 못했습니다."), kWait);
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt);
    QCOMPARE(ops.store->inviteFollow(), earlier);
    QCOMPARE(ops.store->incomingRequestIDs().value(other), requestId);
}

void TestStoreInvites::liveRejectPostsTheRequest()
{
    LiveOps ops;
    const std::optional<PendingRequest> pending = startWithRequest(ops);
    QVERIFY(pending);
    const auto [other, requestId] = *pending;

    ops.store->setInviteOutcome(InviteOutcome{QUuid::createUuid(), requestId, other});
    ops.store->rejectInvite();
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt);
    const QString path = requestPath(requestId, QStringLiteral("reject"));
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("POST"), path), 1, kWait);
    QVERIFY(ops.requests(QStringLiteral("POST"), path).first().body.isEmpty());
    ops.barrier();
    QCOMPARE(ops.store->notice(), std::nullopt);
    // Nothing else changes until the next sync.
    QCOMPARE(ops.store->friendState(other), FriendState::incoming);
}

QTEST_GUILESS_MAIN(TestStoreInvites)
#include "tst_store_invites.moc"
