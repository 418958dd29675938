// Sending texts and photos: the echo, its merge with the service's copy in either order, every
// failure path, the local delivery, and typing.

#include "StoreTestSupport.h"

#include "api/ChatEvent.h"
#include "model/SeedID.h"
#include "model/Snapshot.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTest>

namespace {

QByteArray tinyJpeg()
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

} // namespace

class TestStoreSending : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init()
    {
        clearDefaults();
        QFile::remove(Snapshot::defaultFilePath());
    }

    void textLimits_data();
    void textLimits();
    void refusedSends();
    void liveEchoAndAnswer();
    void serviceCopyFirstThenAnswer();
    void answerFirstThenEvent();
    void liveFailures_data();
    void liveFailures();
    void inboxClosedClosesTheComposer();
    void photoWithAndWithoutCaption();
    void failedPhotoUpload();
    void sendingUnhidesTheRoom();
    void localDelivery();
    void typingFrames();

private:
    struct Live
    {
        LiveRig rig;
        QUuid me;
        QUuid peer;
        QUuid room;
        std::unique_ptr<LocalStore> store;
    };
    static std::unique_ptr<Live> live(bool withSocket = false, bool officialPeer = false)
    {
        auto l = std::make_unique<Live>();
        if (!l->rig.started)
            return nullptr;
        l->me = l->rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
        l->peer = officialPeer
            ? l->rig.service.houseAccountId()
            : l->rig.addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
        if (!officialPeer)
            l->rig.service.makeFriends(l->me, l->peer);
        l->room = l->rig.service.addDirectRoom(l->me, l->peer);
        l->store = l->rig.signedInStore(QStringLiteral("me_user@example.com"));
        if (!l->store)
            return nullptr;
        if (withSocket)
            await(l->store->bootstrap());
        else
            LiveRig::adopt(*l->store);
        return l;
    }
};

void TestStoreSending::textLimits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    const QString full(4000, u'가');
    QTest::newRow("trimmed") << QStringLiteral("  \n 안녕 \t") << QStringLiteral("안녕");
    QTest::newRow("4000 kept") << full << full;
    QTest::newRow("4001 cut") << full + QStringLiteral("나") << full;
    QTest::newRow("emoji count as one") << QString(3999, u'a') + QStringLiteral("👍🏽👍🏽")
                                        << QString(3999, u'a') + QStringLiteral("👍🏽");
}

void TestStoreSending::textLimits()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    auto store = memoryStore();
    signInLocally(*store);
    const std::optional<QUuid> roomId = store->openDirect(SeedID::quillo());
    QVERIFY(roomId);
    const std::optional<QUuid> id = store->sendText(*roomId, typed);
    QVERIFY(id);
    QCOMPARE(store->message(*id)->body, sent);
    QTest::qWait(40); // the local delivery finishes before the store goes
}

void TestStoreSending::refusedSends()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QUuid roomId = *store->openDirect(SeedID::quillo());
    const int before = store->messages().size();
    QCOMPARE(store->sendText(roomId, QStringLiteral(" \n\t ")), std::nullopt);
    QCOMPARE(store->sendImage(roomId, QByteArray(), QStringLiteral("caption")), std::nullopt);
    QCOMPARE(store->sendText(QUuid::createUuid(), QStringLiteral("to nowhere")), std::nullopt);
    store->setBlocks({SeedID::quillo()});
    QCOMPARE(store->sendText(roomId, QStringLiteral("blocked")), std::nullopt);
    store->setBlocks({});
    store->setSession(std::nullopt);
    QCOMPARE(store->sendText(roomId, QStringLiteral("signed out")), std::nullopt);
    QCOMPARE(store->messages().size(), before);
    QCOMPARE(store->notice(), std::nullopt);
    Q_UNUSED(me);

    // Live: no session, no echo.
    LiveRig rig;
    QVERIFY(rig.started);
    auto liveStore = rig.signedOutStore();
    QCOMPARE(liveStore->sendText(QUuid::createUuid(), QStringLiteral("x")), std::nullopt);
    QVERIFY(liveStore->messages().isEmpty());
}

