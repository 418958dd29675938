// Start-up against the stand-in service, the room list and sync pages, live events, unread
// counts and the launcher badge.

#include "StoreTestSupport.h"

#include "api/ChatEvent.h"
#include "store/CatchUp.h"
#include "store/WireTime.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestStoreSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaultsAndPushHooks(); }

    void startUpNeedsACompleteSession();
    void bootstrapWithIncompleteProfile();
    void startUpRetriesWhileTheServiceIsAway_data();
    void startUpRetriesWhileTheServiceIsAway();
    void signingInByHandStopsTheRetries();
    void catchUpAfterTheSocketWasAway();
    void bootstrapLoadsEverything();
    void syncCursor();
    void syncCoversAtMostFiftyRooms();
    void roomListApply();
    void wireTimes_data();
    void wireTimes();
    void mapMessage_data();
    void mapMessage();
    void mapUserWords_data();
    void mapUserWords();
    void mergeCountsOnlyNewMessagesFromOthers_data();
    void mergeCountsOnlyNewMessagesFromOthers();
    void mergeKeepsWhatOnlyThisClientKnows();
    void failuresOfOneStepDoNotStopTheOthers();
    void liveMessageEvent();
    void messageArrivedOnlyForNewMessagesFromOthers_data();
    void messageArrivedOnlyForNewMessagesFromOthers();
    void readAndTypingEvents();
    void friendRequestsRebuildLinks();
    void gatheredWorkEndsQuietlyAfterSignOut();
    void localModesSkipStartUp();
    // Last on purpose: work left behind by a store that is gone shows as a leak at exit.
    void debouncedReloadRestartsAndEndsWithTheStore();
};

void TestStoreSync::startUpNeedsACompleteSession()
{
    LiveRig rig;
    QVERIFY(rig.started);
    auto store = rig.signedOutStore();
    await(store->bootstrap());
    QCOMPARE(store->session(), std::nullopt);
    QCOMPARE(store->notice(), store->client()->lastFailure());
    await(store->refreshLive());
    store->setSession(AppSession{QUuid::createUuid(), false});
    await(store->refreshLive());
    QVERIFY(rig.service.requests().isEmpty());
}

void TestStoreSync::bootstrapWithIncompleteProfile()
{
    LiveRig rig;
    QVERIFY(rig.started);
    SeedUser u;
    u.email = u"new@example.com"_s;
    u.password = rig.password;
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
    QCOMPARE(store->session(), (AppSession{meId, false}));
    QCOMPARE(store->lastUserId(), meId);
    QCOMPARE(rig.countRequests(u"POST"_s, u"/v1/uploads"_s), 1);
    QCOMPARE(rig.countRequests(u"PATCH"_s, u"/v1/me"_s), 1);
    QCOMPARE(rig.countRequests(u"GET"_s, u"/v1/conversations"_s), 0);
    QCOMPARE(rig.service.authenticatedSocketCount(), 0);
    QVERIFY(store->me()->avatarURL.has_value());
    QCOMPARE(store->me()->avatarJPEG, local.avatarJPEG);
}

void TestStoreSync::startUpRetriesWhileTheServiceIsAway_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<bool>("retried");
    QTest::newRow("me answered 500") << u"me 500"_s << u"서버가 잠시 쉬고 있습니다."_s << true;
    QTest::newRow("me without an answer") << u"me dropped"_s << u"일시적인 오류입니다."_s << true;
    QTest::newRow("refresh answered 503")
        << u"refresh 503"_s << u"서버가 잠시 쉬고 있습니다."_s << true;
    QTest::newRow("me refused") << u"me 403"_s << u"들어올 수 없습니다."_s << false;
}

