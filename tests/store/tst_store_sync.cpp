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
    void mapMessage_data();
    void mapMessage();
    void mergeCountsOnlyNewMessagesFromOthers_data();
    void mergeCountsOnlyNewMessagesFromOthers();
    void mergeKeepsWhatOnlyThisClientKnows();
    void failuresOfOneStepDoNotStopTheOthers();
    void liveMessageEvent();
    void messageArrivedOnlyForNewMessagesFromOthers_data();
    void messageArrivedOnlyForNewMessagesFromOthers();
    void readAndTypingEvents();
    void friendRequestsRebuildLinks();
    void refreshLiveNeedsACompleteProfile();
    void localModesSkipStartUp();
    // Last on purpose: work left behind by a store that is gone shows as a leak at exit.
    void debouncedReloadRestartsAndEndsWithTheStore();
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

void TestStoreSync::mapMessage_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QVariant>("body"); // null: no body on the wire
    QTest::addColumn<QString>("createdAt"); // empty: none on the wire
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("originOut");
    QTest::addColumn<QString>("bodyOut");
    QTest::addColumn<QDateTime>("time"); // invalid: the time of mapping
    const auto S = [](const char *text) { return QString::fromUtf8(text); };
    const QDateTime t = QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30, 123), Qt::UTC);
    const QString tText = QStringLiteral("2024-05-01T10:20:30.123Z");
    QTest::newRow("text with fraction")
        << S("text") << S("user") << QVariant(S("안녕")) << tText << int(MessageKind::text)
        << int(MessageOrigin::user) << S("안녕") << t;
    QTest::newRow("photo without body, whole seconds")
        << S("image") << S("broadcast") << QVariant() << S("2024-05-01T10:20:30Z")
        << int(MessageKind::image) << int(MessageOrigin::broadcast) << S("사진")
        << t.addMSecs(-123);
    QTest::newRow("photo with caption")
        << S("image") << S("reply") << QVariant(S("노을")) << tText << int(MessageKind::image)
        << int(MessageOrigin::reply) << S("노을") << t;
    QTest::newRow("deleted loses its body")
        << S("deleted") << S("system") << QVariant(S("지운 글")) << tText
        << int(MessageKind::deleted) << int(MessageOrigin::system) << QString() << t;
    QTest::newRow("system line") << S("system") << S("") << QVariant(S("들어왔습니다")) << tText
                                 << int(MessageKind::system) << int(MessageOrigin::user)
                                 << S("들어왔습니다") << t;
    QTest::newRow("unknown words, unreadable time")
        << S("sticker") << S("robot") << QVariant() << S("yesterday") << int(MessageKind::text)
        << int(MessageOrigin::user) << QString() << QDateTime();
    QTest::newRow("no time") << S("text") << S("user") << QVariant(S("x")) << S("")
                             << int(MessageKind::text) << int(MessageOrigin::user) << S("x")
                             << QDateTime();
}

void TestStoreSync::mapMessage()
{
    QFETCH(QString, type);
    QFETCH(QString, origin);
    QFETCH(QVariant, body);
    QFETCH(QString, createdAt);
    QFETCH(int, kind);
    QFETCH(int, originOut);
    QFETCH(QString, bodyOut);
    QFETCH(QDateTime, time);
    auto store = memoryStore();
    APIMessage wire;
    wire.id = QUuid::createUuid();
    wire.conversationId = QUuid::createUuid();
    wire.senderId = QUuid::createUuid();
    wire.seq = 7;
    wire.type = type;
    wire.origin = origin;
    if (body.isValid())
        wire.body = body.toString();
    if (!createdAt.isEmpty())
        wire.createdAt = createdAt;
    wire.attachments = QList<APIAttachment>{APIAttachment{}, APIAttachment{}};
    (*wire.attachments)[0].url = QStringLiteral("https://example.com/first.jpg");
    (*wire.attachments)[1].url = QStringLiteral("https://example.com/second.jpg");

    const QDateTime before = QDateTime::currentDateTimeUtc();
    ChatMessage m = store->mapMessage(wire);
    const QDateTime after = QDateTime::currentDateTimeUtc();
    QCOMPARE(int(m.kind), kind);
    QCOMPARE(int(m.origin), originOut);
    QCOMPARE(m.body, bodyOut);
    if (time.isValid())
        QCOMPARE(m.createdAt, time);
    else
        QVERIFY(m.createdAt >= before && m.createdAt <= after);
    QCOMPARE(m.clientMsgId, wire.id); // no client id on the wire: the message id
    QCOMPARE(m.imageURL, QStringLiteral("https://example.com/first.jpg"));
    QCOMPARE(m.delivery, DeliveryState::sent);
    QVERIFY(!m.hiddenForMe && !m.imageJPEG && !m.replyToId && !m.idempotencyKey);

    wire.clientMsgId = QUuid::createUuid();
    QCOMPARE(store->mapMessage(wire).clientMsgId, *wire.clientMsgId);
}

