// Catching up with the service: no room shows a hole after missed messages, sends that ended
// without an answer are found again, and sends that are not confirmed keep their place.

#include "StoreTestSupport.h"

#include "api/ChatEvent.h"

#include <QTest>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

class TestStoreCatchUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaultsAndPushHooks(); }

    void noHoleAfterMissedMessages_data();
    void noHoleAfterMissedMessages();
    void roomsBeyondTheFirstSyncPageCatchUp();
    void messagesOfRoomsHoldingNothingAreAnnouncedOnce_data();
    void messagesOfRoomsHoldingNothingAreAnnouncedOnce();
    void aSendTakenLateIsFoundOnce_data();
    void aSendTakenLateIsFoundOnce();
    void failedSendsKeepTheirPlaceAndReadCountsRealMessages();
    void mergeKeepsATypedCaption_data();
    void mergeKeepsATypedCaption();
};

// The room's seqs as shown, and whether they run without a gap (the service numbers a room's
// messages one by one).
static QList<qint64> shownSeqs(LocalStore &store, const QUuid &room)
{
    QList<qint64> seqs;
    for (const ChatMessage &m : store.visibleMessages(room))
        seqs.append(m.seq);
    return seqs;
}

static bool unbroken(const QList<qint64> &seqs)
{
    for (qsizetype i = 1; i < seqs.size(); ++i) {
        if (seqs.at(i) != seqs.at(i - 1) + 1)
            return false;
    }
    return true;
}

void TestStoreCatchUp::noHoleAfterMissedMessages_data()
{
    QTest::addColumn<int>("missed");
    QTest::addColumn<bool>("byReload"); // the room is opened again rather than synced
    QTest::addColumn<bool>("olderKept"); // the first messages held stay

    QTest::newRow("sync page short of the held") << 70 << false << true;
    QTest::newRow("reload page short of the held") << 70 << true << true;
    QTest::newRow("sync beyond the bound") << 1100 << false << false;
    QTest::newRow("reload beyond the bound") << 1100 << true << false;
}

// Missed messages leave no hole. Past the bound the held messages go; a caption typed here and
// the reply links, which the service does not keep, come back when scrolling up loads them.
void TestStoreCatchUp::noHoleAfterMissedMessages()
{
    QFETCH(int, missed);
    QFETCH(bool, byReload);
    QFETCH(bool, olderKept);
    LivePair live(5);
    live.service.makeFriends(live.me, live.peer);
    LocalStore *store = live.open();
    QVERIFY(store);
    await(store->loadRoom(live.room));
    const QUuid first = store->visibleMessages(live.room).first().id;
    const QUuid photoEcho = *store->sendImage(live.room, tinyJpeg(Qt::blue), u"노을"_s, first);
    const QUuid textEcho = *store->sendText(live.room, u"답장"_s, first);
    const auto sentId = [&](const QUuid &echo) {
        const MessageIndex::Entry *e = store->messageIndex().findByClientId(echo);
        return e && e->message.delivery == DeliveryState::sent && e->message.id != echo
            ? e->message.id
            : QUuid();
    };
    QTRY_VERIFY(!sentId(photoEcho).isNull() && !sentId(textEcho).isNull());
    const QUuid photo = sentId(photoEcho);
    const QUuid text = sentId(textEcho);
    const int held = 7;
    int arrived = 0;
    QObject context;
    connect(store, &LocalStore::messageArrived, &context, [&] { ++arrived; });

    for (int i = 0; i < missed; ++i)
        live.service.addMessage(live.room, live.peer, u"놓친 %1"_s.arg(i + 1));
    // The sync is the catch-up after the socket was away: what it adds is announced, once.
    await(byReload ? store->loadRoom(live.room) : store->reloadRemote(true));

    const QList<qint64> seqs = shownSeqs(*store, live.room);
    QCOMPARE(seqs.last(), held + missed);
    QVERIFY(unbroken(seqs));
    for (const QUuid &id : {first, photo, text})
        QCOMPARE(store->message(id).has_value(), olderKept);
    QCOMPARE(arrived, byReload ? 0 : int(seqs.size()) - (olderKept ? held : 0));
    QCOMPARE(store->olderRooms().contains(live.room), !olderKept || byReload);
    QVERIFY(
        live.countRequests(u"GET"_s, u"/v1/conversations/%1/messages"_s.arg(LiveRig::id(live.room)))
        <= 25);
    if (!olderKept) {
        // What went loads again from the bottom of what is shown, in order.
        const qint64 lowest = seqs.first();
        await(store->loadOlder(live.room));
        const QList<qint64> after = shownSeqs(*store, live.room);
        QCOMPARE(after.first(), lowest - 50);
        QVERIFY(unbroken(after));
        for (int pages = 0; !store->message(first) && pages < 30; ++pages)
            await(store->loadOlder(live.room));
    }

    QCOMPARE(store->message(photo)->body, u"노을"_s);
    QCOMPARE(store->message(photo)->replyToId, std::optional(first));
    QCOMPARE(store->message(text)->body, u"답장"_s);
    QCOMPARE(store->message(text)->replyToId, std::optional(first));
    QCOMPARE(store->message(first)->replyToId, std::nullopt);
    QCOMPARE(store->notice(), std::nullopt);
}

