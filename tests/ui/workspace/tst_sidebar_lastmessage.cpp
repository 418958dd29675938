// Rooms whose messages are not held (only the newest are synced) show the last message the room
// list names, by the preview rules of a held one, without holding it; later lists, held
// messages and signing out take its place.

#include "SidebarTestSupport.h"
#include "api/WireTypes.h"
#include "store/RoomListLastMessages.h"
#include "ui/workspace/RoomListModel.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// What the list says of the room's last message; no type: the list names none.
struct Listed
{
    QString type;
    std::optional<QString> body;
    std::optional<QString> createdAt;
};

APIMember wireMember(const QUuid &id, const QString &name)
{
    APIMember m;
    m.userId = id;
    m.role = u"member"_s;
    m.kind = u"person"_s;
    m.displayName = name;
    return m;
}

// A direct room of mine with "상대", as the room list gives it.
APIConversation listedRoom(const QUuid &id, const QUuid &me, const QUuid &peer, const Listed &last)
{
    APIConversation c;
    c.id = id;
    c.type = u"direct"_s;
    c.members = {wireMember(me, u"나"_s), wireMember(peer, u"상대"_s)};
    if (!last.type.isEmpty()) {
        APIMessage m = wireText(id, peer, 9, last.body.value_or(QString()));
        m.type = last.type;
        m.body = last.body;
        m.createdAt = last.createdAt;
        c.lastMessage = m;
    }
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Listed)

class TestSidebarLastMessage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void previewOfTheListedMessage_data();
    void previewOfTheListedMessage();
    void roomsBeyondTheSyncedOnesShowTheirLastMessage();
    void laterLists();
};

void TestSidebarLastMessage::previewOfTheListedMessage_data()
{
    QTest::addColumn<Listed>("listed");
    QTest::addColumn<QString>("held"); // "": none; "text:…" or "hidden:…"
    QTest::addColumn<QString>("preview");
    QTest::addColumn<bool>("timed");

    const QString at = u"2024-03-05T09:00:00Z"_s;
    QTest::newRow("text") << Listed{u"text"_s, u"안녕하세요"_s, at} << QString() << u"안녕하세요"_s
                          << true;
    QTest::newRow("photo") << Listed{u"image"_s, std::nullopt, at} << QString() << u"사진"_s
                           << true;
    QTest::newRow("photo with caption")
        << Listed{u"image"_s, u"바다"_s, at} << QString() << u"사진"_s << true;
    QTest::newRow("deleted") << Listed{u"deleted"_s, u"지운 말"_s, at} << QString()
                             << u"삭제된 메시지"_s << true;
    QTest::newRow("system") << Listed{u"system"_s, u"방 이름이 바뀌었습니다."_s, at} << QString()
                            << u"방 이름이 바뀌었습니다."_s << true;
    QTest::newRow("another word reads as text")
        << Listed{u"sticker"_s, u"ㅋㅋ"_s, at} << QString() << u"ㅋㅋ"_s << true;
    QTest::newRow("no time") << Listed{u"text"_s, u"안녕"_s, std::nullopt} << QString() << u"안녕"_s
                             << false;
    QTest::newRow("a time that does not read")
        << Listed{u"text"_s, u"안녕"_s, u"어제"_s} << QString() << u"안녕"_s << false;
    QTest::newRow("no last message") << Listed{} << QString() << QString() << false;
    QTest::newRow("a held message wins")
        << Listed{u"text"_s, u"목록의 말"_s, at} << u"text:받은 말"_s << u"받은 말"_s << true;
    QTest::newRow("held messages all hidden")
        << Listed{u"text"_s, u"목록의 말"_s, at} << u"hidden:숨긴 말"_s << QString() << false;
}

void TestSidebarLastMessage::previewOfTheListedMessage()
{
    QFETCH(Listed, listed);
    QFETCH(QString, held);
    QFETCH(QString, preview);
    QFETCH(bool, timed);
    SidebarFixture f;
    const QUuid peer = QUuid::createUuid();
    const QUuid roomId = QUuid::createUuid();
    f.store->apply(QList<APIConversation>{listedRoom(roomId, f.me, peer, listed)});
    std::optional<ChatMessage> heldMessage;
    if (!held.isEmpty())
        heldMessage = f.say(roomId, peer, held.section(u':', 1), MessageKind::text,
                            held.startsWith(u"hidden"));

    RoomListModel model(*f.store);
    QCOMPARE(model.rowCount(), 1);
    const RoomRow &row = model.row(0);
    QCOMPARE(row.preview, preview);
    QCOMPARE(row.lastAt.isValid(), timed);
    if (timed) {
        QCOMPARE(row.lastAt,
                 heldMessage ? heldMessage->createdAt
                             : QDateTime(QDate(2024, 3, 5), QTime(9, 0), Qt::UTC));
    }
    // Read as shown: title, time, preview (and the held message's unread count).
    const QString time = RoomListModel::timeText(row, QDateTime::currentDateTimeUtc());
    QStringList spoken{u"상대"_s, time, preview, row.unread ? QString::number(row.unread) : ""};
    spoken.removeAll(QString());
    QCOMPARE(model.index(0).data(Qt::AccessibleTextRole).toString(), spoken.join(u", "_s));
    // The list's message is shown, never held.
    if (!heldMessage)
        QCOMPARE(f.store->messageIndex().roomSize(roomId), 0);
}

