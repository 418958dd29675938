// Friends and friend requests, blocks, official-account broadcasts and the handle search, in
// the local modes and against the stand-in service.

#include "StoreTestSupport.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 10000;

QStringList storedBlockTexts()
{
    return QSettings().value(u"quillo.live.blocks"_s).toStringList();
}

} // namespace

class TestStoreSocial : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    // --- friends, local ---
    void localRequestIgnoresIneligibleTargets_data();
    void localRequestIgnoresIneligibleTargets();
    void localRequestAddsOutgoingLinkOnce();
    void localAcceptAndReject();

    // --- friends, live ---
    void liveRequest_data();
    void liveRequest();
    void liveRequestSkipsPersonWithDirectRoom();
    void liveAcceptAndRejectUseTheRequestId();

    // --- blocks ---
    void localBlocksKeepOneEntryInDocument();
    void liveBlockChanges_data();
    void liveBlockChanges();

    // --- official accounts ---
    void officialAccountIsResolvedByHandle();
    void localOptOutWithoutLinkChangesNothing();
    void liveOfficialLinkChanges();

    // --- handle lookup ---
    void lookup_data();
    void lookup();
    void lookupKeepsLocalFieldsOfKnownAccount();
    void lookupRecordsServiceBlockOnce();
    void localLookupFindsKnownHandle();
};

// Friends, local

void TestStoreSocial::localRequestIgnoresIneligibleTargets_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("official") << "official";
    QTest::newRow("deleted") << "deleted";
    QTest::newRow("myself") << "myself";
    QTest::newRow("blocked") << "blocked";
    QTest::newRow("unknown") << "unknown";
    QTest::newRow("already incoming") << "incoming";
}

void TestStoreSocial::localRequestIgnoresIneligibleTargets()
{
    QFETCH(QString, target);
    LocalStore store(false, 0ms, nullptr);
    const QUuid me = signInWithProfile(store);
    Account gone = person(u"gone"_s, u"탈퇴"_s);
    gone.status = AccountStatus::deleted;
    store.editAccounts([&](QList<Account> &list) { list.append(gone); });
    store.setBlocks({SeedID::sora()});
    const QList<FriendLink> before = store.friends(); // holds rian's incoming request

    QUuid id;
    if (target == u"official")
        id = SeedID::quillo();
    else if (target == u"deleted")
        id = gone.id;
    else if (target == u"myself")
        id = me;
    else if (target == u"blocked")
        id = SeedID::sora();
    else if (target == u"unknown")
        id = QUuid::createUuid();
    else
        id = SeedID::rian();
    store.requestFriend(id);
    QCOMPARE(store.friends(), before);
}

void TestStoreSocial::localRequestAddsOutgoingLinkOnce()
{
    LocalStore store(true, 0ms, nullptr);
    signInWithProfile(store);
    store.requestFriend(SeedID::taeo());
    store.requestFriend(SeedID::taeo());
    QCOMPARE(store.friendState(SeedID::taeo()), FriendState::outgoing);
    const auto links = store.friends();
    QCOMPARE(std::count_if(links.cbegin(), links.cend(),
                           [](const FriendLink &l) { return l.userId == SeedID::taeo(); }),
             1);

    // Written to the store document: a new store reads the link back.
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.friendState(SeedID::taeo()), FriendState::outgoing);
}

