// Lookups, room titles, the room list with its search and unread counts, the transcript's
// rules and the suggested group title.

#include "StoreTestSupport.h"

#include "model/SeedID.h"

#include <QTest>

class TestStoreLookups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaults(); }

    void handles_data();
    void handles();
    void accountByHandle();
    void signedOutAnswers();
    void roomTitles();
    void friendStateAndLists();
    void sortedListOrderAndFilter();
    void hideFromList();
    void search_data();
    void search();
    void unreadCounting();
    void unreadDotAndOthers();
    void transcriptVisibilityAndReadMarks();
    void composeBlocks();
    void replyPreviewAndDeleteWindow();
    void typingLabel();
    void suggestedTitles();

private:
    // A live-mode store (client present but unused) with me signed in.
    struct Live
    {
        LiveRig rig;
        std::unique_ptr<LocalStore> store;
        QUuid me;
    };
    static std::unique_ptr<Live> liveStore()
    {
        auto live = std::make_unique<Live>();
        live->store = live->rig.signedOutStore();
        Account me = person(QStringLiteral("me_handle"), QStringLiteral("나"));
        live->me = me.id;
        live->store->setAccounts({me});
        live->store->setSession(AppSession{me.id, true});
        return live;
    }
};

void TestStoreLookups::handles_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("normalized");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << QStringLiteral("sora") << QStringLiteral("sora") << true;
    QTest::newRow("at, caps, blanks")
        << QStringLiteral("  @SoRa_1 \n") << QStringLiteral("sora_1") << true;
    QTest::newRow("second at stays")
        << QStringLiteral("@@sora") << QStringLiteral("@sora") << false;
    QTest::newRow("two chars") << QStringLiteral("ab") << QStringLiteral("ab") << false;
    QTest::newRow("three chars") << QStringLiteral("abc") << QStringLiteral("abc") << true;
    QTest::newRow("twenty") << QString(20, u'a') << QString(20, u'a') << true;
    QTest::newRow("twenty-one") << QString(21, u'a') << QString(21, u'a') << false;
    QTest::newRow("hyphen") << QStringLiteral("so-ra") << QStringLiteral("so-ra") << false;
    QTest::newRow("inner blank") << QStringLiteral("so ra") << QStringLiteral("so ra") << false;
    QTest::newRow("hangul") << QStringLiteral("소라소라") << QStringLiteral("소라소라") << false;
    QTest::newRow("at alone") << QStringLiteral("@") << QString() << false;
}

void TestStoreLookups::handles()
{
    QFETCH(QString, typed);
    QFETCH(QString, normalized);
    QFETCH(bool, valid);
    QCOMPARE(LocalStore::normalizedHandle(typed), normalized);
    QCOMPARE(LocalStore::isValidHandle(typed), valid);
}

void TestStoreLookups::accountByHandle()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    QCOMPARE(store->account(QStringLiteral("  @SORA "))->id, SeedID::sora());
    QCOMPARE(store->account(QStringLiteral("quillo"))->id, SeedID::quillo());
    QVERIFY(!store->account(QStringLiteral("shop"))); // official, not verified
    QVERIFY(!store->account(QStringLiteral("me_handle"))); // never myself
    QVERIFY(!store->account(QStringLiteral("@")));
    QVERIFY(!store->account(QStringLiteral("   ")));
    Account sora = *store->account(SeedID::sora());
    sora.status = AccountStatus::suspended;
    store->replaceAccount(sora);
    QVERIFY(!store->account(QStringLiteral("sora")));
    QCOMPARE(store->me()->id, me);
}

