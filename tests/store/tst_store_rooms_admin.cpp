// Opening direct and group rooms, room administration (rename, invite, kick, leave) and the
// room settings (mute, pin, photo), in the local modes and against the stand-in service.

#include "StoreTestSupport.h"

#include <QJsonArray>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWait = 10000;

// A local store signed in as "나" with `count` friends named "친구1", "친구2", ...
struct LocalGroupRig
{
    explicit LocalGroupRig(int count, bool persisting = false)
        : store(persisting, 0ms, nullptr)
    {
        me = signInWithProfile(store);
        for (int i = 1; i <= count; ++i) {
            const Account a = person(u"friend%1"_s.arg(i), u"친구%1"_s.arg(i));
            store.editAccounts([&](QList<Account> &list) { list.append(a); });
            befriend(store, a.id);
            friends.append(a.id);
        }
    }

    // A group owned by `owner` with the given active members (joined one second apart).
    Conversation addGroup(const QUuid &owner, const QList<QUuid> &members,
                          const QString &title = {})
    {
        QList<Membership> list{member(owner, MemberRole::owner)};
        qint64 joined = 1'700'000'001;
        for (const QUuid &id : members)
            list.append(member(id, MemberRole::member, joined++));
        const Conversation room = ::room(ConversationKind::group, list, title);
        store.editConversations([&](QList<Conversation> &rooms) { rooms.append(room); });
        return room;
    }

    QStringList systemTexts(const QUuid &roomId) const
    {
        QStringList texts;
        for (const ChatMessage &m : store.visibleMessages(roomId)) {
            if (m.kind == MessageKind::system)
                texts.append(m.body);
        }
        return texts;
    }

    LocalStore store;
    QUuid me;
    QList<QUuid> friends;
};

// The room hidden from the list as the room list hides it: flag, hidden set and settings.
void hideRoom(LocalStore &store, const QUuid &roomId)
{
    Conversation room = *store.conversation(roomId);
    room.hiddenFromList = true;
    store.replaceConversation(room);
    store.editHiddenRoomIDs([&](QSet<QUuid> &set) { set.insert(roomId); });
    store.saveHidden();
}

// The stand-in service with "me" (나), "one" (하나) and "two" (둘); the store starts later.
struct LiveTrio
{
    bool start() { return ops.started && ops.start(u"me"_s); }
    // "/v1/conversations/ID" and what follows.
    static QString path(const QUuid &roomId, const QString &rest = {})
    {
        return u"/v1/conversations/"_s + LiveOps::id(roomId) + rest;
    }

    LiveOps ops;
    QUuid me = ops.addUser(u"me"_s, u"나"_s);
    QUuid one = ops.addUser(u"one"_s, u"하나"_s);
    QUuid two = ops.addUser(u"two"_s, u"둘"_s);
};

int activeCount(const LocalStore &store, const QUuid &roomId)
{
    return int(LocalStore::activeMembers(*store.conversation(roomId)).size());
}

QString hiddenSetting()
{
    return QSettings().value(u"quillo.live.hidden"_s).toStringList().join(u',');
}

} // namespace

class TestStoreRoomsAdmin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    // --- opening rooms ---
    void localGroupSizeLimit_data();
    void localGroupSizeLimit();
    void localGroupTitleAndJoinLines();
    void liveOpenChat();
    void liveOpenGroupTitles_data();
    void liveOpenGroupTitles();

    // --- administration, local ---
    void localRename();
    void localInviteLimitAndReuse();
    void localKick();
    void localLeaveHandsOwnershipOver();

    // --- administration, live ---
    void liveRenameInviteKick();
    void liveLeaveRefusedRestores_data();
    void liveLeaveRefusedRestores();

    // --- settings ---
    void localMutePinPhoto();
    void liveMuteAndPin();
};

// Opening rooms

void TestStoreRoomsAdmin::localGroupSizeLimit_data()
{
    QTest::addColumn<int>("members");
    QTest::addColumn<bool>("created");
    QTest::newRow("none") << 0 << false;
    QTest::newRow("one") << 1 << true;
    QTest::newRow("19 with me makes 20") << 19 << true;
    QTest::newRow("20 with me makes 21") << 20 << false;
}

