// Construction in each mode, the store document of the local-file mode, the local sign-in and
// welcome message, and the client and notification hooks of the live mode.

#include "StoreTestSupport.h"

#include "model/SeedID.h"
#include "model/Snapshot.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStoreModes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init();

    void inMemoryStartsFromTheSeeds();
    void localFileTakesTheDocument();
    void brokenDocumentIsLeftUntouched_data();
    void brokenDocumentIsLeftUntouched();
    void failedDocumentWriteIsToldUntilItLands();
    void welcomeIsDeliveredOnce();
    void localSignIn();
    void persistRoundTrip();
    void liveModeNeverTouchesTheDocument();
    void hooksFollowTheStoreAndItsEnd();
    void sessionLossClearsTheSessionOnly();
    void connectingFollowsTheSocket();

private:
    static QString documentPath() { return Snapshot::defaultFilePath(); }
    static void writeDocument(const Snapshot &snapshot)
    {
        QVERIFY(snapshot.writeFile(documentPath()));
    }
    static QByteArray documentBytes()
    {
        QFile file(documentPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
};

void TestStoreModes::init()
{
    QFile::remove(documentPath());
    clearDefaults();
    PushCenter::reset();
}

void TestStoreModes::inMemoryStartsFromTheSeeds()
{
    auto store = memoryStore();
    const QList<Account> accounts = store->accounts();
    QCOMPARE(accounts.size(), 5);
    QCOMPARE(accounts.at(0).id, SeedID::quillo());
    QCOMPARE(accounts.at(0).kind, AccountKind::official);
    QVERIFY(accounts.at(0).verified);
    QCOMPARE(accounts.at(4).id, SeedID::shop());
    QVERIFY(!accounts.at(4).verified);
    QCOMPARE(store->session(), std::nullopt);
    QVERIFY(store->messages().isEmpty());
    QVERIFY(!store->persisting());
    QVERIFY(!QFile::exists(documentPath()));
}

void TestStoreModes::localFileTakesTheDocument()
{
    Snapshot doc;
    QList<Account> seeds = LocalStore::seedAccounts();
    const Account sora = seeds.takeAt(1); // goes missing
    const Account guest = person(u"guest"_s, u"손님"_s);
    seeds[0].displayName = u"바뀐 이름"_s; // a present seed stays as it is
    doc.accounts = {seeds.at(0), guest, seeds.at(1), seeds.at(2), seeds.at(3)};
    doc.notificationSound = false;
    doc.blocks = {SeedID::taeo()};
    const QUuid roomId = QUuid::createUuid();
    for (DeliveryState state :
         {DeliveryState::sending, DeliveryState::sending, DeliveryState::failed}) {
        doc.messages.append(textMessage(roomId, SeedID::sora(), doc.messages.size() + 1));
        doc.messages.last().delivery = state;
    }
    writeDocument(doc);

    LocalStore store(true, 20ms, nullptr);
    QVERIFY(store.persisting());
    QVERIFY(!store.notificationSound());
    QCOMPARE(store.blocks(), QList<QUuid>{SeedID::taeo()});
    // A missing seed comes back at the end.
    const QList<Account> accounts = store.accounts();
    QCOMPARE(accounts.size(), 6);
    QCOMPARE(accounts.at(0).displayName, u"바뀐 이름"_s);
    QCOMPARE(accounts.at(1).id, guest.id);
    QCOMPARE(accounts.last(), sora);
    // What was still sending when the program ended counts as sent, in memory and on disk.
    const QList<DeliveryState> settled{DeliveryState::sent, DeliveryState::sent,
                                       DeliveryState::failed};
    QList<DeliveryState> held, written;
    for (const ChatMessage &m : store.messages())
        held << m.delivery;
    for (const ChatMessage &m : Snapshot::readFile(documentPath()).value_or(Snapshot()).messages)
        written << m.delivery;
    QCOMPARE(held, settled);
    QCOMPARE(written, settled);
}

void TestStoreModes::brokenDocumentIsLeftUntouched_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not json") << QByteArray("{ this is not json");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("missing member") << QByteArray(
        R"({"accounts":[],"conversations":[],"messages":[],"friends":[],"officialLinks":[],
                           "blocks":[],"reports":[],"retiredHandles":[],"notificationsEnabled":true,
                           "notificationPreview":true})");
}