void TestStoreLookups::signedOutAnswers()
{
    auto store = memoryStore();
    const Account a = *store->account(SeedID::sora());
    const Account b = *store->account(SeedID::taeo());
    const Conversation direct = room(ConversationKind::direct, {member(a.id), member(b.id)});
    const Conversation group = room(ConversationKind::group, {member(a.id), member(b.id)});
    store->setConversations({direct, group});
    QCOMPARE(store->me(), std::nullopt);
    QCOMPARE(store->otherAccount(direct), std::nullopt);
    QVERIFY(!store->isOwner(group) && !store->isOfficial(direct));
    QCOMPARE(store->conversationTitle(direct), QStringLiteral("알 수 없음"));
    QCOMPARE(store->conversationTitle(group), QStringLiteral("한소라, 정태오"));
    QVERIFY(store->sortedList().isEmpty());
    QCOMPARE(store->unreadCount(group), 0);
    QVERIFY(!store->showsUnreadDot(direct));
}

void TestStoreLookups::roomTitles()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    const QUuid unknown = QUuid::createUuid();

    const Conversation alone = room(ConversationKind::direct, {member(me)});
    QCOMPARE(store->conversationTitle(alone), QStringLiteral("알 수 없음"));
    QVERIFY(!store->isOfficial(alone));

    Conversation left = room(ConversationKind::direct, {member(me), member(SeedID::sora())});
    left.memberships[1].leftAt = t0;
    QCOMPARE(store->conversationTitle(left),
             QStringLiteral("한소라")); // a peer who left still names it

    // Joined later comes later; equal times keep the list order; me, the left and unknowns drop.
    Conversation group
        = room(ConversationKind::group,
               {member(SeedID::rian(), 0, MemberRole::member, t0.addSecs(20)),
                member(me, 0, MemberRole::owner, t0), member(unknown, 0, MemberRole::member, t0),
                member(SeedID::taeo(), 0, MemberRole::member, t0.addSecs(10)),
                member(SeedID::sora(), 0, MemberRole::member, t0.addSecs(10))});
    QCOMPARE(store->conversationTitle(group), QStringLiteral("정태오, 한소라, 오세린"));
    group.memberships[3].leftAt = t0.addSecs(30);
    QCOMPARE(store->conversationTitle(group), QStringLiteral("한소라, 오세린"));
    QVERIFY(store->isOwner(group));
    group.title = QStringLiteral("  ");
    QCOMPARE(store->conversationTitle(group), QStringLiteral("  "));

    const Conversation empty = room(ConversationKind::group, {member(me), member(unknown)});
    QCOMPARE(store->conversationTitle(empty), QStringLiteral("대화"));

    // An owner membership that has left does not make me owner; a later active one does.
    Conversation owned = room(ConversationKind::group, {member(me, 0, MemberRole::owner)});
    owned.memberships[0].leftAt = t0;
    QVERIFY(!store->isOwner(owned));
    owned.memberships.append(member(me, 0, MemberRole::owner));
    QVERIFY(store->isOwner(owned));
}