void TestStoreRoomsAdmin::localGroupSizeLimit()
{
    QFETCH(int, members);
    QFETCH(bool, created);
    LocalGroupRig rig(members);
    // Names that do not count: a duplicate, an unknown id, a non-friend, myself, a blocked friend.
    const Account blocked = person(u"blocked_one"_s, u"차단"_s);
    rig.store.editAccounts([&](QList<Account> &list) { list.append(blocked); });
    befriend(rig.store, blocked.id);
    rig.store.setBlocks({blocked.id});
    QList<QUuid> ids = rig.friends;
    if (!ids.isEmpty())
        ids.append(ids.first());
    ids += {QUuid::createUuid(), SeedID::sora(), rig.me, blocked.id};

    const int roomsBefore = int(rig.store.conversations().size());
    const auto id = finish(rig.store.openGroup(ids, u"모임"_s)).value_or(std::nullopt);
    QCOMPARE(id.has_value(), created);
    if (!created) {
        QCOMPARE(rig.store.conversations().size(), roomsBefore);
        return;
    }
    const Conversation room = *rig.store.conversation(*id);
    QCOMPARE(room.memberships.size(), members + 1);
    QCOMPARE(room.memberships.first().userId, rig.me);
    QCOMPARE(room.memberships.first().role, MemberRole::owner);
    QCOMPARE(LocalStore::activeMembers(room).size(), members + 1);
}

void TestStoreRoomsAdmin::localGroupTitleAndJoinLines()
{
    LocalGroupRig rig(2, true);
    QUuid id = *rig.store.createGroup(rig.friends, u"   "_s);
    QCOMPARE(rig.store.conversation(id)->title, u"나, 친구1, 친구2"_s);
    QCOMPARE(rig.systemTexts(id),
             (QStringList{u"친구1님이 들어왔습니다."_s, u"친구2님이 들어왔습니다."_s}));

    id = *rig.store.createGroup(rig.friends, u"  "_s + QString(45, u'가') + u" "_s);
    QCOMPARE(rig.store.conversation(id)->title, QString(40, u'가'));
    LocalStore reread(true, 0ms, nullptr);
    QVERIFY(reread.conversation(id));
}

void TestStoreRoomsAdmin::liveOpenChat()
{
    LiveTrio trio;
    auto &[ops, me, one, two] = trio;
    ops.service.makeFriends(me, one); // the service keeps a direct room for friends
    QVERIFY(trio.start());

    // A hidden room comes back to the list without asking the service.
    const std::optional<Conversation> known = ops.store->directConversation(one);
    QVERIFY(known);
    const QUuid roomId = known->id;
    hideRoom(*ops.store, roomId);
    QVERIFY(ops.store->hiddenRoomIDs().contains(roomId));
    QVERIFY(hiddenSetting().contains(LiveOps::id(roomId)));
    QCOMPARE(finish(ops.store->openChat(one)).value_or(std::nullopt), roomId);
    QVERIFY(!ops.store->conversation(roomId)->hiddenFromList);
    QVERIFY(!ops.store->hiddenRoomIDs().contains(roomId));
    QVERIFY(!hiddenSetting().contains(LiveOps::id(roomId)));
    QCOMPARE(ops.service.requests().size(), 0);

    // Once the store has forgotten the room, the service is asked.
    ops.store->setConversations({});

    // A person: the service makes the room, the reload brings it.
    const auto direct = finish(ops.store->openChat(one)).value_or(std::nullopt);
    QVERIFY(direct);
    QCOMPARE(ops.lastBody(u"POST"_s, u"/v1/conversations"_s),
             QJsonObject({{u"user_id"_s, LiveOps::id(one)}}));
    QVERIFY(ops.store->conversation(*direct));

    // An official account: looked up, followed, its room returned.
    const QUuid house = ops.service.houseAccountId();
    QVERIFY(finish(ops.store->lookup(u"zumo"_s)).value_or(std::nullopt));
    const auto official = finish(ops.store->openChat(house)).value_or(std::nullopt);
    QVERIFY(official);
    const QString followPath = u"/v1/official-accounts/"_s
        + LiveOps::id(ops.service.officialAccountId(house)) + u"/follow"_s;
    QCOMPARE(ops.countRequests(u"POST"_s, followPath), 1);
    QCOMPARE(ops.store->directConversation(house)->id, *official);

    // A refusal: the message, no room.
    ops.service.failNext(u"POST"_s, u"/v1/conversations"_s, 1, 403, u"blocked"_s,
                         u"대화를 시작할 수 없습니다."_s);
    QVERIFY(answeredNothing(finish(ops.store->openChat(two))));
    QCOMPARE(ops.store->notice(), u"대화를 시작할 수 없습니다."_s);

    // An official account that the service cannot name: its error, no room, nothing posted.
    Account nameless = person(QString(), u"이름 없는 곳"_s);
    nameless.kind = AccountKind::official;
    ops.store->editAccounts([&](QList<Account> &list) { list.append(nameless); });
    const int posts = ops.countRequests(u"POST"_s, u"/v1/"_s);
    QVERIFY(answeredNothing(finish(ops.store->openChat(nameless.id))));
    QCOMPARE(ops.store->notice(), u"서비스 계정을 찾을 수 없습니다."_s);
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/"_s), posts);

    // A group without any title (my name is blank too) is refused here; the service's refusal
    // of its members is shown.
    Account mine = *ops.store->me();
    mine.displayName = u"  "_s;
    ops.store->replaceAccount(mine);
    QVERIFY(answeredNothing(finish(ops.store->openGroup({QUuid::createUuid()}, QString()))));
    QCOMPARE(ops.store->notice(), u"방 이름을 확인해 주세요."_s);
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/"_s), posts);
    ops.service.failNext(u"POST"_s, u"/v1/conversations"_s, 1, 400, u"invalid_members"_s,
                         u"초대할 수 없는 사람이 있습니다."_s);
    QVERIFY(answeredNothing(finish(ops.store->openGroup({QUuid::createUuid()}, u"모임"_s))));
    QCOMPARE(ops.store->notice(), u"초대할 수 없는 사람이 있습니다."_s);
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/"_s), posts + 1);
}

