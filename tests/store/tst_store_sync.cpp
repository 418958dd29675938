// Start-up against the stand-in service, the room list and sync pages, live events, unread
// counts and the dock badge.

#include "StoreTestSupport.h"

#include "api/ChatEvent.h"

#include <QJsonArray>
#include <QTest>

class TestStoreSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init()
    {
        clearDefaults();
        PushCenter::reset();
    }

    void bootstrapWithoutSession();
    void bootstrapWithIncompleteProfile();
    void bootstrapFailingMe();
    void bootstrapLoadsEverything();
    void syncCursor();
    void syncCoversAtMostFiftyRooms();
    void roomListApply();
    void failuresOfOneStepDoNotStopTheOthers();
    void liveMessageEvent();
    void readAndTypingEvents();
    void friendRequestsRebuildLinks();
    void refreshLiveNeedsACompleteProfile();
    void localModesSkipStartUp();
};

void TestStoreSync::bootstrapWithoutSession()
{
    LiveRig rig;
    QVERIFY(rig.started);
    auto store = rig.signedOutStore();
    await(store->bootstrap());
    QCOMPARE(store->session(), std::nullopt);
    QVERIFY(rig.service.requests().isEmpty());
    QCOMPARE(store->notice(), store->client()->lastFailure());
}

void TestStoreSync::bootstrapWithIncompleteProfile()
{
    LiveRig rig;
    QVERIFY(rig.started);
    SeedUser u;
    u.email = QStringLiteral("new@example.com");
    u.password = QStringLiteral("password1");
    const QUuid meId = rig.service.addUser(u);
    auto store = rig.signedInStore(u.email);
    QVERIFY(store);
    // A photo chosen before the profile was finished waits in the local account.
    Account local;
    local.id = meId;
    local.avatarJPEG = QByteArray("\xFF\xD8\xFF\xE0 local avatar", 18);
    store->setAccounts({local});
    rig.service.clearRecords();

    await(store->bootstrap());
    QVERIFY(store->session());
    QCOMPARE(store->session()->meId, meId);
    QVERIFY(!store->session()->profileComplete);
    QCOMPARE(store->lastUserId(), meId);
    QCOMPARE(rig.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/uploads")), 1);
    QCOMPARE(rig.countRequests(QStringLiteral("PATCH"), QStringLiteral("/v1/me")), 1);
    QCOMPARE(rig.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/conversations")), 0);
    QCOMPARE(rig.service.authenticatedSocketCount(), 0);
    QVERIFY(store->me()->avatarURL.has_value());
    QCOMPARE(store->me()->avatarJPEG, local.avatarJPEG);
}

void TestStoreSync::bootstrapFailingMe()
{
    LiveRig rig;
    QVERIFY(rig.started);
    rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    rig.service.failNext(QStringLiteral("GET"), QStringLiteral("/v1/me"), 1, 500,
                         QStringLiteral("boom"), QStringLiteral("서버가 잠시 쉬고 있습니다."));
    await(store->bootstrap());
    QCOMPARE(store->session(), std::nullopt);
    QCOMPARE(store->notice(), QStringLiteral("서버가 잠시 쉬고 있습니다."));
}

void TestStoreSync::bootstrapLoadsEverything()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid peer = rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
    const QUuid asker = rig.addUser(QStringLiteral("asker"), QStringLiteral("요청자"));
    const QUuid roomId = rig.service.addDirectRoom(meId, peer);
    rig.service.addMessage(roomId, peer, QStringLiteral("첫 번째"));
    rig.service.addMessage(roomId, peer, QStringLiteral("두 번째"));
    rig.service.addFriendRequest(asker, meId);
    RecordingBadge badge;
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"), &badge);
    QVERIFY(store);

    await(store->bootstrap());
    QVERIFY(store->session()->profileComplete);
    QCOMPARE(store->conversations().size(), 1);
    const Conversation room = store->conversations().first();
    QCOMPARE(store->conversationTitle(room), QStringLiteral("상대"));
    QCOMPARE(store->visibleMessages(roomId).size(), 2);
    QCOMPARE(store->unreadCount(room), 2);
    QCOMPARE(badge.last(), QStringLiteral("2"));
    QCOMPARE(store->incomingRequests().size(), 1);
    QCOMPARE(store->incomingRequests().first().id, asker);
    QVERIFY(store->incomingRequestIDs().contains(asker));
    QTRY_COMPARE(rig.service.authenticatedSocketCount(), 1);
    QCOMPARE(store->notice(), std::nullopt);
}

void TestStoreSync::syncCursor()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid peer = rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
    const QUuid full = rig.service.addDirectRoom(meId, peer);
    const QUuid empty = rig.service.addGroupRoom(meId, QStringLiteral("빈 방"), {peer});
    for (int i = 0; i < 3; ++i)
        rig.service.addMessage(full, peer, QStringLiteral("m%1").arg(i));
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);
    const qint64 last = *store->messageIndex().highestSeq(full);
    const qint64 emptyLast = store->messageIndex().highestSeq(empty).value_or(0);

    // An echo still on its way carries only a provisional seq: it must not move the cursor
    // past messages the service has yet to send.
    ChatMessage echo = textMessage(full, meId, last + 1);
    echo.delivery = DeliveryState::sending;
    store->merge(echo, false);

    const QString cursor = store->syncCursor({full, empty});
    QCOMPARE(cursor,
             QStringLiteral("%1:%2,%3:%4")
                 .arg(full.toString(QUuid::WithoutBraces).toUpper())
                 .arg(last)
                 .arg(empty.toString(QUuid::WithoutBraces).toUpper())
                 .arg(emptyLast));

    rig.service.clearRecords();
    rig.service.addMessage(full, peer, QStringLiteral("new"));
    await(store->reloadRemote());
    QString target;
    for (const RecordedRequest &r : rig.service.requests()) {
        if (r.target.startsWith(QStringLiteral("/v1/sync")))
            target = r.target;
    }
    QVERIFY(target.contains(full.toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(":")
                            + QString::number(last)));
    // The new message came with the page and the echo is still there.
    QCOMPARE(store->messageIndex().roomSize(full), 5);
}

