// The observation rule, notices, the defaults arrays, the badge label and the message index
// that stands behind the store's one flat message list.

#include "StoreTestSupport.h"

#include <QSettings>
#include <QTest>

class TestStoreState : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaults(); }

    void wholeValueWritesSignalOnlyOnChange();
    void inPlaceChangesAlwaysSignalOnce();
    void noticeSlot();
    void pushTargetsForTheSameRoomDiffer();
    void localInviteCodeShape();
    void badgeLabel_data();
    void badgeLabel();
    void storedIDsKeepValidEntries_data();
    void storedIDsKeepValidEntries();
    void savedDefaultsReadBack();
    void indexFirstMatchAndStoreOrder();
    void indexReplacementMovesBetweenRooms();
    void indexDuplicateIdsFallBackToTheNextHolder();
    void setMessagesComparesWholeList();
};

void TestStoreState::wholeValueWritesSignalOnlyOnChange()
{
    auto store = memoryStore();
    const Conversation a
        = room(ConversationKind::group, {member(QUuid::createUuid())}, QStringLiteral("A"));
    store->setConversations({a});

    SignalCount rooms(store.get(), &LocalStore::conversationsChanged);
    store->setConversations({a}); // equal list
    QCOMPARE(rooms.count, 0);

    Conversation changed = a;
    changed.memberships[0].lastReadSeq = 3; // one field deep inside one room
    store->setConversations({changed});
    QCOMPARE(rooms.count, 1);

    SignalCount visible(store.get(), &LocalStore::visibleRoomIDChanged);
    store->setVisibleRoomID(a.id);
    store->setVisibleRoomID(a.id);
    QCOMPARE(visible.count, 1);
    store->setVisibleRoomID(std::nullopt);
    store->setVisibleRoomID(std::nullopt);
    QCOMPARE(visible.count, 2);

    SignalCount unread(store.get(), &LocalStore::remoteUnreadChanged);
    store->setRemoteUnread({{a.id, 2}});
    store->setRemoteUnread({{a.id, 2}});
    QCOMPARE(unread.count, 1);
}

void TestStoreState::inPlaceChangesAlwaysSignalOnce()
{
    auto store = memoryStore();
    SignalCount blocks(store.get(), &LocalStore::blocksChanged);
    const QUuid id = QUuid::createUuid();
    store->editBlocks([&](QList<QUuid> &list) { list.append(id); });
    QCOMPARE(blocks.count, 1);
    // Even an edit that ends where it began tells the observers.
    store->editBlocks([&](QList<QUuid> &list) {
        list.append(id);
        list.removeLast();
    });
    QCOMPARE(blocks.count, 2);
    QCOMPARE(store->blocks(), QList<QUuid>{id});
}

void TestStoreState::noticeSlot()
{
    auto store = memoryStore();
    SignalCount notices(store.get(), &LocalStore::noticeChanged);
    store->acknowledgeNotice();
    QCOMPARE(notices.count, 0);
    store->showNotice(QStringLiteral("하나"));
    store->showNotice(QStringLiteral("하나"));
    QCOMPARE(notices.count, 1);
    store->showNotice(QStringLiteral("둘"));
    QCOMPARE(store->notice(), QStringLiteral("둘"));
    QCOMPARE(notices.count, 2);
    store->acknowledgeNotice();
    QCOMPARE(store->notice(), std::nullopt);
    QCOMPARE(notices.count, 3);

    store->showAPI(std::make_exception_ptr(
        ChatAPIError(409, QStringLiteral("x"), QStringLiteral("서비스 문구"))));
    QCOMPARE(store->notice(), QStringLiteral("서비스 문구"));
    store->showAPI(std::make_exception_ptr(std::runtime_error("boom")));
    QCOMPARE(store->notice(), QStringLiteral("일시적인 오류입니다."));
}