void TestStoreSending::liveEchoAndAnswer()
{
    auto l = live();
    QVERIFY(l);
    LocalStore &store = *l->store;
    const ChatMessage first = store.visibleMessages(l->room).value(0);
    const qint64 top = store.messageIndex().highestSeq(l->room).value_or(0);
    const QUuid replyTarget = QUuid::createUuid();
    const std::optional<QUuid> id = store.sendText(l->room, QStringLiteral(" 안녕! "), replyTarget);
    QVERIFY(id);
    const ChatMessage echo = *store.message(*id);
    QCOMPARE(echo.clientMsgId, echo.id);
    QCOMPARE(echo.delivery, DeliveryState::sending);
    QCOMPARE(echo.seq, top + 1);
    QCOMPARE(echo.origin, MessageOrigin::user);
    QCOMPARE(echo.replyToId, replyTarget);
    QCOMPARE(echo.body, QStringLiteral("안녕!"));
    // A second send right away takes the next seq.
    const std::optional<QUuid> second = store.sendText(l->room, QStringLiteral("둘"));
    QCOMPARE(store.message(*second)->seq, top + 2);

    QTRY_VERIFY(!store.message(*id));
    QTRY_VERIFY(!store.message(*second));
    const ChatMessage sent = store.messageIndex().findByClientId(*id)->message;
    QCOMPARE(sent.delivery, DeliveryState::sent);
    QVERIFY(sent.id != *id);
    QCOMPARE(sent.replyToId, replyTarget);
    QCOMPARE(store.remoteUnread().value(l->room), 0); // my own message counts nothing
    Q_UNUSED(first);
}

void TestStoreSending::serviceCopyFirstThenAnswer()
{
    auto l = live();
    QVERIFY(l);
    LocalStore &store = *l->store;
    // Hold the answer back, and meanwhile let "message.created" for the same message arrive.
    l->rig.service.delayNext(QStringLiteral("POST"), QStringLiteral("/v1/conversations/"), 1, 300);
    const QUuid replyTarget = QUuid::createUuid();
    const QUuid echoId = *store.sendText(l->room, QStringLiteral("먼저 온 사본"), replyTarget);
    APIMessage copy;
    copy.id = QUuid::createUuid();
    copy.conversationId = l->room;
    copy.seq = 7;
    copy.senderId = l->me;
    copy.clientMsgId = echoId;
    copy.type = QStringLiteral("text");
    copy.origin = QStringLiteral("user");
    copy.body = QStringLiteral("먼저 온 사본");
    store.apply(ChatEvent::makeMessage(copy));
    QCOMPARE(store.messageIndex().roomSize(l->room), 1);
    QCOMPARE(store.message(copy.id)->replyToId, replyTarget);
    QCOMPARE(store.remoteUnread().value(l->room), 0);

    // The answer arrives second and replaces it again: still one message.
    QTRY_VERIFY(!store.message(copy.id));
    QCOMPARE(store.messageIndex().roomSize(l->room), 1);
    const ChatMessage sent = store.visibleMessages(l->room).first();
    QCOMPARE(sent.clientMsgId, echoId);
    QCOMPARE(sent.replyToId, replyTarget);
    QCOMPARE(sent.delivery, DeliveryState::sent);
}

void TestStoreSending::answerFirstThenEvent()
{
    auto l = live(true);
    QVERIFY(l);
    LocalStore &store = *l->store;
    QTRY_VERIFY(store.client()->socketReady());
    const QUuid echoId = *store.sendText(l->room, QStringLiteral("소켓과 답"));
    // Both the answer and the socket's copy arrive, in whatever order: one message remains.
    QTRY_VERIFY(!store.message(echoId));
    QTest::qWait(200);
    QCOMPARE(store.messageIndex().roomSize(l->room), 1);
    QCOMPARE(store.visibleMessages(l->room).first().clientMsgId, echoId);
    QCOMPARE(store.unreadCount(*store.conversation(l->room)), 0);
}