void TestStoreSocial::localAcceptAndReject()
{
    LocalStore store(false, 0ms, nullptr);
    signInWithProfile(store);
    const int roomsBefore = int(store.conversations().size());

    store.acceptFriend(SeedID::taeo()); // no incoming link: nothing
    QCOMPARE(store.friendState(SeedID::taeo()), std::nullopt);
    QCOMPARE(store.conversations().size(), roomsBefore);

    QCOMPARE(store.friendState(SeedID::rian()), FriendState::incoming);
    store.acceptFriend(SeedID::rian());
    store.acceptFriend(SeedID::rian());
    QCOMPARE(store.friendState(SeedID::rian()), FriendState::friends);
    QCOMPARE(store.conversations().size(), roomsBefore + 1);
    QVERIFY(store.directConversation(SeedID::rian()));

    // Rejecting removes only the person's incoming links.
    const QUuid other = SeedID::taeo();
    store.setFriends({FriendLink{other, FriendState::incoming},
                      FriendLink{other, FriendState::outgoing},
                      FriendLink{other, FriendState::incoming},
                      FriendLink{SeedID::sora(), FriendState::incoming},
                      FriendLink{other, FriendState::friends}});
    store.rejectFriend(other);
    const QList<FriendLink> expected{FriendLink{other, FriendState::outgoing},
                                     FriendLink{SeedID::sora(), FriendState::incoming},
                                     FriendLink{other, FriendState::friends}};
    QCOMPARE(store.friends(), expected);
}

// Friends, live

void TestStoreSocial::liveRequest_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("accepted") << false;
    QTest::newRow("refused") << true;
}

void TestStoreSocial::liveRequest()
{
    QFETCH(bool, refused);
    LiveOps ops;
    const QUuid other = ops.addUser(u"other"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me"_s));
    QVERIFY(finish(ops.store->lookup(u"other"_s)).value_or(std::nullopt));

    const QString path = u"/v1/friend-requests"_s;
    const QString message = u"친구 요청을 보낼 수 없습니다."_s;
    if (refused)
        ops.service.failNext(u"POST"_s, path, 1, 403, u"blocked"_s, message);
    ops.store->requestFriend(other);
    QCOMPARE(ops.store->friendState(other), std::nullopt); // nothing before the service agrees
    if (refused)
        QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), message, kWait);
    else
        QTRY_COMPARE_WITH_TIMEOUT(ops.store->friendState(other), FriendState::outgoing, kWait);
    QCOMPARE(ops.countRequests(u"POST"_s, path), 1);
    QCOMPARE(ops.lastBody(u"POST"_s, path), QJsonObject({{u"user_id"_s, LiveOps::id(other)}}));
    QCOMPARE(ops.store->friendState(other),
             refused ? std::nullopt : std::optional(FriendState::outgoing));

    // Once linked, another request sends nothing; after a refusal it may be tried again.
    ops.store->requestFriend(other);
    ops.barrier();
    QCOMPARE(ops.countRequests(u"POST"_s, path), refused ? 2 : 1);
}

void TestStoreSocial::liveRequestSkipsPersonWithDirectRoom()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(u"me"_s, u"나"_s);
    const QUuid other = ops.addUser(u"other"_s, u"상대"_s);
    ops.service.addDirectRoom(me, other);
    QVERIFY(ops.start(u"me"_s));
    QVERIFY(ops.store->account(other));
    QCOMPARE(ops.store->friendState(other), FriendState::friends);

    ops.store->requestFriend(other);
    ops.barrier();
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/friend-requests"_s), 0);
}

