#include "platform/PushCenter.h"

#include <QTest>

#include <vector>

namespace {

struct Opened
{
    QUuid conversationId;
    std::optional<QUuid> messageId;
};

const QUuid roomA = QUuid::fromString(QStringLiteral("6f1c1a52-7d1e-4a43-9d7e-2f7d1b0c1a01"));
const QUuid roomB = QUuid::fromString(QStringLiteral("6f1c1a52-7d1e-4a43-9d7e-2f7d1b0c1a02"));
const QUuid message = QUuid::fromString(QStringLiteral("0b8e0c2a-3c55-4a53-8f3e-95d1f0a0b003"));

QVariantMap tap(const QVariant &conversation, const QVariant &messageId = QVariant())
{
    QVariantMap info;
    if (conversation.isValid())
        info.insert(QStringLiteral("conversation_id"), conversation);
    if (messageId.isValid())
        info.insert(QStringLiteral("message_id"), messageId);
    return info;
}

} // namespace

class TestPushCenter : public QObject
{
    Q_OBJECT

    std::vector<Opened> opened;

    void listen()
    {
        PushCenter::onOpen = [this](QUuid c, std::optional<QUuid> m) { opened.push_back({c, m}); };
    }

private slots:
    void init()
    {
        PushCenter::reset();
        opened.clear();
    }
    void cleanup() { PushCenter::reset(); }

    void userInfoIsParsed_data()
    {
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<bool>("delivered");
        QTest::addColumn<QString>("messageId"); // "" = none

        const QString a = roomA.toString(QUuid::WithoutBraces);
        const QString m = message.toString(QUuid::WithoutBraces);
        QTest::newRow("room and message") << tap(a, m) << true << m;
        QTest::newRow("room only") << tap(a) << true << QString();
        QTest::newRow("upper-case room") << tap(a.toUpper(), m.toUpper()) << true << m;
        QTest::newRow("room as QUuid") << tap(QVariant::fromValue(roomA)) << true << QString();
        QTest::newRow("bad message id still opens the room")
            << tap(a, QStringLiteral("nope")) << true << QString();
        QTest::newRow("nil message id is no message")
            << tap(a, QUuid().toString()) << true << QString();
        QTest::newRow("no room") << tap(QVariant(), m) << false << QString();
        QTest::newRow("empty room") << tap(QString()) << false << QString();
        QTest::newRow("garbage room") << tap(QStringLiteral("room-1")) << false << QString();
        QTest::newRow("truncated room") << tap(a.left(35)) << false << QString();
        QTest::newRow("nil room") << tap(QUuid().toString(QUuid::WithoutBraces)) << false
                                  << QString();
        QTest::newRow("number room") << tap(42) << false << QString();
    }
    void userInfoIsParsed()
    {
        QFETCH(QVariantMap, userInfo);
        QFETCH(bool, delivered);
        QFETCH(QString, messageId);

        listen();
        PushCenter::handleTap(userInfo);
        QCOMPARE(opened.size(), delivered ? 1u : 0u);
        QVERIFY(!PushCenter::hasWaitingTap());
        if (!delivered)
            return;
        QCOMPARE(opened[0].conversationId, roomA);
        QCOMPARE(opened[0].messageId.has_value(), !messageId.isEmpty());
        if (!messageId.isEmpty())
            QCOMPARE(*opened[0].messageId, QUuid::fromString(messageId));
    }

    void latestTapWaitsAndFlushDeliversItOnce()
    {
        PushCenter::handleTap(roomA, message);
        PushCenter::handleTap(roomB, std::nullopt);
        // A tap without a room does not replace the waiting one.
        PushCenter::handleTap(tap(QStringLiteral("junk")));
        QVERIFY(PushCenter::hasWaitingTap());

        PushCenter::flush(); // no hook yet: the tap keeps waiting
        QVERIFY(PushCenter::hasWaitingTap());

        listen();
        QVERIFY(opened.empty()); // setting the hook alone delivers nothing
        PushCenter::flush();
        QCOMPARE(opened.size(), 1u);
        QCOMPARE(opened[0].conversationId, roomB);
        QVERIFY(!opened[0].messageId);

        PushCenter::flush();
        QCOMPARE(opened.size(), 1u);
    }

    void tapWithHookSupersedesWaitingTap()
    {
        PushCenter::handleTap(roomA, message);
        listen();
        PushCenter::handleTap(roomB, std::nullopt);
        PushCenter::flush();
        QCOMPARE(opened.size(), 1u);
        QCOMPARE(opened[0].conversationId, roomB);
    }

    void hookMayReplaceItselfWhileRunning()
    {
        int calls = 0;
        PushCenter::onOpen = [&calls](QUuid, std::optional<QUuid>) {
            ++calls;
            PushCenter::onOpen = nullptr;
        };
        PushCenter::handleTap(roomA, std::nullopt);
        QCOMPARE(calls, 1);
        // With the hook gone the next tap waits again.
        PushCenter::handleTap(roomB, std::nullopt);
        QVERIFY(PushCenter::hasWaitingTap());
    }

    void registrationHandsOutNoToken()
    {
        int tokens = 0;
        PushCenter::onToken = [&tokens](QString) { ++tokens; };
        PushCenter::registerForNotifications();
        QCoreApplication::processEvents();
        QCOMPARE(tokens, 0);
    }

    void soundAllowedDefaultsToTrue()
    {
        QVERIFY(PushCenter::soundAllowed());
        PushCenter::allowsSound = [] { return false; };
        QVERIFY(!PushCenter::soundAllowed());
    }
};

QTEST_GUILESS_MAIN(TestPushCenter)
#include "tst_pushcenter.moc"
