// Friends and friend requests, blocks, official-account broadcasts and the handle search, in
// the local modes and against the stand-in service.

#include "StoreTestSupport.h"

#include <QSignalSpy>

namespace {

constexpr int kWait = 10000;

QStringList storedBlockTexts()
{
    return QSettings().value(QStringLiteral("quillo.live.blocks")).toStringList();
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
    void localAcceptMakesFriendsAndOneRoom();
    void localRejectRemovesOnlyIncomingLinks();

    // --- friends, live ---
    void liveRequest_data();
    void liveRequest();
    void liveRequestSkipsPersonWithDirectRoom();
    void liveAcceptWithoutRequestShowsNotice();
    void liveAcceptAndRejectUseTheRequestId();

    // --- blocks ---
    void blockingMyselfDoesNothing();
    void localBlockTwiceKeepsOneEntryInDocument();
    void liveBlockChanges_data();
    void liveBlockChanges();
    void blockingOfficialAccountChangesItsLink();

    // --- official accounts ---
    void resolveOfficialAsksByHandleOrFails();
    void localOptOutWithoutLinkChangesNothing();
    void refusedOptOutRestoresPreviousFlag();

    // --- handle lookup ---
    void lookupNormalizesOrRefusesHandle_data();
    void lookupNormalizesOrRefusesHandle();
    void lookupKeepsLocalFieldsOfKnownAccount();
    void lookupFollowsOfficialOnce();
    void lookupFailures();
    void lookupRecordsServiceBlockOnce();
    void localLookupFindsKnownHandle();
};

// ---------------------------------------------------------------------------------------------
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
    Account gone = person(QStringLiteral("gone"), QStringLiteral("탈퇴"));
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

void TestStoreSocial::localAcceptMakesFriendsAndOneRoom()
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
}

void TestStoreSocial::localRejectRemovesOnlyIncomingLinks()
{
    LocalStore store(false, 0ms, nullptr);
    signInWithProfile(store);
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

// ---------------------------------------------------------------------------------------------
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
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("상대"));
    QVERIFY(ops.start(QStringLiteral("me")));
    QVERIFY(finish(ops.store->lookup(QStringLiteral("other"))).value_or(std::nullopt));

    const QString path = QStringLiteral("/v1/friend-requests");
    const QString message = QStringLiteral("친구 요청을 보낼 수 없습니다.");
    if (refused)
        ops.service.failNext(QStringLiteral("POST"), path, 1, 403, QStringLiteral("blocked"),
                             message);
    ops.store->requestFriend(other);
    QCOMPARE(ops.store->friendState(other), std::nullopt); // nothing before the service agrees
    if (refused)
        QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), message, kWait);
    else
        QTRY_COMPARE_WITH_TIMEOUT(ops.store->friendState(other), FriendState::outgoing, kWait);
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), path), 1);
    QCOMPARE(ops.lastBody(QStringLiteral("POST"), path),
             QJsonObject({{QStringLiteral("user_id"), LiveOps::id(other)}}));
    QCOMPARE(ops.store->friendState(other),
             refused ? std::nullopt : std::optional(FriendState::outgoing));

    // Once linked, another request sends nothing; after a refusal it may be tried again.
    ops.store->requestFriend(other);
    ops.barrier();
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), path), refused ? 2 : 1);
}

void TestStoreSocial::liveRequestSkipsPersonWithDirectRoom()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("상대"));
    ops.service.addDirectRoom(me, other);
    QVERIFY(ops.start(QStringLiteral("me")));
    QVERIFY(ops.store->account(other));
    QCOMPARE(ops.store->friendState(other), FriendState::friends);

    ops.store->requestFriend(other);
    ops.barrier();
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/friend-requests")), 0);
}

void TestStoreSocial::liveAcceptWithoutRequestShowsNotice()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("상대"));
    QVERIFY(ops.start(QStringLiteral("me")));

    ops.store->acceptFriend(other);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("요청을 찾을 수 없습니다."),
                              kWait);
    ops.store->acknowledgeNotice();
    ops.store->rejectFriend(other);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("요청을 찾을 수 없습니다."),
                              kWait);
    ops.barrier();
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/friend-requests/")), 0);
}

