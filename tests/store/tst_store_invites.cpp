// The user's invite link and the answers to an invite's friend request.

#include "StoreTestSupport.h"

#include "api/ChatAPI.h"

#include <QRegularExpression>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 10000;

// "me" signed in (start()) with a friend request from "other" waiting.
struct PendingRequest
{
    PendingRequest()
    {
        other = ops.addUser(u"other"_s, u"상대"_s);
        requestId = ops.service.addFriendRequest(other, ops.addUser(u"me"_s, u"나"_s));
    }
    bool start() { return ops.started && ops.start(u"me"_s); }
    QString path(const QString &answer) const
    {
        return u"/v1/friend-requests/"_s + LiveOps::id(requestId) + u'/' + answer;
    }
    InviteOutcome outcome() const { return InviteOutcome{QUuid::createUuid(), requestId, other}; }

    LiveOps ops;
    QUuid other;
    QUuid requestId;
};

} // namespace

class TestStoreInvites : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void localLinkAndRotation();
    void localAnswersOnlyClearTheOutcome();
    void liveLinkAndRotation();
    void liveAcceptFollowsTheRoomAfterReload();
    void liveRefusedAcceptKeepsRequestForReject();
    void linksWhileALookUpRunsKeepOnlyTheNewest();
};

void TestStoreInvites::localLinkAndRotation()
{
    LocalStore store(true, 0ms, nullptr);
    signInWithProfile(store);
    const QString first = finish(store.inviteURL()).value_or(std::nullopt).value_or(QString());
    QCOMPARE(first,
             ChatClient::defaultBaseUrl().toString(QUrl::StripTrailingSlash) + u"/i/"_s
                 + store.localInviteCode());
    QCOMPARE(ChatAPI::inviteCode(QUrl(first)), store.localInviteCode());

    const QString second = finish(store.rotateInvite()).value_or(std::nullopt).value_or(QString());
    const QString third = finish(store.rotateInvite()).value_or(std::nullopt).value_or(QString());
    static const QRegularExpression code(u"/i/[0-9A-F]{32}$"_s);
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

void TestStoreInvites::liveLinkAndRotation()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me"_s));
    const QString base = ops.service.baseUrl().toString(QUrl::StripTrailingSlash) + u"/i/"_s;

    const QString code = ops.service.inviteCode(ops.meId);
    QCOMPARE(finish(ops.store->inviteURL()).value_or(std::nullopt), base + code);
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/me/invite"_s), 1);
    const std::optional<QString> rotated = finish(ops.store->rotateInvite()).value_or(std::nullopt);
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/me/invite"_s), 1);
    QVERIFY(ops.service.inviteCode(ops.meId) != code);
    QCOMPARE(rotated, base + ops.service.inviteCode(ops.meId));
    QCOMPARE(ops.store->notice(), std::nullopt);

    // Failures give no link and show why.
    ops.service.failNext(u"GET"_s, u"/v1/me/invite"_s, 1, 503, u"unavailable"_s,
                         u"초대 링크를 불러오지 못했습니다."_s);
    QVERIFY(answeredNothing(finish(ops.store->inviteURL())));
    QCOMPARE(ops.store->notice(), u"초대 링크를 불러오지 못했습니다."_s);
    ops.service.answerNonJsonNext(u"POST"_s, u"/v1/me/invite"_s, 1, 200);
    QVERIFY(answeredNothing(finish(ops.store->rotateInvite())));
    QCOMPARE(ops.store->notice(), u"일시적인 오류입니다."_s);
}

