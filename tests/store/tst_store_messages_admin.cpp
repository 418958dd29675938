// Hiding a message for me, deleting my own for everyone and clearing a room.

#include "StoreTestSupport.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 10000;

// A local store signed in, with a direct room holding messages.
struct LocalRoomRig
{
    LocalRoomRig()
        : store(true, 0ms, nullptr)
    {
        me = signInWithProfile(store);
        befriend(store, SeedID::sora());
        roomId = *store.openDirect(SeedID::sora());
    }

    ChatMessage add(const QUuid &sender, MessageKind kind = MessageKind::text, qint64 ageSecs = 0)
    {
        ChatMessage m = textMessage(roomId, sender, store.nextSeq(roomId));
        m.kind = kind;
        m.createdAt = QDateTime::currentDateTimeUtc().addSecs(-ageSecs);
        if (kind == MessageKind::image) {
            m.imageJPEG = QByteArray("jpeg");
            m.imageURL = u"https://example.com/p.jpg"_s;
            m.body = u"사진"_s;
        }
        store.editMessages([&](MessageIndex &index) { index.append(m); });
        return m;
    }

    LocalStore store;
    QUuid me;
    QUuid roomId;
};

// The stand-in service with "me" and "pal" in a direct room; the store starts with start().
struct LiveRoomRig
{
    QUuid post(const QUuid &sender, const QString &body)
    {
        return ops.postMessage(roomId, sender, body);
    }
    bool start() { return ops.started && ops.start(u"me"_s); }

    // "/v1/messages/ID/hide" or ".../delete".
    static QString path(const QUuid &messageId, const QString &action)
    {
        return u"/v1/messages/"_s + LiveOps::id(messageId) + u'/' + action;
    }

    LiveOps ops;
    QUuid me = ops.addUser(u"me"_s, u"나"_s);
    QUuid pal = ops.addUser(u"pal"_s, u"친구"_s);
    QUuid roomId = ops.service.addDirectRoom(me, pal);
};

} // namespace

class TestStoreMessagesAdmin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void localHideAndClear();
    void localDeleteRefusals_data();
    void localDeleteRefusals();
    void localDeleteKeepsPlace();
    void liveHideAndDelete();
    void liveClearSendsEachHideOnce();
};

void TestStoreMessagesAdmin::localHideAndClear()
{
    LocalRoomRig rig;
    const ChatMessage system = rig.add(rig.me, MessageKind::system);
    const ChatMessage text = rig.add(SeedID::sora());
    rig.add(rig.me);
    rig.store.hideForMe(system.id);
    QCOMPARE(rig.store.message(system.id)->hiddenForMe, false);
    rig.store.hideForMe(text.id);
    rig.store.hideForMe(text.id);
    rig.store.hideForMe(QUuid::createUuid());
    QCOMPARE(rig.store.message(text.id)->hiddenForMe, true);
    const auto visible = rig.store.visibleMessages(rig.roomId);
    QVERIFY(std::none_of(visible.cbegin(), visible.cend(),
                         [&](const ChatMessage &m) { return m.id == text.id; }));
    {
        LocalStore reread(true, 0ms, nullptr);
        QCOMPARE(reread.message(text.id)->hiddenForMe, true);
    }

    // Clearing hides the rest of the room, system lines too, and nothing elsewhere, even where
    // a message elsewhere, earlier in the store, has the same id as one of the room's.
    const QUuid otherRoom = *rig.store.openDirect(SeedID::quillo());
    const qsizetype elsewhere = rig.store.visibleMessages(otherRoom).size();
    QVERIFY(elsewhere > 0);
    ChatMessage twin = rig.store.visibleMessages(otherRoom).first();
    twin.conversationId = rig.roomId;
    twin.seq = rig.store.nextSeq(rig.roomId);
    rig.store.editMessages([&](MessageIndex &index) { index.append(twin); });
    rig.store.clearMessages(rig.roomId);
    QVERIFY(rig.store.visibleMessages(rig.roomId).isEmpty());
    QCOMPARE(rig.store.visibleMessages(otherRoom).size(), elsewhere);
    LocalStore reread(true, 0ms, nullptr);
    QVERIFY(reread.visibleMessages(rig.roomId).isEmpty());
}

