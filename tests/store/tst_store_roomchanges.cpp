// What the store tells the views of one room: which entries came and changed, a reset when the
// room must be read again, nothing for a replacement by an equal message, and the order of the
// per-room signal before the general one.

#include "StoreTestSupport.h"

#include <QTest>

#include <functional>

namespace {

struct Recorded
{
    QUuid roomId;
    bool reset = false;
    QList<QUuid> inserted;
    QList<QUuid> changed;
    QList<QUuid> moved;
};

QList<QUuid> idsOf(const QList<const MessageIndex::Entry *> &entries)
{
    QList<QUuid> ids;
    for (const MessageIndex::Entry *entry : entries)
        ids.append(entry->message.id);
    return ids;
}

struct Rig
{
    Rig()
    {
        store = memoryStore();
        me = signInLocally(*store);
        peer = QUuid::createUuid();
        Conversation first = room(ConversationKind::direct, {member(me), member(peer)});
        Conversation second = room(ConversationKind::direct, {member(me), member(peer)});
        roomId = first.id;
        otherRoom = second.id;
        store->setConversations({first, second});
        a = textMessage(roomId, peer, 1, QStringLiteral("하나"));
        b = textMessage(roomId, me, 2, QStringLiteral("둘"));
        c = textMessage(otherRoom, peer, 1, QStringLiteral("다른 방"));
        store->setMessages({a, b, c});
        QObject::connect(store.get(), &LocalStore::roomMessagesChanged, &context,
                         [this](const QUuid &room, const MessageIndex::RoomChange &change) {
                             seen.append({room, change.reset, idsOf(change.inserted),
                                          idsOf(change.changed), idsOf(change.moved)});
                         });
        QObject::connect(store.get(), &LocalStore::messagesChanged, &context,
                         [this] { generalAfter = seen.size(); });
    }

    std::unique_ptr<LocalStore> store;
    QUuid me, peer, roomId, otherRoom;
    ChatMessage a, b, c;
    QObject context;
    QList<Recorded> seen;
    qsizetype generalAfter = -1;
};

using Operation = std::function<void(Rig &)>;

} // namespace

class TestStoreRoomChanges : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void tellsWhatChanged_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<int>("inserted");
        QTest::addColumn<int>("changed");
        QTest::addColumn<int>("moved");

        QTest::newRow("arrival") << Operation([](Rig &r) {
            r.store->merge(textMessage(r.roomId, r.peer, 3), true);
        }) << false << 1 << 0 << 0;
        QTest::newRow("delivery state") << Operation([](Rig &r) {
            const MessageIndex::Entry *e = r.store->messageIndex().find(r.b.id);
            r.store->editMessages([&](MessageIndex &index) {
                index.update(e, [](ChatMessage &m) { m.delivery = DeliveryState::failed; });
            });
        }) << false << 0 << 1 << 0;
        QTest::newRow("service copy of an echo") << Operation([](Rig &r) {
            ChatMessage copy = r.b;
            copy.id = QUuid::createUuid(); // matched by its client id
            copy.seq = 7;
            r.store->merge(copy, false);
        }) << false << 0 << 0 << 1;
        QTest::newRow("hidden for me")
            << Operation([](Rig &r) { r.store->hideForMe(r.a.id); }) << false << 0 << 1 << 0;
        QTest::newRow("new then changed in one go") << Operation([](Rig &r) {
            r.store->editMessages([&](MessageIndex &index) {
                const MessageIndex::Entry *e = index.append(textMessage(r.roomId, r.peer, 3));
                index.update(e, [](ChatMessage &m) { m.body = QStringLiteral("고침"); });
            });
        }) << false << 1 << 0 << 0;
        QTest::newRow("many new, each changed, and an old one") << Operation([](Rig &r) {
            r.store->editMessages([&](MessageIndex &index) {
                QList<const MessageIndex::Entry *> added;
                for (int i = 0; i < 20; ++i)
                    added.append(index.append(textMessage(r.roomId, r.peer, 3 + i)));
                for (const MessageIndex::Entry *e : std::as_const(added))
                    index.update(e, [](ChatMessage &m) { m.body = QStringLiteral("고침"); });
                index.update(index.find(r.a.id),
                             [](ChatMessage &m) { m.body = QStringLiteral("고침"); });
            });
        }) << false << 20 << 1 << 0;
        QTest::newRow("room read again") << Operation([](Rig &r) {
            r.store->editMessages([&](MessageIndex &index) {
                const QList<ChatMessage> old = index.takeRoom(r.roomId);
                for (const ChatMessage &m : old)
                    index.append(m);
            });
        }) << true << 0 << 0 << 0;
        QTest::newRow("cleared") << Operation([](Rig &r) { r.store->clearMessages(r.roomId); })
                                 << false << 0 << 2 << 0;
    }

    void tellsWhatChanged()
    {
        QFETCH(Operation, operation);
        QFETCH(bool, reset);
        QFETCH(int, inserted);
        QFETCH(int, changed);
        QFETCH(int, moved);
        Rig r;
        operation(r);
        QCOMPARE(r.seen.size(), 1); // the other room heard nothing
        QCOMPARE(r.seen.first().roomId, r.roomId);
        QCOMPARE(r.seen.first().reset, reset);
        QCOMPARE(r.seen.first().inserted.size(), inserted);
        QCOMPARE(r.seen.first().changed.size(), changed);
        QCOMPARE(r.seen.first().moved.size(), moved);
        QCOMPARE(r.generalAfter, 1); // the room's signal came first
    }

    void equalCopyChangesNothing()
    {
        Rig r;
        r.store->merge(r.a, false);
        QVERIFY(r.seen.isEmpty());
        QCOMPARE(r.generalAfter, 0); // the general signal keeps its old rule
    }

    void wholeReplacementResetsEveryRoom()
    {
        Rig r;
        r.store->setMessages({r.a});
        QCOMPARE(r.seen.size(), 2);
        for (const Recorded &each : std::as_const(r.seen))
            QVERIFY(each.reset);
    }
};

QTEST_GUILESS_MAIN(TestStoreRoomChanges)
#include "tst_store_roomchanges.moc"