void TestStoreModes::brokenDocumentIsLeftUntouched()
{
    QFETCH(QByteArray, bytes);
    // A signed-in session in an otherwise valid document would bring a welcome; a broken one
    // must bring nothing but the seeds.
    QDir folder(QFileInfo(documentPath()).path());
    QDir().mkpath(folder.path());
    for (const QString &name : folder.entryList({u"store.json.unreadable-*"_s}))
        QVERIFY(folder.remove(name));
    QFile file(documentPath());
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    LocalStore store(true, 20ms, nullptr);
    QCOMPARE(store.accounts(), LocalStore::seedAccounts());
    QCOMPARE(store.session(), std::nullopt);
    QVERIFY(store.messages().isEmpty());

    // It is kept aside as it was, and the first change writes a new document beside it.
    const QStringList aside = folder.entryList({u"store.json.unreadable-*"_s});
    QCOMPARE(aside.size(), 1);
    QFile kept(folder.filePath(aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), bytes);
    signInLocally(store);
    QVERIFY(Snapshot::readFile(documentPath()));
    kept.seek(0);
    QCOMPARE(kept.readAll(), bytes);
}

void TestStoreModes::failedDocumentWriteIsToldUntilItLands()
{
    LocalStore store(true, 20ms, nullptr);
    const SaveFailures &failures = store.saveFailures();
    SignalCount changes(&failures, &SaveFailures::changed);
    // A folder in the document's place: no write can land. The document holds the session of
    // this mode: its loss is told as the session's, for as long as it lasts, not as a notice.
    QVERIFY(QDir().mkpath(documentPath() + u"/inside"_s));
    const QUuid me = signInLocally(store);
    QVERIFY(failures.failing(SaveFailures::File::session));
    QCOMPARE(failures.texts(),
             QStringList{u"세션을 저장하지 못했습니다. 저장 공간을 확인해 주세요."_s});
    QCOMPARE(store.notice(), std::nullopt);
    store.persist();
    QVERIFY(failures.failing(SaveFailures::File::session));
    QCOMPARE(changes.count, 1);

    QVERIFY(QDir(documentPath()).removeRecursively());
    store.persist();
    QCOMPARE(Snapshot::readFile(documentPath())->session, (AppSession{me, true}));
    QVERIFY(!failures.any());
    QCOMPARE(changes.count, 2);
    QCOMPARE(store.notice(), std::nullopt);
}

void TestStoreModes::welcomeIsDeliveredOnce()
{
    Snapshot doc;
    doc.accounts = LocalStore::seedAccounts();
    Account me = person(u"me_handle"_s, u"나"_s);
    doc.accounts.append(me);
    doc.session = AppSession{me.id, true};
    doc.lastUserId = me.id;
    writeDocument(doc);

    QUuid welcomeId;
    {
        LocalStore store(true, 20ms, nullptr);
        const QList<ChatMessage> messages = store.messages();
        QCOMPARE(messages.size(), 1);
        const ChatMessage welcome = messages.first();
        welcomeId = welcome.id;
        QCOMPARE(welcome.senderId, SeedID::quillo());
        QCOMPARE(welcome.origin, MessageOrigin::system);
        QCOMPARE(welcome.body, u"Zumo에 오신 것을 환영합니다. 이 계정으로 공지를 보내 드립니다."_s);
        QCOMPARE(welcome.idempotencyKey,
                 u"welcome:"_s + me.id.toString(QUuid::WithoutBraces).toUpper());
        QVERIFY(welcome.id != welcome.clientMsgId);
        const std::optional<Conversation> room = store.conversation(welcome.conversationId);
        QVERIFY(room);
        QCOMPARE(store.otherAccount(*room)->id, SeedID::quillo());
        QCOMPARE(store.officialLinks().size(), 1);
    }
    // The document now holds the key: a second start adds nothing.
    LocalStore store(true, 20ms, nullptr);
    QCOMPARE(store.messages().size(), 1);
    QCOMPARE(store.messages().first().id, welcomeId);

    // The key is compared whole: a key for another id does not count.
    Snapshot other = *Snapshot::readFile(documentPath());
    other.messages[0].idempotencyKey
        = u"welcome:"_s + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    writeDocument(other);
    LocalStore third(true, 20ms, nullptr);
    QCOMPARE(third.messages().size(), 2);
}

void TestStoreModes::localSignIn()
{
    auto store = memoryStore();
    store->signIn();
    QVERIFY(store->session());
    QVERIFY(!store->session()->profileComplete);
    const QUuid first = store->session()->meId;
    QCOMPARE(store->lastUserId(), first);
    QCOMPARE(store->accounts().size(), 6);
    QVERIFY(store->messages().isEmpty()); // an unfinished profile gets no welcome yet

    // Signed out and in again: the last user comes back, now complete, with the welcome.
    Account me = *store->account(first);
    me.handle = u"someone"_s;
    me.displayName = u"누군가"_s;
    store->replaceAccount(me);
    store->setSession(std::nullopt);
    store->signIn();
    QCOMPARE(store->session(), (AppSession{first, true}));
    QCOMPARE(store->messages().size(), 1);
    store->signIn();
    QCOMPARE(store->messages().size(), 1);

    // The last user was deleted: a new account starts, with the links emptied.
    me.status = AccountStatus::deleted;
    store->replaceAccount(me);
    store->setBlocks({SeedID::taeo()});
    store->signIn();
    QVERIFY(store->session()->meId != first);
    QVERIFY(store->blocks().isEmpty());
    QVERIFY(store->officialLinks().isEmpty());
}