void TestStoreSending::liveFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("notice");
    QTest::newRow("service refusal")
        << QStringLiteral("500") << QStringLiteral("보낼 수 없습니다.");
    QTest::newRow("no answer") << QStringLiteral("drop") << QStringLiteral("일시적인 오류입니다.");
    QTest::newRow("not json") << QStringLiteral("garbage")
                              << QStringLiteral("일시적인 오류입니다.");
}

void TestStoreSending::liveFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, notice);
    auto l = live();
    QVERIFY(l);
    LocalStore &store = *l->store;
    const QString prefix = QStringLiteral("/v1/conversations/");
    if (fault == u"500")
        l->rig.service.failNext(QStringLiteral("POST"), prefix, 1, 500, QStringLiteral("x"),
                                notice);
    else if (fault == u"drop")
        l->rig.service.dropNext(QStringLiteral("POST"), prefix,
                                3); // the network layer retries once
    else
        l->rig.service.answerNonJsonNext(QStringLiteral("POST"), prefix, 1);
    const QUuid id = *store.sendText(l->room, QStringLiteral("실패할 글"), QUuid::createUuid());
    QTRY_COMPARE(store.message(id)->delivery, DeliveryState::failed);
    QCOMPARE(store.notice(), notice);
    QCOMPARE(store.message(id)->body, QStringLiteral("실패할 글"));
    // Resending makes a new message; the failed one stays.
    l->rig.service.clearFaults();
    const QUuid again = *store.sendText(l->room, store.message(id)->body);
    QVERIFY(again != id);
    QTRY_VERIFY(!store.message(again));
    QCOMPARE(store.message(id)->delivery, DeliveryState::failed);
    QCOMPARE(store.messageIndex().roomSize(l->room), 2);
    QCOMPARE(store.account(l->peer)->acceptsUserMessages, true);
}

void TestStoreSending::inboxClosedClosesTheComposer()
{
    auto l = live(false, true);
    QVERIFY(l);
    LocalStore &store = *l->store;
    // The list says the house account takes no messages; pretend we did not know yet.
    Account house = *store.account(l->peer);
    QCOMPARE(house.kind, AccountKind::official);
    house.acceptsUserMessages = true;
    store.replaceAccount(house);
    QCOMPARE(store.composeBlock(l->room), std::nullopt);

    const QUuid id = *store.sendText(l->room, QStringLiteral("받아 주세요"));
    QTRY_COMPARE(store.message(id)->delivery, DeliveryState::failed);
    QVERIFY(store.notice().has_value());
    QVERIFY(!store.notice()->isEmpty());
    QCOMPARE(store.account(l->peer)->acceptsUserMessages, false);
    QCOMPARE(store.composeBlock(l->room), ComposeBlock::inboxClosed);
    QCOMPARE(store.sendText(l->room, QStringLiteral("다시")), std::nullopt);
}

void TestStoreSending::photoWithAndWithoutCaption()
{
    auto l = live();
    QVERIFY(l);
    LocalStore &store = *l->store;
    const QByteArray jpeg = tinyJpeg();
    const QUuid captioned = *store.sendImage(l->room, jpeg, QStringLiteral("  바다 사진  "));
    const QUuid blank = *store.sendImage(l->room, jpeg, QStringLiteral("   "));
    QCOMPARE(store.message(captioned)->kind, MessageKind::image);
    QCOMPARE(store.message(captioned)->body, QStringLiteral("바다 사진"));
    QCOMPARE(store.message(blank)->body, QString());
    QCOMPARE(store.message(blank)->imageJPEG, jpeg);

    QTRY_VERIFY(!store.message(captioned) && !store.message(blank));
    const ChatMessage a = store.messageIndex().findByClientId(captioned)->message;
    const ChatMessage b = store.messageIndex().findByClientId(blank)->message;
    QCOMPARE(a.body, QStringLiteral("바다 사진"));
    QCOMPARE(a.imageJPEG, jpeg);
    QVERIFY(a.imageURL.has_value());
    QCOMPARE(a.delivery, DeliveryState::sent);
    QCOMPARE(b.body, QStringLiteral("사진"));
    QCOMPARE(b.imageJPEG, jpeg);
    QCOMPARE(store.replyPreview(a.id), QStringLiteral("사진"));
}