void TestStoreLookups::friendStateAndLists()
{
    auto live = liveStore();
    LocalStore &store = *live->store;
    Account b2 = person(QStringLiteral("b2"), QStringLiteral("방 2"));
    Account b10 = person(QStringLiteral("b10"), QStringLiteral("방 10"));
    Account lower = person(QStringLiteral("al"), QStringLiteral("alice"));
    Account upper = person(QStringLiteral("bo"), QStringLiteral("Bob"));
    Account gone = person(QStringLiteral("gone"), QStringLiteral("Gone"));
    gone.status = AccountStatus::deleted;
    Account hiddenPeer = person(QStringLiteral("hid"), QStringLiteral("Hidden"));
    Account official = person(QStringLiteral("news"), QStringLiteral("News"));
    official.kind = AccountKind::official;
    Account outgoing = person(QStringLiteral("out"), QStringLiteral("Out"));
    store.editAccounts([&](QList<Account> &list) {
        list << b10 << b2 << upper << lower << gone << hiddenPeer << official << outgoing;
    });
    auto direct = [&](const Account &peer) {
        return room(ConversationKind::direct, {member(live->me), member(peer.id)});
    };
    Conversation hiddenRoom = direct(hiddenPeer);
    hiddenRoom.hiddenFromList = true;
    store.setConversations({direct(b10), direct(upper), direct(b2), direct(lower), direct(upper),
                            direct(gone), hiddenRoom, direct(official), direct(outgoing)});
    store.setFriends({FriendLink{outgoing.id, FriendState::outgoing}});

    QCOMPARE(store.friendState(b2.id),
             FriendState::friends); // a direct room counts in the live mode
    QCOMPARE(store.friendState(official.id), std::nullopt);
    QCOMPARE(store.friendState(outgoing.id), FriendState::outgoing);
    QCOMPARE(store.friendState(QUuid::createUuid()), std::nullopt);

    QStringList names;
    for (const Account &a : store.friendAccounts())
        names << a.displayName;
    QCOMPARE(names,
             (QStringList{QStringLiteral("alice"), QStringLiteral("Bob"), QStringLiteral("Out"),
                          QStringLiteral("방 2"), QStringLiteral("방 10")}));
    QCOMPARE(store.followedOfficials().size(), 1);
    store.setBlocks({official.id});
    QVERIFY(store.followedOfficials().isEmpty());

    // The local list: friend links only, plain case-sensitive order.
    auto local = memoryStore();
    signInLocally(*local);
    local->editAccounts([&](QList<Account> &list) { list << lower << upper; });
    local->setFriends({FriendLink{lower.id, FriendState::friends},
                       FriendLink{upper.id, FriendState::friends},
                       FriendLink{SeedID::sora(), FriendState::incoming}});
    names.clear();
    for (const Account &a : local->friendAccounts())
        names << a.displayName;
    QCOMPARE(names, (QStringList{QStringLiteral("Bob"), QStringLiteral("alice")}));
    QCOMPARE(local->incomingRequests().size(), 1);
    QCOMPARE(local->friendState(SeedID::taeo()), std::nullopt);

    local->setOfficialLinks({OfficialLink{SeedID::quillo(), true}});
    QCOMPARE(local->followedOfficials().size(), 1); // opted out still follows
    QVERIFY(local->isOptOut(SeedID::quillo()));
    local->setBlocks({QUuid::createUuid(), SeedID::taeo(), SeedID::quillo()});
    QCOMPARE(local->blockedAccounts().size(), 2);
    QCOMPARE(local->blockedAccounts().first().id, SeedID::taeo());
    QVERIFY(local->followedOfficials().isEmpty());
}

void TestStoreLookups::sortedListOrderAndFilter()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    auto make = [&](const QString &title, bool pinned, int minutes) {
        Conversation c = room(ConversationKind::group, {member(me), member(SeedID::sora())}, title);
        c.pinned = pinned;
        c.updatedAt = t0.addSecs(minutes * 60);
        return c;
    };
    Conversation newestUnpinned = make(QStringLiteral("new"), false, 100);
    Conversation oldPinned = make(QStringLiteral("oldPin"), true, 1);
    Conversation newPinned = make(QStringLiteral("newPin"), true, 5);
    Conversation tieA = make(QStringLiteral("tieA"), false, 50);
    Conversation tieB = make(QStringLiteral("tieB"), false, 50);
    Conversation hidden = make(QStringLiteral("hidden"), false, 200);
    hidden.hiddenFromList = true;
    Conversation left = make(QStringLiteral("left"), false, 200);
    left.memberships[0].leftAt = t0;
    Conversation rejoined = make(QStringLiteral("rejoined"), false, 10);
    rejoined.memberships[0].leftAt = t0;
    rejoined.memberships.append(member(me));
    Conversation notMine
        = room(ConversationKind::group, {member(SeedID::sora())}, QStringLiteral("x"));

    store->setConversations(
        {tieA, newestUnpinned, hidden, oldPinned, left, tieB, newPinned, rejoined, notMine});
    QStringList titles;
    for (const Conversation &c : store->sortedList())
        titles << c.title;
    QCOMPARE(
        titles,
        (QStringList{QStringLiteral("newPin"), QStringLiteral("oldPin"), QStringLiteral("new"),
                     QStringLiteral("tieA"), QStringLiteral("tieB"), QStringLiteral("rejoined")}));
}

