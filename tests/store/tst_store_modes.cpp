// Construction in each mode, the store document of the local-file mode, the local sign-in and
// welcome message, and the client and notification hooks of the live mode.

#include "StoreTestSupport.h"

#include "model/SeedID.h"
#include "model/Snapshot.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

class TestStoreModes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init();

    void inMemoryStartsFromTheSeeds();
    void localFileTakesTheDocument();
    void localFileSettlesSendingMessages();
    void localFileAddsMissingSeedsAtTheEnd();
    void brokenDocumentIsLeftUntouched_data();
    void brokenDocumentIsLeftUntouched();
    void welcomeIsDeliveredOnce();
    void localSignIn();
    void persistRoundTrip();
    void liveModeNeverTouchesTheDocument();
    void hooksFollowTheStoreAndItsEnd();
    void waitingTapIsDeliveredOnBinding();
    void sessionLossClearsTheSessionOnly();

private:
    static QString documentPath() { return Snapshot::defaultFilePath(); }
    static void writeDocument(const Snapshot &snapshot)
    {
        QVERIFY(snapshot.writeFile(documentPath()));
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
    QCOMPARE(accounts.at(0).bio.count(u'\n'), 4); // five lines
    QCOMPARE(accounts.at(1).displayName, QStringLiteral("한소라"));
    QCOMPARE(accounts.at(3).handle, QStringLiteral("rian"));
    QCOMPARE(accounts.at(4).id, SeedID::shop());
    QVERIFY(!accounts.at(4).verified);
    QCOMPARE(store->session(), std::nullopt);
    QVERIFY(store->messages().isEmpty());
    QVERIFY(store->notificationsEnabled() && store->notificationPreview()
            && store->notificationSound());
    QVERIFY(!store->persisting());
    QVERIFY(!QFile::exists(documentPath()));
}

void TestStoreModes::localFileTakesTheDocument()
{
    Snapshot doc;
    doc.accounts = LocalStore::seedAccounts();
    doc.notificationSound = false;
    doc.blocks = {SeedID::taeo()};
    writeDocument(doc);
    LocalStore store(true, 20ms, nullptr);
    QVERIFY(store.persisting());
    QVERIFY(!store.notificationSound());
    QCOMPARE(store.blocks(), QList<QUuid>{SeedID::taeo()});
}

void TestStoreModes::localFileSettlesSendingMessages()
{
    Snapshot doc;
    doc.accounts = LocalStore::seedAccounts();
    const QUuid roomId = QUuid::createUuid();
    ChatMessage a = textMessage(roomId, SeedID::sora(), 1);
    a.delivery = DeliveryState::sending;
    ChatMessage b = textMessage(roomId, SeedID::sora(), 2);
    b.delivery = DeliveryState::sending;
    ChatMessage c = textMessage(roomId, SeedID::sora(), 3);
    c.delivery = DeliveryState::failed;
    doc.messages = {a, b, c};
    writeDocument(doc);

    LocalStore store(true, 20ms, nullptr);
    const QList<ChatMessage> messages = store.messages();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages.at(0).delivery, DeliveryState::sent);
    QCOMPARE(messages.at(1).delivery, DeliveryState::sent);
    QCOMPARE(messages.at(2).delivery, DeliveryState::failed);
    const std::optional<Snapshot> written = Snapshot::readFile(documentPath());
    QVERIFY(written);
    QCOMPARE(written->messages.at(0).delivery, DeliveryState::sent);
    QCOMPARE(written->messages.at(1).delivery, DeliveryState::sent);
}

void TestStoreModes::localFileAddsMissingSeedsAtTheEnd()
{
    Snapshot doc;
    QList<Account> seeds = LocalStore::seedAccounts();
    Account renamed = seeds.takeAt(1); // sora goes missing
    const Account extra = person(QStringLiteral("guest"), QStringLiteral("손님"));
    seeds[0].displayName = QStringLiteral("바뀐 이름"); // a present seed stays as it is
    doc.accounts = {seeds.at(0), extra, seeds.at(1), seeds.at(2), seeds.at(3)};
    writeDocument(doc);

    LocalStore store(true, 20ms, nullptr);
    const QList<Account> accounts = store.accounts();
    QCOMPARE(accounts.size(), 6);
    QCOMPARE(accounts.at(0).displayName, QStringLiteral("바뀐 이름"));
    QCOMPARE(accounts.at(1).id, extra.id);
    QCOMPARE(accounts.last().id, SeedID::sora());
    QCOMPARE(accounts.last(), renamed);
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
    QDir().mkpath(QFileInfo(documentPath()).path());
    QFile file(documentPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    LocalStore store(true, 20ms, nullptr);
    QCOMPARE(store.accounts(), LocalStore::seedAccounts());
    QCOMPARE(store.session(), std::nullopt);
    QVERIFY(store.messages().isEmpty());

    QFile again(documentPath());
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), bytes);
}