void TestStoreState::pushTargetsForTheSameRoomDiffer()
{
    auto store = memoryStore();
    signInLocally(*store);
    SignalCount targets(store.get(), &LocalStore::pushTargetChanged);
    const QUuid roomId = QUuid::createUuid();
    store->openFromPush(roomId, std::nullopt);
    const PushOpen first = *store->pushTarget();
    store->openFromPush(roomId, std::nullopt);
    QCOMPARE(targets.count, 2);
    QVERIFY(store->pushTarget()->token != first.token);
    QCOMPARE(store->pushTarget()->conversationId, roomId);

    // An unfinished profile gets no push target.
    auto other = memoryStore();
    other->signIn();
    other->openFromPush(roomId, std::nullopt);
    QCOMPARE(other->pushTarget(), std::nullopt);
}

void TestStoreState::localInviteCodeShape()
{
    auto a = memoryStore();
    auto b = memoryStore();
    QCOMPARE(a->localInviteCode().size(), 32);
    QVERIFY(!a->localInviteCode().contains(u'-'));
    QCOMPARE(a->localInviteCode(), a->localInviteCode().toUpper());
    QVERIFY(a->localInviteCode() != b->localInviteCode());
}

void TestStoreState::badgeLabel_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<QString>("label");
    QTest::newRow("none") << qint64(0) << QString();
    QTest::newRow("negative") << qint64(-3) << QString();
    QTest::newRow("one") << qint64(1) << QStringLiteral("1");
    QTest::newRow("ninety-nine") << qint64(99) << QStringLiteral("99");
    QTest::newRow("hundred") << qint64(100) << QStringLiteral("99+");
    QTest::newRow("many") << qint64(12345) << QStringLiteral("99+");
}

void TestStoreState::badgeLabel()
{
    QFETCH(qint64, total);
    QFETCH(QString, label);
    QCOMPARE(LocalStore::badgeLabel(total), label);
}

void TestStoreState::storedIDsKeepValidEntries_data()
{
    const QString a = QStringLiteral("8D6E0C55-6B8B-4C9B-9E51-0D7A1B2C3D4E");
    const QString b = QStringLiteral("0f1e2d3c-4b5a-4968-8776-655443322110");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QList<QUuid>>("ids");
    QTest::newRow("missing") << QVariant() << QList<QUuid>();
    QTest::newRow("two, order kept")
        << QVariant(QStringList{b, a}) << QList<QUuid>{QUuid(b), QUuid(a)};
    QTest::newRow("bad entry dropped")
        << QVariant(QStringList{a, QStringLiteral("nope"), b}) << QList<QUuid>{QUuid(a), QUuid(b)};
    QTest::newRow("not a list") << QVariant(42) << QList<QUuid>();
}

void TestStoreState::storedIDsKeepValidEntries()
{
    QFETCH(QVariant, stored);
    QFETCH(QList<QUuid>, ids);
    if (stored.isValid())
        QSettings().setValue(QStringLiteral("quillo.live.blocks"), stored);
    QCOMPARE(LocalStore::storedIDs(QStringLiteral("quillo.live.blocks")), ids);
}

void TestStoreState::savedDefaultsReadBack()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid one = QUuid::createUuid();
    const QUuid two = QUuid::createUuid();
    {
        auto store = rig.signedOutStore();
        store->setBlocks({one});
        store->saveBlocks();
        store->setHiddenRoomIDs({one, two});
        store->saveHidden();
    }
    // A one-element list must come back as a list, not be lost as a plain string.
    auto again = rig.signedOutStore();
    QCOMPARE(again->blocks(), QList<QUuid>{one});
    QCOMPARE(again->hiddenRoomIDs(), (QSet<QUuid>{one, two}));

    // The local modes keep nothing in the defaults.
    auto local = memoryStore();
    local->setBlocks({two});
    local->saveBlocks();
    QCOMPARE(LocalStore::storedIDs(QStringLiteral("quillo.live.blocks")), QList<QUuid>{one});
}