void TestStoreInvites::liveAcceptFollowsTheRoomAfterReload()
{
    PendingRequest rig;
    QVERIFY(rig.start());
    LiveOps &ops = rig.ops;
    QSignalSpy outcomeChanged(ops.store.get(), &LocalStore::inviteOutcomeChanged);

    // Without an outcome on show the answers do nothing, not even with a request waiting.
    ops.store->acceptInvite();
    ops.store->rejectInvite();
    ops.barrier();
    QCOMPARE(outcomeChanged.count(), 0);
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/friend-requests"_s), 0);

    // The room must be in the store by the time the window is asked to open it.
    bool roomKnownWhenAsked = false;
    connect(ops.store.get(), &LocalStore::inviteFollowChanged, this, [&] {
        if (const auto follow = ops.store->inviteFollow())
            roomKnownWhenAsked = ops.store->conversation(follow->conversationId).has_value();
    });
    ops.store->setInviteOutcome(rig.outcome());
    ops.store->acceptInvite();
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt); // the sheet closes at once
    QCOMPARE(outcomeChanged.count(), 2);

    QTRY_VERIFY_WITH_TIMEOUT(ops.store->inviteFollow().has_value(), kWait);
    QVERIFY(roomKnownWhenAsked);
    const std::optional<Conversation> room = ops.store->directConversation(rig.other);
    QVERIFY(room);
    QCOMPARE(ops.store->inviteFollow()->conversationId, room->id);
    QCOMPARE(ops.countRequests(u"POST"_s, rig.path(u"accept"_s)), 1);
}

void TestStoreInvites::liveRefusedAcceptKeepsRequestForReject()
{
    PendingRequest rig;
    QVERIFY(rig.start());
    LiveOps &ops = rig.ops;
    const InviteFollow earlier{QUuid::createUuid(), QUuid::createUuid()};
    ops.store->setInviteFollow(earlier);

    ops.service.failNext(u"POST"_s, u"/v1/friend-requests/"_s, 1, 500, u"server_error"_s,
                         u"수락하지 못했습니다."_s);
    ops.store->setInviteOutcome(rig.outcome());
    ops.store->acceptInvite();
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"수락하지 못했습니다."_s, kWait);
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt);
    QCOMPARE(ops.store->inviteFollow(), earlier);
    QCOMPARE(ops.store->incomingRequestIDs().value(rig.other), rig.requestId);

    // The request still waits: rejecting it posts the request, and nothing else changes until
    // the next sync.
    ops.store->acknowledgeNotice();
    ops.store->setInviteOutcome(rig.outcome());
    ops.store->rejectInvite();
    QCOMPARE(ops.store->inviteOutcome(), std::nullopt);
    const QString path = rig.path(u"reject"_s);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, path), 1, kWait);
    QVERIFY(ops.requests(u"POST"_s, path).first().body.isEmpty());
    ops.barrier();
    QCOMPARE(ops.store->notice(), std::nullopt);
    QCOMPARE(ops.store->friendState(rig.other), FriendState::incoming);
}

// A flood of links makes at most one look-up at a time: the first runs, and of those that
// come meanwhile only the newest is looked up after it.
void TestStoreInvites::linksWhileALookUpRunsKeepOnlyTheNewest()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me"_s));
    QStringList codes;
    for (const QString &handle : {u"ann"_s, u"bo"_s, u"cy"_s, u"dee"_s})
        codes.append(ops.service.inviteCode(ops.addUser(handle, handle)));
    ops.service.delayNext(u"POST"_s, u"/v1/invites/"_s, 1, 300);
    for (const QString &code : std::as_const(codes)) {
        ops.store->setPendingInviteCode(code);
        ops.store->redeemPendingInvite();
    }
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, u"/v1/invites/"_s), 2, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->pendingInviteCode(), std::nullopt, kWait);
    ops.barrier();
    const QList<RecordedRequest> sent = ops.requests(u"POST"_s, u"/v1/invites/"_s);
    QCOMPARE(sent.size(), 2);
    QVERIFY(sent.at(0).target.endsWith(codes.first()));
    QVERIFY(sent.at(1).target.endsWith(codes.last()));
    QCOMPARE(ops.store->notice(), u"친구 요청을 보냈습니다."_s);
}

QTEST_GUILESS_MAIN(TestStoreInvites)
#include "tst_store_invites.moc"
