#include "StoreTestSupport.h"

#include "api/ChatErrors.h"
#include "api/ChatEvent.h"
#include "store/RoomListIntake.h"

#include <QJsonArray>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A room of the room list as the service answers it: a direct room of `me` and `peer`.
struct ListedRoom
{
    QUuid id = QUuid::createUuid();
    QUuid peer = QUuid::createUuid();
    int unread = 0;
};

// The service's answer with `rooms` (the fields that may be null left out).
QByteArray listAnswer(const QUuid &me, const QList<ListedRoom> &rooms)
{
    const auto member = [](const QUuid &user, const QString &name) {
        return QJsonObject{{"user_id", user.toString(QUuid::WithoutBraces)},
                           {"role", "member"},
                           {"kind", "person"},
                           {"handle", name},
                           {"display_name", name}};
    };
    QJsonArray list;
    for (const ListedRoom &room : rooms)
        list.append(QJsonObject{
            {"id", room.id.toString(QUuid::WithoutBraces)},
            {"type", "direct"},
            {"muted", false},
            {"pinned", false},
            {"unread_count", room.unread},
            {"members", QJsonArray{member(me, u"나"_s), member(room.peer, u"상대"_s)}}});
    return QJsonDocument(QJsonObject{{"conversations", list}}).toJson(QJsonDocument::Compact);
}

// A live store (its client never connects) signed in as `me`, and its room-list intake.
struct Rig
{
    Rig()
    {
        store->apply(
            APIUser{me, u"person"_s, u"me"_s, u"나"_s, std::nullopt, u"active"_s, std::nullopt},
            std::nullopt);
    }

    // Takes a list of my `rooms` to its end; whether it was applied.
    bool takeList(const QList<ListedRoom> &rooms)
    {
        return finish(intake.take(listAnswer(me, rooms))).value_or(std::nullopt).has_value();
    }

    QUuid me = QUuid::createUuid();
    std::unique_ptr<LocalStore> store = std::make_unique<LocalStore>(
        false, 250ms, std::make_unique<ChatClient>(QUrl(u"http://127.0.0.1:9"_s)));
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
        QVERIFY(rig.takeList({room}));
        QCOMPARE(rig.store->remoteUnread().value(room.id), 2);