void TestStoreSync::syncCoversAtMostFiftyRooms()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid peer = rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
    for (int i = 0; i < 52; ++i)
        rig.service.addGroupRoom(meId, QStringLiteral("방 %1").arg(i), {peer});
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);
    QCOMPARE(store->conversations().size(), 52);
    QString target;
    for (const RecordedRequest &r : rig.service.requests()) {
        if (r.target.startsWith(QStringLiteral("/v1/sync")))
            target = r.target;
    }
    QCOMPARE(target.count(u','), 49);
    QCOMPARE(store->notice(), std::nullopt);
}

void TestStoreSync::roomListApply()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid peer = rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
    const QUuid other = rig.addUser(QStringLiteral("other_user"), QStringLiteral("다른 이"));
    const QUuid group = rig.service.addGroupRoom(meId, QString(), {peer, other});
    const QUuid direct = rig.service.addDirectRoom(meId, peer);
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);

    // A hidden room stays hidden across reloads; a local room photo survives them.
    store->setHiddenRoomIDs({direct});
    LiveRig::adopt(*store);
    Conversation g = *store->conversation(group);
    QCOMPARE(g.kind, ConversationKind::group);
    QVERIFY(store->isOwner(g));
    QCOMPARE(store->conversationTitle(g), QStringLiteral("상대, 다른 이"));
    QVERIFY(store->conversation(direct)->hiddenFromList);
    QCOMPARE(store->sortedList().size(), 1);
    g.photoJPEG = QByteArray("photo");
    store->replaceConversation(g);
    SignalCount rooms(store.get(), &LocalStore::conversationsChanged);
    await(store->reloadRemote());
    QCOMPARE(store->conversation(group)->photoJPEG, QByteArray("photo"));
    QCOMPARE(rooms.count, 0); // nothing changed: an equal list raises no signal
    QCOMPARE(store->account(other)->displayName, QStringLiteral("다른 이"));
}

void TestStoreSync::failuresOfOneStepDoNotStopTheOthers()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid asker = rig.addUser(QStringLiteral("asker"), QStringLiteral("요청자"));
    rig.service.addFriendRequest(asker, meId);
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    store->apply(*store->client()->currentUser(), std::nullopt);
    rig.service.failNext(QStringLiteral("GET"), QStringLiteral("/v1/conversations"), 1, 503,
                         QStringLiteral("busy"), QStringLiteral("잠시 후 다시 시도해 주세요."));
    await(store->reloadRemote());
    QCOMPARE(store->notice(), QStringLiteral("잠시 후 다시 시도해 주세요."));
    QCOMPARE(store->incomingRequests().size(), 1);

    rig.service.dropNext(QStringLiteral("GET"), QStringLiteral("/v1/friend-requests"), 1);
    store->acknowledgeNotice();
    await(store->reloadRemote());
    QCOMPARE(store->notice(), QStringLiteral("일시적인 오류입니다."));
}

