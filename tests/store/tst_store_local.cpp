// The local modes' official messages and direct rooms, and the invite and device halves of
// the live mode.

#include "StoreTestSupport.h"

#include "model/SeedID.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestStoreLocal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { clearDefaultsAndPushHooks(); }

    void openDirectRules();
    void officialMessages();
    void officialLinks();
    void systemLines();
    void pendingInviteLocally();
    void redeemInviteAnswers();
    void uploadDeviceNeedsACompleteProfile();
};

void TestStoreLocal::openDirectRules()
{
    auto store = memoryStore();
    QCOMPARE(store->openDirect(SeedID::sora()), std::nullopt); // signed out
    const QUuid me = signInLocally(*store);
    QCOMPARE(store->openDirect(me), std::nullopt);
    QCOMPARE(store->openDirect(SeedID::sora()), std::nullopt); // not a friend
    QCOMPARE(store->openDirect(SeedID::shop()), std::nullopt); // official, not verified
    store->setFriends({FriendLink{SeedID::sora(), FriendState::friends},
                       FriendLink{SeedID::taeo(), FriendState::outgoing}});
    QCOMPARE(store->openDirect(SeedID::taeo()), std::nullopt);

    const QUuid roomId = *store->openDirect(SeedID::sora());
    const Conversation room = *store->conversation(roomId);
    QCOMPARE(room.kind, ConversationKind::direct);
    QCOMPARE(room.memberships.size(), 2);
    QCOMPARE(room.memberships.at(0).userId, me);
    QCOMPARE(room.memberships.at(0).role, MemberRole::owner);
    QCOMPARE(room.memberships.at(1).role, MemberRole::member);
    QVERIFY(room.title.isEmpty());

    // An existing room comes back from hiding instead of a second one.
    Conversation hidden = room;
    hidden.hiddenFromList = true;
    store->replaceConversation(hidden);
    QCOMPARE(store->openDirect(SeedID::sora()), roomId);
    QVERIFY(!store->conversation(roomId)->hiddenFromList);
    QCOMPARE(store->conversations().size(), 1);

    // A verified official account opens and is followed; blocked, it does not.
    QVERIFY(store->openDirect(SeedID::quillo()));
    QCOMPARE(store->officialLinks().size(), 1);
    auto other = memoryStore();
    signInLocally(*other);
    other->setBlocks({SeedID::quillo()});
    QCOMPARE(other->openDirect(SeedID::quillo()), std::nullopt);
}

void TestStoreLocal::officialMessages()
{
    auto store = memoryStore();
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), u"x"_s, MessageOrigin::broadcast,
                                           false, std::nullopt),
             std::nullopt); // nobody to deliver to
    signInLocally(*store);
    const std::optional<QUuid> first = store->receiveOfficialMessage(
        SeedID::quillo(), u"공지"_s, MessageOrigin::broadcast, false, u"k1"_s);
    QVERIFY(first);
    const ChatMessage m = *store->message(*first);
    QCOMPARE(m.origin, MessageOrigin::broadcast);
    QCOMPARE(m.senderId, SeedID::quillo());
    QCOMPARE(m.seq, 1);
    QVERIFY(m.id != m.clientMsgId);
    QCOMPARE(store->unreadCount(*store->conversation(m.conversationId)), 1);

    // At most once per key.
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), u"공지"_s, MessageOrigin::broadcast,
                                           false, u"k1"_s),
             std::nullopt);
    // Opted out: only when the sender insists.
    store->setOptOutLocal(SeedID::quillo(), true);
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), u"b"_s, MessageOrigin::broadcast,
                                           false, std::nullopt),
             std::nullopt);
    QVERIFY(store->receiveOfficialMessage(SeedID::quillo(), u"c"_s, MessageOrigin::system, true,
                                          std::nullopt));
    store->setBlocks({SeedID::quillo()});
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), u"d"_s, MessageOrigin::system, true,
                                           std::nullopt),
             std::nullopt);
    QCOMPARE(store->visibleMessages(m.conversationId).size(), 2);
}

void TestStoreLocal::officialLinks()
{
    auto store = memoryStore();
    store->followOfficial(SeedID::quillo());
    store->followOfficial(SeedID::quillo());
    QCOMPARE(store->officialLinks(), (QList<OfficialLink>{OfficialLink{SeedID::quillo(), false}}));
    store->setOptOutLocal(SeedID::shop(), true); // no link: nothing
    QCOMPARE(store->officialLinks().size(), 1);
    store->setOptOutLocal(SeedID::quillo(), true);
    QVERIFY(store->isOptOut(SeedID::quillo()));
}