void TestStoreModes::welcomeIsDeliveredOnce()
{
    Snapshot doc;
    doc.accounts = LocalStore::seedAccounts();
    Account me = person(QStringLiteral("me_handle"), QStringLiteral("나"));
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
        QCOMPARE(welcome.body,
                 QStringLiteral("Zumo에 오신 것을 환영합니다. 이 계정으로 공지를 보내 드립니다."));
        QCOMPARE(welcome.idempotencyKey,
                 QStringLiteral("welcome:") + me.id.toString(QUuid::WithoutBraces).toUpper());
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
        = QStringLiteral("welcome:") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
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
    me.handle = QStringLiteral("someone");
    me.displayName = QStringLiteral("누군가");
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
    QCOMPARE(again.me()->displayName, QStringLiteral("나"));
}

void TestStoreModes::liveModeNeverTouchesTheDocument()
{
    Snapshot doc;
    doc.accounts = LocalStore::seedAccounts();
    doc.accounts.append(person(QStringLiteral("x_user"), QStringLiteral("엑스")));
    writeDocument(doc);
    QFile before(documentPath());
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();

    LiveRig rig;
    QVERIFY(rig.started);
    auto store = rig.signedOutStore();
    QVERIFY(!store->persisting());
    QVERIFY(store->accounts().isEmpty());
    store->persist();
    QFile after(documentPath());
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytes);
}

void TestStoreModes::hooksFollowTheStoreAndItsEnd()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid roomId = QUuid::createUuid();
    {
        auto store = rig.signedOutStore();
        QVERIFY(PushCenter::allowsSound && PushCenter::isRoomOpen && PushCenter::onOpen);
        store->setNotificationSound(false);
        store->setVisibleRoomID(roomId);
        QVERIFY(!PushCenter::allowsSound());
        QVERIFY(PushCenter::isRoomOpen(roomId));
        QVERIFY(!PushCenter::isRoomOpen(QUuid::createUuid()));

        // A tap reaches the store on a later turn, and only for a complete profile.
        PushCenter::handleTap(roomId, std::nullopt);
        QTest::qWait(20);
        QCOMPARE(store->pushTarget(), std::nullopt);
        store->apply(APIUser{QUuid::createUuid(), QStringLiteral("person"), QStringLiteral("h_h"),
                             QStringLiteral("이름"), std::nullopt, QStringLiteral("active"),
                             std::nullopt},
                     std::nullopt);
        PushCenter::handleTap(roomId, QUuid::createUuid());
        QCOMPARE(store->pushTarget(), std::nullopt);
        QTRY_VERIFY(store->pushTarget().has_value());
        QCOMPARE(store->pushTarget()->conversationId, roomId);

        PushCenter::onToken(QStringLiteral("abcdef"));
        QTRY_COMPARE(store->apnsToken(), QStringLiteral("abcdef"));
    }
    QVERIFY(PushCenter::allowsSound());
    QVERIFY(!PushCenter::isRoomOpen(roomId));
    PushCenter::onOpen(roomId, std::nullopt); // reaches nothing, breaks nothing
    QTest::qWait(10);
}

void TestStoreModes::waitingTapIsDeliveredOnBinding()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid roomId = QUuid::createUuid();
    PushCenter::handleTap(roomId, std::nullopt);
    QVERIFY(PushCenter::hasWaitingTap());
    auto store = rig.signedOutStore();
    QVERIFY(!PushCenter::hasWaitingTap());
    QTest::qWait(20);
    // Signed out: the tap is taken but makes no target.
    QCOMPARE(store->pushTarget(), std::nullopt);
}

void TestStoreModes::sessionLossClearsTheSessionOnly()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid peer = rig.addUser(QStringLiteral("peer_one"), QStringLiteral("상대"));
    const QUuid meId = rig.addUser(QStringLiteral("me_one"), QStringLiteral("나"));
    rig.service.addDirectRoom(meId, peer);
    RecordingBadge badge;
    auto store = rig.signedInStore(QStringLiteral("me_one@example.com"), &badge);
    QVERIFY(store);
    await(store->bootstrap());
    QCOMPARE(store->conversations().size(), 1);
    store->setVisibleRoomID(store->conversations().first().id);
    store->openFromPush(store->conversations().first().id, std::nullopt);

    store->client()->onSessionLost();
    QCOMPARE(store->session(), std::nullopt);
    QCOMPARE(store->notice(), QStringLiteral("로그인이 필요합니다."));
    QCOMPARE(store->pushTarget(), std::nullopt);
    QCOMPARE(store->visibleRoomID(), std::nullopt);
    QCOMPARE(badge.last(), QString());
    QCOMPARE(store->conversations().size(), 1); // the lists stay in memory
}

QTEST_MAIN(TestStoreModes)
#include "tst_store_modes.moc"