// The service is away at start: the user sees the notice over the sign-in form, the stored
// session stays, and once the service answers the workspace comes up by itself. A refusal is
// no outage: the user stays signed out and nothing is tried again.
void TestStoreSync::startUpRetriesWhileTheServiceIsAway()
{
    QFETCH(QString, fault);
    QFETCH(QString, notice);
    QFETCH(bool, retried);
    LivePair live(1);
    if (fault.startsWith(u"refresh"))
        live.service.setAccessTokenLifetime(30); // the stored session is refreshed at start
    LocalStore *store = live.signIn();
    QVERIFY(store);
    if (fault.startsWith(u"me 5") || fault.startsWith(u"me 4"))
        live.service.failNext(u"GET"_s, u"/v1/me"_s, 1, fault.mid(3).toInt(), u"boom"_s, notice);
    else if (fault == u"me dropped")
        live.service.dropNext(u"GET"_s, u"/v1/me"_s, 1);
    else
        live.service.failNext(u"POST"_s, u"/v1/auth/refresh"_s, 1, 503, u"boom"_s, notice);

    await(store->bootstrap());
    QCOMPARE(store->session(), std::nullopt);
    QCOMPARE(store->notice(), notice);
    QCOMPARE(store->startUpRetryPending(), retried);
    if (!retried)
        return;
    QVERIFY(store->client()->hasSession());

    QTRY_VERIFY_WITH_TIMEOUT(store->session().has_value(), 8000);
    QVERIFY(store->session()->profileComplete);
    QTRY_COMPARE(store->visibleMessages(live.room).size(), 1);
    QTRY_COMPARE(live.service.authenticatedSocketCount(), 1);
    QVERIFY(!store->startUpRetryPending());
}

void TestStoreSync::signingInByHandStopsTheRetries()
{
    LivePair live;
    LocalStore *store = live.signIn();
    QVERIFY(store);
    live.service.failNext(u"GET"_s, u"/v1/me"_s, 1, 502, u"boom"_s, u"잠시 후에"_s);
    await(store->bootstrap());
    QVERIFY(store->startUpRetryPending());
    const auto error = finish(store->login(u"me_user@example.com"_s, live.password));
    QVERIFY(error && !error->has_value());
    const std::optional<AppSession> signedIn = store->session();
    QVERIFY(signedIn);
    live.service.clearRecords();
    QTest::qWait(2500); // past the first retry's time
    QCOMPARE(live.countRequests(u"GET"_s, u"/v1/me"_s), 0);
    QCOMPARE(store->session(), signedIn);
}

// The socket is away for a while and a message is sent meanwhile: once the service accepts a
// socket again the message is fetched without any action, what only this client knows
// survives, and nothing counts or rings twice.
void TestStoreSync::catchUpAfterTheSocketWasAway()
{
    LivePair live(1);
    LocalStore *store = live.open(true);
    QVERIFY(store);
    QTRY_VERIFY(store->client()->socketReady());
    QList<ChatMessage> arrived;
    QObject context;
    connect(store, &LocalStore::messageArrived, &context,
            [&](const ChatMessage &m) { arrived.append(m); });

    live.service.addMessage(live.room, live.peer, u"실시간"_s);
    QTRY_COMPARE(store->visibleMessages(live.room).size(), 2);
    // A reply link held only here, on the message that came live.
    ChatMessage live1 = store->visibleMessages(live.room).last();
    const QUuid target = store->visibleMessages(live.room).first().id;
    live1.replyToId = target;
    store->merge(live1, false);
    QCOMPARE(store->unreadCount(*store->conversation(live.room)), 2);

    live.service.setCloseAfterAuth(true);
    live.service.dropAllSockets();
    QTRY_VERIFY(store->client()->reconnects() >= 1);
    const QUuid missed = live.postMessage(live.room, live.peer, u"없는 사이에"_s);
    live.service.setCloseAfterAuth(false);

    QTRY_VERIFY_WITH_TIMEOUT(store->message(missed).has_value(), 8000);
    QCOMPARE(store->visibleMessages(live.room).size(), 3);
    QCOMPARE(store->message(live1.id)->replyToId, std::optional<QUuid>(target));
    QCOMPARE(store->unreadCount(*store->conversation(live.room)), 3);
    QCOMPARE(live.badge.last(), 3);
    QCOMPARE(arrived.size(), 2);
    QCOMPARE(arrived.last().id, missed);
}