void TestStoreRoomsAdmin::liveOpenGroupTitles_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("blank: suggested") << u"  \n"_s << u"나, 하나, 둘"_s;
    QTest::newRow("50 characters") << QString(50, u'x') << QString(40, u'x');
    QTest::newRow("trimmed") << u"  모임  "_s << u"모임"_s;
}

void TestStoreRoomsAdmin::liveOpenGroupTitles()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    LiveTrio trio;
    auto &[ops, me, one, two] = trio;
    ops.service.makeFriends(me, one);
    ops.service.makeFriends(me, two);
    QVERIFY(trio.start());

    const auto id = finish(ops.store->openGroup({one, two}, typed)).value_or(std::nullopt);
    QVERIFY(id);
    QCOMPARE(ops.lastBody(u"POST"_s, u"/v1/conversations"_s),
             QJsonObject({{u"type"_s, u"group"_s},
                          {u"title"_s, sent},
                          {u"member_ids"_s, QJsonArray{LiveOps::id(one), LiveOps::id(two)}}}));
    QCOMPARE(ops.store->conversation(*id)->title, sent);
}

// Administration, local

void TestStoreRoomsAdmin::localRename()
{
    LocalGroupRig rig(2);
    const Conversation room = rig.addGroup(rig.me, rig.friends, u"처음"_s);
    rig.store.rename(room.id, u"   "_s);
    QCOMPARE(rig.store.conversation(room.id)->title, u"친구1, 친구2"_s);
    QCOMPARE(rig.systemTexts(room.id), QStringList{u"방 이름이 친구1, 친구2로 바뀌었습니다."_s});

    rig.store.rename(room.id, u" 친구1, 친구2 "_s); // the current title: nothing
    rig.store.rename(room.id, u"친구1, 친구2"_s.normalized(QString::NormalizationForm_D));
    QCOMPARE(rig.systemTexts(room.id).size(), 1);

    rig.store.rename(room.id, QString(41, u'나'));
    QCOMPARE(rig.store.conversation(room.id)->title, QString(40, u'나'));

    // Not mine to rename, or not a group: nothing.
    const Conversation theirs = rig.addGroup(rig.friends.first(), {rig.me}, u"남의 방"_s);
    rig.store.rename(theirs.id, u"바꿈"_s);
    QCOMPARE(rig.store.conversation(theirs.id)->title, u"남의 방"_s);
    const QUuid direct = *rig.store.openDirect(rig.friends.first());
    rig.store.rename(direct, u"바꿈"_s);
    QVERIFY(rig.store.conversation(direct)->title.isEmpty());
}

