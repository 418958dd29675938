// Reading a room: the read mark and its receipt, the newest page with its echo rules, older
// pages and the page-size rule, and cached photo bytes.

#include "StoreTestSupport.h"

#include "api/WireTypes.h"
#include "model/SeedID.h"

#include <QTest>

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
    void loadRoomWithEmptyPage();
    void loadRoomKeepsUnansweredEchoes();
    void loadRoomDropsAnEchoThePageAnswers();
    void loadRoomKeepsCaptionAndBytes();
    void loadRoomFailure();
    void loadOlderPages();
    void loadOlderNeedsAnAnchor();
    void cacheMessageImage();
    void wireTimes_data();
    void wireTimes();

private:
    struct Live
    {
        LiveRig rig;
        QUuid me;
        QUuid peer;
        QUuid room;
        RecordingBadge badge;
        std::unique_ptr<LocalStore> store;
    };
    static std::unique_ptr<Live> live(int serviceMessages)
    {
        auto l = std::make_unique<Live>();
        if (!l->rig.started)
            return nullptr;
        l->me = l->rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
        l->peer = l->rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
        l->room = l->rig.service.addDirectRoom(l->me, l->peer);
        for (int i = 0; i < serviceMessages; ++i)
            l->rig.service.addMessage(l->room, l->peer, QStringLiteral("m%1").arg(i + 1));
        l->store = l->rig.signedInStore(QStringLiteral("me_user@example.com"), &l->badge);
        if (!l->store)
            return nullptr;
        LiveRig::adopt(*l->store);
        return l;
    }

    // Posts a message through the client alone, as if this client's answer had been lost.
    static APIMessage postDirectly(ChatClient *client, const QUuid &room, const QUuid &clientId,
                                   const QString &body)
    {
        APIMessage result;
        QCoro::waitFor(
            [](ChatClient *c, QUuid r, QUuid id, QString b, APIMessage *out) -> QCoro::Task<> {
                try {
                    *out = co_await c->sendMessage(r, id, b);
                } catch (...) { }
            }(client, room, clientId, body, &result));
        return result;
    }
};