void TestStoreLookups::hideFromList()
{
    auto live = liveStore();
    LocalStore &store = *live->store;
    const Conversation a = room(ConversationKind::group, {member(live->me)}, QStringLiteral("a"));
    const Conversation b = room(ConversationKind::group, {member(live->me)}, QStringLiteral("b"));
    store.setConversations({a, b});
    SignalCount hiddenChanges(&store, &LocalStore::hiddenRoomIDsChanged);

    store.hideFromList(a.id);
    QCOMPARE(store.sortedList().size(), 1);
    QCOMPARE(store.sortedList().first().id, b.id);
    QCOMPARE(store.conversations().size(), 2); // still held
    QVERIFY(store.conversation(a.id)->hiddenFromList);
    QCOMPARE(store.hiddenRoomIDs(), QSet<QUuid>{a.id});
    QCOMPARE(LocalStore::storedIDs(QStringLiteral("quillo.live.hidden")), QList<QUuid>{a.id});
    store.hideFromList(a.id); // again: nothing new
    QCOMPARE(hiddenChanges.count, 1);
    store.hideFromList(QUuid::createUuid()); // unknown room: nothing
    QCOMPARE(store.hiddenRoomIDs(), QSet<QUuid>{a.id});

    // The local modes keep the flag in the document.
    auto local = memoryStore();
    signInLocally(*local);
    const QUuid direct = *local->openDirect(SeedID::quillo());
    local->hideFromList(direct);
    QVERIFY(local->conversation(direct)->hiddenFromList);
    QVERIFY(local->sortedList().isEmpty());
}

void TestStoreLookups::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("matches");
    QTest::newRow("blank matches all") << QStringLiteral("  \n ") << true;
    QTest::newRow("title part, other case") << QStringLiteral("FAMILY") << true;
    QTest::newRow("member name part") << QStringLiteral("소라") << true;
    QTest::newRow("former member") << QStringLiteral("태오") << true;
    QTest::newRow("accent-insensitive") << QStringLiteral("cafe") << true;
    QTest::newRow("handle is not searched") << QStringLiteral("rian") << false;
    QTest::newRow("half a syllable") << QStringLiteral("하") << false;
}

void TestStoreLookups::search()
{
    QFETCH(QString, query);
    QFETCH(bool, matches);
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    Conversation c
        = room(ConversationKind::group,
               {member(me), member(SeedID::sora()), member(SeedID::taeo()), member(SeedID::rian())},
               QStringLiteral("Family Café"));
    c.memberships[2].leftAt = QDateTime::currentDateTimeUtc();
    Account rian = *store->account(SeedID::rian());
    rian.displayName = QStringLiteral("한결");
    store->replaceAccount(rian);
    QCOMPARE(store->matches(c, query), matches);
}

void TestStoreLookups::unreadCounting()
{
    auto live = liveStore();
    LocalStore &store = *live->store;
    const QUuid peer = QUuid::createUuid();
    Conversation c = room(ConversationKind::direct, {member(live->me, 2), member(peer)});
    store.setConversations({c});
    QList<ChatMessage> messages;
    messages << textMessage(c.id, peer, 1) // at or below my mark
             << textMessage(c.id, peer, 2) << textMessage(c.id, peer, 3) // counted
             << textMessage(c.id, live->me, 4); // mine
    ChatMessage system = textMessage(c.id, peer, 5);
    system.kind = MessageKind::system;
    ChatMessage hidden = textMessage(c.id, peer, 6);
    hidden.hiddenForMe = true;
    ChatMessage deleted = textMessage(c.id, peer, 7);
    deleted.kind = MessageKind::deleted;
    ChatMessage photo = textMessage(c.id, peer, 8);
    photo.kind = MessageKind::image;
    messages << system << hidden << deleted << photo;
    store.setMessages(messages);
    QCOMPARE(store.unreadCount(c), 3); // 3, deleted 7 and photo 8; not 2 (= my mark)
    c.memberships[0].lastReadSeq = 1;
    store.setConversations({c});
    QCOMPARE(store.unreadCount(c), 4);
    c.muted = true;
    QCOMPARE(store.unreadCount(c), 4);

    // The service's count wins, even a 0.
    store.setRemoteUnread({{c.id, 5}});
    QCOMPARE(store.unreadCount(c), 5);
    store.setRemoteUnread({{c.id, 0}});
    QCOMPARE(store.unreadCount(c), 0);

    // The local count follows a change of the room's messages.
    store.setRemoteUnread({});
    store.merge(textMessage(c.id, peer, 9), false);
    QCOMPARE(store.unreadCount(c), 5);
}