void TestStoreRoomsAdmin::localInviteLimitAndReuse()
{
    LocalGroupRig rig(21);
    QList<QUuid> nineteen = rig.friends.mid(0, 19);
    const QUuid twentieth = rig.friends.at(19);
    const QUuid extra = rig.friends.at(20);
    const Conversation room = rig.addGroup(rig.me, nineteen.mid(0, 18), u"모임"_s);

    rig.store.invite(room.id, twentieth); // 19 active: allowed
    QCOMPARE(activeCount(rig.store, room.id), 20);
    QCOMPARE(rig.systemTexts(room.id).last(), u"친구20님이 들어왔습니다."_s);
    rig.store.invite(room.id, extra); // 20 active: nobody more
    QCOMPARE(activeCount(rig.store, room.id), 20);

    // A former member comes back on the old membership, keeping the read mark.
    rig.store.kick(room.id, nineteen.first());
    Conversation changed = *rig.store.conversation(room.id);
    const auto find = [&](const Conversation &c, const QUuid &id) {
        return *std::find_if(c.memberships.cbegin(), c.memberships.cend(),
                             [&](const Membership &m) { return m.userId == id; });
    };
    changed.memberships[1].lastReadSeq = 7;
    rig.store.replaceConversation(changed);
    const qsizetype count = changed.memberships.size();
    rig.store.invite(room.id, nineteen.first());
    const Conversation back = *rig.store.conversation(room.id);
    QCOMPARE(back.memberships.size(), count);
    const Membership again = find(back, nineteen.first());
    QCOMPARE(again.leftAt, std::nullopt);
    QCOMPARE(again.lastReadSeq, 7);
    QVERIFY(again.joinedAt > room.createdAt);

    // Already in, not a friend, or not the owner: nothing.
    const qsizetype texts = rig.systemTexts(room.id).size();
    rig.store.invite(room.id, nineteen.first());
    rig.store.kick(room.id, extra);
    const Conversation small = rig.addGroup(rig.me, {}, u"작은 방"_s);
    rig.store.invite(small.id, SeedID::sora());
    const Conversation theirs = rig.addGroup(rig.friends.first(), {rig.me});
    rig.store.invite(theirs.id, extra);
    QCOMPARE(rig.systemTexts(room.id).size(), texts);
    QCOMPARE(rig.store.conversation(small.id)->memberships.size(), 1);
    QCOMPARE(rig.store.conversation(theirs.id)->memberships.size(), 2);
}

void TestStoreRoomsAdmin::localKick()
{
    LocalGroupRig rig(2);
    const Conversation room = rig.addGroup(rig.me, rig.friends, u"모임"_s);
    rig.store.kick(room.id, rig.me);
    QCOMPARE(*rig.store.conversation(room.id), room);

    rig.store.kick(room.id, rig.friends.first());
    const Conversation after = *rig.store.conversation(room.id);
    QVERIFY(after.memberships.at(1).leftAt);
    QCOMPARE(after.memberships.at(1).role, MemberRole::member);
    QCOMPARE(rig.systemTexts(room.id), QStringList{u"친구1님을 내보냈습니다."_s});
    rig.store.kick(room.id, rig.friends.first()); // gone already
    QCOMPARE(rig.systemTexts(room.id).size(), 1);

    // A member without a known account is named "알 수 없음".
    const QUuid ghost = QUuid::createUuid();
    Conversation withGhost = after;
    withGhost.memberships.append(member(ghost));
    rig.store.replaceConversation(withGhost);
    rig.store.kick(room.id, ghost);
    QCOMPARE(rig.systemTexts(room.id).last(), u"알 수 없음님을 내보냈습니다."_s);
}