void TestStoreSocial::liveAcceptAndRejectUseTheRequestId()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid first = ops.addUser(QStringLiteral("first"), QStringLiteral("하나"));
    const QUuid second = ops.addUser(QStringLiteral("second"), QStringLiteral("둘"));
    const QUuid firstRequest = ops.service.addFriendRequest(first, me);
    const QUuid secondRequest = ops.service.addFriendRequest(second, me);
    QVERIFY(ops.start(QStringLiteral("me")));
    QCOMPARE(ops.store->friendState(first), FriendState::incoming);
    QCOMPARE(ops.store->incomingRequestIDs().value(first), firstRequest);

    ops.store->acceptFriend(first);
    const QString acceptPath = QStringLiteral("/v1/friend-requests/") + LiveOps::id(firstRequest)
        + QStringLiteral("/accept");
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("POST"), acceptPath), 1, kWait);
    // The reload brings the direct room, which makes the person a friend.
    QTRY_VERIFY_WITH_TIMEOUT(ops.store->directConversation(first).has_value(), kWait);
    QCOMPARE(ops.store->friendState(first), FriendState::friends);
    QVERIFY(!ops.store->incomingRequestIDs().contains(first));
    QVERIFY(ops.requests(QStringLiteral("POST"), acceptPath).first().body.isEmpty());

    ops.store->rejectFriend(second);
    const QString rejectPath = QStringLiteral("/v1/friend-requests/") + LiveOps::id(secondRequest)
        + QStringLiteral("/reject");
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->friendState(second), std::nullopt, kWait);
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), rejectPath), 1);
    QVERIFY(ops.requests(QStringLiteral("POST"), rejectPath).first().body.isEmpty());
    QVERIFY(!ops.store->incomingRequestIDs().contains(second));
}

// ---------------------------------------------------------------------------------------------
// Blocks

void TestStoreSocial::blockingMyselfDoesNothing()
{
    LocalStore store(false, 0ms, nullptr);
    const QUuid me = signInWithProfile(store);
    store.block(me);
    QVERIFY(store.blocks().isEmpty());
}

void TestStoreSocial::localBlockTwiceKeepsOneEntryInDocument()
{
    LocalStore store(true, 0ms, nullptr);
    signInWithProfile(store);
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
    QVERIFY(!QSettings().contains(QStringLiteral("quillo.live.blocks")));
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
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("상대"));
    QVERIFY(ops.start(QStringLiteral("me")));
    const QUuid before = QUuid::createUuid();
    const QUuid after = QUuid::createUuid();
    const QList<QUuid> initial
        = blockedBefore ? QList<QUuid>{before, other, after} : QList<QUuid>{before, after};
    ops.store->setBlocks(initial);
    QVERIFY(!QSettings().contains(QStringLiteral("quillo.live.blocks")));

    const QString method = blocking ? QStringLiteral("POST") : QStringLiteral("DELETE");
    const QString path = blocking ? QStringLiteral("/v1/blocks")
                                  : QStringLiteral("/v1/blocks/") + LiveOps::id(other);
    const QString message = QStringLiteral("차단을 바꿀 수 없습니다.");
    if (refused)
        ops.service.failNext(method, path, 1, 500, QStringLiteral("server_error"), message);
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
        QCOMPARE(ops.lastBody(method, path),
                 QJsonObject({{QStringLiteral("user_id"), LiveOps::id(other)}}));
    else
        QVERIFY(ops.requests(method, path).first().body.isEmpty());
}

void TestStoreSocial::blockingOfficialAccountChangesItsLink()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid house = ops.service.houseAccountId();
    const QUuid officialId = ops.service.officialAccountId(house);
    QVERIFY(!officialId.isNull());
    QVERIFY(ops.start(QStringLiteral("me")));
    QVERIFY(finish(ops.store->lookup(QStringLiteral("zumo"))).value_or(std::nullopt));

    ops.store->block(house);
    const QString path = QStringLiteral("/v1/official-accounts/") + LiveOps::id(officialId)
        + QStringLiteral("/link");
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("PATCH"), path), 1, kWait);
    QCOMPARE(ops.lastBody(QStringLiteral("PATCH"), path),
             QJsonObject({{QStringLiteral("blocked"), true}}));
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/blocks")), 0);

    ops.store->unblock(house);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("PATCH"), path), 2, kWait);
    QCOMPARE(ops.lastBody(QStringLiteral("PATCH"), path),
             QJsonObject({{QStringLiteral("blocked"), false}}));
}

// ---------------------------------------------------------------------------------------------
// Official accounts