void TestStoreState::indexFirstMatchAndStoreOrder()
{
    MessageIndex index;
    const QUuid roomA = QUuid::createUuid();
    const QUuid roomB = QUuid::createUuid();
    const QUuid me = QUuid::createUuid();
    ChatMessage a1 = textMessage(roomA, me, 5, QStringLiteral("a1"));
    ChatMessage b1 = textMessage(roomB, me, 1, QStringLiteral("b1"));
    ChatMessage a2 = textMessage(roomA, me, 5, QStringLiteral("a2")); // same seq as a1
    ChatMessage a3 = textMessage(roomA, me, 2, QStringLiteral("a3"));
    for (const ChatMessage &m : {a1, b1, a2, a3})
        index.append(m);

    QCOMPARE(index.toList(), (QList<ChatMessage>{a1, b1, a2, a3}));
    QCOMPARE(index.roomMessages(roomA, true), (QList<ChatMessage>{a3, a1, a2}));

    // A replacement keeps its place in store order even when its seq moves.
    ChatMessage moved = a1;
    moved.seq = 9;
    index.replace(index.find(a1.id), moved);
    QCOMPARE(index.toList(), (QList<ChatMessage>{moved, b1, a2, a3}));
    QCOMPARE(index.roomMessages(roomA, true), (QList<ChatMessage>{a3, a2, moved}));
    QCOMPARE(index.highestSeq(roomA), 9);

    // findMatch: the earliest in store order by id or by client id.
    ChatMessage probe = a2;
    probe.id = QUuid::createUuid();
    QCOMPARE(index.findMatch(probe.id, a3.clientMsgId)->message, a3);
    QCOMPARE(index.findMatch(a2.id, a3.clientMsgId)->message, a2);

    const QList<ChatMessage> taken = index.takeRoom(roomA);
    QCOMPARE(taken, (QList<ChatMessage>{moved, a2, a3}));
    QCOMPARE(index.size(), 1);
    QVERIFY(!index.find(a2.id));
}

void TestStoreState::indexReplacementMovesBetweenRooms()
{
    MessageIndex index;
    const QUuid roomA = QUuid::createUuid();
    const QUuid roomB = QUuid::createUuid();
    ChatMessage m = textMessage(roomA, QUuid::createUuid(), 1);
    index.append(m);
    ChatMessage elsewhere = m;
    elsewhere.conversationId = roomB;
    elsewhere.id = QUuid::createUuid();
    index.replace(index.find(m.id), elsewhere);
    QCOMPARE(index.roomSize(roomA), 0);
    QCOMPARE(index.roomMessages(roomB, true), QList<ChatMessage>{elsewhere});
    QVERIFY(!index.find(m.id));
    QCOMPARE(index.findByClientId(m.clientMsgId)->message, elsewhere);
}

void TestStoreState::indexDuplicateIdsFallBackToTheNextHolder()
{
    MessageIndex index;
    const QUuid roomId = QUuid::createUuid();
    ChatMessage first = textMessage(roomId, QUuid::createUuid(), 1, QStringLiteral("first"));
    ChatMessage second = first;
    second.seq = 2;
    second.body = QStringLiteral("second");
    ChatMessage third = first;
    third.seq = 3;
    third.body = QStringLiteral("third");
    index.assign({first, second, third});
    QCOMPARE(index.find(first.id)->message.body, QStringLiteral("first"));
    index.remove(index.find(first.id));
    QCOMPARE(index.find(first.id)->message.body, QStringLiteral("second"));
    index.remove(index.find(first.id));
    QCOMPARE(index.find(first.id)->message.body, QStringLiteral("third"));
    index.remove(index.find(first.id));
    QVERIFY(!index.find(first.id));
    QVERIFY(index.isEmpty());
}

void TestStoreState::setMessagesComparesWholeList()
{
    auto store = memoryStore();
    const QUuid roomId = QUuid::createUuid();
    const QList<ChatMessage> list{textMessage(roomId, QUuid::createUuid(), 1),
                                  textMessage(roomId, QUuid::createUuid(), 2)};
    SignalCount messages(store.get(), &LocalStore::messagesChanged);
    store->setMessages(list);
    store->setMessages(list);
    QCOMPARE(messages.count, 1);
    QList<ChatMessage> changed = list;
    changed[1].delivery = DeliveryState::failed;
    store->setMessages(changed);
    QCOMPARE(messages.count, 2);
    QCOMPARE(store->messages(), changed);
}

QTEST_MAIN(TestStoreState)
#include "tst_store_state.moc"