void TestStoreRoomsAdmin::localLeaveHandsOwnershipOver()
{
    LocalGroupRig rig(3);
    // friend3 joined first of the others; friend1 and friend2 at the same, later time.
    QList<Membership> members{member(rig.me, MemberRole::owner, 1'700'000'000),
                              member(rig.friends.at(0), MemberRole::member, 1'700'000'050),
                              member(rig.friends.at(1), MemberRole::member, 1'700'000'050),
                              member(rig.friends.at(2), MemberRole::member, 1'700'000'010)};
    members[3].leftAt = QDateTime::fromSecsSinceEpoch(1'700'000'020, Qt::UTC);
    const Conversation room = ::room(ConversationKind::group, members, u"모임"_s);
    rig.store.editConversations([&](QList<Conversation> &list) { list.append(room); });

    rig.store.leaveGroup(room.id);
    const Conversation after = *rig.store.conversation(room.id);
    QVERIFY(after.memberships.at(0).leftAt);
    QCOMPARE(after.memberships.at(0).role, MemberRole::member);
    QCOMPARE(after.memberships.at(1).role, MemberRole::owner); // earliest active, first in order
    QCOMPARE(after.memberships.at(2).role, MemberRole::member);
    QVERIFY(after.hiddenFromList);
    QCOMPARE(rig.systemTexts(room.id), QStringList{u"나님이 나갔습니다."_s});
    const auto listed = rig.store.sortedList();
    QVERIFY(std::none_of(listed.cbegin(), listed.cend(),
                         [&](const Conversation &c) { return c.id == room.id; }));

    rig.store.leaveGroup(room.id); // not a member any more: nothing
    QCOMPARE(rig.systemTexts(room.id).size(), 1);
}

// Administration, live

void TestStoreRoomsAdmin::liveRenameInviteKick()
{
    LiveTrio trio;
    auto &[ops, me, one, two] = trio;
    ops.service.makeFriends(me, one);
    ops.service.makeFriends(me, two);
    const QUuid roomId = ops.service.addGroupRoom(me, u"모임"_s, {one});
    QVERIFY(trio.start());
    const QString path = LiveTrio::path(roomId);

    ops.store->rename(roomId, u" \n "_s);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"방 이름을 확인해 주세요."_s, kWait);
    ops.barrier();
    QCOMPARE(ops.countRequests(u"PATCH"_s, path), 0);

    ops.store->rename(roomId, u" "_s + QString(41, u'새'));
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->conversation(roomId)->title, QString(40, u'새'), kWait);
    QCOMPARE(ops.lastBody(u"PATCH"_s, path), QJsonObject({{u"title"_s, QString(40, u'새')}}));

    ops.store->invite(roomId, two);
    QTRY_COMPARE_WITH_TIMEOUT(activeCount(*ops.store, roomId), 3, kWait);
    QCOMPARE(ops.lastBody(u"POST"_s, path + u"/members"_s),
             QJsonObject({{u"user_ids"_s, QJsonArray{LiveOps::id(two)}}}));
    ops.settle();

    // A refused kick brings the member back; an accepted one is followed by a reload.
    const Conversation before = *ops.store->conversation(roomId);
    const QString kickPath = path + u"/members/"_s;
    ops.service.failNext(u"DELETE"_s, kickPath, 1, 403, u"not_owner"_s, u"내보낼 수 없습니다."_s);
    ops.store->kick(roomId, one);
    QCOMPARE(activeCount(*ops.store, roomId), 2); // at once
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"내보낼 수 없습니다."_s, kWait);
    QCOMPARE(*ops.store->conversation(roomId), before);

    const int loads = ops.countRequests(u"GET"_s, u"/v1/conversations"_s);
    ops.store->kick(roomId, two);
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"DELETE"_s, kickPath + LiveOps::id(two)), 1,
                              kWait);
    QTRY_VERIFY_WITH_TIMEOUT(ops.countRequests(u"GET"_s, u"/v1/conversations"_s) > loads, kWait);
    QTRY_COMPARE_WITH_TIMEOUT(activeCount(*ops.store, roomId), 2, kWait);

    ops.service.failNext(u"PATCH"_s, path, 1, 403, u"not_owner"_s, u"방장만 바꿀 수 있습니다."_s);
    ops.store->rename(roomId, u"또"_s);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"방장만 바꿀 수 있습니다."_s, kWait);
    QCOMPARE(ops.store->conversation(roomId)->title, QString(40, u'새'));
}

void TestStoreRoomsAdmin::liveLeaveRefusedRestores_data()
{
    QTest::addColumn<bool>("hiddenBefore");
    QTest::newRow("listed room") << false;
    QTest::newRow("hidden room") << true;
}

void TestStoreRoomsAdmin::liveLeaveRefusedRestores()
{
    QFETCH(bool, hiddenBefore);
    LiveTrio trio;
    auto &[ops, me, one, two] = trio;
    const QUuid roomId = ops.service.addGroupRoom(one, u"모임"_s, {me});
    QVERIFY(trio.start());
    if (hiddenBefore)
        hideRoom(*ops.store, roomId);
    const Conversation before = *ops.store->conversation(roomId);
    const QString path = LiveTrio::path(roomId, u"/leave"_s);

    ops.service.failNext(u"POST"_s, path, 1, 500, u"server_error"_s, u"나가지 못했습니다."_s);
    ops.store->leaveGroup(roomId);
    QVERIFY(ops.store->hiddenRoomIDs().contains(roomId));
    QVERIFY(hiddenSetting().contains(LiveOps::id(roomId)));
    QVERIFY(ops.store->conversation(roomId)->hiddenFromList);
    QCOMPARE(ops.store->composeBlock(roomId), ComposeBlock::leftGroup);

    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"나가지 못했습니다."_s, kWait);
    QCOMPARE(*ops.store->conversation(roomId), before);
    QCOMPARE(ops.store->hiddenRoomIDs().contains(roomId), hiddenBefore);
    QCOMPARE(hiddenSetting().contains(LiveOps::id(roomId)), hiddenBefore);
    QCOMPARE(ops.store->composeBlock(roomId), std::nullopt);
}