void TestStoreSocial::resolveOfficialAsksByHandleOrFails()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid house = ops.service.houseAccountId();
    ops.service.follow(me, house); // the account becomes known as a room member only
    QVERIFY(ops.start(QStringLiteral("me")));
    const std::optional<Account> known = ops.store->account(house);
    QVERIFY(known);
    QVERIFY(!known->officialAccountId);

    QCOMPARE(finish(ops.store->resolveOfficial(house)), ops.service.officialAccountId(house));
    QCOMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/users?handle=zumo")), 1);

    const std::optional<ChatAPIError> unknown
        = QCoro::waitFor(thrownBy(ops.store->resolveOfficial(QUuid::createUuid())));
    const ChatAPIError notFound(404, QStringLiteral("not_found"),
                                QStringLiteral("서비스 계정을 찾을 수 없습니다."));
    QCOMPARE(unknown, notFound);
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

void TestStoreSocial::refusedOptOutRestoresPreviousFlag()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid house = ops.service.houseAccountId();
    QVERIFY(ops.start(QStringLiteral("me")));
    QVERIFY(finish(ops.store->lookup(QStringLiteral("zumo"))).value_or(std::nullopt));
    ops.store->setOfficialLinks({}); // no link yet: this very call adds it

    const QString path = QStringLiteral("/v1/official-accounts/")
        + LiveOps::id(ops.service.officialAccountId(house)) + QStringLiteral("/link");
    ops.service.failNext(QStringLiteral("PATCH"), path, 1, 500, QStringLiteral("server_error"),
                         QStringLiteral("잠시 후 다시 시도해 주세요."));
    ops.store->setBroadcastOptOut(house, true);
    QVERIFY(ops.store->isOptOut(house));
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("잠시 후 다시 시도해 주세요."),
                              kWait);
    QCOMPARE(ops.store->officialLinks(), (QList<OfficialLink>{OfficialLink{house, false}}));
    QCOMPARE(ops.lastBody(QStringLiteral("PATCH"), path),
             QJsonObject({{QStringLiteral("broadcast_opt_out"), true}}));

    // Accepted: the flag stays.
    ops.store->setBroadcastOptOut(house, true);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("PATCH"), path), 2, kWait);
    ops.barrier();
    QVERIFY(ops.store->isOptOut(house));

    // An official account the service cannot name: the flag comes back at once.
    Account stray = person(QStringLiteral("stray"), QStringLiteral("없음"));
    stray.kind = AccountKind::official;
    ops.store->editAccounts([&](QList<Account> &list) { list.append(stray); });
    ops.store->acknowledgeNotice();
    ops.store->setBroadcastOptOut(stray.id, true);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(),
                              QStringLiteral("서비스 계정을 찾을 수 없습니다."), kWait);
    QVERIFY(!ops.store->isOptOut(stray.id));
}

// ---------------------------------------------------------------------------------------------
// Handle lookup

void TestStoreSocial::lookupNormalizesOrRefusesHandle_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sentTarget"); // empty: nothing may be sent
    QTest::newRow("capitals, at sign, blank") << " @Other "
                                              << "/v1/users?handle=other";
    QTest::newRow("bare") << "other"
                          << "/v1/users?handle=other";
    QTest::newRow("two characters") << "ab"
                                    << "";
    QTest::newRow("hyphen") << "ot-her"
                            << "";
    QTest::newRow("only at") << "@"
                             << "";
}

void TestStoreSocial::lookupNormalizesOrRefusesHandle()
{
    QFETCH(QString, typed);
    QFETCH(QString, sentTarget);
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("상대"));
    QVERIFY(ops.start(QStringLiteral("me")));

    const std::optional<Account> found = finish(ops.store->lookup(typed)).value_or(std::nullopt);
    if (sentTarget.isEmpty()) {
        QVERIFY(!found);
        QCOMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/users")), 0);
    } else {
        QVERIFY(found);
        QCOMPARE(found->id, other);
        QCOMPARE(found->displayName, QStringLiteral("상대"));
        QCOMPARE(ops.store->account(other), found);
        QCOMPARE(ops.requests(QStringLiteral("GET"), QStringLiteral("/v1/users")).size(), 1);
        QCOMPARE(ops.requests(QStringLiteral("GET"), QStringLiteral("/v1/users")).first().target,
                 sentTarget);
    }
    QCOMPARE(ops.store->notice(), std::nullopt);
}

