// Lookups, room titles, the room list with its search and unread counts, the transcript's
// rules and the suggested group title.

#include "StoreTestSupport.h"

#include "model/SeedID.h"
#include "store/TextCompare.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// One field of every item, in order.
template<typename T, typename Field>
QStringList fieldOf(const QList<T> &items, Field T::*field)
{
    QStringList out;
    for (const T &item : items)
        out << item.*field;
    return out;
}

} // namespace

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
    void longFriendListOrder();
    void sortedListOrderAndFilter();
    void sortedListFollowsAnyChange();
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
        Account me = person(u"me_handle"_s, u"나"_s);
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
    QTest::newRow("plain") << u"sora"_s << u"sora"_s << true;
    QTest::newRow("at, caps, blanks") << u"  @SoRa_1 \n"_s << u"sora_1"_s << true;
    QTest::newRow("second at stays") << u"@@sora"_s << u"@sora"_s << false;
    QTest::newRow("two chars") << u"ab"_s << u"ab"_s << false;
    QTest::newRow("three chars") << u"abc"_s << u"abc"_s << true;
    QTest::newRow("twenty") << QString(20, u'a') << QString(20, u'a') << true;
    QTest::newRow("twenty-one") << QString(21, u'a') << QString(21, u'a') << false;
    QTest::newRow("hyphen") << u"so-ra"_s << u"so-ra"_s << false;
    QTest::newRow("inner blank") << u"so ra"_s << u"so ra"_s << false;
    QTest::newRow("hangul") << u"소라소라"_s << u"소라소라"_s << false;
    QTest::newRow("at alone") << u"@"_s << QString() << false;
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
    QCOMPARE(store->account(u"  @SORA "_s)->id, SeedID::sora());
    QCOMPARE(store->account(u"quillo"_s)->id, SeedID::quillo());
    QVERIFY(!store->account(u"shop"_s)); // official, not verified
    QVERIFY(!store->account(u"me_handle"_s)); // never myself
    QVERIFY(!store->account(u"@"_s));
    QVERIFY(!store->account(u"   "_s));
    Account sora = *store->account(SeedID::sora());
    sora.status = AccountStatus::suspended;
    store->replaceAccount(sora);
    QVERIFY(!store->account(u"sora"_s));
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
    QCOMPARE(store->conversationTitle(direct), u"알 수 없음"_s);
    QCOMPARE(store->conversationTitle(group), u"한소라, 정태오"_s);
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
    QCOMPARE(store->conversationTitle(alone), u"알 수 없음"_s);
    QVERIFY(!store->isOfficial(alone));

    Conversation left = room(ConversationKind::direct, {member(me), member(SeedID::sora())});
    left.memberships[1].leftAt = t0;
    QCOMPARE(store->conversationTitle(left),
             u"한소라"_s); // a peer who left still names it

    // Joined later comes later; equal times keep the list order; me, the left and unknowns drop.
    Conversation group
        = room(ConversationKind::group,
               {member(SeedID::rian(), 0, MemberRole::member, t0.addSecs(20)),
                member(me, 0, MemberRole::owner, t0), member(unknown, 0, MemberRole::member, t0),
                member(SeedID::taeo(), 0, MemberRole::member, t0.addSecs(10)),
                member(SeedID::sora(), 0, MemberRole::member, t0.addSecs(10))});
    QCOMPARE(store->conversationTitle(group), u"정태오, 한소라, 오세린"_s);
    group.memberships[3].leftAt = t0.addSecs(30);
    QCOMPARE(store->conversationTitle(group), u"한소라, 오세린"_s);
    QVERIFY(store->isOwner(group));
    group.title = u"  "_s;
    QCOMPARE(store->conversationTitle(group), u"  "_s);

    const Conversation empty = room(ConversationKind::group, {member(me), member(unknown)});
    QCOMPARE(store->conversationTitle(empty), u"대화"_s);

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
    Account b2 = person(u"b2"_s, u"방 2"_s);
    Account b10 = person(u"b10"_s, u"방 10"_s);
    Account lower = person(u"al"_s, u"alice"_s);
    Account upper = person(u"bo"_s, u"Bob"_s);
    Account gone = person(u"gone"_s, u"Gone"_s);
    gone.status = AccountStatus::deleted;
    Account hiddenPeer = person(u"hid"_s, u"Hidden"_s);
    Account official = person(u"news"_s, u"News"_s);
    official.kind = AccountKind::official;
    Account outgoing = person(u"out"_s, u"Out"_s);
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

    QCOMPARE(fieldOf(store.friendAccounts(), &Account::displayName),
             (QStringList{u"alice"_s, u"Bob"_s, u"Out"_s, u"방 2"_s, u"방 10"_s}));
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
    QCOMPARE(fieldOf(local->friendAccounts(), &Account::displayName),
             (QStringList{u"Bob"_s, u"alice"_s}));
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