void TestStoreCatchUp::roomsBeyondTheFirstSyncPageCatchUp()
{
    LivePair live;
    QList<QUuid> others{live.room};
    for (int i = 0; i < 50; ++i)
        others.append(live.service.addGroupRoom(live.me, u"방 %1"_s.arg(i), {live.peer}));
    const QUuid behind = live.service.addGroupRoom(live.me, u"뒤처진 방"_s, {live.peer});
    live.postMessage(behind, live.peer, u"하나"_s);
    LocalStore *store = live.open();
    QVERIFY(store);
    await(store->loadRoom(behind));
    const QList<qint64> held = shownSeqs(*store, behind);
    QVERIFY(!held.isEmpty());

    // Missed messages, then the other rooms become newer: the room is the 52nd of the list.
    for (int i = 0; i < 3; ++i)
        live.postMessage(behind, live.peer, u"더"_s);
    QTest::qWait(5); // the list orders by the time of the last message
    for (const QUuid &room : std::as_const(others))
        live.postMessage(room, live.peer, u"새 글"_s);
    live.service.clearRecords();
    await(store->reloadRemote());
    QCOMPARE(store->conversations().last().id, behind);
    const QList<qint64> expected
        = held + QList<qint64>{held.last() + 1, held.last() + 2, held.last() + 3};
    QCOMPARE(shownSeqs(*store, behind), expected);
    const QList<RecordedRequest> syncs = live.requests(u"GET"_s, u"/v1/sync"_s);
    QCOMPARE(syncs.size(), 2);
    // The further page asks for the room that fell behind, and only for rooms that hold
    // messages: a room that holds nothing is not asked for. (Which other rooms fell off the
    // first page depends on rooms posted to in the same millisecond.)
    const QString cursor = QUrlQuery(QUrl(syncs.last().target)).queryItemValue(u"after"_s);
    QVERIFY(cursor.contains(behind.toString(QUuid::WithoutBraces).toUpper()));
    for (const QString &entry : cursor.split(u','))
        QVERIFY2(entry.section(u':', 1).toLongLong() > 0, qPrintable(entry));
}

void TestStoreCatchUp::messagesOfRoomsHoldingNothingAreAnnouncedOnce_data()
{
    QTest::addColumn<int>("newerRooms"); // rooms that get a message after it, while away
    QTest::addColumn<bool>("failedSync"); // a catch-up before whose sync fails after the list
    QTest::addColumn<bool>("quietReload"); // a reload that announces nothing, before
    QTest::newRow("the room comes first on the list") << 0 << false << false;
    QTest::newRow("the room stays beyond the first page") << 52 << false << false;
    QTest::newRow("beyond the first page, after a failed sync") << 52 << true << false;
    QTest::newRow("beyond the first page, after a quiet reload") << 52 << false << true;
    QTest::newRow("beyond the first page, after both") << 52 << true << true;
}

// A room beyond the first 50 holds no messages, only what the room list said of it. A message
// that arrives there while the socket is away is counted and announced once, as a live one, also
// after a catch-up that broke off after the list or a quiet reload (the window to the front).
void TestStoreCatchUp::messagesOfRoomsHoldingNothingAreAnnouncedOnce()
{
    QFETCH(int, newerRooms);
    QFETCH(bool, failedSync);
    QFETCH(bool, quietReload);
    LivePair live;
    QList<QUuid> rooms; // newest first, as the list orders them
    for (int i = 0; i < 60; ++i) {
        rooms.prepend(live.service.addGroupRoom(live.me, u"방 %1"_s.arg(i), {live.peer}));
        live.postMessage(rooms.first(), live.peer, u"처음"_s);
        QTest::qWait(2);
    }
    LocalStore *store = live.open();
    QVERIFY(store);
    const QUuid far = rooms.at(54);
    QCOMPARE(store->messageIndex().roomSize(far), 0);
    QList<ChatMessage> arrived;
    QObject context;
    connect(store, &LocalStore::messageArrived, &context, [&](const ChatMessage &m) {
        if (m.conversationId == far)
            arrived.append(m);
    });

    const QUuid missed = live.postMessage(far, live.peer, u"없는 사이에"_s);
    QTest::qWait(2);
    for (int i = 0; i < newerRooms; ++i)
        live.postMessage(rooms.at(i), live.peer, u"더 새 글"_s);
    if (failedSync) {
        live.service.failNext(u"GET"_s, u"/v1/sync"_s, 1, 500, u"internal"_s, u"잠시 후"_s);
        await(store->reloadRemote(true));
        QVERIFY(store->notice());
        store->acknowledgeNotice();
    }
    if (quietReload)
        await(store->reloadRemote(false));
    QCOMPARE(arrived.size(), 0);
    live.service.clearRecords();
    await(store->reloadRemote(true));

    QCOMPARE(arrived.size(), 1);
    QCOMPARE(arrived.first().id, missed);
    QCOMPARE(arrived.first().body, u"없는 사이에"_s);
    QCOMPARE(store->account(arrived.first().senderId)->displayName, u"상대"_s);
    QCOMPARE(store->unreadCount(*store->conversation(far)), 2);
    // Further pages ask only for rooms with news, not for those that hold nothing.
    for (const RecordedRequest &sync : live.requests(u"GET"_s, u"/v1/sync"_s).mid(1)) {
        const QString cursor = QUrlQuery(QUrl(sync.target)).queryItemValue(u"after"_s);
        for (int i = newerRooms; i < rooms.size(); ++i)
            QCOMPARE(cursor.contains(LiveRig::id(rooms.at(i))), i == 54);
    }

    // Paged again, or opened: nothing counts or rings twice.
    await(store->reloadRemote(true));
    await(store->loadRoom(far));
    QCOMPARE(arrived.size(), 1);
    QCOMPARE(store->notice(), std::nullopt);
}