void TestStoreLocal::systemLines()
{
    auto store = memoryStore();
    const QUuid roomId = QUuid::createUuid();
    store->appendSystem(roomId, u"x"_s, true); // signed out: nothing
    QVERIFY(store->messages().isEmpty());
    const QUuid me = signInLocally(*store);
    store->setFriends({FriendLink{SeedID::sora(), FriendState::friends}});
    const QUuid direct = *store->openDirect(SeedID::sora());
    Conversation c = *store->conversation(direct);
    c.hiddenFromList = true;
    store->replaceConversation(c);
    store->appendSystem(direct, u"한소라님이 들어왔습니다."_s, false);
    QVERIFY(store->conversation(direct)->hiddenFromList);
    store->appendSystem(direct, u"둘"_s, true);
    QVERIFY(!store->conversation(direct)->hiddenFromList);
    const QList<ChatMessage> lines = store->visibleMessages(direct);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).kind, MessageKind::system);
    QCOMPARE(lines.at(0).senderId, me);
    QCOMPARE(lines.at(1).seq, 2);
    QCOMPARE(store->unreadCount(*store->conversation(direct)), 0);
}

void TestStoreLocal::pendingInviteLocally()
{
    auto store = memoryStore();
    store->setPendingInviteCode(store->localInviteCode());
    store->redeemPendingInvite(); // signed out: kept
    QVERIFY(store->pendingInviteCode());
    signInLocally(*store);
    store->redeemPendingInvite();
    QCOMPARE(store->pendingInviteCode(), std::nullopt);
    QCOMPARE(store->notice(), u"내 초대 링크입니다."_s);
    store->setPendingInviteCode(u"someone-elses-code"_s);
    store->redeemPendingInvite();
    QCOMPARE(store->notice(), u"친구 요청을 보냈습니다."_s);
}

void TestStoreLocal::redeemInviteAnswers()
{
    LivePair live; // the peer is a friend, the direct room theirs and mine
    const QUuid stranger = live.addUser(u"stranger"_s, u"낯선이"_s);
    const QUuid asker = live.addUser(u"asker"_s, u"요청자"_s);
    live.service.makeFriends(live.me, live.peer);
    const QUuid requestId = live.service.addFriendRequest(asker, live.me);
    LocalStore *store = live.open();
    QVERIFY(store);
    const auto redeem
        = [&](const QUuid &owner) { await(store->redeemInvite(live.service.inviteCode(owner))); };

    redeem(live.me);
    QCOMPARE(store->notice(), u"내 초대 링크입니다."_s);
    redeem(stranger);
    QCOMPARE(store->notice(), u"친구 요청을 보냈습니다."_s);
    redeem(stranger);
    QCOMPARE(store->notice(), u"요청함"_s);

    redeem(live.peer);
    QCOMPARE(store->notice(), u"이미 친구입니다."_s);
    QVERIFY(store->inviteFollow());
    QCOMPARE(store->inviteFollow()->conversationId, live.room);

    redeem(asker);
    QVERIFY(store->inviteOutcome());
    QCOMPARE(store->inviteOutcome()->requestId, requestId);
    QCOMPARE(store->inviteOutcome()->userId, asker);

    store->acknowledgeNotice();
    await(store->redeemInvite(u"AAAAAAAAAAAAAAAAAAAAAAAA"_s));
    QVERIFY(store->notice().has_value()); // the service's refusal

    // A pending code waits for a complete profile, then goes to the service.
    store->setPendingInviteCode(live.service.inviteCode(live.me));
    store->acknowledgeNotice();
    store->redeemPendingInvite();
    QCOMPARE(store->pendingInviteCode(), std::nullopt);
    QTRY_COMPARE(store->notice(), u"내 초대 링크입니다."_s);
}

void TestStoreLocal::uploadDeviceNeedsACompleteProfile()
{
    LivePair live;
    LocalStore *store = live.signIn();
    QVERIFY(store);
    live.service.clearRecords();
    const QString devices = u"/v1/me/devices"_s;
    await(store->uploadDevice()); // no session in the store yet
    QCOMPARE(live.countRequests(u"PUT"_s, devices), 0);
    store->apply(*store->client()->currentUser(), std::nullopt);
    store->setApnsToken(u"00ff"_s);
    store->setNotificationPreview(false);
    await(store->uploadDevice());
    QCOMPARE(live.countRequests(u"PUT"_s, devices), 1);
    const QJsonObject body = live.lastBody(u"PUT"_s, devices);
    QCOMPARE(body.value(u"apns_token"_s), QJsonValue(u"00ff"_s));
    QCOMPARE(body.value(u"preview_enabled"_s), QJsonValue(false));

    live.service.failNext(u"PUT"_s, devices, 1, 500, u"x"_s, u"기기를 등록하지 못했습니다."_s);
    await(store->uploadDevice());
    QCOMPARE(store->notice(), u"기기를 등록하지 못했습니다."_s);
}

QTEST_MAIN(TestStoreLocal)
#include "tst_store_local.moc"
