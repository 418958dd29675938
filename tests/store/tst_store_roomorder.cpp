// The room list's order across reloads and starts: the service's list gives no time for a room
// without a last message.

#include "StoreTestSupport.h"
#include "store/RoomOrder.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A direct room of mine; `lastAt` empty: without a last message.
APIConversation wireRoom(const QUuid &me, const QString &lastAt)
{
    APIConversation wire;
    wire.id = QUuid::createUuid();
    wire.type = u"direct"_s;
    APIMember mine;
    mine.userId = me;
    mine.role = u"owner"_s;
    wire.members = {mine};
    if (!lastAt.isEmpty()) {
        wire.lastMessage = wireText(wire.id, me, 1);
        wire.lastMessage->createdAt = lastAt;
    }
    return wire;
}

QList<QUuid> listed(const LocalStore &store)
{
    QList<QUuid> ids;
    for (const Conversation &room : store.sortedList())
        ids.append(room.id);
    return ids;
}

} // namespace

class TestStoreRoomOrder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void untimedRoomsSortBelowAndStayPut_data()
    {
        // The time of each room's last message as the service lists them ("": none), and the
        // expected order by index in that list.
        QTest::addColumn<QStringList>("lastAt");
        QTest::addColumn<QList<int>>("order");
        const QString nine = u"2024-05-01T09:00:00Z"_s;
        const QString ten = u"2024-05-01T10:00:00Z"_s;
        const QString eleven = u"2024-05-01T11:00:00Z"_s;
        QTest::newRow("empty room listed first") << QStringList{{}, nine, eleven} << QList{2, 1, 0};
        QTest::newRow("two empty rooms keep the service's order")
            << QStringList{ten, {}, {}} << QList{0, 1, 2};
        QTest::newRow("nothing has a time") << QStringList{{}, {}, {}} << QList{0, 1, 2};
    }
    void untimedRoomsSortBelowAndStayPut()
    {
        QFETCH(QStringList, lastAt);
        QFETCH(QList<int>, order);
        auto first = memoryStore();
        const QUuid me = signInLocally(*first);
        QList<APIConversation> wire;
        for (const QString &at : std::as_const(lastAt))
            wire.append(wireRoom(me, at));
        QList<QUuid> expected;
        for (int i : std::as_const(order))
            expected.append(wire.at(i).id);

        first->apply(wire);
        QCOMPARE(listed(*first), expected);

        // Applied again later in the same run: every room keeps its time.
        const QList<Conversation> before = first->conversations();
        QTest::qWait(5);
        first->apply(wire);
        QCOMPARE(first->conversations(), before);

        // A later start sees the same list: the same order.
        auto second = memoryStore();
        second->setSession(first->session());
        QTest::qWait(5);
        second->apply(wire);
        QCOMPARE(listed(*second), expected);
    }

    // A room's new time or pin, applied as the only touched room, gives the order a full sort
    // gives, whether the room stays in its place (often the top one) or moves past neighbours,
    // ties with the same time included.
    void oneRoomChangedSortsAsTheWholeList_data()
    {
        QTest::addColumn<int>("room"); // in the store's list; times 50, 40, 30, 20, 10 minutes
        QTest::addColumn<int>("minutes"); // the room's new time; -1: no time
        QTest::addColumn<bool>("pinned");
        QTest::newRow("top stays top") << 0 << 60 << false;
        QTest::newRow("middle moves up a little") << 2 << 45 << false;
        QTest::newRow("middle stays between") << 2 << 35 << false;
        QTest::newRow("ties with the one above") << 2 << 40 << false;
        QTest::newRow("ties with the one below") << 2 << 20 << false;
        QTest::newRow("bottom to the top") << 4 << 90 << false;
        QTest::newRow("top sinks to the bottom") << 0 << 5 << false;
        QTest::newRow("loses its time") << 1 << -1 << false;
        QTest::newRow("pinned at the bottom") << 4 << 10 << true;
    }

    void oneRoomChangedSortsAsTheWholeList()
    {
        QFETCH(int, room);
        QFETCH(int, minutes);
        QFETCH(bool, pinned);
        const QUuid me = QUuid::createUuid();
        const QDateTime start(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
        QList<Conversation> rooms;
        for (int i = 0; i < 5; ++i) {
            Conversation c;
            c.id = QUuid::createUuid();
            c.memberships = {Membership{me, MemberRole::owner, 0, start, std::nullopt}};
            c.updatedAt = start.addSecs((50 - 10 * i) * 60);
            rooms.append(c);
        }
        RoomOrder kept;
        kept.sync(rooms, me, nullptr);
        rooms[room].updatedAt = minutes < 0 ? QDateTime() : start.addSecs(minutes * 60);
        rooms[room].pinned = pinned;
        const QList<int> touched{room};
        kept.sync(rooms, me, &touched);
        RoomOrder fresh;
        fresh.sync(rooms, me, nullptr);
        QCOMPARE(kept.ids(), fresh.ids());
        QCOMPARE(kept.order(), fresh.order());
    }

    void roomOpenedHereGoesToTheTop()
    {
        LiveOps ops;
        const QUuid me = ops.addUser(u"me"_s, u"나"_s);
        const QUuid one = ops.addUser(u"one"_s, u"하나"_s);
        const QUuid two = ops.addUser(u"two"_s, u"둘"_s);
        ops.service.makeFriends(me, one);
        QVERIFY(ops.started && ops.start(u"me"_s));
        LiveRig::adopt(*ops.store);
        const QUuid withOne = ops.store->directConversation(one)->id;
        ops.postMessage(withOne, one, u"안녕"_s);
        await(ops.store->reloadRemote());

        // A room the service made for two friends, not yet held here: opening it brings it in
        // on top, although it has no message.
        ops.service.makeFriends(me, two);
        const auto opened = finish(ops.store->openChat(two)).value_or(std::nullopt);
        QVERIFY(opened);
        QCOMPARE(listed(*ops.store), (QList{*opened, withOne}));
        await(ops.store->reloadRemote());
        QCOMPARE(listed(*ops.store), (QList{*opened, withOne}));
    }
};

QTEST_GUILESS_MAIN(TestStoreRoomOrder)
#include "tst_store_roomorder.moc"
