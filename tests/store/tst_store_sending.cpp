// Sending texts and photos: the echo, its merge with the service's copy in either order, every
// failure path, the local delivery, and typing.

#include "StoreTestSupport.h"

#include "api/ChatEvent.h"
#include "model/SeedID.h"
#include "model/Snapshot.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Me and a friend with a direct room, signed in; `startUp` opens the socket as well.
std::unique_ptr<LivePair> friends(bool startUp = false)
{
    auto live = std::make_unique<LivePair>();
    live->service.makeFriends(live->me, live->peer);
    if (!live->open(startUp))
        return nullptr;
    return live;
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
};

void TestStoreSending::textLimits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    const QString full(4000, u'가');
    QTest::newRow("trimmed") << u"  \n 안녕 \t"_s << u"안녕"_s;
    QTest::newRow("4000 kept") << full << full;
    QTest::newRow("4001 cut") << full + u"나"_s << full;
    QTest::newRow("emoji count as one")
        << QString(3999, u'a') + u"👍🏽👍🏽"_s << QString(3999, u'a') + u"👍🏽"_s;
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
    signInLocally(*store);
    const QUuid roomId = *store->openDirect(SeedID::quillo());
    const int before = store->messages().size();
    QCOMPARE(store->sendText(roomId, u" \n\t "_s), std::nullopt);
    QCOMPARE(store->sendImage(roomId, QByteArray(), u"caption"_s), std::nullopt);
    QCOMPARE(store->sendText(QUuid::createUuid(), u"to nowhere"_s), std::nullopt);
    store->setBlocks({SeedID::quillo()});
    QCOMPARE(store->sendText(roomId, u"blocked"_s), std::nullopt);
    store->setBlocks({});
    store->setSession(std::nullopt);
    QCOMPARE(store->sendText(roomId, u"signed out"_s), std::nullopt);
    QCOMPARE(store->messages().size(), before);
    QCOMPARE(store->notice(), std::nullopt);

    // Live: no session, no echo.
    LiveRig rig;
    QVERIFY(rig.started);
    auto liveStore = rig.signedOutStore();
    QCOMPARE(liveStore->sendText(QUuid::createUuid(), u"x"_s), std::nullopt);
    QVERIFY(liveStore->messages().isEmpty());
}

void TestStoreSending::liveEchoAndAnswer()
{
    auto l = friends();
    QVERIFY(l);
    LocalStore &store = *l->store;
    const qint64 top = store.messageIndex().highestSeq(l->room).value_or(0);
    const QUuid replyTarget = QUuid::createUuid();
    const std::optional<QUuid> id = store.sendText(l->room, u" 안녕! "_s, replyTarget);
    QVERIFY(id);
    const ChatMessage echo = *store.message(*id);
    QCOMPARE(echo.clientMsgId, echo.id);
    QCOMPARE(echo.delivery, DeliveryState::sending);
    QCOMPARE(echo.seq, top + 1);
    QCOMPARE(echo.origin, MessageOrigin::user);
    QCOMPARE(echo.replyToId, replyTarget);
    QCOMPARE(echo.body, u"안녕!"_s);
    // A second send right away takes the next seq.
    const std::optional<QUuid> second = store.sendText(l->room, u"둘"_s);
    QCOMPARE(store.message(*second)->seq, top + 2);

    QTRY_VERIFY(!store.message(*id));
    QTRY_VERIFY(!store.message(*second));
    const ChatMessage sent = store.messageIndex().findByClientId(*id)->message;
    QCOMPARE(sent.delivery, DeliveryState::sent);
    QVERIFY(sent.id != *id);
    QCOMPARE(sent.replyToId, replyTarget);
    QCOMPARE(store.remoteUnread().value(l->room), 0); // my own message counts nothing
}

void TestStoreSending::serviceCopyFirstThenAnswer()
{
    auto l = friends();
    QVERIFY(l);
    LocalStore &store = *l->store;
    // Hold the answer back, and meanwhile let "message.created" for the same message arrive.
    l->service.delayNext(u"POST"_s, u"/v1/conversations/"_s, 1, 300);
    const QUuid replyTarget = QUuid::createUuid();
    const QUuid echoId = *store.sendText(l->room, u"먼저 온 사본"_s, replyTarget);
    APIMessage copy = wireText(l->room, l->me, 7, u"먼저 온 사본"_s);
    copy.clientMsgId = echoId;
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
    auto l = friends(true);
    QVERIFY(l);
    LocalStore &store = *l->store;
    QTRY_VERIFY(store.client()->socketReady());
    const QUuid echoId = *store.sendText(l->room, u"소켓과 답"_s);
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
    QTest::newRow("service refusal") << u"500"_s << u"보낼 수 없습니다."_s;
    QTest::newRow("no answer") << u"drop"_s << u"일시적인 오류입니다."_s;
    QTest::newRow("not json") << u"garbage"_s << u"일시적인 오류입니다."_s;
}

void TestStoreSending::liveFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, notice);
    auto l = friends();
    QVERIFY(l);
    LocalStore &store = *l->store;
    const QString prefix = u"/v1/conversations/"_s;
    if (fault == u"500")
        l->service.failNext(u"POST"_s, prefix, 1, 500, u"x"_s, notice);
    else if (fault == u"drop")
        l->service.dropNext(u"POST"_s, prefix, 3); // the network layer retries once
    else
        l->service.answerNonJsonNext(u"POST"_s, prefix, 1);
    const QUuid id = *store.sendText(l->room, u"실패할 글"_s, QUuid::createUuid());
    QTRY_COMPARE(store.message(id)->delivery, DeliveryState::failed);
    QCOMPARE(store.notice(), notice);
    QCOMPARE(store.message(id)->body, u"실패할 글"_s);
    // Resending makes a new message; the failed one stays.
    l->service.clearFaults();
    const QUuid again = *store.sendText(l->room, store.message(id)->body);
    QVERIFY(again != id);
    QTRY_VERIFY(!store.message(again));
    QCOMPARE(store.message(id)->delivery, DeliveryState::failed);
    QCOMPARE(store.messageIndex().roomSize(l->room), 2);
    QCOMPARE(store.account(l->peer)->acceptsUserMessages, true);
}

