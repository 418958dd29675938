#include "StoreTestSupport.h"

#include "api/ChatErrors.h"
#include "api/ChatEvent.h"
#include "store/RoomListIntake.h"

#include <QJsonArray>
#include <QPointer>
#include <QTest>

namespace {

// A room of the room list as the service answers it: a direct room of `me` and `peer`.
struct ListedRoom
{
    QUuid id = QUuid::createUuid();
    QUuid peer = QUuid::createUuid();
    int unread = 0;
};

QByteArray listAnswer(const QUuid &me, const QList<ListedRoom> &rooms)
{
    const auto id = [](const QUuid &u) { return u.toString(QUuid::WithoutBraces); };
    const auto member = [&](const QUuid &user, const QString &name) {
        return QJsonObject{{"user_id", id(user)},
                           {"role", "member"},
                           {"kind", "person"},
                           {"handle", name},
                           {"display_name", name},
                           {"avatar_url", QJsonValue::Null},
                           {"accepts_user_messages", true},
                           {"left_at", QJsonValue::Null}};
    };
    QJsonArray list;
    for (const ListedRoom &room : rooms)
        list.append(QJsonObject{{"id", id(room.id)},
                                {"type", "direct"},
                                {"title", QJsonValue::Null},
                                {"muted", false},
                                {"pinned", false},
                                {"unread_count", room.unread},
                                {"last_message", QJsonValue::Null},
                                {"members",
                                 QJsonArray{member(me, QStringLiteral("나")),
                                            member(room.peer, QStringLiteral("상대"))}}});
    return QJsonDocument(QJsonObject{{"conversations", list}}).toJson(QJsonDocument::Compact);
}

QList<ListedRoom> manyRooms(int count)
{
    QList<ListedRoom> rooms(count);
    return rooms;
}

// A live store (its client never connects) signed in as `me`.
std::unique_ptr<LocalStore> signedInStore(const QUuid &me)
{
    auto store = std::make_unique<LocalStore>(
        false, 250ms, std::make_unique<ChatClient>(QUrl(QStringLiteral("http://127.0.0.1:9"))));
    store->apply(APIUser{me, QStringLiteral("person"), QStringLiteral("me"), QStringLiteral("나"),
                         std::nullopt, QStringLiteral("active"), std::nullopt},
                 std::nullopt);
    return store;
}

// A signed-in live store and its room-list intake.
struct Rig
{
    QUuid me = QUuid::createUuid();
    std::unique_ptr<LocalStore> store = signedInStore(me);
    RoomListIntake &intake = RoomListIntake::of(*store);
};

} // namespace