void TestStoreSync::bootstrapLoadsEverything()
{
    LivePair live(2);
    const QUuid asker = live.addUser(u"asker"_s, u"요청자"_s);
    live.service.addFriendRequest(asker, live.me);
    LocalStore *store = live.open(true);
    QVERIFY(store);
    QVERIFY(store->session()->profileComplete);
    QCOMPARE(store->conversations().size(), 1);
    const Conversation room = store->conversations().first();
    QCOMPARE(store->conversationTitle(room), u"상대"_s);
    QCOMPARE(store->visibleMessages(live.room).size(), 2);
    QCOMPARE(store->unreadCount(room), 2);
    QCOMPARE(live.badge.last(), 2);
    QCOMPARE(store->incomingRequests().size(), 1);
    QCOMPARE(store->incomingRequests().first().id, asker);
    QVERIFY(store->incomingRequestIDs().contains(asker));
    QTRY_COMPARE(live.service.authenticatedSocketCount(), 1);
    QCOMPARE(store->notice(), std::nullopt);
}

void TestStoreSync::syncCursor()
{
    LivePair live(3);
    const QUuid empty = live.service.addGroupRoom(live.me, u"빈 방"_s, {live.peer});
    LocalStore *store = live.open();
    QVERIFY(store);
    const QUuid full = live.room;
    const qint64 last = *store->messageIndex().highestSeq(full);
    const qint64 emptyLast = store->messageIndex().highestSeq(empty).value_or(0);

    // An echo still on its way carries only a provisional seq: it must not move the cursor
    // past messages the service has yet to send.
    ChatMessage echo = textMessage(full, live.me, last + 1);
    echo.delivery = DeliveryState::sending;
    store->merge(echo, false);
    QCOMPARE(
        store->catchUp().cursor({full, empty}),
        u"%1:%2,%3:%4"_s.arg(LiveRig::id(full)).arg(last).arg(LiveRig::id(empty)).arg(emptyLast));

    live.service.clearRecords();
    live.service.addMessage(full, live.peer, u"new"_s);
    await(store->reloadRemote());
    const QList<RecordedRequest> syncs = live.requests(u"GET"_s, u"/v1/sync"_s);
    QVERIFY(!syncs.isEmpty());
    QVERIFY(syncs.last().target.contains(LiveRig::id(full) + u':' + QString::number(last)));
    // The new message came with the page and the echo is still there.
    QCOMPARE(store->messageIndex().roomSize(full), 5);
}

void TestStoreSync::syncCoversAtMostFiftyRooms()
{
    LivePair live;
    for (int i = 0; i < 51; ++i)
        live.service.addGroupRoom(live.me, u"방 %1"_s.arg(i), {live.peer});
    LocalStore *store = live.open();
    QVERIFY(store);
    QCOMPARE(store->conversations().size(), 52);
    const QList<RecordedRequest> syncs = live.requests(u"GET"_s, u"/v1/sync"_s);
    QVERIFY(!syncs.isEmpty());
    QCOMPARE(syncs.last().target.count(u','), 49);
    QCOMPARE(store->notice(), std::nullopt);
}