void TestStoreSocial::liveAcceptAndRejectUseTheRequestId()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(u"me"_s, u"나"_s);
    const QUuid first = ops.addUser(u"first"_s, u"하나"_s);
    const QUuid second = ops.addUser(u"second"_s, u"둘"_s);
    const QUuid other = ops.addUser(u"other"_s, u"상대"_s);
    const QUuid firstRequest = ops.service.addFriendRequest(first, me);
    const QUuid secondRequest = ops.service.addFriendRequest(second, me);
    QVERIFY(ops.start(u"me"_s));

    // Without a request from the person there is nothing to answer, and nothing is sent.
    ops.store->acceptFriend(other);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"요청을 찾을 수 없습니다."_s, kWait);
    ops.store->acknowledgeNotice();
    ops.store->rejectFriend(other);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"요청을 찾을 수 없습니다."_s, kWait);
    ops.barrier();
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/friend-requests/"_s), 0);

    QCOMPARE(ops.store->friendState(first), FriendState::incoming);
    QCOMPARE(ops.store->incomingRequestIDs().value(first), firstRequest);

    ops.store->acceptFriend(first);
    const QString acceptPath = u"/v1/friend-requests/"_s + LiveOps::id(firstRequest) + u"/accept"_s;
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, acceptPath), 1, kWait);
    // The reload brings the direct room, which makes the person a friend.
    QTRY_VERIFY_WITH_TIMEOUT(ops.store->directConversation(first).has_value(), kWait);
    QCOMPARE(ops.store->friendState(first), FriendState::friends);
    QVERIFY(!ops.store->incomingRequestIDs().contains(first));
    QVERIFY(ops.requests(u"POST"_s, acceptPath).first().body.isEmpty());

    ops.store->rejectFriend(second);
    const QString rejectPath
        = u"/v1/friend-requests/"_s + LiveOps::id(secondRequest) + u"/reject"_s;
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->friendState(second), std::nullopt, kWait);
    QCOMPARE(ops.countRequests(u"POST"_s, rejectPath), 1);
    QVERIFY(ops.requests(u"POST"_s, rejectPath).first().body.isEmpty());
    QVERIFY(!ops.store->incomingRequestIDs().contains(second));
}

// Blocks

void TestStoreSocial::localBlocksKeepOneEntryInDocument()
{
    LocalStore store(true, 0ms, nullptr);
    const QUuid me = signInWithProfile(store);
    store.block(me); // myself: nothing
    QVERIFY(store.blocks().isEmpty());
    store.block(SeedID::taeo());
    store.block(SeedID::taeo());
    QCOMPARE(store.blocks(), QList<QUuid>{SeedID::taeo()});
    {
        LocalStore reread(true, 0ms, nullptr);
        QCOMPARE(reread.blocks(), QList<QUuid>{SeedID::taeo()});
    }
    store.unblock(SeedID::taeo());
    LocalStore reread(true, 0ms, nullptr);
    QVERIFY(reread.blocks().isEmpty());
    // The local modes keep nothing in the settings.
    QVERIFY(!QSettings().contains(u"quillo.live.blocks"_s));
}

void TestStoreSocial::liveBlockChanges_data()
{
    QTest::addColumn<bool>("blockedBefore");
    QTest::addColumn<bool>("blocking");
    QTest::addColumn<int>("times");
    QTest::addColumn<bool>("refused");
    // Repeats change nothing more here but each still reaches the service.
    QTest::newRow("block twice") << false << true << 2 << false;
    QTest::newRow("unblock a user not blocked") << false << false << 1 << false;
    // A refusal puts back exactly what stood before, in its place.
    QTest::newRow("refused block") << false << true << 1 << true;
    QTest::newRow("refused block of a user already blocked") << true << true << 1 << true;
    QTest::newRow("refused unblock") << true << false << 1 << true;
    QTest::newRow("refused unblock of a user not blocked") << false << false << 1 << true;
}