// The room list's answer is decoded off the main thread and applied later, as if it had been
// applied when it arrived: the events that come meanwhile, and later answers, are not
// overwritten by it.
class TestStoreRoomListIntake : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    // A message that comes while the list is decoded counts on top of the list's unread count,
    // and shows only once the list is in (it is applied after it).
    void eventWhileDecodingFollowsTheAnswer()
    {
        Rig rig;
        ListedRoom room;
        room.unread = 2;
        QVERIFY(finish(rig.intake.take(listAnswer(rig.me, {room}))).value_or(std::nullopt));
        QCOMPARE(rig.store->remoteUnread().value(room.id), 2);

        // The service's list, sent before the message below; the message comes while it is read.
        auto taking = rig.intake.take(listAnswer(rig.me, {room}));
        QCOMPARE(rig.intake.decoding(), 1);
        const APIMessage message = wireText(room.id, room.peer, 1, QStringLiteral("새 소식"));
        rig.intake.deliver(ChatEvent::makeMessage(message));
        QVERIFY(!rig.store->message(message.id));
        QVERIFY(QCoro::waitFor(std::move(taking)));
        QCOMPARE(rig.intake.decoding(), 0);
        QVERIFY(rig.store->message(message.id));
        QCOMPARE(rig.store->remoteUnread().value(room.id), 3);

        // With nothing being decoded an event applies at once.
        const APIMessage next = wireText(room.id, room.peer, 2);
        rig.intake.deliver(ChatEvent::makeMessage(next));
        QVERIFY(rig.store->message(next.id));
        QCOMPARE(rig.store->remoteUnread().value(room.id), 4);
    }

    // A long list taken first and a short one right after it: the short one, newer, stands,
    // though it is read long before the other.
    void answersApplyInTheOrderTheyArrived()
    {
        Rig rig;
        const ListedRoom kept;
        auto older = rig.intake.take(listAnswer(rig.me, manyRooms(3000)));
        auto newer = rig.intake.take(listAnswer(rig.me, {kept}));
        QCOMPARE(rig.intake.decoding(), 2);
        QVERIFY(QCoro::waitFor(std::move(newer)));
        QVERIFY(QCoro::waitFor(std::move(older)));
        QCOMPARE(rig.intake.decoding(), 0);
        QCOMPARE(rig.store->conversations().size(), 1);
        QCOMPARE(rig.store->conversations().first().id, kept.id);
    }

    // A list fetched for a user who signs out while it is read is nobody's, and so are the
    // events that came before the sign-out and waited for it: the store is left as the sign-out
    // left it, its unread counts included. The events of whoever signs in next still wait their
    // turn behind the list, and apply.
    void answerOfAnEndedSessionIsDropped_data()
    {
        QTest::addColumn<bool>("anotherSignsIn");
        QTest::newRow("signed out") << false;
        QTest::newRow("another user signs in") << true;
    }
    void answerOfAnEndedSessionIsDropped()
    {
        QFETCH(bool, anotherSignsIn);
        Rig rig;
        ListedRoom room;
        room.unread = 2;
        auto taking = rig.intake.take(listAnswer(rig.me, {room}));
        const APIMessage ended = wireText(room.id, room.peer, 3);
        rig.intake.deliver(ChatEvent::makeMessage(ended));
        rig.store->setSession(std::nullopt);
        if (anotherSignsIn)
            rig.store->setSession(AppSession{QUuid::createUuid(), true});
        const APIMessage next = wireText(QUuid::createUuid(), QUuid::createUuid(), 1);
        rig.intake.deliver(ChatEvent::makeMessage(next));
        QVERIFY(!rig.store->message(next.id));
        QVERIFY(!QCoro::waitFor(std::move(taking)));
        QVERIFY(rig.store->conversations().isEmpty());
        QVERIFY(!rig.store->remoteUnread().contains(room.id));
        QVERIFY(!rig.store->message(ended.id));
        QVERIFY(rig.store->message(next.id));
    }

    // A list asked for one user that comes while another is signed in is dropped whole, rooms
    // and notice alike, whether it reads or not; so is a list asked while nobody was signed in.
    void answerAskedForAnotherUserIsDropped()
    {
        Rig rig;
        const ListedRoom mine;
        QVERIFY(finish(rig.intake.take(listAnswer(rig.me, {mine}))).value_or(std::nullopt));
        const QUuid before = QUuid::createUuid();
        ListedRoom theirs;
        theirs.unread = 3;
        QVERIFY(answeredNothing(finish(rig.intake.take(listAnswer(before, {theirs}), before))));
        QVERIFY(answeredNothing(
            finish(rig.intake.take(listAnswer(before, {theirs}), std::optional<QUuid>()))));
        QVERIFY(answeredNothing(finish(rig.intake.take(QByteArrayLiteral("{"), before))));
        QCOMPARE(rig.store->notice(), std::nullopt);
        QCOMPARE(rig.store->conversations().size(), 1);
        QCOMPARE(rig.store->conversations().first().id, mine.id);
        QVERIFY(!rig.store->remoteUnread().contains(theirs.id));
        // Asked for the user signed in: taken.
        QVERIFY(
            finish(rig.intake.take(listAnswer(rig.me, {theirs}), rig.me)).value_or(std::nullopt));
        QCOMPARE(rig.store->remoteUnread().value(theirs.id), 3);
    }

    // The list of the user who signed out, fetched by the store and held up on the way, comes
    // after the next user has signed in on the same client and loaded their own: it changes
    // nothing, none of its rooms is synced with the new user's session, and its failure is not
    // shown to the new user either.
    void lateListOfThePreviousUser_data()
    {
        QTest::addColumn<bool>("failing");
        QTest::newRow("answered") << false;
        QTest::newRow("failed") << true;
    }
    void lateListOfThePreviousUser()
    {
        QFETCH(bool, failing);
        LiveOps ops;
        const QUuid pal = ops.addUser(QStringLiteral("pal"), QStringLiteral("친구"));
        const QUuid first = ops.addUser(QStringLiteral("first"), QStringLiteral("하나"));
        const QUuid second = ops.addUser(QStringLiteral("second"), QStringLiteral("둘"));
        const QUuid firstRoom = ops.service.addDirectRoom(first, pal);
        ops.postMessage(firstRoom, pal, QStringLiteral("하나에게"));
        const QUuid secondRoom = ops.service.addDirectRoom(second, pal);
        QVERIFY(ops.started && ops.start(QStringLiteral("first")));

        ops.postMessage(firstRoom, pal, QStringLiteral("또 하나에게"));
        // The service answers the list as the first user's (their logout reaches it later).
        ops.service.delayNext(QStringLiteral("GET"), QStringLiteral("/v1/conversations"), 1, 1500);
        ops.service.delayNext(QStringLiteral("POST"), QStringLiteral("/v1/auth/logout"), 1, 3000);
        if (failing)
            ops.service.failNext(QStringLiteral("GET"), QStringLiteral("/v1/conversations"), 1, 403,
                                 QStringLiteral("forbidden"), QStringLiteral("볼 수 없습니다."));
        QCoro::Task<> reloading = ops.store->reloadRemote();
        QTRY_COMPARE(ops.countRequests(QStringLiteral("GET"), QStringLiteral("/v1/conversations")),
                     1);
        ops.store->logout();
        const std::optional<std::optional<QString>> failure
            = finish(ops.store->login(QStringLiteral("second@example.com"), ops.password));
        QVERIFY(failure);
        QCOMPARE(*failure, std::nullopt);
        QCOMPARE(ops.store->session()->meId, second);
        const QHash<QUuid, int> unread = ops.store->remoteUnread();
        ops.service.clearRecords();

        await(std::move(reloading));
        ops.barrier();
        QCOMPARE(ops.store->conversations().size(), 1);
        QCOMPARE(ops.store->conversations().first().id, secondRoom);
        QCOMPARE(ops.store->remoteUnread(), unread);
        QCOMPARE(ops.store->notice(), std::nullopt);
        const QString named = firstRoom.toString(QUuid::WithoutBraces);
        for (const RecordedRequest &r : ops.service.requests())
            QVERIFY2(!r.target.contains(named, Qt::CaseInsensitive), qPrintable(r.target));
    }

    // An answer that does not read shows the usual notice, changes no room, and lets the events
    // behind it through.
    void unusableAnswerShowsTheNotice()
    {
        Rig rig;
        const ListedRoom room;
        QVERIFY(finish(rig.intake.take(listAnswer(rig.me, {room}))).value_or(std::nullopt));
        const QList<Conversation> rooms = rig.store->conversations();

        auto taking = rig.intake.take(QByteArrayLiteral("{\"conversations\": [{\"id\": 5}]}"));
        const APIMessage message = wireText(room.id, room.peer, 1);
        rig.intake.deliver(ChatEvent::makeMessage(message));
        QVERIFY(!QCoro::waitFor(std::move(taking)));
        QCOMPARE(rig.store->notice(), ChatAPIError::invalidResponse(500).message);
        QCOMPARE(rig.store->conversations().size(), rooms.size());
        QCOMPARE(rig.store->conversations().first().id, room.id);
        QVERIFY(rig.store->message(message.id));
    }

    // The store may go while its list is read on another thread: nothing is applied to it and
    // nothing crashes.
    void storeGoneWhileDecoding()
    {
        Rig rig;
        QPointer<RoomListIntake> intake = &rig.intake;
        auto taking = intake->take(listAnswer(rig.me, manyRooms(3000)));
        intake->deliver(ChatEvent::makeMessage(wireText(QUuid::createUuid(), rig.me, 1)));
        rig.store.reset();
        QVERIFY(intake.isNull());
        QVERIFY(!QCoro::waitFor(std::move(taking)));
    }
};

QTEST_GUILESS_MAIN(TestStoreRoomListIntake)
#include "tst_store_roomlistintake.moc"