void TestStoreSync::roomListApply()
{
    LivePair live;
    const QUuid other = live.addUser(u"other_user"_s, u"다른 이"_s);
    const QUuid group = live.service.addGroupRoom(live.me, QString(), {live.peer, other});
    // A hidden room stays hidden across reloads; a local room photo survives them.
    QVERIFY(live.signIn());
    LocalStore &store = *live.store;
    store.setHiddenRoomIDs({live.room});
    LiveRig::adopt(store);
    Conversation g = *store.conversation(group);
    QCOMPARE(g.kind, ConversationKind::group);
    QVERIFY(store.isOwner(g));
    QCOMPARE(store.conversationTitle(g), u"상대, 다른 이"_s);
    QVERIFY(store.conversation(live.room)->hiddenFromList);
    QCOMPARE(store.sortedList().size(), 1);
    g.photoJPEG = QByteArray("photo");
    store.replaceConversation(g);
    SignalCount rooms(&store, &LocalStore::conversationsChanged);
    await(store.reloadRemote());
    QCOMPARE(store.conversation(group)->photoJPEG, QByteArray("photo"));
    QCOMPARE(rooms.count, 0); // nothing changed: an equal list raises no signal
    QCOMPARE(store.account(other)->displayName, u"다른 이"_s);
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
    const QDateTime t = QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30, 123), Qt::UTC);
    const QString tText = u"2024-05-01T10:20:30.123Z"_s;
    const int text = int(MessageKind::text);
    const int user = int(MessageOrigin::user);
    QTest::newRow("text with fraction")
        << u"text"_s << u"user"_s << QVariant(u"안녕"_s) << tText << text << user << u"안녕"_s << t;
    QTest::newRow("photo without body, whole seconds")
        << u"image"_s << u"broadcast"_s << QVariant() << u"2024-05-01T10:20:30Z"_s
        << int(MessageKind::image) << int(MessageOrigin::broadcast) << u"사진"_s
        << t.addMSecs(-123);
    QTest::newRow("photo with caption")
        << u"image"_s << u"reply"_s << QVariant(u"노을"_s) << tText << int(MessageKind::image)
        << int(MessageOrigin::reply) << u"노을"_s << t;
    QTest::newRow("deleted loses its body")
        << u"deleted"_s << u"system"_s << QVariant(u"지운 글"_s) << tText
        << int(MessageKind::deleted) << int(MessageOrigin::system) << QString() << t;
    QTest::newRow("system line") << u"system"_s << u""_s << QVariant(u"들어왔습니다"_s) << tText
                                 << int(MessageKind::system) << user << u"들어왔습니다"_s << t;
    QTest::newRow("unknown words, unreadable time")
        << u"sticker"_s << u"robot"_s << QVariant() << u"yesterday"_s << text << user << QString()
        << QDateTime();
    // Service times: an offset is read, a text without a zone or a time is not.
    QTest::newRow("offset") << u"text"_s << u"user"_s << QVariant(u"x"_s)
                            << u"2024-05-01T19:20:30.123+09:00"_s << text << user << u"x"_s << t;
    // The last two fall outside the years 0001-9999 in UTC, which the store cannot save.
    for (const QString &bad : {u""_s, u"2024-05-01"_s, u"2024-05-01T10:20:30"_s, u"어제"_s,
                               u"9999-12-31T23:00:00-05:00"_s, u"0001-01-01T00:30:00+01:00"_s}) {
        QTest::addRow("time '%s'", qPrintable(bad)) << u"text"_s << u"user"_s << QVariant(u"x"_s)
                                                    << bad << text << user << u"x"_s << QDateTime();
    }
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
    APIMessage wire = wireText(QUuid::createUuid(), QUuid::createUuid(), 7);
    wire.type = type;
    wire.origin = origin;
    wire.body.reset();
    if (body.isValid())
        wire.body = body.toString();
    if (!createdAt.isEmpty())
        wire.createdAt = createdAt;
    wire.attachments = QList<APIAttachment>{APIAttachment{}, APIAttachment{}};
    (*wire.attachments)[0].url = u"https://example.com/first.jpg"_s;
    (*wire.attachments)[1].url = u"https://example.com/second.jpg"_s;

    const QDateTime before = QDateTime::currentDateTimeUtc();
    const ChatMessage m = store->mapMessage(wire);
    const QDateTime after = QDateTime::currentDateTimeUtc();
    QCOMPARE(int(m.kind), kind);
    QCOMPARE(int(m.origin), originOut);
    QCOMPARE(m.body, bodyOut);
    if (time.isValid())
        QCOMPARE(m.createdAt, time);
    else
        QVERIFY(m.createdAt >= before && m.createdAt <= after);
    QCOMPARE(m.clientMsgId, wire.id); // no client id on the wire: the message id
    QCOMPARE(m.imageURL, u"https://example.com/first.jpg"_s);
    QCOMPARE(m.delivery, DeliveryState::sent);

    wire.clientMsgId = QUuid::createUuid();
    QCOMPARE(store->mapMessage(wire).clientMsgId, *wire.clientMsgId);
}