void TestStoreSending::inboxClosedClosesTheComposer()
{
    LivePair live;
    const QUuid houseId = live.service.houseAccountId();
    const QUuid houseRoom = live.service.addDirectRoom(live.me, houseId);
    QVERIFY(live.open());
    LocalStore &store = *live.store;
    // The list says the house account takes no messages; pretend we did not know yet.
    Account house = *store.account(houseId);
    QCOMPARE(house.kind, AccountKind::official);
    house.acceptsUserMessages = true;
    store.replaceAccount(house);
    QCOMPARE(store.composeBlock(houseRoom), std::nullopt);

    const QUuid id = *store.sendText(houseRoom, u"받아 주세요"_s);
    QTRY_COMPARE(store.message(id)->delivery, DeliveryState::failed);
    QVERIFY(!store.notice().value_or(QString()).isEmpty());
    QCOMPARE(store.account(houseId)->acceptsUserMessages, false);
    QCOMPARE(store.composeBlock(houseRoom), ComposeBlock::inboxClosed);
    QCOMPARE(store.sendText(houseRoom, u"다시"_s), std::nullopt);
}

void TestStoreSending::photoWithAndWithoutCaption()
{
    auto l = friends();
    QVERIFY(l);
    LocalStore &store = *l->store;
    const QByteArray jpeg = tinyJpeg();
    const QUuid captioned = *store.sendImage(l->room, jpeg, u"  바다 사진  "_s);
    const QUuid blank = *store.sendImage(l->room, jpeg, u"   "_s);
    QCOMPARE(store.message(captioned)->kind, MessageKind::image);
    QCOMPARE(store.message(captioned)->body, u"바다 사진"_s);
    QCOMPARE(store.message(blank)->body, QString());
    QCOMPARE(store.message(blank)->imageJPEG, jpeg);

    QTRY_VERIFY(!store.message(captioned) && !store.message(blank));
    const ChatMessage a = store.messageIndex().findByClientId(captioned)->message;
    const ChatMessage b = store.messageIndex().findByClientId(blank)->message;
    QCOMPARE(a.body, u"바다 사진"_s);
    QCOMPARE(a.imageJPEG, jpeg);
    QVERIFY(a.imageURL.has_value());
    QCOMPARE(a.delivery, DeliveryState::sent);
    QCOMPARE(b.body, u"사진"_s);
    QCOMPARE(b.imageJPEG, jpeg);
    QCOMPARE(store.replyPreview(a.id), u"사진"_s);
}

void TestStoreSending::failedPhotoUpload()
{
    auto l = friends();
    QVERIFY(l);
    l->service.failNext(u"POST"_s, u"/v1/uploads"_s, 1, 413, u"too_large"_s,
                        u"사진이 너무 큽니다."_s);
    const QUuid id = *l->store->sendImage(l->room, tinyJpeg(), QString());
    QTRY_COMPARE(l->store->message(id)->delivery, DeliveryState::failed);
    QCOMPARE(l->store->notice(), u"사진이 너무 큽니다."_s);
    QCOMPARE(l->countRequests(u"POST"_s, u"/v1/conversations/"_s), 0);
}

void TestStoreSending::sendingUnhidesTheRoom()
{
    auto l = friends();
    QVERIFY(l);
    LocalStore &store = *l->store;
    Conversation c = *store.conversation(l->room);
    c.hiddenFromList = true;
    c.updatedAt = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    store.replaceConversation(c);
    store.setHiddenRoomIDs({l->room});
    store.saveHidden();
    const QUuid id = *store.sendText(l->room, u"다시 보이기"_s);
    QVERIFY(!store.conversation(l->room)->hiddenFromList);
    QVERIFY(store.hiddenRoomIDs().isEmpty());
    QVERIFY(LocalStore::storedIDs(u"quillo.live.hidden"_s).isEmpty());
    QVERIFY(store.conversation(l->room)->updatedAt > c.updatedAt);
    QTRY_VERIFY(!store.message(id));
}

void TestStoreSending::localDelivery()
{
    LocalStore store(true, 150ms, nullptr);
    signInLocally(store);
    const QUuid roomId = *store.openDirect(SeedID::quillo());
    const qint64 top = store.messageIndex().highestSeq(roomId).value_or(0);
    const QUuid id = *store.sendText(roomId, u"로컬"_s);
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

void TestStoreSending::typingFrames()
{
    auto l = friends(true);
    QVERIFY(l);
    LocalStore &store = *l->store;
    QTRY_VERIFY(store.client()->socketReady());
    l->service.clearRecords();
    store.noteTyping(l->room, false); // no start before: nothing
    store.noteTyping(l->room, true);
    store.noteTyping(l->room, true);
    store.noteTyping(l->room, false);
    store.noteTyping(l->room, false);
    QTest::qWait(300);
    QStringList types;
    for (const QJsonObject &frame : l->service.receivedFrames())
        types << frame.value(u"type"_s).toString();
    types.removeAll(u"auth"_s);
    QCOMPARE(types, (QStringList{u"typing.start"_s, u"typing.stop"_s}));
    QVERIFY(store.typingSentRooms().isEmpty());
}

QTEST_MAIN(TestStoreSending)
#include "tst_store_sending.moc"
