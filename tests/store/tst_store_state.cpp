// The observation rule, notices, the defaults arrays and the message index
// that stands behind the store's one flat message list.

#include "FileSizeLimit.h"
#include "StoreTestSupport.h"

#include "store/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRect>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStoreState : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaults(); }

    void observersHearOfChanges();
    void noticeSlot();
    void pushTargetsForTheSameRoomDiffer();
    void localInviteCodeShape();
    void storedIDsKeepValidEntries_data();
    void storedIDsKeepValidEntries();
    void savedDefaultsReadBack();
    void settingsFileIsPrivateAndFailuresAreTold();
    void settingsWriterTakesAnyKey_data();
    void settingsWriterTakesAnyKey();
    void indexFirstMatchAndStoreOrder();
    void indexDuplicateIdsFallBackToTheNextHolder();
};

// A whole value written signals only when it differs; an edit in place always signals once.
void TestStoreState::observersHearOfChanges()
{
    auto store = memoryStore();
    const Conversation a = room(ConversationKind::group, {member(QUuid::createUuid())}, u"A"_s);
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

    const QList<ChatMessage> list{textMessage(a.id, QUuid::createUuid(), 1),
                                  textMessage(a.id, QUuid::createUuid(), 2)};
    SignalCount messages(store.get(), &LocalStore::messagesChanged);
    store->setMessages(list);
    store->setMessages(list);
    QCOMPARE(messages.count, 1);
    QList<ChatMessage> edited = list;
    edited[1].delivery = DeliveryState::failed;
    store->setMessages(edited);
    QCOMPARE(messages.count, 2);
    QCOMPARE(store->messages(), edited);

    SignalCount blocks(store.get(), &LocalStore::blocksChanged);
    const QUuid id = QUuid::createUuid();
    store->editBlocks([&](QList<QUuid> &ids) { ids.append(id); });
    QCOMPARE(blocks.count, 1);
    // Even an edit that ends where it began tells the observers.
    store->editBlocks([&](QList<QUuid> &ids) {
        ids.append(id);
        ids.removeLast();
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
    store->showNotice(u"하나"_s);
    store->showNotice(u"하나"_s);
    // The same text in decomposed Hangul is the same notice, as it is the same title in a room.
    store->showNotice(u"하나"_s.normalized(QString::NormalizationForm_D));
    QCOMPARE(notices.count, 1);
    store->showNotice(u"둘"_s);
    QCOMPARE(store->notice(), u"둘"_s);
    QCOMPARE(notices.count, 2);
    store->acknowledgeNotice();
    QCOMPARE(store->notice(), std::nullopt);
    QCOMPARE(notices.count, 3);

    store->showAPI(std::make_exception_ptr(ChatAPIError(409, u"x"_s, u"서비스 문구"_s)));
    QCOMPARE(store->notice(), u"서비스 문구"_s);
    store->showAPI(std::make_exception_ptr(std::runtime_error("boom")));
    QCOMPARE(store->notice(), u"일시적인 오류입니다."_s);
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

void TestStoreState::storedIDsKeepValidEntries_data()
{
    const QString a = u"8D6E0C55-6B8B-4C9B-9E51-0D7A1B2C3D4E"_s;
    const QString b = u"0f1e2d3c-4b5a-4968-8776-655443322110"_s;
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QList<QUuid>>("ids");
    QTest::newRow("missing") << QVariant() << QList<QUuid>();
    QTest::newRow("two, order kept")
        << QVariant(QStringList{b, a}) << QList<QUuid>{QUuid(b), QUuid(a)};
    QTest::newRow("bad entry dropped")
        << QVariant(QStringList{a, u"nope"_s, b}) << QList<QUuid>{QUuid(a), QUuid(b)};
    QTest::newRow("not a list") << QVariant(42) << QList<QUuid>();
}

void TestStoreState::storedIDsKeepValidEntries()
{
    QFETCH(QVariant, stored);
    QFETCH(QList<QUuid>, ids);
    if (stored.isValid())
        QSettings().setValue(u"quillo.live.blocks"_s, stored);
    QCOMPARE(LocalStore::storedIDs(u"quillo.live.blocks"_s), ids);
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
    QCOMPARE(LocalStore::storedIDs(u"quillo.live.blocks"_s), QList<QUuid>{one});
}

// The settings hold the blocked users: the file is the owner's alone, in a folder closed to
// others (one the user made read-only stays so). A failed write keeps the file and is told, as
// the settings', for as long as the writes fail; the next one that lands writes every setting,
// the failed ones included.
void TestStoreState::settingsFileIsPrivateAndFailuresAreTold()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QString path = QSettings().fileName();
    const QString folder = QFileInfo(path).path();
    const auto others = QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    // A folder and a file that were there before, with rights wider than the writer's.
    QVERIFY(QDir().mkpath(folder));
    {
        QFile made(path);
        QVERIFY(made.open(QIODevice::Append));
    }
    QVERIFY(QFile::setPermissions(folder, readOnly | others));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | others));
    auto store = rig.signedOutStore();
    const SaveFailures &failures = store->saveFailures();
    SignalCount changes(&failures, &SaveFailures::changed);
    const QUuid blocked = QUuid::createUuid();
    store->setBlocks({blocked});
    store->saveBlocks();
    QCOMPARE(QFile::permissions(folder) & (readOnly | QFileDevice::WriteOwner | others), readOnly);
    QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | others),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(QFile::setPermissions(folder, readOnly | QFileDevice::WriteOwner));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    QVERIFY(!failures.any());

    const QUuid hidden = QUuid::createUuid();
    store->setBlocks({blocked, hidden});
    {
        FileSizeLimit full(before.size() + 10); // a full disk
        QVERIFY(full.active());
        store->saveBlocks();
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    file.close();
    QCOMPARE(failures.texts(),
             QStringList{u"설정을 저장하지 못했습니다. 저장 공간을 확인해 주세요."_s});
    QVERIFY(!failures.failing(SaveFailures::File::session));
    QCOMPARE(store->notice(), std::nullopt);
    QVERIFY(QFile::remove(path) && QDir().mkpath(path)); // a folder in the file's place
    store->setHiddenRoomIDs({hidden});
    store->saveHidden();
    QVERIFY(failures.failing(SaveFailures::File::settings));
    QCOMPARE(changes.count, 1);

    QVERIFY(QDir().rmdir(path));
    store->setNotifications(std::nullopt, std::nullopt, false);
    QVERIFY(!failures.any());
    QCOMPARE(changes.count, 2);
    store.reset();
    auto again = rig.signedOutStore();
    QCOMPARE(again->blocks(), (QList<QUuid>{blocked, hidden}));
    QCOMPARE(again->hiddenRoomIDs(), QSet<QUuid>{hidden});
    QVERIFY(!again->notificationSound());
}

void TestStoreState::settingsWriterTakesAnyKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("noTemporaryFolder"); // TMPDIR names a file while it writes
    const QStringList one{QUuid::createUuid().toString(QUuid::WithoutBraces)};
    QTest::newRow("plain, a one-element list") << u"quillo.live.blocks"_s << QVariant(one) << false;
    QTest::newRow("plain, an empty list")
        << u"quillo.live.hidden"_s << QVariant(QStringList()) << false;
    QTest::newRow("in a group") << u"window/geometry"_s << QVariant(QRect(10, 20, 960, 680))
                                << false;
    QTest::newRow("with a blank") << u"hidden rooms"_s << QVariant(one + one) << false;
    QTest::newRow("in Hangul") << u"알림/소리"_s << QVariant(false) << false;
    QTest::newRow("bytes") << u"state"_s << QVariant(QByteArray("\0\x01=,\n", 5)) << false;
    QTest::newRow("a number") << u"window/width"_s << QVariant(960) << false;
    QTest::newRow("no temporary folder") << u"quillo.live.blocks"_s << QVariant(one) << true;
}

// Any key QSettings takes is written and found again, whatever its form in the file, and the
// settings already there stay. The check after a write reads a copy made beside the file, so a
// temporary folder that cannot be used fails no write, and the copy does not stay behind.
void TestStoreState::settingsWriterTakesAnyKey()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(bool, noTemporaryFolder);
    const QStringList blocked{QUuid::createUuid().toString(QUuid::WithoutBraces),
                              QUuid::createUuid().toString(QUuid::WithoutBraces)};
    QString problem;
    QVERIFY(SettingsFile::write({{u"quillo.live.blocks.test"_s, blocked}}, &problem));
    {
        QTemporaryFile notAFolder;
        QVERIFY(notAFolder.open());
        const QByteArray tmpdir = qgetenv("TMPDIR");
        const auto restore = qScopeGuard([&] {
            if (tmpdir.isNull())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", tmpdir);
        });
        if (noTemporaryFolder) {
            qputenv("TMPDIR", notAFolder.fileName().toUtf8());
            QVERIFY(!QTemporaryDir().isValid());
        }
        QVERIFY2(SettingsFile::write({{key, value}}, &problem), qPrintable(problem));
    }
    const QFileInfo info(QSettings().fileName());
    QCOMPARE(QDir(info.path()).entryList(QDir::Files | QDir::Hidden), QStringList{info.fileName()});

    // Read from a copy: QSettings would answer from its cache for the file itself.
    QTemporaryDir dir;
    const QString copy = dir.filePath(u"copy.conf"_s);
    QVERIFY(QFile::copy(info.filePath(), copy));
    const QSettings onDisk(copy, QSettings::IniFormat);
    QCOMPARE(onDisk.value(u"quillo.live.blocks.test"_s).toStringList(), blocked);
    const QVariant read = onDisk.value(key);
    if (value.metaType() == QMetaType::fromType<QStringList>())
        QCOMPARE(read.toStringList(), value.toStringList());
    else if (read.metaType() == value.metaType())
        QCOMPARE(read, value);
    else
        QCOMPARE(read.toString(), value.toString()); // a number or a switch comes back as text
    QSettings().remove(u"quillo.live.blocks.test"_s);
    QSettings().remove(key);
}