void TestStoreModes::persistRoundTrip()
{
    QUuid me;
    {
        LocalStore store(true, 20ms, nullptr);
        me = signInLocally(store);
        store.persist();
    }
    LocalStore again(true, 20ms, nullptr);
    QCOMPARE(again.session(), (AppSession{me, true}));
    QCOMPARE(again.me()->displayName, u"나"_s);
}

void TestStoreModes::liveModeNeverTouchesTheDocument()
{
    Snapshot doc;
    doc.accounts = LocalStore::seedAccounts();
    doc.accounts.append(person(u"x_user"_s, u"엑스"_s));
    writeDocument(doc);
    const QByteArray bytes = documentBytes();

    LiveRig rig;
    QVERIFY(rig.started);
    auto store = rig.signedOutStore();
    QVERIFY(!store->persisting());
    QVERIFY(store->accounts().isEmpty());
    store->persist();
    QCOMPARE(documentBytes(), bytes);
}

void TestStoreModes::hooksFollowTheStoreAndItsEnd()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid roomId = QUuid::createUuid();
    // A tap from before the store waits for it; the store takes it when it binds the hooks.
    PushCenter::handleTap(roomId, std::nullopt);
    QVERIFY(PushCenter::hasWaitingTap());
    {
        auto store = rig.signedOutStore();
        QVERIFY(!PushCenter::hasWaitingTap());
        QVERIFY(PushCenter::allowsSound && PushCenter::isRoomOpen && PushCenter::onOpen);
        store->setNotificationSound(false);
        store->setVisibleRoomID(roomId);
        QVERIFY(!PushCenter::allowsSound());
        QVERIFY(PushCenter::isRoomOpen(roomId));
        QVERIFY(!PushCenter::isRoomOpen(QUuid::createUuid()));

        // A tap reaches the store on a later turn, and only for a complete profile.
        QTest::qWait(20);
        QCOMPARE(store->pushTarget(), std::nullopt);
        PushCenter::handleTap(roomId, std::nullopt);
        QTest::qWait(20);
        QCOMPARE(store->pushTarget(), std::nullopt);
        store->apply(APIUser{QUuid::createUuid(), u"person"_s, u"h_h"_s, u"이름"_s, std::nullopt,
                             u"active"_s, std::nullopt},
                     std::nullopt);
        PushCenter::handleTap(roomId, QUuid::createUuid());
        QCOMPARE(store->pushTarget(), std::nullopt);
        QTRY_VERIFY(store->pushTarget().has_value());
        QCOMPARE(store->pushTarget()->conversationId, roomId);

        PushCenter::onToken(u"abcdef"_s);
        QTRY_COMPARE(store->apnsToken(), u"abcdef"_s);
    }
    QVERIFY(PushCenter::allowsSound());
    QVERIFY(!PushCenter::isRoomOpen(roomId));
    PushCenter::onOpen(roomId, std::nullopt); // reaches nothing, breaks nothing
    QTest::qWait(10);
}

void TestStoreModes::sessionLossClearsTheSessionOnly()
{
    LivePair live(1);
    LocalStore *store = live.open(true);
    QVERIFY(store);
    QCOMPARE(live.badge.last(), 1);
    store->setVisibleRoomID(live.room);
    store->openFromPush(live.room, std::nullopt);
    QVERIFY(store->pushTarget());

    store->client()->onSessionLost();
    QCOMPARE(store->session(), std::nullopt);
    QCOMPARE(store->notice(), u"로그인이 필요합니다."_s);
    QCOMPARE(store->pushTarget(), std::nullopt);
    QCOMPARE(store->visibleRoomID(), std::nullopt);
    QCOMPARE(live.badge.last(), 0);
    QCOMPARE(store->conversations().size(), 1); // the lists stay in memory
}

// The store's connecting flag follows the client's: up once the socket has been away for a
// while, down again when the service takes a socket.
void TestStoreModes::connectingFollowsTheSocket()
{
    LivePair live;
    LocalStore *store = live.open(true);
    QVERIFY(store);
    QTRY_VERIFY(store->client()->socketReady());
    QSignalSpy changes(store, &LocalStore::connectingChanged);
    live.service.setCloseAfterAuth(true);
    live.service.dropAllSockets();
    QTRY_VERIFY(store->connecting());
    QCOMPARE(changes.size(), 1);

    live.service.setCloseAfterAuth(false);
    store->client()->retrySocketNow();
    QTRY_VERIFY(!store->connecting());
    QCOMPARE(changes.size(), 2);
    QVERIFY(store->client()->socketReady());
}

QTEST_MAIN(TestStoreModes)
#include "tst_store_modes.moc"