// A long list is put in order through collation keys: the order is the one comparing the names
// gives, numbers by value and case ignored, and people with one name keep the rooms' order.
void TestStoreLookups::longFriendListOrder()
{
    auto live = liveStore();
    LocalStore &store = *live->store;
    const QStringList stems{u"방 "_s,   u"Bob "_s, u"bob "_s, u"Émile "_s, u"emile "_s,
                            u"가나 "_s, u"ㄱ "_s,  u"あ "_s,  u"Zoë "_s,   u""_s};
    QList<Account> people;
    QList<Conversation> rooms;
    for (int i = 0; i < 300; ++i) {
        // Every name comes up twice or more, with the numbers in no order of their own.
        const QString name = stems.at(i % stems.size()) + QString::number((i * 37) % 60);
        people.append(person(u"p"_s + QString::number(i), name));
        rooms.append(room(ConversationKind::direct, {member(live->me), member(people.last().id)}));
    }
    store.editAccounts([&](QList<Account> &list) { list << people; });
    store.setConversations(rooms);

    QList<Account> expected = people;
    QCollator &collator = TextCompare::localizedCollator();
    std::stable_sort(expected.begin(), expected.end(), [&](const Account &a, const Account &b) {
        return collator.compare(a.displayName, b.displayName) < 0;
    });
    const QList<Account> friends = store.friendAccounts();
    QCOMPARE(fieldOf(friends, &Account::handle), fieldOf(expected, &Account::handle));
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
    Conversation newestUnpinned = make(u"new"_s, false, 100);
    Conversation oldPinned = make(u"oldPin"_s, true, 1);
    Conversation newPinned = make(u"newPin"_s, true, 5);
    Conversation tieA = make(u"tieA"_s, false, 50);
    Conversation tieB = make(u"tieB"_s, false, 50);
    Conversation hidden = make(u"hidden"_s, false, 200);
    hidden.hiddenFromList = true;
    Conversation left = make(u"left"_s, false, 200);
    left.memberships[0].leftAt = t0;
    Conversation rejoined = make(u"rejoined"_s, false, 10);
    rejoined.memberships[0].leftAt = t0;
    rejoined.memberships.append(member(me));
    Conversation notMine = room(ConversationKind::group, {member(SeedID::sora())}, u"x"_s);

    store->setConversations(
        {tieA, newestUnpinned, hidden, oldPinned, left, tieB, newPinned, rejoined, notMine});
    QCOMPARE(
        fieldOf(store->sortedList(), &Conversation::title),
        (QStringList{u"newPin"_s, u"oldPin"_s, u"new"_s, u"tieA"_s, u"tieB"_s, u"rejoined"_s}));
}

// The order by its rule, sorted afresh: listed rooms, pinned first, the later activity first,
// ties in list order.
QList<QUuid> orderByRule(const QList<Conversation> &rooms, const std::optional<QUuid> &me)
{
    QList<Conversation> listed;
    for (const Conversation &room : rooms) {
        const bool mine = me
            && std::any_of(room.memberships.cbegin(), room.memberships.cend(),
                           [&](const Membership &m) { return m.userId == *me && !m.leftAt; });
        if (mine && !room.hiddenFromList)
            listed.append(room);
    }
    std::stable_sort(listed.begin(), listed.end(),
                     [](const Conversation &a, const Conversation &b) {
                         if (a.pinned != b.pinned)
                             return a.pinned;
                         return a.updatedAt > b.updatedAt;
                     });
    QList<QUuid> ids;
    for (const Conversation &room : listed)
        ids.append(room.id);
    return ids;
}