void TestStoreSocial::liveBlockChanges()
{
    QFETCH(bool, blockedBefore);
    QFETCH(bool, blocking);
    QFETCH(int, times);
    QFETCH(bool, refused);
    LiveOps ops;
    const QUuid other = ops.addUser(u"other"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me"_s));
    const QUuid before = QUuid::createUuid();
    const QUuid after = QUuid::createUuid();
    const QList<QUuid> initial
        = blockedBefore ? QList<QUuid>{before, other, after} : QList<QUuid>{before, after};
    ops.store->setBlocks(initial);
    QVERIFY(!QSettings().contains(u"quillo.live.blocks"_s));

    const QString method = blocking ? u"POST"_s : u"DELETE"_s;
    const QString path = blocking ? u"/v1/blocks"_s : u"/v1/blocks/"_s + LiveOps::id(other);
    const QString message = u"차단을 바꿀 수 없습니다."_s;
    if (refused)
        ops.service.failNext(method, path, 1, 500, u"server_error"_s, message);
    QSignalSpy blocksChanged(ops.store.get(), &LocalStore::blocksChanged);
    for (int i = 0; i < times; ++i) {
        if (blocking)
            ops.store->block(other);
        else
            ops.store->unblock(other);
    }
    // Blocking appends the id once (an id already there keeps its place); unblocking drops it.
    QList<QUuid> changed = initial;
    if (!blocking)
        changed.removeAll(other);
    else if (!changed.contains(other))
        changed.append(other);
    const auto texts = [](const QList<QUuid> &ids) {
        QStringList list;
        for (const QUuid &id : ids)
            list.append(LiveOps::id(id));
        return list;
    };
    // At once, before the service has answered: the list and its copy in the settings.
    QCOMPARE(ops.store->blocks(), changed);
    QCOMPARE(blocksChanged.count(), changed == initial ? 0 : 1); // a repeat changes nothing
    QCOMPARE(storedBlockTexts(), texts(changed));

    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(method, path), times, kWait);
    if (refused) {
        QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), message, kWait);
    } else {
        ops.barrier();
        QCOMPARE(ops.store->notice(), std::nullopt);
    }
    const QList<QUuid> expected = refused ? initial : changed;
    QCOMPARE(ops.store->blocks(), expected);
    QCOMPARE(storedBlockTexts(), texts(expected));
    if (blocking)
        QCOMPARE(ops.lastBody(method, path), QJsonObject({{u"user_id"_s, LiveOps::id(other)}}));
    else
        QVERIFY(ops.requests(method, path).first().body.isEmpty());
}

// Official accounts

void TestStoreSocial::officialAccountIsResolvedByHandle()
{
    LiveOps ops;
    const QUuid house = ops.service.houseAccountId();
    ops.service.follow(ops.addUser(u"me"_s, u"나"_s), house); // known as a room member only
    QVERIFY(ops.started && ops.start(u"me"_s));
    const std::optional<Account> known = ops.store->account(house);
    QVERIFY(known);
    QVERIFY(!known->officialAccountId);

    QCOMPARE(finish(ops.store->resolveOfficial(house)), ops.service.officialAccountId(house));
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/users?handle=zumo"_s), 1);
    const std::optional<ChatAPIError> unknown
        = QCoro::waitFor(thrownBy(ops.store->resolveOfficial(QUuid::createUuid())));
    const ChatAPIError notFound(404, u"not_found"_s, u"서비스 계정을 찾을 수 없습니다."_s);
    QCOMPARE(unknown, notFound);

    // A lookup, however typed, follows the account once.
    ops.store->setOfficialLinks({});
    finish(ops.store->lookup(u"zumo"_s));
    finish(ops.store->lookup(u"@ZUMO"_s));
    QCOMPARE(ops.store->officialLinks(), (QList<OfficialLink>{OfficialLink{house, false}}));
    QCOMPARE(ops.store->account(house)->kind, AccountKind::official);
    QCOMPARE(ops.store->account(house)->officialAccountId, ops.service.officialAccountId(house));
}

void TestStoreSocial::localOptOutWithoutLinkChangesNothing()
{
    LocalStore store(true, 0ms, nullptr);
    signInWithProfile(store);
    QSignalSpy linksChanged(&store, &LocalStore::officialLinksChanged);
    store.setBroadcastOptOut(SeedID::shop(), true);
    QCOMPARE(linksChanged.count(), 0);
    QVERIFY(!store.isOptOut(SeedID::shop()));

    // The house account is followed through the welcome message: its flag changes and is kept.
    store.setBroadcastOptOut(SeedID::quillo(), true);
    QVERIFY(store.isOptOut(SeedID::quillo()));
    LocalStore reread(true, 0ms, nullptr);
    QVERIFY(reread.isOptOut(SeedID::quillo()));
}