void TestStoreLookups::unreadDotAndOthers()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QUuid peer = SeedID::sora();
    Conversation direct = room(ConversationKind::direct, {member(me), member(peer, 1)});
    Conversation group = room(
        ConversationKind::group,
        {member(me, 5), member(SeedID::taeo(), 1), member(SeedID::rian(), 3), member(peer, 0)});
    group.memberships[3].leftAt = QDateTime::currentDateTimeUtc();
    store->setConversations({direct, group});

    ChatMessage mine = textMessage(direct.id, me, 2);
    store->setMessages({textMessage(direct.id, peer, 1), mine});
    QVERIFY(store->showsUnreadDot(direct));
    for (DeliveryState state : {DeliveryState::sending, DeliveryState::failed}) {
        ChatMessage m = mine;
        m.delivery = state;
        store->setMessages({m});
        QVERIFY(!store->showsUnreadDot(direct));
    }
    ChatMessage gone = mine;
    gone.kind = MessageKind::deleted;
    store->setMessages({gone});
    QVERIFY(!store->showsUnreadDot(direct));
    store->setMessages({mine, textMessage(direct.id, peer, 3)});
    QVERIFY(!store->showsUnreadDot(direct));
    store->setMessages({mine});
    direct.memberships[1].lastReadSeq = 2;
    store->setConversations({direct, group});
    QVERIFY(!store->showsUnreadDot(direct));
    QVERIFY(store->isReadByPeer(mine.id));
    QVERIFY(!store->showsUnreadDot(group));

    // Group: the sender and members who left are not counted; I am, when behind.
    const ChatMessage fromTaeo = textMessage(group.id, SeedID::taeo(), 4);
    const ChatMessage fromMe = textMessage(group.id, me, 4);
    store->setMessages({mine, fromTaeo, fromMe});
    QCOMPARE(store->unreadOthers(fromTaeo.id), 1); // rian (3 < 4); not me (5), not sora (left)
    QCOMPARE(store->unreadOthers(fromMe.id), 2); // taeo and rian
    QCOMPARE(store->unreadOthers(mine.id), 0); // direct room
    group.memberships[2].lastReadSeq = 4;
    store->setConversations({direct, group});
    QCOMPARE(store->unreadOthers(fromMe.id), 1);
    QVERIFY(!store->isReadByPeer(fromTaeo.id)); // group rooms have no "read by peer"
    QCOMPARE(store->unreadOthers(QUuid::createUuid()), 0);
}

void TestStoreLookups::transcriptVisibilityAndReadMarks()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const Conversation c = room(ConversationKind::direct, {member(me), member(SeedID::sora())});
    store->setConversations({c});
    ChatMessage a = textMessage(c.id, me, 2, QStringLiteral("a"));
    ChatMessage b = textMessage(c.id, me, 1, QStringLiteral("b"));
    ChatMessage tieFirst = textMessage(c.id, me, 3, QStringLiteral("tie1"));
    ChatMessage hidden = textMessage(c.id, me, 3, QStringLiteral("hidden"));
    hidden.hiddenForMe = true;
    ChatMessage tieSecond = textMessage(c.id, me, 3, QStringLiteral("tie2"));
    ChatMessage failed = textMessage(c.id, me, 4, QStringLiteral("failed"));
    failed.delivery = DeliveryState::failed;
    ChatMessage elsewhere = textMessage(QUuid::createUuid(), me, 1);
    store->setMessages({a, b, tieFirst, elsewhere, hidden, tieSecond, failed});
    QStringList bodies;
    for (const ChatMessage &m : store->visibleMessages(c.id))
        bodies << m.body;
    QCOMPARE(bodies,
             (QStringList{QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("tie1"),
                          QStringLiteral("tie2"), QStringLiteral("failed")}));
    QVERIFY(store->visibleMessages(QUuid::createUuid()).isEmpty());
    QCOMPARE(store->replyPreview(hidden.id), QStringLiteral("삭제된 메시지"));
    QVERIFY(!store->isReadByPeer(a.id));
}

