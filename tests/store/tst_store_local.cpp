// The local modes' official messages and direct rooms, and the invite and device halves of
// the live mode.

#include "StoreTestSupport.h"

#include "model/SeedID.h"

#include <QTest>

class TestStoreLocal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init()
    {
        clearDefaults();
        PushCenter::reset();
    }

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
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), QStringLiteral("x"),
                                           MessageOrigin::broadcast, false, std::nullopt),
             std::nullopt); // nobody to deliver to
    signInLocally(*store);
    const std::optional<QUuid> first
        = store->receiveOfficialMessage(SeedID::quillo(), QStringLiteral("공지"),
                                        MessageOrigin::broadcast, false, QStringLiteral("k1"));
    QVERIFY(first);
    const ChatMessage m = *store->message(*first);
    QCOMPARE(m.origin, MessageOrigin::broadcast);
    QCOMPARE(m.senderId, SeedID::quillo());
    QCOMPARE(m.seq, 1);
    QVERIFY(m.id != m.clientMsgId);
    QCOMPARE(store->unreadCount(*store->conversation(m.conversationId)), 1);

    // At most once per key.
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), QStringLiteral("공지"),
                                           MessageOrigin::broadcast, false, QStringLiteral("k1")),
             std::nullopt);
    // Opted out: only when the sender insists.
    store->setOptOutLocal(SeedID::quillo(), true);
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), QStringLiteral("b"),
                                           MessageOrigin::broadcast, false, std::nullopt),
             std::nullopt);
    QVERIFY(store->receiveOfficialMessage(SeedID::quillo(), QStringLiteral("c"),
                                          MessageOrigin::system, true, std::nullopt));
    store->setBlocks({SeedID::quillo()});
    QCOMPARE(store->receiveOfficialMessage(SeedID::quillo(), QStringLiteral("d"),
                                           MessageOrigin::system, true, std::nullopt),
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
    store->appendSystem(roomId, QStringLiteral("x"), true); // signed out: nothing
    QVERIFY(store->messages().isEmpty());
    const QUuid me = signInLocally(*store);
    store->setFriends({FriendLink{SeedID::sora(), FriendState::friends}});
    const QUuid direct = *store->openDirect(SeedID::sora());
    Conversation c = *store->conversation(direct);
    c.hiddenFromList = true;
    store->replaceConversation(c);
    store->appendSystem(direct, QStringLiteral("한소라님이 들어왔습니다."), false);
    QVERIFY(store->conversation(direct)->hiddenFromList);
    store->appendSystem(direct, QStringLiteral("둘"), true);
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
    QCOMPARE(store->notice(), QStringLiteral("내 초대 링크입니다."));
    store->setPendingInviteCode(QStringLiteral("someone-elses-code"));
    store->redeemPendingInvite();
    QCOMPARE(store->notice(), QStringLiteral("친구 요청을 보냈습니다."));
}

void TestStoreLocal::redeemInviteAnswers()
{
    LiveRig rig;
    QVERIFY(rig.started);
    const QUuid meId = rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    const QUuid stranger = rig.addUser(QStringLiteral("stranger"), QStringLiteral("낯선이"));
    const QUuid friendId = rig.addUser(QStringLiteral("friend_user"), QStringLiteral("친구"));
    const QUuid asker = rig.addUser(QStringLiteral("asker"), QStringLiteral("요청자"));
    rig.service.makeFriends(meId, friendId);
    const QUuid sharedRoom = rig.service.addDirectRoom(meId, friendId);
    const QUuid requestId = rig.service.addFriendRequest(asker, meId);
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    LiveRig::adopt(*store);

    await(store->redeemInvite(rig.service.inviteCode(meId)));
    QCOMPARE(store->notice(), QStringLiteral("내 초대 링크입니다."));
    await(store->redeemInvite(rig.service.inviteCode(stranger)));
    QCOMPARE(store->notice(), QStringLiteral("친구 요청을 보냈습니다."));
    await(store->redeemInvite(rig.service.inviteCode(stranger)));
    QCOMPARE(store->notice(), QStringLiteral("요청함"));

    await(store->redeemInvite(rig.service.inviteCode(friendId)));
    QCOMPARE(store->notice(), QStringLiteral("이미 친구입니다."));
    QVERIFY(store->inviteFollow());
    QCOMPARE(store->inviteFollow()->conversationId, sharedRoom);

    await(store->redeemInvite(rig.service.inviteCode(asker)));
    QVERIFY(store->inviteOutcome());
    QCOMPARE(store->inviteOutcome()->requestId, requestId);
    QCOMPARE(store->inviteOutcome()->userId, asker);

    store->acknowledgeNotice();
    await(store->redeemInvite(QStringLiteral("AAAAAAAAAAAAAAAAAAAAAAAA")));
    QVERIFY(store->notice().has_value()); // the service's refusal

    // A pending code waits for a complete profile, then goes to the service.
    store->setPendingInviteCode(rig.service.inviteCode(meId));
    store->acknowledgeNotice();
    store->redeemPendingInvite();
    QCOMPARE(store->pendingInviteCode(), std::nullopt);
    QTRY_COMPARE(store->notice(), QStringLiteral("내 초대 링크입니다."));
}

void TestStoreLocal::uploadDeviceNeedsACompleteProfile()
{
    LiveRig rig;
    QVERIFY(rig.started);
    rig.addUser(QStringLiteral("me_user"), QStringLiteral("나"));
    auto store = rig.signedInStore(QStringLiteral("me_user@example.com"));
    QVERIFY(store);
    rig.service.clearRecords();
    await(store->uploadDevice()); // no session in the store yet
    QCOMPARE(rig.countRequests(QStringLiteral("PUT"), QStringLiteral("/v1/me/devices")), 0);
    store->apply(*store->client()->currentUser(), std::nullopt);
    store->setApnsToken(QStringLiteral("00ff"));
    store->setNotificationPreview(false);
    await(store->uploadDevice());
    QCOMPARE(rig.countRequests(QStringLiteral("PUT"), QStringLiteral("/v1/me/devices")), 1);
    const QByteArray body = rig.service.requests().last().body;
    QVERIFY(body.contains("\"apns_token\":\"00ff\""));
    QVERIFY(body.contains("\"preview_enabled\":false"));

    rig.service.failNext(QStringLiteral("PUT"), QStringLiteral("/v1/me/devices"), 1, 500,
                         QStringLiteral("x"), QStringLiteral("기기를 등록하지 못했습니다."));
    await(store->uploadDevice());
    QCOMPARE(store->notice(), QStringLiteral("기기를 등록하지 못했습니다."));
}

QTEST_MAIN(TestStoreLocal)
#include "tst_store_local.moc"
