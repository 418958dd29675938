// The catch-up's own rules: which rooms each sync request asks for, when a page joins what a
// room holds, the sends it looks for once and then forgets, and what it keeps aside of messages
// let go below a long gap.

#include "StoreTestSupport.h"

#include "api/WireTypes.h"
#include "store/CatchUp.h"

#include <QTest>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

class TestCatchUpRules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaultsAndPushHooks(); }

    void batches_data();
    void batches();
    void joins_data();
    void joins();
    void keptAsideComesBackOnce();
    void aSendIsLookedForOnce_data();
    void aSendIsLookedForOnce();
};

void TestCatchUpRules::batches_data()
{
    QTest::addColumn<int>("rooms");
    QTest::addColumn<QList<int>>("mustAsk"); // places in the list
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QList<int>>("laterPlaces"); // the places the later requests ask for

    QTest::newRow("no rooms") << 0 << QList<int>{} << QList<int>{} << QList<int>{};
    QTest::newRow("fewer than a request") << 7 << QList<int>{3} << QList<int>{7} << QList<int>{};
    QTest::newRow("later rooms with nothing new")
        << 120 << QList<int>{0, 49} << QList<int>{50} << QList<int>{};
    QList<int> many;
    for (int place = 55; place < 115; ++place)
        many.append(place);
    QTest::newRow("later rooms fill further requests, in list order")
        << 120 << (QList<int>{2} + many) << QList<int>{50, 50, 10} << many;
    QTest::newRow("one later room") << 51 << QList<int>{50} << QList<int>{50, 1} << QList<int>{50};
}

void TestCatchUpRules::batches()
{
    QFETCH(int, rooms);
    QFETCH(QList<int>, mustAsk);
    QFETCH(QList<int>, sizes);
    QFETCH(QList<int>, laterPlaces);
    QList<CatchUp::Standing> standings;
    QList<QUuid> ids;
    for (int place = 0; place < rooms; ++place) {
        ids.append(QUuid::createUuid());
        standings.append(CatchUp::Standing{ids.last(), mustAsk.contains(place)});
    }

    const QList<QList<QUuid>> batches = CatchUp::batches(standings);
    QList<int> gotSizes;
    QList<int> gotLater;
    for (const QList<QUuid> &batch : batches) {
        gotSizes.append(int(batch.size()));
        if (&batch != &batches.first()) {
            for (const QUuid &id : batch)
                gotLater.append(int(ids.indexOf(id)));
        }
    }
    QCOMPARE(gotSizes, sizes);
    // The first request is the head of the list, whatever each room says.
    if (!batches.isEmpty())
        QCOMPARE(batches.first(), ids.mid(0, std::min(rooms, CatchUp::kRoomLimit)));
    QCOMPARE(gotLater, laterPlaces);
}

void TestCatchUpRules::joins_data()
{
    QTest::addColumn<bool>("hasMore");
    QTest::addColumn<int>("fill"); // -1 none, 0 stopped at the bound, 1 reached the floor
    QTest::addColumn<bool>("joined");
    QTest::newRow("the page reaches the floor") << false << -1 << true;
    QTest::newRow("short of the floor, nothing fetched") << true << -1 << false;
    QTest::newRow("short of the floor, the stretch fetched") << true << 1 << true;
    QTest::newRow("short of the floor, the bound stopped the stretch") << true << 0 << false;
}

void TestCatchUpRules::joins()
{
    QFETCH(bool, hasMore);
    QFETCH(int, fill);
    QFETCH(bool, joined);
    SyncRoom page;
    page.id = QUuid::createUuid();
    page.hasMore = hasMore;
    CatchUp::GapFill gap;
    gap.joined = fill == 1;
    QCOMPARE(CatchUp::joins(page, fill < 0 ? nullptr : &gap), joined);
}

