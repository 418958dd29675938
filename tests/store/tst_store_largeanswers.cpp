#include "StoreTestSupport.h"

#include "api/ChatErrors.h"

#include <QTest>

namespace {

// A last message as long as a message may be, in Korean: 12 KB as UTF-8.
QString longBody(int n)
{
    QString body = QString::number(n) + u' ';
    while (body.size() < 4000)
        body += QStringLiteral("가나다라마바사아자차카타파하");
    body.truncate(4000);
    return body;
}

// A store signed in as `email` whose client takes room lists and sync pages up to `listLimit`.
std::unique_ptr<LocalStore> storeFor(LiveRig &rig, const QString &email, qint64 listLimit)
{
    ChatClientOptions options;
    options.keychainService = rig.keychainName;
    options.sessionFolder = rig.sessionFolder.path();
    options.listAnswerLimit = listLimit;
    auto client = std::make_unique<ChatClient>(rig.service.baseUrl(), options);
    if (!finish(client->login(email, rig.password)))
        return nullptr;
    auto store = std::make_unique<LocalStore>(true, 250ms, std::move(client));
    store->apply(*store->client()->currentUser(), std::nullopt);
    return store;
}

// `count` group rooms of `peer` with `me` in them, named `title` with the room's number, each
// with one message body(number) from the peer.
template<typename Body>
void addRooms(LiveRig &rig, const QUuid &me, const QUuid &peer, int count, const QString &title,
              Body body)
{
    for (int n = 0; n < count; ++n) {
        const QUuid room = rig.service.addGroupRoom(peer, title.arg(n), {me});
        rig.postMessage(room, peer, body(n));
    }
}

} // namespace

// Answers far beyond a usual size: a room list of 1,000 rooms whose last messages are as long as
// messages get, and a sync page of 50 such rooms with 50 such messages each, load; an answer
// beyond its bound fails with the usual notice and leaves what the store holds.
class TestStoreLargeAnswers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void longRoomListAndSyncPageLoad()
    {
        LiveRig rig;
        QVERIFY(rig.started);
        const QUuid me = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
        const QUuid peer = rig.addUser(QStringLiteral("peer"), QStringLiteral("상대"));
        addRooms(rig, me, peer, 1000, QStringLiteral("방 %1"), longBody);
        auto store = storeFor(rig, QStringLiteral("me_user@example.com"), kListAnswerLimit);
        QVERIFY(store);
        // The 50 rooms the sync page covers (the first of the list) get 50 long messages each;
        // the newest activity keeps them first.
        const auto listed = finish(store->client()->conversations());
        QVERIFY(listed);
        QList<QUuid> synced;
        for (int i = 0; i < 50; ++i)
            synced.append(listed->at(i).id);
        for (const QUuid &room : synced) {
            for (int n = 1; n < 50; ++n)
                rig.postMessage(room, peer, longBody(n));
        }

        await(store->refreshLive());
        QCOMPARE(store->notice(), std::nullopt);
        QCOMPARE(store->conversations().size(), listed->size());
        for (const QUuid &room : synced) {
            const QList<ChatMessage> held = store->visibleMessages(room);
            QCOMPARE(held.size(), 50);
            QCOMPARE(held.last().body.size(), 4000);
        }
    }

    void overBoundAnswerKeepsWhatIsHeld()
    {
        LiveRig rig;
        QVERIFY(rig.started);
        const QUuid me = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
        const QUuid peer = rig.addUser(QStringLiteral("peer"), QStringLiteral("상대"));
        addRooms(rig, me, peer, 3, QStringLiteral("방 %1"),
                 [](int n) { return QStringLiteral("안녕 %1").arg(n); });
        auto store = storeFor(rig, QStringLiteral("me_user@example.com"), 256 * 1024);
        QVERIFY(store);
        await(store->refreshLive());
        QCOMPARE(store->notice(), std::nullopt);
        const QList<Conversation> rooms = store->conversations();
        const QList<ChatMessage> messages = store->messages();
        QVERIFY(rooms.size() >= 3);

        // Thirty more rooms with long last messages take the room list past its bound.
        addRooms(rig, me, peer, 30, QStringLiteral("긴 방 %1"), longBody);
        await(store->refreshLive());
        QCOMPARE(store->notice(), kTemporaryErrorText);
        QCOMPARE(store->conversations(), rooms);
        QCOMPARE(store->messages(), messages);
    }
};

QTEST_GUILESS_MAIN(TestStoreLargeAnswers)
#include "tst_store_largeanswers.moc"