void TestStoreSending::failedPhotoUpload()
{
    auto l = live();
    QVERIFY(l);
    LocalStore &store = *l->store;
    l->rig.service.failNext(QStringLiteral("POST"), QStringLiteral("/v1/uploads"), 1, 413,
                            QStringLiteral("too_large"), QStringLiteral("사진이 너무 큽니다."));
    const QUuid id = *store.sendImage(l->room, tinyJpeg(), QString());
    QTRY_COMPARE(store.message(id)->delivery, DeliveryState::failed);
    QCOMPARE(store.notice(), QStringLiteral("사진이 너무 큽니다."));
    QCOMPARE(l->rig.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/conversations/")), 0);
}

void TestStoreSending::sendingUnhidesTheRoom()
{
    auto l = live();
    QVERIFY(l);
    LocalStore &store = *l->store;
    Conversation c = *store.conversation(l->room);
    c.hiddenFromList = true;
    c.updatedAt = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    store.replaceConversation(c);
    store.setHiddenRoomIDs({l->room});
    store.saveHidden();
    const QUuid id = *store.sendText(l->room, QStringLiteral("다시 보이기"));
    QVERIFY(!store.conversation(l->room)->hiddenFromList);
    QVERIFY(store.hiddenRoomIDs().isEmpty());
    QVERIFY(LocalStore::storedIDs(QStringLiteral("quillo.live.hidden")).isEmpty());
    QVERIFY(store.conversation(l->room)->updatedAt > c.updatedAt);
    QTRY_VERIFY(!store.message(id));
}

void TestStoreSending::localDelivery()
{
    QUuid id;
    QUuid roomId;
    {
        LocalStore store(true, 150ms, nullptr);
        signInLocally(store);
        roomId = *store.openDirect(SeedID::quillo());
        const qint64 top = store.messageIndex().highestSeq(roomId).value_or(0);
        id = *store.sendText(roomId, QStringLiteral("로컬"));
        const ChatMessage echo = *store.message(id);
        QVERIFY(echo.id != echo.clientMsgId);
        QCOMPARE(echo.seq, top + 1);
        QCOMPARE(echo.delivery, DeliveryState::sending);
        // Written at once, still sending.
        QCOMPARE(Snapshot::readFile(Snapshot::defaultFilePath())->messages.last().delivery,
                 DeliveryState::sending);
        QTRY_COMPARE(store.message(id)->delivery, DeliveryState::sent);
        QCOMPARE(Snapshot::readFile(Snapshot::defaultFilePath())->messages.last().delivery,
                 DeliveryState::sent);
        store.noteTyping(roomId, true); // nothing to send in a local mode
        QVERIFY(store.typingSentRooms().isEmpty());
    }
}

void TestStoreSending::typingFrames()
{
    auto l = live(true);
    QVERIFY(l);
    LocalStore &store = *l->store;
    QTRY_VERIFY(store.client()->socketReady());
    l->rig.service.clearRecords();
    store.noteTyping(l->room, false); // no start before: nothing
    store.noteTyping(l->room, true);
    store.noteTyping(l->room, true);
    store.noteTyping(l->room, false);
    store.noteTyping(l->room, false);
    QTest::qWait(300);
    QStringList types;
    for (const QJsonObject &frame : l->rig.service.receivedFrames())
        types << frame.value(QStringLiteral("type")).toString();
    types.removeAll(QStringLiteral("auth"));
    QCOMPARE(types, (QStringList{QStringLiteral("typing.start"), QStringLiteral("typing.stop")}));
    QVERIFY(store.typingSentRooms().isEmpty());
}

QTEST_MAIN(TestStoreSending)
#include "tst_store_sending.moc"