void TestStoreMessagesAdmin::localDeleteRefusals_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("someone else's") << u"other"_s;
    QTest::newRow("system") << u"system"_s;
    QTest::newRow("deleted") << u"deleted"_s;
    QTest::newRow("601 seconds old") << u"old"_s;
    QTest::newRow("unknown") << u"unknown"_s;
}

void TestStoreMessagesAdmin::localDeleteRefusals()
{
    QFETCH(QString, which);
    LocalRoomRig rig;
    QUuid id = QUuid::createUuid();
    if (which == u"other")
        id = rig.add(SeedID::sora()).id;
    else if (which == u"system")
        id = rig.add(rig.me, MessageKind::system).id;
    else if (which == u"deleted")
        id = rig.add(rig.me, MessageKind::deleted).id;
    else if (which == u"old")
        id = rig.add(rig.me, MessageKind::text, 601).id;
    const QList<ChatMessage> before = rig.store.messages();
    QVERIFY(!rig.store.deleteForEveryone(id));
    QCOMPARE(rig.store.messages(), before);
}

void TestStoreMessagesAdmin::localDeleteKeepsPlace()
{
    LocalRoomRig rig;
    const ChatMessage first = rig.add(rig.me);
    ChatMessage photo = rig.add(rig.me, MessageKind::image, 590);
    photo.replyToId = first.id;
    photo.origin = MessageOrigin::reply;
    rig.store.editMessages(
        [&](MessageIndex &index) { index.replace(index.find(photo.id), photo); });
    rig.add(SeedID::sora());

    QVERIFY(rig.store.deleteForEveryone(photo.id));
    const ChatMessage gone = *rig.store.message(photo.id);
    QCOMPARE(gone.kind, MessageKind::deleted);
    QVERIFY(gone.body.isEmpty());
    QCOMPARE(gone.imageJPEG, std::nullopt);
    QCOMPARE(gone.origin, MessageOrigin::user);
    QCOMPARE(gone.imageURL, photo.imageURL);
    QCOMPARE(gone.replyToId, first.id);
    QCOMPARE(gone.seq, photo.seq);
    QCOMPARE(gone.createdAt, photo.createdAt);
    QCOMPARE(rig.store.visibleMessages(rig.roomId).at(1).id, photo.id);
    QCOMPARE(rig.store.replyPreview(photo.id), u"삭제된 메시지"_s);
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.message(photo.id)->kind, MessageKind::deleted);
}

void TestStoreMessagesAdmin::liveHideAndDelete()
{
    LiveRoomRig rig;
    LiveOps &ops = rig.ops;
    const QUuid theirs = rig.post(rig.pal, u"하나"_s);
    const QUuid mine = rig.post(rig.me, u"둘"_s);
    const QUuid refused = rig.post(rig.me, u"지울 글"_s);
    QVERIFY(rig.start());
    QVERIFY(ops.store->message(theirs));

    ops.store->hideForMe(theirs);
    ops.store->hideForMe(theirs); // again: sent again
    const QString hidePath = LiveRoomRig::path(theirs, u"hide"_s);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, hidePath), 2, kWait);
    QVERIFY(ops.requests(u"POST"_s, hidePath).first().body.isEmpty());

    QVERIFY(ops.store->deleteForEveryone(mine));
    const QString deletePath = LiveRoomRig::path(mine, u"delete"_s);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, deletePath), 1, kWait);
    ops.barrier();
    QCOMPARE(ops.store->message(mine)->kind, MessageKind::deleted);
    QCOMPARE(ops.store->notice(), std::nullopt);

    // A refused hide is shown; the message stays hidden here.
    ops.service.failNext(u"POST"_s, hidePath, 1, 500, u"server_error"_s, u"숨기지 못했습니다."_s);
    ops.store->hideForMe(theirs);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"숨기지 못했습니다."_s, kWait);
    QVERIFY(ops.store->message(theirs)->hiddenForMe);

    // A refused deletion shows at once here, then the room is loaded again first, which brings
    // the message back as the service kept it.
    const QString messagesPath = u"/v1/conversations/"_s + LiveOps::id(rig.roomId) + u"/messages"_s;
    const int loads = ops.countRequests(u"GET"_s, messagesPath);
    ops.service.failNext(u"POST"_s, LiveRoomRig::path(refused, u"delete"_s), 1, 403, u"too_late"_s,
                         u"삭제할 수 없는 메시지입니다."_s);
    QVERIFY(ops.store->deleteForEveryone(refused));
    QCOMPARE(ops.store->message(refused)->kind, MessageKind::deleted);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"삭제할 수 없는 메시지입니다."_s, kWait);
    QVERIFY(ops.countRequests(u"GET"_s, messagesPath) > loads);
    QCOMPARE(ops.store->message(refused)->kind, MessageKind::text);
    QCOMPARE(ops.store->message(refused)->body, u"지울 글"_s);
}