// 65 rooms, of which the sync reaches the newest 50: every row shows its last message.
void TestSidebarLastMessage::roomsBeyondTheSyncedOnesShowTheirLastMessage()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid me = rig.addUser(u"me_user"_s, u"나"_s);
    const QUuid peer = rig.addUser(u"peer_user"_s, u"상대"_s);
    for (int n = 0; n < 65; ++n) {
        const QUuid room = rig.service.addGroupRoom(peer, u"방 %1"_s.arg(n), {me});
        rig.postMessage(room, peer, u"말 %1"_s.arg(n));
    }
    auto store = rig.signedInStore(u"me_user@example.com"_s);
    QVERIFY(store);
    LiveRig::adopt(*store);
    QCOMPARE(store->notice(), std::nullopt);

    RoomListModel model(*store);
    QCOMPARE(model.rowCount(), 65);
    int unheld = 0;
    for (int i = 0; i < model.rowCount(); ++i) {
        const RoomRow &row = model.row(i);
        const QString number = row.title.section(u' ', 1);
        QCOMPARE(row.preview, u"말 "_s + number);
        QVERIFY(row.lastAt.isValid());
        QVERIFY(model.index(i).data(Qt::AccessibleTextRole).toString().contains(row.preview));
        unheld += store->messageIndex().roomSize(row.room.id) == 0;
    }
    QCOMPARE(unheld, 15);
}

// The same room list comes on every reload and reconnection: said again it changes no row; one
// room's new last message changes its row alone, not the room. A held message then takes its
// place, and signing out forgets what the list said.
void TestSidebarLastMessage::laterLists()
{
    SidebarFixture f;
    QList<APIConversation> rooms;
    for (int n = 0; n < 3000; ++n)
        rooms.append(listedRoom(QUuid::createUuid(), f.me, QUuid::createUuid(),
                                {u"text"_s, u"말 %1"_s.arg(n), u"2024-03-05T09:00:00Z"_s}));
    f.store->apply(rooms);
    RoomListModel model(*f.store);
    QCOMPARE(model.rowCount(), 3000);
    for (int i = 0; i < model.rowCount(); ++i) // a view that went through every row
        model.row(i);
    const QList<Conversation> held = f.store->conversations();

    SignalCount listed(&RoomListLastMessages::of(*f.store), &RoomListLastMessages::changed);
    QSignalSpy rowsChanged(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    f.store->apply(rooms);
    settleViews();
    QCOMPARE(listed.count, 0);
    QCOMPARE(rowsChanged.count(), 0);

    APIConversation &edited = rooms[1234];
    edited.lastMessage->type = u"deleted"_s;
    edited.lastMessage->body = std::nullopt;
    f.store->apply(rooms);
    settleViews();
    QCOMPARE(f.store->conversations(), held);
    QCOMPARE(listed.count, 1);
    const int at = model.rowOf(edited.id);
    QCOMPARE(rowsChanged.count(), 1);
    QCOMPARE(rowsChanged.first().at(0).value<QModelIndex>().row(), at);
    QCOMPARE(rowsChanged.first().at(1).value<QModelIndex>().row(), at);
    QCOMPARE(model.row(at).preview, u"삭제된 메시지"_s);
    QCOMPARE(reset.count(), 0);

    f.say(edited.id, edited.members.at(1).userId, u"동기화된 말"_s);
    settleViews();
    QCOMPARE(model.row(model.rowOf(edited.id)).preview, u"동기화된 말"_s);
    f.store->setSession(std::nullopt);
    QVERIFY(!RoomListLastMessages::of(*f.store).lastMessage(edited.id));
}

QTEST_MAIN(TestSidebarLastMessage)
#include "tst_sidebar_lastmessage.moc"