// The service's words for an account's kind and status: exact and case-sensitive, anything else
// reads as a person who is active, and only an official account counts as verified.
void TestStoreSync::mapUserWords_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("status");
    QTest::addColumn<AccountKind>("kindOut");
    QTest::addColumn<AccountStatus>("statusOut");
    QTest::newRow("person, active")
        << u"person"_s << u"active"_s << AccountKind::person << AccountStatus::active;
    QTest::newRow("official, suspended")
        << u"official"_s << u"suspended"_s << AccountKind::official << AccountStatus::suspended;
    QTest::newRow("deleted") << u"person"_s << u"deleted"_s << AccountKind::person
                             << AccountStatus::deleted;
    QTest::newRow("other case") << u"Official"_s << u"DELETED"_s << AccountKind::person
                                << AccountStatus::active;
    QTest::newRow("padded") << u" official"_s << u"suspended "_s << AccountKind::person
                            << AccountStatus::active;
    QTest::newRow("unknown and empty")
        << u"bot"_s << QString() << AccountKind::person << AccountStatus::active;
}

void TestStoreSync::mapUserWords()
{
    QFETCH(QString, kind);
    QFETCH(QString, status);
    QFETCH(AccountKind, kindOut);
    QFETCH(AccountStatus, statusOut);
    auto store = memoryStore();
    APIUser user;
    user.id = QUuid::createUuid();
    user.kind = kind;
    user.status = status;
    const Account a = store->mapUser(user, std::nullopt, false);
    QCOMPARE(a.kind, kindOut);
    QCOMPARE(a.status, statusOut);
    QCOMPARE(a.verified, kindOut == AccountKind::official);
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
    ChatMessage echo = textMessage(roomId, sender, 3, u"노을"_s);
    echo.kind = MessageKind::image;
    echo.imageJPEG = QByteArray("jpeg");
    echo.imageURL = u"file-of-mine"_s;
    echo.replyToId = QUuid::createUuid();
    echo.delivery = DeliveryState::sending;
    const ChatMessage other = textMessage(roomId, sender, 4);
    store->merge(echo, false);
    store->merge(other, false);

    // The service's copy names the echo by its client id only, carries "사진" and no extras.
    ChatMessage copy = textMessage(roomId, sender, 9, u"사진"_s);
    copy.clientMsgId = echo.clientMsgId;
    copy.kind = MessageKind::image;
    store->merge(copy, true);
    const QList<ChatMessage> all = store->messages();
    QCOMPARE(all.size(), 2);
    const ChatMessage &merged = all.first(); // in the echo's place
    QCOMPARE(merged.id, copy.id);
    QCOMPARE(merged.seq, 9);
    QCOMPARE(merged.delivery, DeliveryState::sent);
    QCOMPARE(merged.body, u"노을"_s);
    QCOMPARE(merged.imageJPEG, echo.imageJPEG);
    QCOMPARE(merged.imageURL, echo.imageURL);
    QCOMPARE(merged.replyToId, echo.replyToId);

    // A copy with values of its own keeps them; a held "사진" body is nothing to take over.
    ChatMessage plain = other;
    plain.kind = MessageKind::image;
    plain.body = u"사진"_s;
    plain.imageURL = u"held-url"_s;
    store->merge(plain, false);
    ChatMessage newer = plain;
    newer.imageURL = u"https://example.com/p.jpg"_s;
    store->merge(newer, false);
    QCOMPARE(store->message(other.id)->imageURL, newer.imageURL);
    QCOMPARE(store->message(other.id)->body, u"사진"_s);
}