        // The service's list, sent before the message below; the message comes while it is read.
        auto taking = rig.intake.take(listAnswer(rig.me, {room}));
        QCOMPARE(rig.intake.decoding(), 1);
        const APIMessage message = wireText(room.id, room.peer, 1, u"새 소식"_s);
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
        auto older = rig.intake.take(listAnswer(rig.me, QList<ListedRoom>(3000)));
        auto newer = rig.intake.take(listAnswer(rig.me, {kept}));
        QCOMPARE(rig.intake.decoding(), 2);
        QVERIFY(QCoro::waitFor(std::move(newer)));
        QVERIFY(QCoro::waitFor(std::move(older)));
        QCOMPARE(rig.intake.decoding(), 0);
        QCOMPARE(rig.store->conversations().size(), 1);
        QCOMPARE(rig.store->conversations().first().id, kept.id);
    }

    void listsOfNobodySignedInApplyNothing_data()
    {
        QTest::addColumn<QByteArray>("answer"); // empty: a list that reads
        QTest::addColumn<int>("askedFor"); // 0 the user signed in, 1 another user, 2 nobody
        QTest::addColumn<int>("meanwhile"); // 1 I sign out while it is read, 2 and another signs in
        QTest::addColumn<QString>("notice");
        const QString unusable = ChatAPIError::invalidResponse(500).message;
        QTest::newRow("I sign out") << QByteArray() << 0 << 1 << QString();
        QTest::newRow("another user signs in") << QByteArray() << 0 << 2 << QString();
        QTest::newRow("asked for another user") << QByteArray() << 1 << 0 << QString();
        QTest::newRow("asked while nobody was signed in") << QByteArray() << 2 << 0 << QString();
        QTest::newRow("not JSON, asked for another user") << "{"_ba << 1 << 0 << QString();
        QTest::newRow("not a room list, mine")
            << R"({"conversations": [{"id": 5}]})"_ba << 0 << 0 << unusable;
    }
    // A list whose user is not the one signed in when its turn comes is nobody's: it is dropped
    // whole, rooms, unread counts and failure alike, and so are the events that waited for it
    // if their user has signed out since. The events of whoever is signed in still wait their
    // turn behind it, and apply. A list of theirs that does not read shows the usual notice.
    void listsOfNobodySignedInApplyNothing()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, askedFor);
        QFETCH(int, meanwhile);
        QFETCH(QString, notice);
        Rig rig;
        const ListedRoom mine;
        QVERIFY(rig.takeList({mine}));
        const std::optional<QUuid> forUser = askedFor == 0 ? std::optional(rig.me)
            : askedFor == 1                                ? std::optional(QUuid::createUuid())
                                                           : std::nullopt;
        ListedRoom theirs;
        theirs.unread = 3;
        auto taking = rig.intake.take(
            answer.isEmpty() ? listAnswer(forUser.value_or(rig.me), {theirs}) : answer, forUser);
        const APIMessage waited = wireText(mine.id, mine.peer, 1);
        rig.intake.deliver(ChatEvent::makeMessage(waited));
        if (meanwhile > 0)
            rig.store->setSession(std::nullopt);
        if (meanwhile > 1)
            rig.store->setSession(AppSession{QUuid::createUuid(), true});
        const APIMessage next = wireText(QUuid::createUuid(), QUuid::createUuid(), 1);
        rig.intake.deliver(ChatEvent::makeMessage(next));
        QVERIFY(!rig.store->message(waited.id) && !rig.store->message(next.id));

        QVERIFY(answeredNothing(finish(std::move(taking))));
        QCOMPARE(rig.store->notice().value_or(QString()), notice);
        QCOMPARE(rig.store->conversations().size(), 1);
        QCOMPARE(rig.store->conversations().first().id, mine.id);
        QVERIFY(!rig.store->remoteUnread().contains(theirs.id));
        QCOMPARE(rig.store->message(waited.id).has_value(), meanwhile == 0);
        QCOMPARE(rig.store->remoteUnread().value(mine.id), meanwhile == 0 ? 1 : 0);
        QVERIFY(rig.store->message(next.id));
        if (meanwhile == 0) { // the next list asked for me is taken
            QVERIFY(rig.takeList({theirs}));
            QCOMPARE(rig.store->remoteUnread().value(theirs.id), 3);
        }
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
        const QUuid pal = ops.addUser(u"pal"_s, u"친구"_s);
        const QUuid first = ops.addUser(u"first"_s, u"하나"_s);
        const QUuid second = ops.addUser(u"second"_s, u"둘"_s);
        const QUuid firstRoom = ops.service.addDirectRoom(first, pal);
        ops.postMessage(firstRoom, pal, u"하나에게"_s);
        const QUuid secondRoom = ops.service.addDirectRoom(second, pal);
        QVERIFY(ops.started && ops.start(u"first"_s));

        ops.postMessage(firstRoom, pal, u"또 하나에게"_s);
        // The service answers the list as the first user's (their logout reaches it later).
        ops.service.delayNext(u"GET"_s, u"/v1/conversations"_s, 1, 1500);
        ops.service.delayNext(u"POST"_s, u"/v1/auth/logout"_s, 1, 3000);
        if (failing)
            ops.service.failNext(u"GET"_s, u"/v1/conversations"_s, 1, 403, u"forbidden"_s,
                                 u"볼 수 없습니다."_s);
        QCoro::Task<> reloading = ops.store->reloadRemote();
        QTRY_COMPARE(ops.countRequests(u"GET"_s, u"/v1/conversations"_s), 1);
        ops.store->logout();
        const auto failure = finish(ops.store->login(u"second@example.com"_s, ops.password));
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

    // The store may go while its list is read on another thread: nothing is applied to it and
    // nothing crashes.
    void storeGoneWhileDecoding()
    {
        Rig rig;
        QPointer<RoomListIntake> intake = &rig.intake;
        auto taking = intake->take(listAnswer(rig.me, QList<ListedRoom>(3000)));
        intake->deliver(ChatEvent::makeMessage(wireText(QUuid::createUuid(), rig.me, 1)));
        rig.store.reset();
        QVERIFY(intake.isNull());
        QVERIFY(!QCoro::waitFor(std::move(taking)));
    }
};

QTEST_GUILESS_MAIN(TestStoreRoomListIntake)
#include "tst_store_roomlistintake.moc"