// A failed send left an echo under an id the service never gave out: hiding or clearing it
// stays here, and it cannot be deleted for everyone.
void TestStoreMessagesAdmin::liveClearSendsEachHideOnce()
{
    LiveRoomRig rig;
    LiveOps &ops = rig.ops;
    const QUuid roomId = rig.roomId;
    QList<QUuid> ids;
    for (const QString &body : {u"하나"_s, u"둘"_s, u"셋"_s, u"넷"_s})
        ids.append(rig.post(rig.pal, body));
    QVERIFY(rig.start());
    // One message hidden already, one system line, two failed sends: none is sent.
    ChatMessage hidden = *ops.store->message(ids.first());
    ops.store->editMessages([&](MessageIndex &index) {
        hidden.hiddenForMe = true;
        index.replace(index.find(hidden.id), hidden);
    });
    ops.store->appendSystem(roomId, u"안내"_s, false);
    QList<QUuid> failed;
    for (const QString &body : {u"못 간 글"_s, u"또 못 간 글"_s}) {
        ChatMessage m = textMessage(roomId, rig.me, ops.store->nextSeq(roomId), body);
        m.delivery = DeliveryState::failed;
        ops.store->editMessages([&](MessageIndex &index) { index.append(m); });
        failed.append(m.id);
    }
    ops.settle();
    ops.service.clearRecords();
    QVERIFY(!ops.store->canDeleteForEveryone(failed.first()));
    QVERIFY(!ops.store->deleteForEveryone(failed.first()));
    QCOMPARE(ops.store->message(failed.first())->kind, MessageKind::text);
    ops.store->hideForMe(failed.first());
    QVERIFY(ops.store->message(failed.first())->hiddenForMe);
    QCOMPARE(ops.store->notice(), std::nullopt);

    // The second request fails: the notice shows and the third still goes.
    ops.service.failNext(u"POST"_s, u"/v1/messages/"_s + LiveOps::id(ids.at(2)), 1, 500,
                         u"server_error"_s, u"숨기지 못했습니다."_s);
    ops.store->clearMessages(roomId);
    QVERIFY(ops.store->visibleMessages(roomId).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"POST"_s, u"/v1/messages/"_s), 3, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"숨기지 못했습니다."_s, kWait);
    QStringList targets;
    for (const RecordedRequest &r : ops.requests(u"POST"_s, u"/v1/messages/"_s))
        targets.append(r.target);
    QCOMPARE(targets,
             (QStringList{LiveRoomRig::path(ids.at(1), u"hide"_s),
                          LiveRoomRig::path(ids.at(2), u"hide"_s),
                          LiveRoomRig::path(ids.at(3), u"hide"_s)}));

    // Everything hidden already: nothing to send.
    ops.store->clearMessages(roomId);
    ops.barrier();
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/messages/"_s), 3);
}

QTEST_GUILESS_MAIN(TestStoreMessagesAdmin)
#include "tst_store_messages_admin.moc"