void TestStoreSync::failuresOfOneStepDoNotStopTheOthers()
{
    LivePair live;
    live.service.addFriendRequest(live.addUser(u"asker"_s, u"요청자"_s), live.me);
    LocalStore *store = live.signIn();
    QVERIFY(store);
    store->apply(*store->client()->currentUser(), std::nullopt);
    live.service.failNext(u"GET"_s, u"/v1/conversations"_s, 1, 503, u"busy"_s,
                          u"잠시 후 다시 시도해 주세요."_s);
    await(store->reloadRemote());
    QCOMPARE(store->notice(), u"잠시 후 다시 시도해 주세요."_s);
    QCOMPARE(store->incomingRequests().size(), 1);

    live.service.dropNext(u"GET"_s, u"/v1/friend-requests"_s, 1);
    store->acknowledgeNotice();
    await(store->reloadRemote());
    QCOMPARE(store->notice(), u"일시적인 오류입니다."_s);
}

void TestStoreSync::liveMessageEvent()
{
    LivePair live;
    LocalStore *store = live.open(true);
    QVERIFY(store);
    const QUuid roomId = live.room;
    QTRY_COMPARE(live.service.authenticatedSocketCount(), 1);
    QTRY_VERIFY(store->client()->socketReady());
    SignalCount sounds(store, &LocalStore::incomingSound);

    live.service.addMessage(roomId, live.peer, u"안녕하세요"_s);
    QTRY_COMPARE(store->visibleMessages(roomId).size(), 1);
    const ChatMessage got = store->visibleMessages(roomId).first();
    QCOMPARE(got.body, u"안녕하세요"_s);
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 1);
    QCOMPARE(live.badge.last(), 1);
    QCOMPARE(store->conversation(roomId)->updatedAt, got.createdAt);
    QCOMPARE(sounds.count, 1);

    // The same message again (a repeated frame) replaces it and counts nothing.
    APIMessage wire = wireText(roomId, live.peer, got.seq, u"안녕하세요"_s);
    wire.id = got.id;
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(store->visibleMessages(roomId).size(), 1);
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 1);

    // A second one within half a second plays no sound.
    live.service.addMessage(roomId, live.peer, u"또"_s);
    QTRY_COMPARE(store->visibleMessages(roomId).size(), 2);
    QCOMPARE(sounds.count, 1);
    QCOMPARE(live.badge.last(), 2);

    // A system message counts nothing; a message for an unknown room reloads the list.
    wire.id = QUuid::createUuid();
    wire.seq = 99;
    wire.type = u"system"_s;
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 2);
    wire.id = QUuid::createUuid();
    wire.conversationId = QUuid::createUuid();
    wire.type = u"text"_s;
    store->apply(ChatEvent::makeMessage(wire));
    QVERIFY(store->roomRefreshPending());
    QTRY_VERIFY(!store->roomRefreshPending());
    QTRY_COMPARE(live.countRequests(u"GET"_s, u"/v1/friend-requests"_s), 2);
    QTest::qWait(300); // let the reload's last answer arrive before the store goes
}

void TestStoreSync::messageArrivedOnlyForNewMessagesFromOthers_data()
{
    QTest::addColumn<bool>("fromMe");
    QTest::addColumn<QString>("held"); // what the store holds before the event
    QTest::addColumn<bool>("announced");
    QTest::newRow("new, from a peer") << false << QString() << true;
    QTest::newRow("new, mine from another device") << true << QString() << false;
    QTest::newRow("repeat of a held message") << false << u"id"_s << false;
    QTest::newRow("service copy of my echo") << true << u"client id"_s << false;
    QTest::newRow("peer copy held by client id") << false << u"client id"_s << false;
}

void TestStoreSync::messageArrivedOnlyForNewMessagesFromOthers()
{
    QFETCH(bool, fromMe);
    QFETCH(QString, held);
    QFETCH(bool, announced);
    LivePair live;
    LocalStore *store = live.open();
    QVERIFY(store);
    const QUuid roomId = live.room;
    APIMessage wire = wireText(roomId, fromMe ? live.me : live.peer, 1, u"새 소식"_s);
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
    connect(store, &LocalStore::messageArrived, &context, [&](const ChatMessage &m) {
        arrived.append(m);
        heldWhenTold = store->message(m.id).has_value();
        unreadWhenTold = store->remoteUnread().value(roomId, 0);
    });
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(store->messageIndex().size(), held.isEmpty() ? before + 1 : before);
    QCOMPARE(arrived.size(), announced ? 1 : 0);
    if (announced) {
        QCOMPARE(arrived.first().id, wire.id);
        QCOMPARE(arrived.first().body, u"새 소식"_s);
        QVERIFY(heldWhenTold);
        QCOMPARE(unreadWhenTold, 1);
    }
    // The same frame once more is never a new arrival.
    store->apply(ChatEvent::makeMessage(wire));
    QCOMPARE(arrived.size(), announced ? 1 : 0);
}

