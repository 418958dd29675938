// Hiding a message for me, deleting my own for everyone and clearing a room.

#include "StoreTestSupport.h"

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
            m.imageURL = QStringLiteral("https://example.com/p.jpg");
            m.body = QStringLiteral("사진");
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
    LiveRoomRig()
    {
        me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
        pal = ops.addUser(QStringLiteral("pal"), QStringLiteral("친구"));
        roomId = ops.service.addDirectRoom(me, pal);
    }

    // A message kept by the service before the store starts.
    QUuid post(const QUuid &sender, const QString &body)
    {
        return QUuid::fromString(
            ops.service.addMessage(roomId, sender, body).value(QStringLiteral("id")).toString());
    }

    bool start() { return ops.started && ops.start(QStringLiteral("me")); }

    // "/v1/messages/ID/hide" or ".../delete".
    static QString path(const QUuid &messageId, const QString &action)
    {
        return QStringLiteral("/v1/messages/") + LiveOps::id(messageId) + u'/' + action;
    }

    LiveOps ops;
    QUuid me;
    QUuid pal;
    QUuid roomId;
};

} // namespace

class TestStoreMessagesAdmin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void localHideForMe();
    void localDeleteRefusals_data();
    void localDeleteRefusals();
    void localDeleteKeepsPlace();
    void localClearHidesEverything();
    void liveHideAndDelete();
    void liveRefusedDeletionReloadsRoom();
    void liveClearSendsEachHideOnce();
};

void TestStoreMessagesAdmin::localHideForMe()
{
    LocalRoomRig rig;
    const ChatMessage system = rig.add(rig.me, MessageKind::system);
    const ChatMessage text = rig.add(SeedID::sora());
    rig.store.hideForMe(system.id);
    QCOMPARE(rig.store.message(system.id)->hiddenForMe, false);
    rig.store.hideForMe(text.id);
    rig.store.hideForMe(text.id);
    rig.store.hideForMe(QUuid::createUuid());
    QCOMPARE(rig.store.message(text.id)->hiddenForMe, true);
    const auto visible = rig.store.visibleMessages(rig.roomId);
    QVERIFY(std::none_of(visible.cbegin(), visible.cend(),
                         [&](const ChatMessage &m) { return m.id == text.id; }));
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.message(text.id)->hiddenForMe, true);
}

void TestStoreMessagesAdmin::localDeleteRefusals_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("someone else's") << "other";
    QTest::newRow("system") << "system";
    QTest::newRow("deleted") << "deleted";
    QTest::newRow("601 seconds old") << "old";
    QTest::newRow("unknown") << "unknown";
}

void TestStoreMessagesAdmin::localDeleteRefusals()
{
    QFETCH(QString, which);
    LocalRoomRig rig;
    QUuid id;
    if (which == u"other")
        id = rig.add(SeedID::sora()).id;
    else if (which == u"system")
        id = rig.add(rig.me, MessageKind::system).id;
    else if (which == u"deleted")
        id = rig.add(rig.me, MessageKind::deleted).id;
    else if (which == u"old")
        id = rig.add(rig.me, MessageKind::text, 601).id;
    else
        id = QUuid::createUuid();
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
    QCOMPARE(rig.store.replyPreview(photo.id), QStringLiteral("삭제된 메시지"));
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.message(photo.id)->kind, MessageKind::deleted);
}

void TestStoreMessagesAdmin::localClearHidesEverything()
{
    LocalRoomRig rig;
    rig.add(rig.me, MessageKind::system);
    rig.add(rig.me);
    rig.add(SeedID::sora());
    const QUuid otherRoom = *rig.store.openDirect(SeedID::quillo());
    const qsizetype elsewhere = rig.store.visibleMessages(otherRoom).size();
    QVERIFY(elsewhere > 0);

    rig.store.clearMessages(rig.roomId);
    QVERIFY(rig.store.visibleMessages(rig.roomId).isEmpty());
    QCOMPARE(rig.store.visibleMessages(otherRoom).size(), elsewhere);
    LocalStore reread(true, 0ms, nullptr);
    QVERIFY(reread.visibleMessages(rig.roomId).isEmpty());
}