void TestStoreSync::mergeCountsOnlyNewMessagesFromOthers_data()
{
    QTest::addColumn<bool>("fromMe");
    QTest::addColumn<bool>("system");
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("countUnread");
    QTest::addColumn<int>("unread");
    QTest::newRow("new from a peer") << false << false << false << true << 1;
    QTest::newRow("not to be counted") << false << false << false << false << 0;
    QTest::newRow("mine") << true << false << false << true << 0;
    QTest::newRow("system line") << false << true << false << true << 0;
    QTest::newRow("replacement") << false << false << true << true << 0;
}

void TestStoreSync::mergeCountsOnlyNewMessagesFromOthers()
{
    QFETCH(bool, fromMe);
    QFETCH(bool, system);
    QFETCH(bool, held);
    QFETCH(bool, countUnread);
    QFETCH(int, unread);
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QUuid roomId = QUuid::createUuid();
    ChatMessage m = textMessage(roomId, fromMe ? me : QUuid::createUuid(), 1);
    if (system)
        m.kind = MessageKind::system;
    if (held)
        store->merge(m, false);
    const qsizetype before = store->messageIndex().size();
    store->merge(m, countUnread);
    QCOMPARE(store->messageIndex().size(), held ? before : before + 1);
    QCOMPARE(store->remoteUnread().value(roomId, 0), unread);
}