void TestStoreSync::readAndTypingEvents()
{
    LivePair live(3);
    LocalStore *store = live.open();
    QVERIFY(store);
    const QUuid roomId = live.room;
    const QUuid peer = live.peer;
    const QList<ChatMessage> held = store->visibleMessages(roomId);
    QCOMPARE(held.size(), 3);

    ChatMessage mine = textMessage(roomId, live.me, held.last().seq + 1);
    store->merge(mine, false);
    QVERIFY(store->showsUnreadDot(*store->conversation(roomId)));
    store->apply(ChatEvent::makeRead(roomId, peer, mine.seq));
    QVERIFY(store->isReadByPeer(mine.id));
    QVERIFY(!store->showsUnreadDot(*store->conversation(roomId)));
    store->apply(ChatEvent::makeRead(roomId, peer, 1)); // an older frame moves nothing back
    QVERIFY(store->isReadByPeer(mine.id));

    // Read on another device of mine: only what lies above the mark stays unread.
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 3);
    store->apply(ChatEvent::makeRead(roomId, live.me, held.at(1).seq));
    QCOMPARE(store->unreadCount(*store->conversation(roomId)), 1);

    store->apply(ChatEvent::makeTyping(roomId, peer, true));
    QCOMPARE(store->typingLabel(roomId), u"입력 중"_s);
    store->apply(ChatEvent::makeTyping(roomId, peer, false));
    QCOMPARE(store->typingLabel(roomId), std::nullopt);
    // Left alone, the line goes away after three seconds.
    store->apply(ChatEvent::makeTyping(roomId, peer, true));
    QTest::qWait(1500);
    QCOMPARE(store->typingLabel(roomId), u"입력 중"_s);
    QTRY_COMPARE_WITH_TIMEOUT(store->typingLabel(roomId), std::nullopt, 5000);
}

void TestStoreSync::friendRequestsRebuildLinks()
{
    LivePair live;
    const QUuid asker = live.addUser(u"asker"_s, u"요청자"_s);
    const QUuid wanted = live.addUser(u"wanted"_s, u"받는이"_s);
    LocalStore *store = live.open(true);
    QVERIFY(store);
    QTRY_VERIFY(store->client()->socketReady());
    store->setFriends({FriendLink{QUuid::createUuid(), FriendState::friends}});
    live.service.clearRecords();
    const QUuid requestId = live.service.addFriendRequest(asker, live.me);
    live.service.addFriendRequest(live.me, wanted);
    // A flood of "friend.requested" frames fetches the list once.
    for (int i = 0; i < 500; ++i)
        live.service.pushFrame(live.me, QJsonObject{{"type", "friend.requested"}});
    QTRY_COMPARE(store->friends().size(), 2);
    QCOMPARE(store->friendState(asker), FriendState::incoming);
    QCOMPARE(store->friendState(wanted), FriendState::outgoing);
    QCOMPARE(store->incomingRequestIDs(), (QHash<QUuid, QUuid>{{asker, requestId}}));
    QTest::qWait(500); // longer than the gathering wait: no second fetch follows
    QCOMPARE(live.countRequests(u"GET"_s, u"/v1/friend-requests"_s), 1);
}