void TestStoreSocial::liveOfficialLinkChanges()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me"_s));
    const QUuid house = ops.service.houseAccountId();
    const QUuid officialId = ops.service.officialAccountId(house);
    QVERIFY(!officialId.isNull());
    QVERIFY(finish(ops.store->lookup(u"zumo"_s)).value_or(std::nullopt));
    const QString patch = u"PATCH"_s;
    const QString path = u"/v1/official-accounts/"_s + LiveOps::id(officialId) + u"/link"_s;

    // Blocking an official account changes its link, not the block list.
    ops.store->block(house);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(patch, path), 1, kWait);
    QCOMPARE(ops.lastBody(patch, path), QJsonObject({{u"blocked"_s, true}}));
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/blocks"_s), 0);
    ops.store->unblock(house);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(patch, path), 2, kWait);
    QCOMPARE(ops.lastBody(patch, path), QJsonObject({{u"blocked"_s, false}}));

    // A refused opt-out puts the flag back; with no link yet, this very call adds it.
    ops.store->setOfficialLinks({});
    ops.service.failNext(patch, path, 1, 500, u"server_error"_s, u"잠시 후 다시 시도해 주세요."_s);
    ops.store->setBroadcastOptOut(house, true);
    QVERIFY(ops.store->isOptOut(house));
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"잠시 후 다시 시도해 주세요."_s, kWait);
    QCOMPARE(ops.store->officialLinks(), (QList<OfficialLink>{OfficialLink{house, false}}));
    QCOMPARE(ops.lastBody(patch, path), QJsonObject({{u"broadcast_opt_out"_s, true}}));

    // Accepted: the flag stays.
    ops.store->setBroadcastOptOut(house, true);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(patch, path), 4, kWait);
    ops.barrier();
    QVERIFY(ops.store->isOptOut(house));

    // An official account the service cannot name: the flag comes back at once.
    Account stray = person(u"stray"_s, u"없음"_s);
    stray.kind = AccountKind::official;
    ops.store->editAccounts([&](QList<Account> &list) { list.append(stray); });
    ops.store->acknowledgeNotice();
    ops.store->setBroadcastOptOut(stray.id, true);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"서비스 계정을 찾을 수 없습니다."_s, kWait);
    QVERIFY(!ops.store->isOptOut(stray.id));
}

// Handle lookup

void TestStoreSocial::lookup_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sentTarget"); // empty: nothing may be sent
    QTest::addColumn<bool>("failing"); // the service fails the search
    QTest::addColumn<bool>("found");
    const QString other = u"/v1/users?handle=other"_s;
    QTest::newRow("capitals, at sign, blank") << u" @Other "_s << other << false << true;
    QTest::newRow("bare") << u"other"_s << other << false << true;
    QTest::newRow("two characters") << u"ab"_s << QString() << false << false;
    QTest::newRow("hyphen") << u"ot-her"_s << QString() << false << false;
    QTest::newRow("only at") << u"@"_s << QString() << false << false;
    QTest::newRow("nobody by that handle")
        << u"nobody"_s << u"/v1/users?handle=nobody"_s << false << false;
    QTest::newRow("service fails") << u"other"_s << other << true << false;
}