void TestStoreLookups::sortedListFollowsAnyChange()
{
    // Random changes through every road into the room list: the order kept room by room must
    // be the order sorted afresh, and every room and account must be found by its id.
    auto store = memoryStore();
    const QUuid me = signInLocally(*store);
    const AppSession session = *store->session();
    QRandomGenerator random(20'250'117);
    const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    const auto someTime = [&] {
        // Few distinct times, so that ties are common; now and then none at all.
        return random.bounded(12) == 0 ? QDateTime() : t0.addSecs(60 * random.bounded(6));
    };
    const auto someRoom = [&] {
        Conversation c = room(ConversationKind::group, {member(me), member(SeedID::sora())},
                              QStringLiteral("방 %1").arg(random.bounded(1000)));
        c.pinned = random.bounded(5) == 0;
        c.updatedAt = someTime();
        c.hiddenFromList = random.bounded(10) == 0;
        if (random.bounded(8) == 0)
            c.memberships[0].leftAt = t0;
        return c;
    };
    const auto change = [&](Conversation &c) {
        switch (random.bounded(5)) {
        case 0:
            c.pinned = !c.pinned;
            break;
        case 1:
            c.hiddenFromList = !c.hiddenFromList;
            break;
        case 2:
            c.memberships[0].leftAt = c.memberships[0].leftAt ? std::nullopt : std::optional(t0);
            break;
        case 3:
            c.title += u'!';
            break;
        default:
            c.updatedAt = someTime();
            break;
        }
    };
    QList<Conversation> start;
    for (int i = 0; i < 20; ++i)
        start.append(someRoom());
    store->setConversations(start);

    for (int step = 0; step < 600; ++step) {
        const QList<Conversation> rooms = store->conversations();
        const int at = rooms.isEmpty() ? -1 : int(random.bounded(int(rooms.size())));
        switch (random.bounded(9)) {
        case 0: // one room replaced
            if (at >= 0) {
                Conversation c = rooms.at(at);
                change(c);
                store->replaceConversation(c);
            }
            break;
        case 1: // one room changed in a whole-list edit
            if (at >= 0)
                store->editConversations([&](QList<Conversation> &list) { change(list[at]); });
            break;
        case 2: // many rooms changed at once
            store->editConversations([&](QList<Conversation> &list) {
                for (Conversation &c : list) {
                    if (random.bounded(3) == 0)
                        change(c);
                }
            });
            break;
        case 3: // a room comes, anywhere
            store->editConversations([&](QList<Conversation> &list) {
                list.insert(random.bounded(int(list.size()) + 1), someRoom());
            });
            break;
        case 4: // a room goes
            if (at >= 0)
                store->editConversations([&](QList<Conversation> &list) { list.removeAt(at); });
            break;
        case 5: // a room moves within the list: ties now fall otherwise
            if (at >= 0)
                store->editConversations([&](QList<Conversation> &list) {
                    list.move(at, random.bounded(int(list.size())));
                });
            break;
        case 6: // the whole list anew
            if (at >= 0) {
                QList<Conversation> next = rooms;
                change(next[at]);
                std::reverse(next.begin(), next.end());
                store->setConversations(next);
            }
            break;
        case 7: // signed out and in again
            store->setSession(random.bounded(2) ? std::nullopt : std::optional(session));
            break;
        default: // an account comes; accounts are found by id
            store->editAccounts([&](QList<Account> &list) {
                Account a;
                a.id = QUuid::createUuid();
                list.insert(random.bounded(int(list.size()) + 1), a);
            });
            break;
        }
        const QList<Conversation> now = store->conversations();
        const std::optional<QUuid> signedIn
            = store->session() ? std::optional(store->session()->meId) : std::nullopt;
        QList<QUuid> listed;
        for (const Conversation &c : store->sortedList())
            listed.append(c.id);
        QCOMPARE(listed, orderByRule(now, signedIn));
        if (signedIn)
            QCOMPARE(store->listedRoomIds(), listed);
        for (const Conversation &c : now)
            QCOMPARE(store->conversation(c.id), std::optional(c));
        for (const Account &a : store->accounts())
            QCOMPARE(store->account(a.id)->id, a.id);
    }
}