// What a message let go carried that the service does not keep waits for its copy, once; the
// photo bytes are not kept (the service has them).
void TestCatchUpRules::keptAsideComesBackOnce()
{
    auto store = memoryStore();
    CatchUp catchUp(*store);
    const QUuid room = QUuid::createUuid();
    const QUuid target = QUuid::createUuid();
    ChatMessage photo = textMessage(room, QUuid::createUuid(), 7, u"노을"_s);
    photo.kind = MessageKind::image;
    photo.imageJPEG = QByteArray("jpeg");
    photo.replyToId = target;
    const ChatMessage plain = textMessage(room, photo.senderId, 8, u"그냥"_s);
    catchUp.keepAside(photo);
    catchUp.keepAside(plain);
    QVERIFY(catchUp.keepsAside(photo.id));
    QVERIFY(!catchUp.keepsAside(plain.id)); // nothing of it is this client's alone

    ChatMessage copy = photo;
    copy.body = kPhotoText;
    copy.replyToId.reset();
    copy.imageJPEG.reset();
    ChatMessage loaded = copy;
    catchUp.putBack(loaded);
    QCOMPARE(loaded.body, u"노을"_s);
    QCOMPARE(loaded.replyToId, std::optional(target));
    QCOMPARE(loaded.imageJPEG, std::nullopt);
    QVERIFY(!catchUp.keepsAside(photo.id));
    ChatMessage again = copy;
    catchUp.putBack(again);
    QCOMPARE(again, copy);

    // A merged copy takes it too.
    catchUp.keepAside(photo);
    QVERIFY(catchUp.merge(copy));
    QCOMPARE(store->messageIndex().find(photo.id)->message.body, u"노을"_s);
    QCOMPARE(store->messageIndex().find(photo.id)->message.replyToId, std::optional(target));
}

void TestCatchUpRules::aSendIsLookedForOnce_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("lookedFor");
    QTest::newRow("no answer worth the name: looked for") << 503 << true;
    QTest::newRow("refused: final") << 403 << false;
}

// A send that ended without an answer is looked for at the next catch-up, from below the
// messages that came after it, even in a room beyond the first page; once looked for it is
// forgotten, and the next catch-up no longer asks for that room.
void TestCatchUpRules::aSendIsLookedForOnce()
{
    QFETCH(int, status);
    QFETCH(bool, lookedFor);
    LivePair live(1);
    QList<QUuid> others;
    for (int i = 0; i < CatchUp::kRoomLimit; ++i)
        others.append(live.service.addGroupRoom(live.me, u"방 %1"_s.arg(i), {live.peer}));
    LocalStore *store = live.open();
    QVERIFY(store);
    await(store->loadRoom(live.room));

    const QString path = u"/v1/conversations/%1/messages"_s.arg(LiveRig::id(live.room));
    live.service.failNext(u"POST"_s, path, 1, status, u"nope"_s, u"보낼 수 없습니다."_s);
    const QUuid echo = *store->sendText(live.room, u"닿았을까"_s);
    QTRY_COMPARE(store->message(echo)->delivery, DeliveryState::failed);
    // A later message came live, then the other rooms became newer: the room is the 51st.
    const auto later = APIMessage::fromJson(live.service.addMessage(live.room, live.peer, u"뒤"_s));
    QVERIFY(later);
    store->merge(store->mapMessage(*later), true);
    const qint64 held = later->seq;
    QTest::qWait(5); // the list orders by the time of the last message
    for (const QUuid &room : std::as_const(others))
        live.postMessage(room, live.peer, u"새 글"_s);
    QCOMPARE(store->catchUp().unsettledSends().contains(echo), lookedFor);
    QCOMPARE(store->catchUp().floor(live.room) < held, lookedFor);

    live.service.clearRecords();
    await(store->reloadRemote(true));
    QCOMPARE(store->conversations().last().id, live.room);
    const QList<RecordedRequest> syncs = live.requests(u"GET"_s, u"/v1/sync"_s);
    QCOMPARE(syncs.size(), lookedFor ? 2 : 1);
    if (lookedFor) {
        const QString cursor = QUrlQuery(QUrl(syncs.last().target)).queryItemValue(u"after"_s);
        QCOMPARE(cursor, u"%1:%2"_s.arg(LiveRig::id(live.room)).arg(held - 1));
    }
    // The service never had it: it stays failed, and is looked for no more.
    QCOMPARE(store->message(echo)->delivery, DeliveryState::failed);
    QVERIFY(store->catchUp().unsettledSends().isEmpty());
    QCOMPARE(store->catchUp().floor(live.room), held);

    live.service.clearRecords();
    await(store->reloadRemote(true));
    QCOMPARE(live.countRequests(u"GET"_s, u"/v1/sync"_s), 1);
    QCOMPARE(store->notice(), u"보낼 수 없습니다."_s);
}

QTEST_MAIN(TestCatchUpRules)
#include "tst_store_catchuprules.moc"