void TestStoreSync::mergeKeepsWhatOnlyThisClientKnows()
{
    auto store = memoryStore();
    const QUuid roomId = QUuid::createUuid();
    const QUuid sender = QUuid::createUuid();
    ChatMessage echo = textMessage(roomId, sender, 3, QStringLiteral("노을"));
    echo.kind = MessageKind::image;
    echo.imageJPEG = QByteArray("jpeg");
    echo.imageURL = QStringLiteral("file-of-mine");
    echo.replyToId = QUuid::createUuid();
    echo.delivery = DeliveryState::sending;
    const ChatMessage other = textMessage(roomId, sender, 4);
    store->merge(echo, false);
    store->merge(other, false);

    // The service's copy names the echo by its client id only, carries "사진" and no extras.
    ChatMessage copy = textMessage(roomId, sender, 9, QStringLiteral("사진"));
    copy.clientMsgId = echo.clientMsgId;
    copy.kind = MessageKind::image;
    store->merge(copy, true);
    const QList<ChatMessage> all = store->messages();
    QCOMPARE(all.size(), 2);
    const ChatMessage &merged = all.first(); // in the echo's place
    QCOMPARE(merged.id, copy.id);
    QCOMPARE(merged.seq, 9);
    QCOMPARE(merged.delivery, DeliveryState::sent);
    QCOMPARE(merged.body, QStringLiteral("노을"));
    QCOMPARE(merged.imageJPEG, echo.imageJPEG);
    QCOMPARE(merged.imageURL, echo.imageURL);
    QCOMPARE(merged.replyToId, echo.replyToId);

    // A copy with values of its own keeps them; a held "사진" body is nothing to take over.
    ChatMessage newer = copy;
    newer.imageURL = QStringLiteral("https://example.com/p.jpg");
    newer.body = QStringLiteral("사진");
    ChatMessage plain = other;
    plain.kind = MessageKind::image;
    plain.body = QStringLiteral("사진");
    plain.imageURL = QStringLiteral("held-url");
    store->merge(plain, false);
    newer.id = other.id;
    newer.clientMsgId = other.clientMsgId;
    newer.conversationId = roomId;
    newer.seq = other.seq;
    store->merge(newer, false);
    QCOMPARE(store->message(other.id)->imageURL, newer.imageURL);
    QCOMPARE(store->message(other.id)->body, QStringLiteral("사진"));
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

void TestStoreSync::messageArrivedOnlyForNewMessagesFromOthers_data()
{
    QTest::addColumn<bool>("fromMe");
    QTest::addColumn<QString>("held"); // what the store holds before the event
    QTest::addColumn<bool>("announced");
    QTest::newRow("new, from a peer") << false << QString() << true;
    QTest::newRow("new, mine from another device") << true << QString() << false;
    QTest::newRow("repeat of a held message") << false << QStringLiteral("id") << false;
    QTest::newRow("service copy of my echo") << true << QStringLiteral("client id") << false;
    QTest::newRow("peer copy held by client id") << false << QStringLiteral("client id") << false;
}

void TestStoreSync::messageArrivedOnlyForNewMessagesFromOthers()
{
    QFETCH(bool, fromMe);
    QFETCH(QString, held);
    QFETCH(bool, announced);
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid peer = rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
    const QUuid roomId = rig.service.addDirectRoom(meId, peer);
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);

    APIMessage wire;
    wire.id = QUuid::createUuid();
    wire.conversationId = roomId;
    wire.senderId = fromMe ? meId : peer;
    wire.seq = 1;
    wire.type = QStringLiteral("text");
    wire.origin = QStringLiteral("user");
    wire.body = QStringLiteral("새 소식");
    wire.createdAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    if (held == u"id") {
        store->merge(store->mapMessage(wire), false);
    } else if (held == u"client id") {
        ChatMessage echo = textMessage(roomId, wire.senderId, 1, *wire.body);
        echo.delivery = DeliveryState::sending;
        store->merge(echo, false);
        wire.clientMsgId = echo.clientMsgId;
    }
    const qsizetype before = store->messageIndex().size();

    QObject context;
    QList<ChatMessage> arrived;
    bool heldWhenTold = false;
    int unreadWhenTold = -1;
    connect(store.get(), &LocalStore::messageArrived, &context, [&](const ChatMessage &m) {
        arrived.append(m);
        heldWhenTold = store->message(m.id).has_value();
        unreadWhenTold = store->remoteUnread().value(roomId, 0);
    });
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(store->messageIndex().size(), held.isEmpty() ? before + 1 : before);
    QCOMPARE(arrived.size(), announced ? 1 : 0);
    if (announced) {
        QCOMPARE(arrived.first().id, wire.id);
        QCOMPARE(arrived.first().body, QStringLiteral("새 소식"));
        QVERIFY(heldWhenTold);
        QCOMPARE(unreadWhenTold, 1);
    }
    // The same frame once more is never a new arrival.
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(arrived.size(), announced ? 1 : 0);
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

void TestStoreSync::debouncedReloadRestartsAndEndsWithTheStore()
{
    LiveRig rig;
    QVERIFY(rig.started);
    rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);
    rig.service.clearRecords();

    // A burst of requests makes one reload.
    SignalCount pending(store.get(), &LocalStore::roomRefreshChanged);
    for (int i = 0; i < 3; ++i)
        store->refreshRoomsSoon();
    QVERIFY(store->roomRefreshPending());
    QCOMPARE(pending.count, 1);
    QTRY_VERIFY(!store->roomRefreshPending());
    QTRY_COMPARE(rig.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/friend-requests")),
                 1);
    QCOMPARE(rig.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/conversations")), 1);

    // A store that goes while a reload waits takes the wait with it.
    rig.service.clearRecords();
    store->refreshRoomsSoon();
    store.reset();
    QCoreApplication::processEvents();
    QVERIFY(rig.service.requests().isEmpty());

    // A store that goes while a reload is on the wire: the reload's later steps meet a closing
    // client and end at once; nothing crashes and nothing is left suspended.
    store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);
    rig.service.delayNext(QStringLiteral("GET"), QStringLiteral("/v1/conversations"), 1, 2000);
    rig.service.clearRecords();
    store->refreshLive();
    QTRY_COMPARE(rig.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/conversations")), 1);
    store.reset();
    QCoreApplication::processEvents();
    QCOMPARE(rig.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/friend-requests")), 0);
}

QTEST_MAIN(TestStoreSync)
#include "tst_store_sync.moc"