void TestStoreMessagesAdmin::liveHideAndDelete()
{
    LiveRoomRig rig;
    LiveOps &ops = rig.ops;
    const QUuid theirs = rig.post(rig.pal, QStringLiteral("하나"));
    const QUuid mine = rig.post(rig.me, QStringLiteral("둘"));
    QVERIFY(rig.start());
    QVERIFY(ops.store->message(theirs));

    ops.store->hideForMe(theirs);
    ops.store->hideForMe(theirs); // again: sent again
    const QString hidePath = LiveRoomRig::path(theirs, QStringLiteral("hide"));
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("POST"), hidePath), 2, kWait);
    QVERIFY(ops.requests(QStringLiteral("POST"), hidePath).first().body.isEmpty());

    QVERIFY(ops.store->deleteForEveryone(mine));
    const QString deletePath = LiveRoomRig::path(mine, QStringLiteral("delete"));
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(QStringLiteral("POST"), deletePath), 1, kWait);
    ops.barrier();
    QCOMPARE(ops.store->message(mine)->kind, MessageKind::deleted);
    QCOMPARE(ops.store->notice(), std::nullopt);

    // A refused hide is shown; the message stays hidden here.
    ops.service.failNext(QStringLiteral("POST"), hidePath, 1, 500, QStringLiteral("server_error"),
                         QStringLiteral("숨기지 못했습니다."));
    ops.store->hideForMe(theirs);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("숨기지 못했습니다."), kWait);
    QVERIFY(ops.store->message(theirs)->hiddenForMe);
}

void TestStoreMessagesAdmin::liveRefusedDeletionReloadsRoom()
{
    LiveRoomRig rig;
    LiveOps &ops = rig.ops;
    const QUuid mine = rig.post(rig.me, QStringLiteral("지울 글"));
    QVERIFY(rig.start());

    const QString deletePath = LiveRoomRig::path(mine, QStringLiteral("delete"));
    ops.service.failNext(QStringLiteral("POST"), deletePath, 1, 403, QStringLiteral("too_late"),
                         QStringLiteral("삭제할 수 없는 메시지입니다."));
    QVERIFY(ops.store->deleteForEveryone(mine));
    QCOMPARE(ops.store->message(mine)->kind, MessageKind::deleted);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("삭제할 수 없는 메시지입니다."),
                              kWait);
    // The room was loaded again first, which brings the message back as the service kept it.
    QVERIFY(ops.countRequests(QStringLiteral("GET"),
                              QStringLiteral("/v1/conversations/") + LiveOps::id(rig.roomId)
                                  + QStringLiteral("/messages"))
            >= 1);
    QCOMPARE(ops.store->message(mine)->kind, MessageKind::text);
    QCOMPARE(ops.store->message(mine)->body, QStringLiteral("지울 글"));
}

void TestStoreMessagesAdmin::liveClearSendsEachHideOnce()
{
    LiveRoomRig rig;
    LiveOps &ops = rig.ops;
    const QUuid roomId = rig.roomId;
    QList<QUuid> ids;
    for (const QString &body :
         {QStringLiteral("하나"), QStringLiteral("둘"), QStringLiteral("셋"), QStringLiteral("넷")})
        ids.append(rig.post(rig.pal, body));
    QVERIFY(rig.start());
    // One message hidden already, one system line: neither is sent.
    ChatMessage hidden = *ops.store->message(ids.first());
    ops.store->editMessages([&](MessageIndex &index) {
        hidden.hiddenForMe = true;
        index.replace(index.find(hidden.id), hidden);
    });
    ops.store->appendSystem(roomId, QStringLiteral("안내"), false);
    const QUuid extra = ids.at(3);
    ops.settle();
    ops.service.clearRecords();

    // The second request fails: the notice shows and the third still goes.
    ops.service.failNext(QStringLiteral("POST"),
                         QStringLiteral("/v1/messages/") + LiveOps::id(ids.at(2)), 1, 500,
                         QStringLiteral("server_error"), QStringLiteral("숨기지 못했습니다."));
    ops.store->clearMessages(roomId);
    QVERIFY(ops.store->visibleMessages(roomId).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(
        ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/messages/")), 3, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), QStringLiteral("숨기지 못했습니다."), kWait);
    QStringList targets;
    for (const RecordedRequest &r :
         ops.requests(QStringLiteral("POST"), QStringLiteral("/v1/messages/")))
        targets.append(r.target);
    const QString hide = QStringLiteral("hide");
    QCOMPARE(targets,
             (QStringList{LiveRoomRig::path(ids.at(1), hide), LiveRoomRig::path(ids.at(2), hide),
                          LiveRoomRig::path(extra, hide)}));

    // Everything hidden already: nothing to send.
    ops.store->clearMessages(roomId);
    ops.barrier();
    QCOMPARE(ops.countRequests(QStringLiteral("POST"), QStringLiteral("/v1/messages/")), 3);
}

QTEST_GUILESS_MAIN(TestStoreMessagesAdmin)
#include "tst_store_messages_admin.moc"