void TestStoreSocial::lookupKeepsLocalFieldsOfKnownAccount()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("새 이름"));
    QVERIFY(ops.start(QStringLiteral("me")));
    Account stale = person(QStringLiteral("old_handle"), QStringLiteral("옛 이름"));
    stale.id = other;
    stale.avatarJPEG = QByteArray("local-photo");
    stale.acceptsUserMessages = false;
    stale.handleChanged = true;
    stale.status = AccountStatus::suspended;
    ops.store->editAccounts([&](QList<Account> &list) { list.append(stale); });
    const qsizetype count = ops.store->accounts().size();

    const std::optional<Account> found
        = finish(ops.store->lookup(QStringLiteral("other"))).value_or(std::nullopt);
    QVERIFY(found);
    QCOMPARE(ops.store->accounts().size(), count);
    QCOMPARE(found->displayName, QStringLiteral("새 이름"));
    QCOMPARE(found->handle, QStringLiteral("other"));
    QCOMPARE(found->status, AccountStatus::active);
    QCOMPARE(found->avatarJPEG, QByteArray("local-photo"));
    QCOMPARE(found->acceptsUserMessages, false);
    QCOMPARE(found->handleChanged, true);
}

void TestStoreSocial::lookupFollowsOfficialOnce()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid house = ops.service.houseAccountId();
    QVERIFY(ops.start(QStringLiteral("me")));
    ops.store->setOfficialLinks({});

    finish(ops.store->lookup(QStringLiteral("zumo")));
    finish(ops.store->lookup(QStringLiteral("@ZUMO")));
    QCOMPARE(ops.store->officialLinks(), (QList<OfficialLink>{OfficialLink{house, false}}));
    QCOMPARE(ops.store->account(house)->kind, AccountKind::official);
    QCOMPARE(ops.store->account(house)->officialAccountId, ops.service.officialAccountId(house));
}

void TestStoreSocial::lookupFailures()
{
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    QVERIFY(ops.start(QStringLiteral("me")));
    const qsizetype count = ops.store->accounts().size();

    QVERIFY(!finish(ops.store->lookup(QStringLiteral("nobody"))).value_or(std::nullopt));
    QCOMPARE(ops.store->notice(), std::nullopt);

    ops.service.failNext(QStringLiteral("GET"), QStringLiteral("/v1/users"), 1, 500,
                         QStringLiteral("server_error"), QStringLiteral("검색할 수 없습니다."));
    QVERIFY(!finish(ops.store->lookup(QStringLiteral("nobody"))).value_or(std::nullopt));
    QCOMPARE(ops.store->notice(), QStringLiteral("검색할 수 없습니다."));
    QCOMPARE(ops.store->accounts().size(), count);
}

void TestStoreSocial::lookupRecordsServiceBlockOnce()
{
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid other = ops.addUser(QStringLiteral("other"), QStringLiteral("상대"));
    const QUuid third = ops.addUser(QStringLiteral("third"), QStringLiteral("셋"));
    ops.service.block(me, other);
    ops.service.block(me, third);
    QVERIFY(ops.start(QStringLiteral("me")));

    finish(ops.store->lookup(QStringLiteral("other")));
    QCOMPARE(ops.store->blocks(), QList<QUuid>{other});
    QCOMPARE(storedBlockTexts(), QStringList{LiveOps::id(other)});

    // Already blocked here: the list and the settings stay as they are.
    QSettings().remove(QStringLiteral("quillo.live.blocks"));
    ops.store->setBlocks({third});
    QSignalSpy blocksChanged(ops.store.get(), &LocalStore::blocksChanged);
    finish(ops.store->lookup(QStringLiteral("third")));
    QCOMPARE(blocksChanged.count(), 0);
    QVERIFY(!QSettings().contains(QStringLiteral("quillo.live.blocks")));

    // A false flag does not unblock.
    ops.store->setBlocks({ops.service.houseAccountId()});
    finish(ops.store->lookup(QStringLiteral("zumo")));
    QCOMPARE(ops.store->blocks(), QList<QUuid>{ops.service.houseAccountId()});
}

void TestStoreSocial::localLookupFindsKnownHandle()
{
    LocalStore store(false, 0ms, nullptr);
    signInWithProfile(store);
    const std::optional<Account> sora
        = finish(store.lookup(QStringLiteral(" @SORA"))).value_or(std::nullopt);
    QVERIFY(sora);
    QCOMPARE(sora->id, SeedID::sora());
    QVERIFY(!finish(store.lookup(QStringLiteral("nobody"))).value_or(std::nullopt));
}

QTEST_GUILESS_MAIN(TestStoreSocial)
#include "tst_store_social.moc"