void TestStoreLookups::composeBlocks()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QDateTime t = QDateTime::currentDateTimeUtc();
    auto directWith = [&](const QUuid &peer, bool peerLeft) {
        Conversation c = room(ConversationKind::direct, {member(me), member(peer)});
        if (peerLeft)
            c.memberships[1].leftAt = t;
        return c;
    };
    const Conversation ok = directWith(SeedID::sora(), false);
    const Conversation blockedAndGone = directWith(SeedID::taeo(), true);
    const Conversation gone = directWith(SeedID::rian(), true);
    const Conversation alone = room(ConversationKind::direct, {member(me)});
    const Conversation unknownPeer = directWith(QUuid::createUuid(), false);
    const Conversation openOfficial = directWith(SeedID::quillo(), false);
    Account shop = *store->account(SeedID::shop());
    shop.acceptsUserMessages = false;
    store->replaceAccount(shop);
    const Conversation closedOfficial = directWith(SeedID::shop(), false);
    Conversation leftGroup = room(ConversationKind::group, {member(me), member(SeedID::sora())});
    leftGroup.memberships[0].leftAt = t;
    const Conversation strangerGroup = room(ConversationKind::group, {member(SeedID::sora())});
    store->setConversations({ok, blockedAndGone, gone, alone, unknownPeer, openOfficial,
                             closedOfficial, leftGroup, strangerGroup});
    store->setBlocks({SeedID::taeo()});

    QCOMPARE(store->composeBlock(ok.id), std::nullopt);
    QCOMPARE(store->composeBlock(blockedAndGone.id), ComposeBlock::blocked);
    QCOMPARE(store->composeBlock(gone.id), ComposeBlock::peerGone);
    QCOMPARE(store->composeBlock(alone.id), ComposeBlock::peerGone);
    QCOMPARE(store->composeBlock(unknownPeer.id), std::nullopt);
    QCOMPARE(store->composeBlock(openOfficial.id), std::nullopt);
    QCOMPARE(store->composeBlock(closedOfficial.id), ComposeBlock::inboxClosed);
    QCOMPARE(store->composeBlock(leftGroup.id), ComposeBlock::leftGroup);
    QCOMPARE(store->composeBlock(strangerGroup.id), std::nullopt);
    QCOMPARE(store->composeBlock(QUuid::createUuid()), std::nullopt);
    store->setSession(std::nullopt);
    QCOMPARE(store->composeBlock(gone.id), std::nullopt);
}