void TestStoreLookups::hideFromList()
{
    auto live = liveStore();
    LocalStore &store = *live->store;
    const Conversation a = room(ConversationKind::group, {member(live->me)}, u"a"_s);
    const Conversation b = room(ConversationKind::group, {member(live->me)}, u"b"_s);
    store.setConversations({a, b});
    SignalCount hiddenChanges(&store, &LocalStore::hiddenRoomIDsChanged);

    store.hideFromList(a.id);
    QCOMPARE(store.sortedList().size(), 1);
    QCOMPARE(store.sortedList().first().id, b.id);
    QCOMPARE(store.conversations().size(), 2); // still held
    QVERIFY(store.conversation(a.id)->hiddenFromList);
    QCOMPARE(store.hiddenRoomIDs(), QSet<QUuid>{a.id});
    QCOMPARE(LocalStore::storedIDs(u"quillo.live.hidden"_s), QList<QUuid>{a.id});
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
    QTest::newRow("blank matches all") << u"  \n "_s << true;
    QTest::newRow("title part, other case") << u"FAMILY"_s << true;
    QTest::newRow("member name part") << u"소라"_s << true;
    QTest::newRow("former member") << u"태오"_s << true;
    QTest::newRow("accent-insensitive") << u"cafe"_s << true;
    QTest::newRow("handle is not searched") << u"rian"_s << false;
    QTest::newRow("half a syllable") << u"하"_s << false;
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
               u"Family Café"_s);
    c.memberships[2].leftAt = QDateTime::currentDateTimeUtc();
    Account rian = *store->account(SeedID::rian());
    rian.displayName = u"한결"_s;
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
    ChatMessage a = textMessage(c.id, me, 2, u"a"_s);
    ChatMessage b = textMessage(c.id, me, 1, u"b"_s);
    ChatMessage tieFirst = textMessage(c.id, me, 3, u"tie1"_s);
    ChatMessage hidden = textMessage(c.id, me, 3, u"hidden"_s);
    hidden.hiddenForMe = true;
    ChatMessage tieSecond = textMessage(c.id, me, 3, u"tie2"_s);
    ChatMessage failed = textMessage(c.id, me, 4, u"failed"_s);
    failed.delivery = DeliveryState::failed;
    ChatMessage elsewhere = textMessage(QUuid::createUuid(), me, 1);
    store->setMessages({a, b, tieFirst, elsewhere, hidden, tieSecond, failed});
    QCOMPARE(fieldOf(store->visibleMessages(c.id), &ChatMessage::body),
             (QStringList{u"b"_s, u"a"_s, u"tie1"_s, u"tie2"_s, u"failed"_s}));
    QVERIFY(store->visibleMessages(QUuid::createUuid()).isEmpty());
    QCOMPARE(store->replyPreview(hidden.id), u"삭제된 메시지"_s);
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
        ChatMessage m = textMessage(roomId, sender, 1, u" 본문 "_s);
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

    QCOMPARE(store->replyPreview(fresh.id), u" 본문 "_s);
    QCOMPARE(store->replyPreview(photo.id), u"사진"_s);
    QCOMPARE(store->replyPreview(system.id), u" 본문 "_s);
    QCOMPARE(store->replyPreview(deleted.id), u"삭제된 메시지"_s);
    QCOMPARE(store->replyPreview(QUuid::createUuid()), u"삭제된 메시지"_s);

    QVERIFY(store->canDeleteForEveryone(fresh.id));
    QVERIFY(!store->canDeleteForEveryone(stale.id));
    QVERIFY(store->canDeleteForEveryone(photo.id));
    QVERIFY(!store->canDeleteForEveryone(system.id));
    QVERIFY(!store->canDeleteForEveryone(deleted.id));
    QVERIFY(!store->canDeleteForEveryone(others.id));
    QVERIFY(!store->canDeleteForEveryone(failed.id)); // the service never had it
    QVERIFY(store->canDeleteForEveryone(future.id));
}

void TestStoreLookups::typingLabel()
{
    auto live = liveStore();
    LocalStore &store = *live->store;
    Account news = person(u"news"_s, u"News"_s);
    news.kind = AccountKind::official;
    const QUuid peer = QUuid::createUuid();
    store.editAccounts([&](QList<Account> &list) { list << news; });
    const Conversation group = room(ConversationKind::group, {member(live->me), member(peer)});
    const Conversation official
        = room(ConversationKind::direct, {member(live->me), member(news.id)});
    store.setConversations({group, official});
    store.setTypingState({{group.id, peer}, {official.id, news.id}});
    QCOMPARE(store.typingLabel(group.id), u"입력 중"_s);
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
    const QUuid me = signInLocally(*store, u"  나  "_s);
    Account blank = person(u"blank"_s, u"   "_s);
    store->editAccounts([&](QList<Account> &list) { list << blank; });
    QCOMPARE(store->suggestedGroupTitle(
                 QList<QUuid>{SeedID::sora(), me, QUuid::createUuid(), blank.id, SeedID::taeo()}),
             u"나, 한소라, 정태오"_s);
    QCOMPARE(store->suggestedGroupTitle(QList<QUuid>{SeedID::sora(), SeedID::sora()}),
             u"나, 한소라, 한소라"_s);

    const QString longName = QString(38, u'가');
    QCOMPARE(LocalStore::suggestedGroupTitle(QStringList{longName, u"다음"_s}), longName + u", "_s);
    QCOMPARE(LocalStore::suggestedGroupTitle(QStringList{QString(45, u'x')}).size(), 40);
    // An emoji with a modifier is one character.
    const QString thumbs = u"👍🏽"_s;
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
