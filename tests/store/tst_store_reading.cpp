// Reading a room: the read mark and its receipt, the newest page with its echo rules, older
// pages and the page-size rule, and cached photo bytes.

#include "StoreTestSupport.h"

#include "model/SeedID.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

qint64 readMark(const LocalStore &store, const QUuid &roomId, const QUuid &user)
{
    const Conversation room = *store.conversation(roomId);
    for (const Membership &m : room.memberships) {
        if (m.userId == user)
            return m.lastReadSeq;
    }
    return -1;
}

} // namespace

class TestStoreReading : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaults(); }

    void markReadAndReceipts();
    void markReadLocal();
    void loadRoomPageSizeRule_data();
    void loadRoomPageSizeRule();
    void loadRoomKeepsUnansweredEchoes();
    void loadRoomDropsAnEchoThePageAnswers();
    void loadRoomKeepsCaptionAndBytes();
    void loadRoomFailure();
    void loadOlderPages();
    void loadOlderNeedsAnAnchor();
    void cacheMessageImage();
};

void TestStoreReading::markReadAndReceipts()
{
    LivePair l(3);
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    QCOMPARE(store.unreadCount(*store.conversation(l.room)), 3);
    QCOMPARE(l.badge.last(), 3);
    l.service.clearRecords();

    store.markRead(l.room);
    QCOMPARE(readMark(store, l.room, l.me), *store.messageIndex().highestSeq(l.room));
    QCOMPARE(store.unreadCount(*store.conversation(l.room)), 0);
    QCOMPARE(l.badge.last(), 0);
    // Nothing new: no second receipt, only the badge again, with the real total however large
    // (the launcher prints its own number).
    store.setRemoteUnread({{l.room, 150}});
    store.markRead(l.room);
    QCOMPARE(l.badge.last(), 150);
    QTRY_COMPARE(l.countRequests(u"POST"_s, u"/v1/conversations/"_s), 1);
    QTest::qWait(100);
    QCOMPARE(l.countRequests(u"POST"_s, u"/v1/conversations/"_s), 1);

    // A failing receipt (loadRoom marks the room read) shows nothing.
    l.service.failNext(u"POST"_s, u"/v1/conversations/"_s, 1, 500, u"x"_s, u"읽음 실패"_s);
    l.service.addMessage(l.room, l.peer, u"또"_s);
    await(store.loadRoom(l.room));
    QTest::qWait(200);
    QCOMPARE(store.notice(), std::nullopt);
}

void TestStoreReading::markReadLocal()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QUuid roomId = *store->openDirect(SeedID::quillo());
    store->merge(textMessage(roomId, SeedID::quillo(), 1), false);
    store->markRead(roomId);
    QCOMPARE(readMark(*store, roomId, me), 1);
    // With the messages gone the mark comes down: inequality, not "greater".
    store->setMessages({});
    store->markRead(roomId);
    QCOMPARE(readMark(*store, roomId, me), 0);
    store->markRead(QUuid::createUuid());
}

void TestStoreReading::loadRoomPageSizeRule_data()
{
    QTest::addColumn<int>("onService");
    QTest::addColumn<bool>("olderHeld"); // a message older than the page is held already
    QTest::addColumn<bool>("older");
    QTest::newRow("49") << 49 << false << false;
    QTest::newRow("50") << 50 << false << true;
    QTest::newRow("70") << 70 << false << true;
    QTest::newRow("empty page, older held") << 0 << true << true;
    QTest::newRow("empty page, nothing held") << 0 << false << false;
}

void TestStoreReading::loadRoomPageSizeRule()
{
    QFETCH(int, onService);
    QFETCH(bool, olderHeld);
    QFETCH(bool, older);
    LivePair l(onService);
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    const ChatMessage kept = textMessage(l.room, l.peer, 4);
    store.setOlderRooms({l.room});
    store.setMessages(olderHeld ? QList<ChatMessage>{kept} : QList<ChatMessage>{});
    await(store.loadRoom(l.room));
    QCOMPARE(store.olderRooms().contains(l.room), older);
    const QList<ChatMessage> shown = store.visibleMessages(l.room);
    QCOMPARE(shown.size(), std::min(onService, 50) + (olderHeld ? 1 : 0));
    if (olderHeld)
        QCOMPARE(shown.last(), kept);
    QCOMPARE(store.unreadCount(*store.conversation(l.room)), 0);
    QTest::qWait(100);
}

void TestStoreReading::loadRoomKeepsUnansweredEchoes()
{
    LivePair l(5);
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    // Provisional seqs inside the page's range.
    ChatMessage sending = textMessage(l.room, l.me, 3, u"가는 중"_s);
    sending.delivery = DeliveryState::sending;
    ChatMessage failed = textMessage(l.room, l.me, 4, u"보내지 못한 글"_s);
    failed.delivery = DeliveryState::failed;
    failed.replyToId = QUuid::createUuid();
    const ChatMessage staleSent = textMessage(l.room, l.me, 5, u"이미 간 글"_s);
    const ChatMessage otherRoom = textMessage(QUuid::createUuid(), l.me, 1);
    store.setMessages({otherRoom, sending, failed, staleSent});
    await(store.loadRoom(l.room));

    QVERIFY(store.message(sending.id));
    // A failed echo keeps its text and its "재전송" through a reload.
    QCOMPARE(store.message(failed.id), failed);
    QVERIFY(!store.message(staleSent.id));
    QCOMPARE(store.messages().first(), otherRoom); // other rooms keep their places
    QCOMPARE(store.messageIndex().roomSize(l.room), 7);
    QTest::qWait(100);
}