enum class Road { reload, catchUp, roomOpened, liveEvent };
enum class Hide { no, whileSending, onceFailed };

void TestStoreCatchUp::aSendTakenLateIsFoundOnce_data()
{
    QTest::addColumn<Road>("road"); // how the service's copy reaches the store
    QTest::addColumn<Hide>("hide"); // "나에게만 삭제" on the echo, and when
    QTest::newRow("found by a reload") << Road::reload << Hide::no;
    QTest::newRow("failed, hidden, found by the catch-up") << Road::catchUp << Hide::onceFailed;
    QTest::newRow("failed, hidden, found when the room opens")
        << Road::roomOpened << Hide::onceFailed;
    QTest::newRow("failed, hidden, found by a live event") << Road::liveEvent << Hide::onceFailed;
    QTest::newRow("hidden on its way, found by the catch-up")
        << Road::catchUp << Hide::whileSending;
}

// The service takes a send after the client gave up, and a later message came live above it:
// when the service's copy turns up the failed mark goes and the message is held once, in place.
// An echo hidden here (the service never heard: the id was not its own) stays hidden, and the
// hide then reaches the service under the message's id, so a reload does not bring it back.
void TestStoreCatchUp::aSendTakenLateIsFoundOnce()
{
    QFETCH(Road, road);
    QFETCH(Hide, hide);
    LivePair live(2);
    live.requestDeadline = 1000ms;
    LocalStore *store = live.open();
    QVERIFY(store);
    await(store->loadRoom(live.room));
    const QString path = u"/v1/conversations/%1/messages"_s.arg(LiveRig::id(live.room));
    live.service.delayNext(u"POST"_s, path, 1, 2500);
    const QUuid echo = *store->sendText(live.room, u"늦은 답"_s);
    if (hide == Hide::whileSending)
        store->hideForMe(echo);
    QTRY_COMPARE_WITH_TIMEOUT(store->message(echo)->delivery, DeliveryState::failed, 5000);
    store->acknowledgeNotice();
    if (hide == Hide::onceFailed)
        store->hideForMe(echo);
    std::optional<QList<APIMessage>> held;
    QTRY_VERIFY_WITH_TIMEOUT(
        (held = finish(store->client()->messages(live.room))) && held->size() == 3, 5000);
    QCOMPARE(held->last().clientMsgId, std::optional(echo));
    const QUuid id = held->last().id;
    ChatMessage later = textMessage(live.room, live.peer, 4, u"그 뒤"_s);
    later.id = later.clientMsgId = live.postMessage(live.room, live.peer, later.body);
    store->merge(later, true);
    QCOMPARE(live.countRequests(u"POST"_s, u"/v1/messages/"_s), 0);

    if (road == Road::reload || road == Road::catchUp)
        await(store->reloadRemote(road == Road::catchUp));
    else if (road == Road::roomOpened)
        await(store->loadRoom(live.room));
    else
        store->apply(ChatEvent::makeMessage(held->last()));
    const bool hidden = hide != Hide::no;
    const QList<qint64> shown = hidden ? QList<qint64>{1, 2, 4} : QList<qint64>{1, 2, 3, 4};
    const MessageIndex::Entry *copy = store->messageIndex().findByClientId(echo);
    QVERIFY(copy);
    QCOMPARE(copy->message.id, id);
    QCOMPARE(copy->message.delivery, DeliveryState::sent);
    QCOMPARE(copy->message.seq, 3);
    QCOMPARE(copy->message.hiddenForMe, hidden);
    QCOMPARE(shownSeqs(*store, live.room), shown);
    const QString hidePath = u"/v1/messages/%1/hide"_s.arg(LiveRig::id(id));
    QTRY_COMPARE(live.countRequests(u"POST"_s, hidePath), hidden ? 1 : 0);

    await(store->loadRoom(live.room));
    QCOMPARE(shownSeqs(*store, live.room), shown);
    QCOMPARE(live.countRequests(u"POST"_s, u"/v1/messages/"_s), hidden ? 1 : 0);
    QCOMPARE(finish(store->client()->messages(live.room))->size(), shown.size()); // none twice
    QCOMPARE(store->notice(), std::nullopt);
}