void TestStoreReading::markReadAndReceipts()
{
    auto l = live(3);
    QVERIFY(l);
    LocalStore &store = *l->store;
    QCOMPARE(store.unreadCount(*store.conversation(l->room)), 3);
    QCOMPARE(l->badge.last(), QStringLiteral("3"));
    l->rig.service.clearRecords();

    store.markRead(l->room);
    const qint64 top = *store.messageIndex().highestSeq(l->room);
    QCOMPARE(store.conversation(l->room)->memberships.first().userId == l->me
                 ? store.conversation(l->room)->memberships.first().lastReadSeq
                 : store.conversation(l->room)->memberships.last().lastReadSeq,
             top);
    QCOMPARE(store.unreadCount(*store.conversation(l->room)), 0);
    QCOMPARE(l->badge.last(), QString());
    store.markRead(l->room); // nothing new: no second receipt
    QTRY_COMPARE(l->rig.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/conversations/")),
                 1);
    QTest::qWait(100);
    QCOMPARE(l->rig.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/conversations/")), 1);

    // A failing receipt shows nothing.
    l->rig.service.addMessage(l->room, l->peer, QStringLiteral("더"));
    await(store.loadRoom(l->room));
    // loadRoom marks the room read; make the receipt fail on the next one.
    l->rig.service.failNext(QStringLiteral("POST"), QStringLiteral("/v1/conversations/"), 1, 500,
                            QStringLiteral("x"), QStringLiteral("읽음 실패"));
    l->rig.service.addMessage(l->room, l->peer, QStringLiteral("또"));
    await(store.loadRoom(l->room));
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
    const auto myMark = [&] {
        const Conversation room = *store->conversation(roomId);
        for (const Membership &m : room.memberships) {
            if (m.userId == me)
                return m.lastReadSeq;
        }
        return qint64(-1);
    };
    QCOMPARE(myMark(), 1);
    // With the messages gone the mark comes down: inequality, not "greater".
    store->setMessages({});
    store->markRead(roomId);
    QCOMPARE(myMark(), 0);
    store->markRead(QUuid::createUuid());
}

void TestStoreReading::loadRoomPageSizeRule_data()
{
    QTest::addColumn<int>("held");
    QTest::addColumn<bool>("older");
    QTest::newRow("49") << 49 << false;
    QTest::newRow("50") << 50 << true;
    QTest::newRow("70") << 70 << true;
}

void TestStoreReading::loadRoomPageSizeRule()
{
    QFETCH(int, held);
    QFETCH(bool, older);
    auto l = live(held);
    QVERIFY(l);
    LocalStore &store = *l->store;
    store.setOlderRooms({l->room});
    store.setMessages({}); // nothing older held
    await(store.loadRoom(l->room));
    QCOMPARE(store.olderRooms().contains(l->room), older);
    QCOMPARE(store.visibleMessages(l->room).size(), std::min(held, 50));
    QCOMPARE(store.unreadCount(*store.conversation(l->room)), 0);
    QTest::qWait(100);
}

void TestStoreReading::loadRoomWithEmptyPage()
{
    auto l = live(0);
    QVERIFY(l);
    LocalStore &store = *l->store;
    store.setOlderRooms({l->room});
    const ChatMessage kept = textMessage(l->room, l->peer, 4);
    store.setMessages({kept});
    await(store.loadRoom(l->room));
    QCOMPARE(store.visibleMessages(l->room), QList<ChatMessage>{kept});
    QVERIFY(store.olderRooms().contains(l->room)); // something older is held
    store.setMessages({});
    await(store.loadRoom(l->room));
    QVERIFY(!store.olderRooms().contains(l->room));
    QTest::qWait(100);
}

void TestStoreReading::loadRoomKeepsUnansweredEchoes()
{
    auto l = live(5);
    QVERIFY(l);
    LocalStore &store = *l->store;
    // Provisional seqs inside the page's range.
    ChatMessage sending = textMessage(l->room, l->me, 3, QStringLiteral("가는 중"));
    sending.delivery = DeliveryState::sending;
    ChatMessage failed = textMessage(l->room, l->me, 4, QStringLiteral("보내지 못한 글"));
    failed.delivery = DeliveryState::failed;
    failed.replyToId = QUuid::createUuid();
    ChatMessage staleSent = textMessage(l->room, l->me, 5, QStringLiteral("이미 간 글"));
    const ChatMessage otherRoom = textMessage(QUuid::createUuid(), l->me, 1);
    store.setMessages({otherRoom, sending, failed, staleSent});
    await(store.loadRoom(l->room));

    QVERIFY(store.message(sending.id));
    // A failed echo keeps its text and its "재전송" through a reload.
    QCOMPARE(store.message(failed.id), failed);
    QVERIFY(!store.message(staleSent.id));
    QCOMPARE(store.messages().first(), otherRoom); // other rooms keep their places
    QCOMPARE(store.messageIndex().roomSize(l->room), 7);
    QTest::qWait(100);
}

void TestStoreReading::loadRoomDropsAnEchoThePageAnswers()
{
    auto l = live(2);
    QVERIFY(l);
    LocalStore &store = *l->store;
    const QUuid echoId = QUuid::createUuid();
    const QUuid replyTarget = store.visibleMessages(l->room).first().id;
    ChatMessage echo = textMessage(l->room, l->me, 3, QStringLiteral("답이 늦은 글"));
    echo.id = echoId;
    echo.clientMsgId = echoId;
    echo.delivery = DeliveryState::sending;
    echo.replyToId = replyTarget;
    store.merge(echo, false);
    // The service got it, but this client has not heard the answer yet.
    const APIMessage copy = postDirectly(store.client(), l->room, echoId, echo.body);
    QVERIFY(!copy.id.isNull());

    await(store.loadRoom(l->room));
    int withClientId = 0;
    for (const ChatMessage &m : store.visibleMessages(l->room))
        withClientId += m.clientMsgId == echoId ? 1 : 0;
    QCOMPARE(withClientId, 1);
    QCOMPARE(store.messageIndex().roomSize(l->room), 3);
    const ChatMessage shown = *store.message(copy.id);
    QCOMPARE(shown.delivery, DeliveryState::sent);
    QCOMPARE(shown.replyToId, replyTarget);
    QVERIFY(!store.message(echoId));
    QTest::qWait(100);
}

void TestStoreReading::loadRoomKeepsCaptionAndBytes()
{
    auto l = live(1);
    QVERIFY(l);
    LocalStore &store = *l->store;
    // The service's copy of a photo sent with a caption from this client.
    const APIMessage copy
        = postDirectly(store.client(), l->room, QUuid::createUuid(), QStringLiteral("x"));
    QVERIFY(!copy.id.isNull());
    await(store.loadRoom(l->room));
    ChatMessage local = *store.message(copy.id);
    local.kind = MessageKind::image;
    local.body = QStringLiteral("노을");
    local.imageJPEG = QByteArray("jpeg bytes");
    store.editMessages([&](MessageIndex &index) { index.replace(index.find(copy.id), local); });

    // Reloaded, the service says "사진" and has no bytes; the local caption and bytes stay.
    // (The stand-in keeps the text body; rewrite the page's view through a photo message.)
    APIMessage wire = copy;
    wire.type = QStringLiteral("image");
    wire.body.reset();
    store.merge(store.mapMessage(wire), false);
    QCOMPARE(store.message(copy.id)->body, QStringLiteral("노을"));
    QCOMPARE(store.message(copy.id)->imageJPEG, QByteArray("jpeg bytes"));
    await(store.loadRoom(l->room));
    QCOMPARE(store.message(copy.id)->imageJPEG, QByteArray("jpeg bytes"));
    QTest::qWait(100);
}

void TestStoreReading::loadRoomFailure()
{
    auto l = live(3);
    QVERIFY(l);
    LocalStore &store = *l->store;
    const QList<ChatMessage> before = store.messages();
    store.setOlderRooms({l->room});
    l->rig.service.failNext(QStringLiteral("GET"), QStringLiteral("/v1/conversations/"), 1, 404,
                            QStringLiteral("not_found"),
                            QStringLiteral("대화방을 찾을 수 없습니다."));
    await(store.loadRoom(l->room));
    QCOMPARE(store.notice(), QStringLiteral("대화방을 찾을 수 없습니다."));
    QCOMPARE(store.messages(), before);
    QVERIFY(store.olderRooms().contains(l->room));
}

void TestStoreReading::loadOlderPages()
{
    auto l = live(75);
    QVERIFY(l);
    LocalStore &store = *l->store;
    store.setMessages({});
    await(store.loadRoom(l->room));
    QVERIFY(store.olderRooms().contains(l->room));
    QCOMPARE(store.visibleMessages(l->room).size(), 50);
    QTest::qWait(100); // the read receipt of loadRoom
    l->rig.service.clearRecords();
    await(store.loadOlder(l->room));
    QVERIFY(!store.olderRooms().contains(l->room)); // 25 < 50
    const QList<ChatMessage> all = store.visibleMessages(l->room);
    QCOMPARE(all.size(), 75);
    for (int i = 1; i < all.size(); ++i)
        QVERIFY(all.at(i - 1).seq < all.at(i).seq);
    QCOMPARE(l->rig.service.requests().size(), 1);
    QVERIFY(l->rig.service.requests().first().target.contains(QStringLiteral("before_seq=")));
    // Not marked read by the older page, nothing more to fetch.
    await(store.loadOlder(l->room));
    QCOMPARE(l->rig.service.requests().size(), 1);
    QTest::qWait(100);
}

void TestStoreReading::loadOlderNeedsAnAnchor()
{
    auto l = live(0);
    QVERIFY(l);
    LocalStore &store = *l->store;
    ChatMessage sending = textMessage(l->room, l->me, 1);
    sending.delivery = DeliveryState::sending;
    store.setMessages({sending});
    store.setOlderRooms({l->room});
    l->rig.service.clearRecords();
    await(store.loadOlder(l->room));
    await(store.loadOlder(QUuid::createUuid()));
    QVERIFY(l->rig.service.requests().isEmpty());
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

void TestStoreReading::wireTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("read"); // invalid: "now", the text is not a service time
    const QDateTime t = QDateTime::fromString(QStringLiteral("2024-05-06T07:08:09Z"), Qt::ISODate);
    QTest::newRow("whole seconds") << QStringLiteral("2024-05-06T07:08:09Z") << t;
    QTest::newRow("milliseconds") << QStringLiteral("2024-05-06T07:08:09.250Z") << t.addMSecs(250);
    QTest::newRow("offset") << QStringLiteral("2024-05-06T16:08:09+09:00") << t;
    QTest::newRow("date only") << QStringLiteral("2024-05-06") << QDateTime();
    QTest::newRow("no zone") << QStringLiteral("2024-05-06T07:08:09") << QDateTime();
    QTest::newRow("garbage") << QStringLiteral("어제") << QDateTime();
    QTest::newRow("empty") << QString() << QDateTime();
}

void TestStoreReading::wireTimes()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, read);
    auto store = memoryStore();
    APIMessage wire;
    wire.id = QUuid::createUuid();
    wire.conversationId = QUuid::createUuid();
    wire.type = QStringLiteral("text");
    if (!text.isEmpty())
        wire.createdAt = text;
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const QDateTime createdAt = store->mapMessage(wire).createdAt;
    if (read.isValid()) {
        QCOMPARE(createdAt, read);
    } else {
        QVERIFY(createdAt >= before);
        QVERIFY(createdAt <= QDateTime::currentDateTimeUtc());
    }
}

QTEST_MAIN(TestStoreReading)
#include "tst_store_reading.moc"