void TestStoreReading::loadRoomDropsAnEchoThePageAnswers()
{
    LivePair l(2);
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    const QUuid replyTarget = store.visibleMessages(l.room).first().id;
    ChatMessage echo = textMessage(l.room, l.me, 3, u"답이 늦은 글"_s);
    echo.delivery = DeliveryState::sending;
    echo.replyToId = replyTarget;
    store.merge(echo, false);
    // The service got it, but this client has not heard the answer yet.
    const auto copy = finish(store.client()->sendMessage(l.room, echo.id, echo.body));
    QVERIFY(copy);

    await(store.loadRoom(l.room));
    int withClientId = 0;
    for (const ChatMessage &m : store.visibleMessages(l.room))
        withClientId += m.clientMsgId == echo.id ? 1 : 0;
    QCOMPARE(withClientId, 1);
    QCOMPARE(store.messageIndex().roomSize(l.room), 3);
    const ChatMessage shown = *store.message(copy->id);
    QCOMPARE(shown.delivery, DeliveryState::sent);
    QCOMPARE(shown.replyToId, replyTarget);
    QVERIFY(!store.message(echo.id));
    QTest::qWait(100);
}

void TestStoreReading::loadRoomKeepsCaptionAndBytes()
{
    LivePair l(1);
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    // The service's copy of a photo sent with a caption from this client.
    const auto copy = finish(store.client()->sendMessage(l.room, QUuid::createUuid(), u"x"_s));
    QVERIFY(copy);
    await(store.loadRoom(l.room));
    ChatMessage local = *store.message(copy->id);
    local.kind = MessageKind::image;
    local.body = u"노을"_s;
    local.imageJPEG = QByteArray("jpeg bytes");
    store.editMessages([&](MessageIndex &index) { index.replace(index.find(copy->id), local); });

    // Reloaded, the service says "사진" and has no bytes; the local caption and bytes stay.
    // (The stand-in keeps the text body; rewrite the page's view through a photo message.)
    APIMessage wire = *copy;
    wire.type = u"image"_s;
    wire.body.reset();
    store.merge(store.mapMessage(wire), false);
    QCOMPARE(store.message(copy->id)->body, u"노을"_s);
    QCOMPARE(store.message(copy->id)->imageJPEG, QByteArray("jpeg bytes"));
    await(store.loadRoom(l.room));
    QCOMPARE(store.message(copy->id)->imageJPEG, QByteArray("jpeg bytes"));
    QTest::qWait(100);
}

void TestStoreReading::loadRoomFailure()
{
    LivePair l(3);
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    const QList<ChatMessage> before = store.messages();
    store.setOlderRooms({l.room});
    l.service.failNext(u"GET"_s, u"/v1/conversations/"_s, 1, 404, u"not_found"_s,
                       u"대화방을 찾을 수 없습니다."_s);
    await(store.loadRoom(l.room));
    QCOMPARE(store.notice(), u"대화방을 찾을 수 없습니다."_s);
    QCOMPARE(store.messages(), before);
    QVERIFY(store.olderRooms().contains(l.room));
}

void TestStoreReading::loadOlderPages()
{
    LivePair l(75);
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    store.setMessages({});
    await(store.loadRoom(l.room));
    QVERIFY(store.olderRooms().contains(l.room));
    QCOMPARE(store.visibleMessages(l.room).size(), 50);
    QTest::qWait(100); // the read receipt of loadRoom
    l.service.clearRecords();
    await(store.loadOlder(l.room));
    QVERIFY(!store.olderRooms().contains(l.room)); // 25 < 50
    const QList<ChatMessage> all = store.visibleMessages(l.room);
    QCOMPARE(all.size(), 75);
    for (int i = 1; i < all.size(); ++i)
        QVERIFY(all.at(i - 1).seq < all.at(i).seq);
    QCOMPARE(l.service.requests().size(), 1);
    QVERIFY(l.service.requests().first().target.contains(u"before_seq="_s));
    // Not marked read by the older page, nothing more to fetch.
    await(store.loadOlder(l.room));
    QCOMPARE(l.service.requests().size(), 1);
    QTest::qWait(100);
}

void TestStoreReading::loadOlderNeedsAnAnchor()
{
    LivePair l;
    QVERIFY(l.open());
    LocalStore &store = *l.store;
    ChatMessage sending = textMessage(l.room, l.me, 1);
    sending.delivery = DeliveryState::sending;
    store.setMessages({sending});
    store.setOlderRooms({l.room});
    l.service.clearRecords();
    await(store.loadOlder(l.room));
    await(store.loadOlder(QUuid::createUuid()));
    QVERIFY(l.service.requests().isEmpty());
}

void TestStoreReading::cacheMessageImage()
{
    auto store = memoryStore();
    const ChatMessage m = textMessage(QUuid::createUuid(), QUuid::createUuid(), 1);
    store->setMessages({m});
    SignalCount changes(store.get(), &LocalStore::messagesChanged);
    store->cacheMessageImage(QUuid::createUuid(), QByteArray("x"));
    QCOMPARE(changes.count, 0);
    store->cacheMessageImage(m.id, QByteArray("jpeg"));
    QCOMPARE(changes.count, 1);
    QCOMPARE(store->message(m.id)->imageJPEG, QByteArray("jpeg"));
}

QTEST_MAIN(TestStoreReading)
#include "tst_store_reading.moc"