void TestStoreSocial::lookup()
{
    QFETCH(QString, typed);
    QFETCH(QString, sentTarget);
    QFETCH(bool, failing);
    QFETCH(bool, found);
    LiveOps ops;
    const QUuid other = ops.addUser(u"other"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me"_s));
    if (failing)
        ops.service.failNext(u"GET"_s, u"/v1/users"_s, 1, 500, u"server_error"_s,
                             u"검색할 수 없습니다."_s);
    const qsizetype count = ops.store->accounts().size();

    const std::optional<Account> account = finish(ops.store->lookup(typed)).value_or(std::nullopt);
    QCOMPARE(account.has_value(), found);
    const QList<RecordedRequest> sent = ops.requests(u"GET"_s, u"/v1/users"_s);
    QCOMPARE(sent.size(), sentTarget.isEmpty() ? 0 : 1);
    if (!sentTarget.isEmpty())
        QCOMPARE(sent.first().target, sentTarget);
    if (account) {
        QCOMPARE(account->id, other);
        QCOMPARE(account->displayName, u"상대"_s);
        QCOMPARE(ops.store->account(other), account);
    } else {
        QCOMPARE(ops.store->accounts().size(), count);
    }
    QCOMPARE(ops.store->notice(), failing ? std::optional(u"검색할 수 없습니다."_s) : std::nullopt);
}

void TestStoreSocial::lookupKeepsLocalFieldsOfKnownAccount()
{
    LiveOps ops;
    const QUuid other = ops.addUser(u"other"_s, u"새 이름"_s);
    QVERIFY(ops.startAs(u"me"_s));
    Account stale = person(u"old_handle"_s, u"옛 이름"_s);
    stale.id = other;
    stale.avatarJPEG = QByteArray("local-photo");
    stale.acceptsUserMessages = false;
    stale.handleChanged = true;
    stale.status = AccountStatus::suspended;
    ops.store->editAccounts([&](QList<Account> &list) { list.append(stale); });
    const qsizetype count = ops.store->accounts().size();

    const std::optional<Account> found
        = finish(ops.store->lookup(u"other"_s)).value_or(std::nullopt);
    QVERIFY(found);
    QCOMPARE(ops.store->accounts().size(), count);
    QCOMPARE(found->displayName, u"새 이름"_s);
    QCOMPARE(found->handle, u"other"_s);
    QCOMPARE(found->status, AccountStatus::active);
    QCOMPARE(found->avatarJPEG, QByteArray("local-photo"));
    QCOMPARE(found->acceptsUserMessages, false);
    QCOMPARE(found->handleChanged, true);
}

void TestStoreSocial::lookupRecordsServiceBlockOnce()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(u"me"_s, u"나"_s);
    const QUuid other = ops.addUser(u"other"_s, u"상대"_s);
    const QUuid third = ops.addUser(u"third"_s, u"셋"_s);
    ops.service.block(me, other);
    ops.service.block(me, third);
    QVERIFY(ops.start(u"me"_s));

    finish(ops.store->lookup(u"other"_s));
    QCOMPARE(ops.store->blocks(), QList<QUuid>{other});
    QCOMPARE(storedBlockTexts(), QStringList{LiveOps::id(other)});

    // Already blocked here: the list and the settings stay as they are.
    QSettings().remove(u"quillo.live.blocks"_s);
    ops.store->setBlocks({third});
    QSignalSpy blocksChanged(ops.store.get(), &LocalStore::blocksChanged);
    finish(ops.store->lookup(u"third"_s));
    QCOMPARE(blocksChanged.count(), 0);
    QVERIFY(!QSettings().contains(u"quillo.live.blocks"_s));

    // A false flag does not unblock.
    ops.store->setBlocks({ops.service.houseAccountId()});
    finish(ops.store->lookup(u"zumo"_s));
    QCOMPARE(ops.store->blocks(), QList<QUuid>{ops.service.houseAccountId()});
}

void TestStoreSocial::localLookupFindsKnownHandle()
{
    LocalStore store(false, 0ms, nullptr);
    signInWithProfile(store);
    const std::optional<Account> sora = finish(store.lookup(u" @SORA"_s)).value_or(std::nullopt);
    QVERIFY(sora);
    QCOMPARE(sora->id, SeedID::sora());
    QVERIFY(!finish(store.lookup(u"nobody"_s)).value_or(std::nullopt));
}

QTEST_GUILESS_MAIN(TestStoreSocial)
#include "tst_store_social.moc"