void TestStoreCatchUp::failedSendsKeepTheirPlaceAndReadCountsRealMessages()
{
    LivePair live(2);
    LocalStore *store = live.open();
    QVERIFY(store);
    await(store->loadRoom(live.room));
    const QString path = u"/v1/conversations/%1/messages"_s.arg(LiveRig::id(live.room));
    live.service.failNext(u"POST"_s, path, 2, 403, u"forbidden"_s, u"보낼 수 없습니다."_s);
    const QUuid one = *store->sendText(live.room, u"하나"_s);
    const QUuid two = *store->sendText(live.room, u"둘"_s);
    QTRY_COMPARE(store->message(two)->delivery, DeliveryState::failed);
    QTRY_COMPARE(store->message(one)->delivery, DeliveryState::failed);
    // Read with only failed sends above: nothing new for the service.
    live.service.clearRecords();
    store->markRead(live.room);

    const QUuid later1 = live.postMessage(live.room, live.peer, u"나중 1"_s);
    const QUuid later2 = live.postMessage(live.room, live.peer, u"나중 2"_s);
    await(store->reloadRemote());
    QList<QUuid> order;
    for (const ChatMessage &m : store->visibleMessages(live.room))
        order.append(m.id);
    QCOMPARE(order.mid(2), (QList<QUuid>{one, two, later1, later2}));

    // The open room at the bottom is read up to the last real message, and says so.
    store->markRead(live.room);
    QCOMPARE(store->unreadCount(*store->conversation(live.room)), 0);
    finish(store->client()->me()); // a round trip after which the receipt has arrived
    QTRY_COMPARE(
        live.lastBody(u"POST"_s, u"/v1/conversations/%1/read"_s.arg(LiveRig::id(live.room)))
            .value(u"seq"_s)
            .toInteger(),
        4);
    QCOMPARE(
        live.countRequests(u"POST"_s, u"/v1/conversations/%1/read"_s.arg(LiveRig::id(live.room))),
        1);
}

void TestStoreCatchUp::mergeKeepsATypedCaption_data()
{
    QTest::addColumn<MessageKind>("newKind");
    QTest::addColumn<QString>("newBody");
    QTest::addColumn<MessageKind>("oldKind");
    QTest::addColumn<QString>("oldBody");
    QTest::addColumn<QString>("merged");

    const auto image = MessageKind::image;
    const auto text = MessageKind::text;
    QTest::newRow("photo over captioned photo")
        << image << u"사진"_s << image << u"노을"_s << u"노을"_s;
    QTest::newRow("the stand-in body decides, not the kind")
        << text << u"사진"_s << image << u"노을"_s << u"노을"_s;
    QTest::newRow("an empty body is not the stand-in")
        << image << QString() << image << u"노을"_s << QString();
    QTest::newRow("held stand-in") << image << u"사진"_s << image << u"사진"_s << u"사진"_s;
    QTest::newRow("held empty") << image << u"사진"_s << image << QString() << u"사진"_s;
    QTest::newRow("held text") << image << u"사진"_s << text << u"노을"_s << u"사진"_s;
}

void TestStoreCatchUp::mergeKeepsATypedCaption()
{
    QFETCH(MessageKind, newKind);
    QFETCH(QString, newBody);
    QFETCH(MessageKind, oldKind);
    QFETCH(QString, oldBody);
    QFETCH(QString, merged);
    auto store = memoryStore();
    const QUuid roomId = QUuid::createUuid();
    ChatMessage held = textMessage(roomId, QUuid::createUuid(), 1, oldBody);
    held.kind = oldKind;
    store->merge(held, false);
    ChatMessage copy = textMessage(roomId, held.senderId, 1, newBody);
    copy.clientMsgId = held.clientMsgId;
    copy.kind = newKind;
    store->merge(copy, false);
    QCOMPARE(store->messages().size(), 1);
    QCOMPARE(store->messages().first().body, merged);
}

QTEST_MAIN(TestStoreCatchUp)
#include "tst_store_catchup.moc"