void TestStoreState::indexFirstMatchAndStoreOrder()
{
    MessageIndex index;
    const QUuid roomA = QUuid::createUuid();
    const QUuid roomB = QUuid::createUuid();
    const QUuid me = QUuid::createUuid();
    ChatMessage a1 = textMessage(roomA, me, 5, u"a1"_s);
    ChatMessage b1 = textMessage(roomB, me, 1, u"b1"_s);
    ChatMessage a2 = textMessage(roomA, me, 5, u"a2"_s); // same seq as a1
    ChatMessage a3 = textMessage(roomA, me, 2, u"a3"_s);
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

    // A replacement in another room moves there, under its new id.
    ChatMessage elsewhere = a3;
    elsewhere.conversationId = roomB;
    elsewhere.id = QUuid::createUuid();
    index.replace(index.find(a3.id), elsewhere);
    QCOMPARE(index.roomMessages(roomB, true), (QList<ChatMessage>{b1, elsewhere}));
    QVERIFY(!index.find(a3.id));
    QCOMPARE(index.findByClientId(a3.clientMsgId)->message, elsewhere);

    QCOMPARE(index.takeRoom(roomA), (QList<ChatMessage>{moved, a2}));
    QCOMPARE(index.size(), 2);
    QVERIFY(!index.find(a2.id));
    QCOMPARE(index.roomSize(roomA), 0);
}

void TestStoreState::indexDuplicateIdsFallBackToTheNextHolder()
{
    MessageIndex index;
    const QUuid roomId = QUuid::createUuid();
    ChatMessage first = textMessage(roomId, QUuid::createUuid(), 1, u"first"_s);
    ChatMessage second = first;
    second.seq = 2;
    second.body = u"second"_s;
    ChatMessage third = first;
    third.seq = 3;
    third.body = u"third"_s;
    index.assign({first, second, third});
    QCOMPARE(index.find(first.id)->message.body, u"first"_s);
    index.remove(index.find(first.id));
    QCOMPARE(index.find(first.id)->message.body, u"second"_s);
    index.remove(index.find(first.id));
    QCOMPARE(index.find(first.id)->message.body, u"third"_s);
    index.remove(index.find(first.id));
    QVERIFY(!index.find(first.id));
    QVERIFY(index.isEmpty());
}

QTEST_MAIN(TestStoreState)
#include "tst_store_state.moc"