void TestStoreSync::liveMessageEvent()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid peer = rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
    const QUuid roomId = rig.service.addDirectRoom(meId, peer);
    RecordingBadge badge;
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"), &badge);
    QVERIFY(store);
    await(store->bootstrap());
    QTRY_COMPARE(rig.service.authenticatedSocketCount(), 1);
    QTRY_VERIFY(store->client()->socketReady());
    SignalCount sounds(store.get(), &LocalStore::incomingSound);

    rig.service.addMessage(roomId, peer, QStringLiteral("안녕하세요"));
    QTRY_COMPARE(store->visibleMessages(roomId).size(), 1);
    const ChatMessage got = store->visibleMessages(roomId).first();
    QCOMPARE(got.body, QStringLiteral("안녕하세요"));
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 1);
    QCOMPARE(badge.last(), QStringLiteral("1"));
    QCOMPARE(store->conversation(roomId)->updatedAt, got.createdAt);
    QCOMPARE(sounds.count, 1);

    // The same message again (a repeated frame) replaces it and counts nothing.
    APIMessage wire;
    wire.id = got.id;
    wire.conversationId = roomId;
    wire.seq = got.seq;
    wire.senderId = peer;
    wire.type = QStringLiteral("text");
    wire.origin = QStringLiteral("user");
    wire.body = QStringLiteral("안녕하세요");
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(store->visibleMessages(roomId).size(), 1);
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 1);

    // A second one within half a second plays no sound; a muted room never does.
    rig.service.addMessage(roomId, peer, QStringLiteral("또"));
    QTRY_COMPARE(store->visibleMessages(roomId).size(), 2);
    QCOMPARE(sounds.count, 1);
    QCOMPARE(badge.last(), QStringLiteral("2"));

    // A system message counts nothing; a message for an unknown room reloads the list.
    wire.id = QUuid::createUuid();
    wire.clientMsgId.reset();
    wire.seq = 99;
    wire.type = QStringLiteral("system");
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 2);
    wire.id = QUuid::createUuid();
    wire.conversationId = QUuid::createUuid();
    wire.type = QStringLiteral("text");
    store->apply(ChatEvent::makeMessage(wire));
    QVERIFY(store->roomRefreshPending());
    QTRY_VERIFY(!store->roomRefreshPending());
    QTRY_COMPARE(rig.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/friend-requests")),
                 2);
    QTest::qWait(300); // let the reload's last answer arrive before the store goes
}

void TestStoreSync::readAndTypingEvents()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid peer = rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
    const QUuid roomId = rig.service.addDirectRoom(meId, peer);
    for (int i = 0; i < 3; ++i)
        rig.service.addMessage(roomId, peer, QStringLiteral("m%1").arg(i));
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);
    const QList<ChatMessage> held = store->visibleMessages(roomId);
    QCOMPARE(held.size(), 3);

    ChatMessage mine = textMessage(roomId, meId, held.last().seq + 1);
    store->merge(mine, false);
    QVERIFY(store->showsUnreadDot(*store->conversation(roomId)));
    store->apply(ChatEvent::makeRead(roomId, peer, mine.seq));
    QVERIFY(store->isReadByPeer(mine.id));
    QVERIFY(!store->showsUnreadDot(*store->conversation(roomId)));
    store->apply(ChatEvent::makeRead(roomId, peer, 1)); // an older frame moves nothing back
    QVERIFY(store->isReadByPeer(mine.id));

    // Read on another device of mine: only what lies above the mark stays unread.
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 3);
    store->apply(ChatEvent::makeRead(roomId, meId, held.at(1).seq));
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 1);

    store->apply(ChatEvent::makeTyping(roomId, peer, true));
    QCOMPARE(store->typingLabel(roomId), QStringLiteral("입력 중"));
    store->apply(ChatEvent::makeTyping(roomId, peer, false));
    QCOMPARE(store->typingLabel(roomId), std::nullopt);
    // Left alone, the line goes away after three seconds.
    store->apply(ChatEvent::makeTyping(roomId, peer, true));
    QTest::qWait(1500);
    QCOMPARE(store->typingLabel(roomId), QStringLiteral("입력 중"));
    QTRY_COMPARE_WITH_TIMEOUT(store->typingLabel(roomId), std::nullopt, 5000);
}

void TestStoreSync::friendRequestsRebuildLinks()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid asker = rig.addUser(QStringLiteral("asker"), QStringLiteral("요청자"));
    const QUuid wanted = rig.addUser(QStringLiteral("wanted"), QStringLiteral("받는이"));
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);
    store->setFriends({FriendLink{QUuid::createUuid(), FriendState::friends}});
    const QUuid requestId = rig.service.addFriendRequest(asker, meId);
    rig.service.addFriendRequest(meId, wanted);
    store->apply(ChatEvent::makeFriendRequest());
    QTRY_COMPARE(store->friends().size(), 2);
    QCOMPARE(store->friendState(asker), FriendState::incoming);
    QCOMPARE(store->friendState(wanted), FriendState::outgoing);
    QCOMPARE(store->incomingRequestIDs(), (QHash<QUuid, QUuid>{{asker, requestId}}));
}

void TestStoreSync::refreshLiveNeedsACompleteProfile()
{
    LiveRig rig;
    QVERIFY(rig.started);
    auto store = rig.signedOutStore();
    await(store->refreshLive());
    store->setSession(AppSession{QUuid::createUuid(), false});
    await(store->refreshLive());
    QVERIFY(rig.service.requests().isEmpty());
}

void TestStoreSync::localModesSkipStartUp()
{
    auto store = memoryStore();
    const QList<Account> before = store->accounts();
    await(store->bootstrap());
    await(store->refreshLive());
    await(store->reloadRemote());
    await(store->loadRoom(QUuid::createUuid()));
    await(store->loadOlder(QUuid::createUuid()));
    QCOMPARE(store->accounts(), before);
    QCOMPARE(store->session(), std::nullopt);
}

QTEST_MAIN(TestStoreSync)
#include "tst_store_sync.moc"