// Settings

void TestStoreRoomsAdmin::localMutePinPhoto()
{
    LocalGroupRig rig(1, true);
    const Conversation mine = rig.addGroup(rig.me, rig.friends);
    const Conversation theirs = rig.addGroup(rig.friends.first(), {rig.me});
    const QUuid direct = *rig.store.openDirect(rig.friends.first());

    QSignalSpy roomsChanged(&rig.store, &LocalStore::conversationsChanged);
    rig.store.setMuted(QUuid::createUuid(), true);
    rig.store.setPinned(QUuid::createUuid(), true);
    QCOMPARE(roomsChanged.count(), 0);
    rig.store.setMuted(mine.id, true);
    rig.store.setPinned(mine.id, true);
    QVERIFY(rig.store.conversation(mine.id)->muted);
    QVERIFY(rig.store.conversation(mine.id)->pinned);
    QCOMPARE(rig.store.sortedList().first().id, mine.id);

    rig.store.setRoomPhoto(direct, QByteArray("photo"));
    rig.store.setRoomPhoto(theirs.id, QByteArray("photo"));
    QCOMPARE(rig.store.conversation(direct)->photoJPEG, std::nullopt);
    QCOMPARE(rig.store.conversation(theirs.id)->photoJPEG, std::nullopt);
    rig.store.setRoomPhoto(mine.id, QByteArray("photo"));
    QCOMPARE(rig.store.conversation(mine.id)->photoJPEG, QByteArray("photo"));
    const QDateTime stamp = rig.store.conversation(mine.id)->updatedAt;
    QVERIFY(stamp > mine.updatedAt);
    QCOMPARE(rig.systemTexts(mine.id), QStringList()); // no line for a photo

    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.conversation(mine.id)->photoJPEG, QByteArray("photo"));
    QVERIFY(reread.conversation(mine.id)->muted);

    rig.store.setRoomPhoto(mine.id, std::nullopt);
    QCOMPARE(rig.store.conversation(mine.id)->photoJPEG, std::nullopt);
    QVERIFY(rig.store.conversation(mine.id)->updatedAt >= stamp);
}

void TestStoreRoomsAdmin::liveMuteAndPin()
{
    LiveTrio trio;
    auto &[ops, me, one, two] = trio;
    const QUuid roomId = ops.service.addDirectRoom(me, one);
    QVERIFY(trio.start());
    const QString path = LiveTrio::path(roomId);

    ops.store->setMuted(roomId, true);
    ops.store->setMuted(roomId, true); // the same value still goes out
    QTRY_COMPARE_WITH_TIMEOUT(ops.countRequests(u"PATCH"_s, path), 2, kWait);
    QCOMPARE(ops.lastBody(u"PATCH"_s, path), QJsonObject({{u"muted"_s, true}}));
    ops.barrier();
    QVERIFY(ops.store->conversation(roomId)->muted);

    ops.service.failNext(u"PATCH"_s, path, 1, 500, u"server_error"_s, u"고정하지 못했습니다."_s);
    ops.store->setPinned(roomId, true);
    QVERIFY(ops.store->conversation(roomId)->pinned);
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"고정하지 못했습니다."_s, kWait);
    QVERIFY(!ops.store->conversation(roomId)->pinned);
    QCOMPARE(ops.lastBody(u"PATCH"_s, path), QJsonObject({{u"pinned"_s, true}}));

    // A refusal puts back the value noted before the change, not the opposite of the new one.
    ops.store->acknowledgeNotice();
    ops.service.failNext(u"PATCH"_s, path, 1, 500, u"server_error"_s, u"알림을 끄지 못했습니다."_s);
    ops.store->setMuted(roomId, true); // muted already
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), u"알림을 끄지 못했습니다."_s, kWait);
    QVERIFY(ops.store->conversation(roomId)->muted);

    ops.store->setMuted(QUuid::createUuid(), false); // unknown room: nothing sent
    ops.barrier();
    QCOMPARE(ops.countRequests(u"PATCH"_s, u"/v1/conversations/"_s), 4);
}

QTEST_GUILESS_MAIN(TestStoreRoomsAdmin)
#include "tst_store_rooms_admin.moc"