// A room reload or a friend-request fetch still gathering when the user signs out has nobody
// to load for: it asks the service nothing and shows no "로그인이 필요합니다.".
void TestStoreSync::gatheredWorkEndsQuietlyAfterSignOut()
{
    LivePair live;
    LocalStore *store = live.open();
    QVERIFY(store);
    store->apply(ChatEvent::makeConversationChanged(QUuid::createUuid()));
    store->apply(ChatEvent::makeFriendRequest());
    store->logout();
    live.service.clearRecords();
    QTest::qWait(500); // past the gathering wait
    QCOMPARE(live.countRequests(u"GET"_s, u"/v1/conversations"_s), 0);
    QCOMPARE(live.countRequests(u"GET"_s, u"/v1/friend-requests"_s), 0);
    QCOMPARE(store->notice(), std::nullopt);
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
    LivePair live;
    QVERIFY(live.open());
    live.service.clearRecords();

    // A burst of requests makes one reload.
    SignalCount pending(live.store.get(), &LocalStore::roomRefreshChanged);
    for (int i = 0; i < 3; ++i)
        live.store->refreshRoomsSoon();
    QVERIFY(live.store->roomRefreshPending());
    QCOMPARE(pending.count, 1);
    QTRY_VERIFY(!live.store->roomRefreshPending());
    QTRY_COMPARE(live.countRequests(u"GET"_s, u"/v1/friend-requests"_s), 1);
    QCOMPARE(live.countRequests(u"GET"_s, u"/v1/conversations"_s), 1);

    // A store that goes while a reload waits takes the wait with it.
    live.service.clearRecords();
    live.store->refreshRoomsSoon();
    live.store.reset();
    QCoreApplication::processEvents();
    QVERIFY(live.service.requests().isEmpty());

    // A store that goes while a reload is on the wire: the reload's later steps meet a closing
    // client and end at once; nothing crashes and nothing is left suspended.
    QVERIFY(live.open());
    live.service.delayNext(u"GET"_s, u"/v1/conversations"_s, 1, 2000);
    live.service.clearRecords();
    live.store->refreshLive();
    QTRY_COMPARE(live.countRequests(u"GET"_s, u"/v1/conversations"_s), 1);
    live.store.reset();
    QCoreApplication::processEvents();
    QCOMPARE(live.countRequests(u"GET"_s, u"/v1/friend-requests"_s), 0);
}

void TestStoreSync::wireTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: no time
    const auto utc = [](int y, int mo, int d, int h, int mi, int s, int ms) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    };
    QTest::newRow("whole seconds") << "2026-01-31T09:30:00Z" << utc(2026, 1, 31, 9, 30, 0, 0);
    QTest::newRow("milliseconds") << "2026-01-31T09:30:00.123Z" << utc(2026, 1, 31, 9, 30, 0, 123);
    QTest::newRow("leap day") << "2024-02-29T23:59:59.999Z" << utc(2024, 2, 29, 23, 59, 59, 999);
    QTest::newRow("no such day") << "2025-02-29T10:00:00Z" << QDateTime();
    QTest::newRow("hour 25") << "2026-01-31T25:00:00Z" << QDateTime();
    QTest::newRow("offset") << "2026-01-31T09:30:00+09:00" << utc(2026, 1, 31, 0, 30, 0, 0);
    QTest::newRow("microseconds") << "2026-01-31T09:30:00.123456Z"
                                  << QDateTime::fromString("2026-01-31T09:30:00.123456Z",
                                                           Qt::ISODateWithMs);
    QTest::newRow("no zone") << "2026-01-31T09:30:00" << QDateTime();
    QTest::newRow("lower-case t") << "2026-01-31t09:30:00Z" << QDateTime();
    QTest::newRow("year 0") << "0000-01-01T00:00:00Z" << QDateTime();
    QTest::newRow("letters for digits") << "2026-0a-31T09:30:00Z" << QDateTime();
}

void TestStoreSync::wireTimes()
{
    // The service's own form is read without the general parser: it must give what the
    // general parser gives, and leave every other form to it.
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const std::optional<QDateTime> time = parseWireTime(text);
    QCOMPARE(time.has_value(), expected.isValid());
    if (time) {
        QCOMPARE(*time, expected);
        QCOMPARE(time->timeSpec(), Qt::UTC);
    }
}

QTEST_MAIN(TestStoreSync)
#include "tst_store_sync.moc"