void TestStoreLookups::replyPreviewAndDeleteWindow()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const QUuid roomId = QUuid::createUuid();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto aged = [&](MessageKind kind, const QUuid &sender, int seconds) {
        ChatMessage m = textMessage(roomId, sender, 1, QStringLiteral(" 본문 "));
        m.kind = kind;
        m.createdAt = now.addSecs(-seconds);
        return m;
    };
    const ChatMessage fresh = aged(MessageKind::text, me, 599);
    const ChatMessage stale = aged(MessageKind::text, me, 601);
    const ChatMessage photo = aged(MessageKind::image, me, 10);
    const ChatMessage system = aged(MessageKind::system, me, 10);
    const ChatMessage deleted = aged(MessageKind::deleted, me, 10);
    const ChatMessage others = aged(MessageKind::text, SeedID::sora(), 10);
    ChatMessage failed = aged(MessageKind::text, me, 10);
    failed.delivery = DeliveryState::failed;
    const ChatMessage future = aged(MessageKind::text, me, -100);
    store->setMessages({fresh, stale, photo, system, deleted, others, failed, future});

    QCOMPARE(store->replyPreview(fresh.id), QStringLiteral(" 본문 "));
    QCOMPARE(store->replyPreview(photo.id), QStringLiteral("사진"));
    QCOMPARE(store->replyPreview(system.id), QStringLiteral(" 본문 "));
    QCOMPARE(store->replyPreview(deleted.id), QStringLiteral("삭제된 메시지"));
    QCOMPARE(store->replyPreview(QUuid::createUuid()), QStringLiteral("삭제된 메시지"));

    QVERIFY(store->canDeleteForEveryone(fresh.id));
    QVERIFY(!store->canDeleteForEveryone(stale.id));
    QVERIFY(store->canDeleteForEveryone(photo.id));
    QVERIFY(!store->canDeleteForEveryone(system.id));
    QVERIFY(!store->canDeleteForEveryone(deleted.id));
    QVERIFY(!store->canDeleteForEveryone(others.id));
    QVERIFY(store->canDeleteForEveryone(failed.id));
    QVERIFY(store->canDeleteForEveryone(future.id));
}

void TestStoreLookups::typingLabel()
{
    auto live = liveStore();
    LocalStore &store = *live->store;
    Account news = person(QStringLiteral("news"), QStringLiteral("News"));
    news.kind = AccountKind::official;
    const QUuid peer = QUuid::createUuid();
    store.editAccounts([&](QList<Account> &list) { list << news; });
    const Conversation group = room(ConversationKind::group, {member(live->me), member(peer)});
    const Conversation official
        = room(ConversationKind::direct, {member(live->me), member(news.id)});
    store.setConversations({group, official});
    store.setTypingState({{group.id, peer}, {official.id, news.id}});
    QCOMPARE(store.typingLabel(group.id), QStringLiteral("입력 중"));
    QCOMPARE(store.typingLabel(official.id), std::nullopt);
    store.setTypingState({{group.id, live->me}});
    QCOMPARE(store.typingLabel(group.id), std::nullopt);

    auto local = memoryStore();
    local->setConversations({group});
    local->setTypingState({{group.id, peer}});
    QCOMPARE(local->typingLabel(group.id), std::nullopt);
}

void TestStoreLookups::suggestedTitles()
{
    auto store = memoryStore();
    const QUuid me = signInLocally(*store, QStringLiteral("  나  "));
    Account blank = person(QStringLiteral("blank"), QStringLiteral("   "));
    store->editAccounts([&](QList<Account> &list) { list << blank; });
    QCOMPARE(store->suggestedGroupTitle(
                 QList<QUuid>{SeedID::sora(), me, QUuid::createUuid(), blank.id, SeedID::taeo()}),
             QStringLiteral("나, 한소라, 정태오"));
    QCOMPARE(store->suggestedGroupTitle(QList<QUuid>{SeedID::sora(), SeedID::sora()}),
             QStringLiteral("나, 한소라, 한소라"));

    const QString longName = QString(38, u'가');
    QCOMPARE(LocalStore::suggestedGroupTitle(QStringList{longName, QStringLiteral("다음")}),
             longName + QStringLiteral(", "));
    QCOMPARE(LocalStore::suggestedGroupTitle(QStringList{QString(45, u'x')}).size(), 40);
    // An emoji with a modifier is one character.
    const QString thumbs = QStringLiteral("👍🏽");
    QString many;
    for (int i = 0; i < 41; ++i)
        many += thumbs;
    QCOMPARE(LocalStore::suggestedGroupTitle(QStringList{many}), many.left(thumbs.size() * 40));
    QCOMPARE(LocalStore::suggestedGroupTitle(QStringList{}), QString());

    auto signedOut = memoryStore();
    QCOMPARE(signedOut->suggestedGroupTitle(QList<QUuid>{QUuid::createUuid()}), QString());
}

QTEST_MAIN(TestStoreLookups)
#include "tst_store_lookups.moc"
