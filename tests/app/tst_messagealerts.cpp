#include "AppTestSupport.h"

#include "app/MessageAlerts.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

Account person(const QString &handle, const QString &name)
{
    Account a;
    a.id = QUuid::createUuid();
    a.handle = handle;
    a.displayName = name;
    return a;
}

Conversation roomWith(ConversationKind kind, const QList<QUuid> &members, const QString &title = {})
{
    Conversation c;
    c.id = QUuid::createUuid();
    c.kind = kind;
    c.title = title;
    const QDateTime joined = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    for (const QUuid &user : members)
        c.memberships.append(Membership{user, MemberRole::member, 0, joined, std::nullopt});
    c.createdAt = joined;
    c.updatedAt = joined;
    return c;
}

ChatMessage messageIn(const Conversation &room, const QUuid &sender, const QString &body,
                      MessageKind kind = MessageKind::text)
{
    ChatMessage m;
    m.id = QUuid::createUuid();
    m.clientMsgId = m.id;
    m.conversationId = room.id;
    m.senderId = sender;
    m.seq = 1;
    m.kind = kind;
    m.body = body;
    m.createdAt = QDateTime::currentDateTimeUtc();
    return m;
}

// Me and two peers, each in a direct room with me, signed in with notifications on, and the
// alerts shown while the window is `active`, a room's updates 100 ms apart.
struct TwoRooms
{
    TwoRooms()
    {
        store.setAccounts({me, sora, taeo});
        store.setConversations({withSora, withTaeo});
        store.setSession(AppSession{me.id, true});
        alerts.setUpdateInterval(100ms);
    }
    void fromSora(const QString &body) { alerts.consider(messageIn(withSora, sora.id, body)); }
    QStringList bodies() const
    {
        QStringList list;
        for (const MessageAlert &alert : seen)
            list.append(alert.body);
        return list;
    }
    LocalStore store{false, 20ms, nullptr};
    Account me = person(QStringLiteral("me"), QStringLiteral("나"));
    Account sora = person(QStringLiteral("sora"), QStringLiteral("한소라"));
    Account taeo = person(QStringLiteral("taeo"), QStringLiteral("정태오"));
    Conversation withSora = roomWith(ConversationKind::direct, {me.id, sora.id});
    Conversation withTaeo = roomWith(ConversationKind::direct, {me.id, taeo.id});
    bool active = false;
    QList<MessageAlert> seen;
    MessageAlerts alerts{&store, [this] { return active; },
                         [this](const MessageAlert &alert) { seen.append(alert); }};
};

} // namespace

// Which incoming messages become a desktop notification, and what it says.
class TestMessageAlerts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void cleanup() { PushCenter::reset(); }

    void decision_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("withSound");

        const QString hello = QStringLiteral("안녕하세요");
        QTest::newRow("peer's message, window in the background")
            << "plain" << true << "한소라" << hello << true;
        QTest::newRow("my own message") << "mine" << false << ""
                                        << "" << false;
        QTest::newRow("muted room") << "muted" << false << ""
                                    << "" << false;
        QTest::newRow("notifications switched off") << "off" << false << ""
                                                    << "" << false;
        QTest::newRow("preview off: generic line")
            << "noPreview" << true << "한소라" << MessageAlerts::genericBody() << true;
        QTest::newRow("sound switched off") << "noSound" << true << "한소라" << hello << false;
        QTest::newRow("active window shows that room") << "roomOpen" << false << ""
                                                       << "" << false;
        QTest::newRow("active window shows another room: quiet notification")
            << "otherRoomOpen" << true << "한소라" << hello << false;
        QTest::newRow("room on screen but window in the background")
            << "roomOpenInactive" << true << "한소라" << hello << true;
        QTest::newRow("blocked sender") << "blocked" << false << ""
                                        << "" << false;
        QTest::newRow("system line") << "system" << false << ""
                                     << "" << false;
        QTest::newRow("signed out") << "signedOut" << false << ""
                                    << "" << false;
        QTest::newRow("profile not complete") << "incomplete" << false << ""
                                              << "" << false;
        QTest::newRow("group: room title and sender")
            << "group" << true << "주말 모임 / 한소라" << hello << true;
        QTest::newRow("empty body shows the generic line")
            << "emptyBody" << true << "한소라" << MessageAlerts::genericBody() << true;
        QTest::newRow("unknown room still notifies with the sender's name")
            << "unknownRoom" << true << "한소라" << hello << true;
    }
    void decision()
    {
        QFETCH(QString, situation);
        QFETCH(bool, shown);
        QFETCH(QString, title);
        QFETCH(QString, body);
        QFETCH(bool, withSound);

        LocalStore store(false, 20ms, nullptr);
        const Account me = person(QStringLiteral("me"), QStringLiteral("나"));
        const Account sora = person(QStringLiteral("sora"), QStringLiteral("한소라"));
        store.setAccounts({me, sora});
        Conversation direct = roomWith(ConversationKind::direct, {me.id, sora.id});
        Conversation group
            = roomWith(ConversationKind::group, {me.id, sora.id}, QStringLiteral("주말 모임"));
        const Conversation other = roomWith(ConversationKind::direct, {me.id});
        if (situation == QLatin1String("muted"))
            direct.muted = true;
        store.setConversations({direct, group, other});
        store.setSession(AppSession{me.id, situation != QLatin1String("incomplete")});
        if (situation == QLatin1String("signedOut"))
            store.setSession(std::nullopt);
        store.setNotificationsEnabled(situation != QLatin1String("off"));
        store.setNotificationPreview(situation != QLatin1String("noPreview"));
        PushCenter::allowsSound = [situation] { return situation != QLatin1String("noSound"); };
        if (situation == QLatin1String("blocked"))
            store.setBlocks({sora.id});

        bool windowActive = false;
        if (situation == QLatin1String("roomOpen")) {
            windowActive = true;
            store.setVisibleRoomID(direct.id);
        } else if (situation == QLatin1String("otherRoomOpen")) {
            windowActive = true;
            store.setVisibleRoomID(other.id);
        } else if (situation == QLatin1String("roomOpenInactive")) {
            store.setVisibleRoomID(direct.id);
        }

        Conversation target = situation == QLatin1String("group") ? group : direct;
        if (situation == QLatin1String("unknownRoom"))
            target = roomWith(ConversationKind::direct, {me.id, sora.id});
        const QUuid sender = situation == QLatin1String("mine") ? me.id : sora.id;
        const MessageKind kind
            = situation == QLatin1String("system") ? MessageKind::system : MessageKind::text;
        const QString text = situation == QLatin1String("emptyBody") ? QStringLiteral("  ")
                                                                     : QStringLiteral("안녕하세요");
        const ChatMessage message = messageIn(target, sender, text, kind);

        const auto alert = MessageAlerts::alertFor(store, message, windowActive);
        QCOMPARE(alert.has_value(), shown);
        if (!alert)
            return;
        QCOMPARE(alert->title, title);
        QCOMPARE(alert->body, body);
        QCOMPARE(alert->withSound, withSound);
        QCOMPARE(alert->conversationId, target.id);
        QCOMPARE(alert->messageId, std::optional<QUuid>(message.id));
    }

    void longTextsAreCut_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("shownTitle");
        QTest::addColumn<QString>("shownBody");
        const QString thumb = QStringLiteral("\U0001F44D\U0001F3FD");
        QTest::newRow("at the limits")
            << QString(64, u'가') << QString(200, u'x') << QString(64, u'가') << QString(200, u'x');
        QTest::newRow("one over") << QString(65, u'가') << QString(201, u'x')
                                  << QString(63, u'가') + u'…' << QString(199, u'x') + u'…';
        QTest::newRow("whole emoji") << QString(12, u'a') << thumb.repeated(300)
                                     << QString(12, u'a') << thumb.repeated(199) + u'…';
    }
    void longTextsAreCut()
    {
        QFETCH(QString, title);
        QFETCH(QString, body);
        QFETCH(QString, shownTitle);
        QFETCH(QString, shownBody);
        LocalStore store(false, 20ms, nullptr);
        const Account me = person(QStringLiteral("me"), QStringLiteral("나"));
        const Account sora = person(QString(), QString()); // no name: the room's title alone
        store.setAccounts({me, sora});
        const Conversation group = roomWith(ConversationKind::group, {me.id, sora.id}, title);
        store.setConversations({group});
        store.setSession(AppSession{me.id, true});
        const auto alert = MessageAlerts::alertFor(store, messageIn(group, sora.id, body), false);
        QVERIFY(alert);
        QCOMPARE(alert->title, shownTitle);
        QCOMPARE(alert->body, shownBody);
    }

    // The body is one line with no control left to turn it around (the rules of such a line
    // are tst_uiformatting's); the cut keeps an address isolated.
    void bodyReadsAsItIs_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("shown");
        const QString lri(QChar(0x2066));
        const QString pdi(QChar(0x2069));
        QTest::newRow("lines folded, override dropped")
            << u"확인\r\nhttps://bank.com\n\n\u202Elogin"_s << u"확인 https://bank.com login"_s;
        QTest::newRow("cut before the address is isolated")
            << QString(180, QChar(0x05E9)) + u" https://a.example/abcdefghij"_s
            << QString(180, QChar(0x05E9)) + u" "_s + lri + u"https://a.example/"_s + pdi + u"…"_s;
        QTest::newRow("controls alone: the generic line")
            << u"\u202E\n\u2066"_s << MessageAlerts::genericBody();
    }
    void bodyReadsAsItIs()
    {
        QFETCH(QString, body);
        QFETCH(QString, shown);
        TwoRooms rig;
        const auto alert
            = MessageAlerts::alertFor(rig.store, messageIn(rig.withSora, rig.sora.id, body), false);
        QVERIFY(alert);
        QCOMPARE(alert->body, shown);
    }

    // A burst in a room: the first message shows at once, only the last of the rest when the
    // interval ends; other rooms are not held up, and after a quiet interval the next shows at
    // once.
    void aBurstUpdatesTheRoomOnce()
    {
        TwoRooms rig;
        for (int i = 1; i <= 50; ++i)
            rig.fromSora(QString::number(i));
        QCOMPARE(rig.bodies(), QStringList{u"1"_s});
        rig.alerts.consider(messageIn(rig.withTaeo, rig.taeo.id, u"다른 방"_s));
        QCOMPARE(rig.bodies(), (QStringList{u"1"_s, u"다른 방"_s}));
        QTRY_COMPARE(rig.seen.size(), 3);
        QCOMPARE(rig.seen.last().body, u"50"_s);
        QCOMPARE(rig.seen.last().conversationId, rig.withSora.id);

        QTest::qWait(500);
        QCOMPARE(rig.seen.size(), 3);
        rig.fromSora(u"다시"_s);
        QCOMPARE(rig.bodies(), (QStringList{u"1"_s, u"다른 방"_s, u"50"_s, u"다시"_s}));
    }

    // A steady flood over many intervals makes about one update an interval, not one a message,
    // and the one after it ends shows the last message.
    void aFloodIsPaced()
    {
        TwoRooms rig;
        constexpr auto interval = 50ms;
        rig.alerts.setUpdateInterval(interval);
        QElapsedTimer clock;
        clock.start();
        int sent = 0;
        while (clock.elapsed() < 500) {
            rig.fromSora(QString::number(++sent));
            QTest::qWait(2);
        }
        const qint64 elapsed = clock.elapsed();
        const qsizetype calls = rig.seen.size();
        QVERIFY2(sent > 40, qPrintable(QString::number(sent)));
        // Timers may fire a little early (coarse timers by up to 5%), never much.
        QVERIFY2(
            calls <= 1 + elapsed / (interval.count() * 9 / 10),
            qPrintable(u"%1 calls for %2 messages in %3 ms"_s.arg(calls).arg(sent).arg(elapsed)));
        QTRY_COMPARE(rig.seen.last().body, QString::number(sent));
    }

    // A room opened in the active window while a message waits: the waiting one is never shown,
    // and the room's next message after leaving it shows at once. One's own never shows.
    void aRoomSeenDropsWhatWaits()
    {
        TwoRooms rig;
        rig.fromSora(u"하나"_s);
        rig.alerts.consider(messageIn(rig.withTaeo, rig.me.id, u"내 글"_s));
        rig.fromSora(u"둘"_s);
        rig.active = true;
        rig.store.setVisibleRoomID(rig.withSora.id);
        rig.store.setVisibleRoomID(rig.withTaeo.id);
        rig.fromSora(u"셋"_s);
        QCOMPARE(rig.bodies(), (QStringList{u"하나"_s, u"셋"_s}));
        QTest::qWait(400);
        QCOMPARE(rig.bodies(), (QStringList{u"하나"_s, u"셋"_s}));
    }

    // A room's notification goes once the room is on screen in the active window.
    void seenRoomsAreWithdrawn()
    {
        LocalStore store(false, 20ms, nullptr);
        const Account me = person(QStringLiteral("me"), QStringLiteral("나"));
        store.setAccounts({me});
        const Conversation one = roomWith(ConversationKind::direct, {me.id});
        const Conversation two = roomWith(ConversationKind::direct, {me.id});
        store.setConversations({one, two});
        store.setSession(AppSession{me.id, true});

        QList<QUuid> withdrawn;
        bool active = false;
        MessageAlerts alerts(
            &store, [&active] { return active; }, nullptr,
            [&withdrawn](const QUuid &room) { withdrawn.append(room); });
        store.setVisibleRoomID(one.id); // the window is in the background
        QVERIFY(withdrawn.isEmpty());
        active = true;
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        QTRY_COMPARE(withdrawn, QList<QUuid>{one.id});
        store.setVisibleRoomID(two.id);
        store.setVisibleRoomID(std::nullopt);
        QCOMPARE(withdrawn, (QList<QUuid>{one.id, two.id}));
    }
};

QTEST_MAIN(TestMessageAlerts)
#include "tst_messagealerts.moc"
