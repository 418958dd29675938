#include "platform/DesktopNotifier.h"
#include "platform/PushCenter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString fakeBusName = QStringLiteral("fake-notification-server");

const QUuid room = QUuid::fromString(QStringLiteral("6f1c1a52-7d1e-4a43-9d7e-2f7d1b0c1a01"));
const QUuid message = QUuid::fromString(QStringLiteral("0b8e0c2a-3c55-4a53-8f3e-95d1f0a0b003"));
const QUuid otherRoom = QUuid::fromString(QStringLiteral("6f1c1a52-7d1e-4a43-9d7e-2f7d1b0c1a02"));

} // namespace

// A notification server on its own bus connection, the way a desktop runs one.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString app;
        uint replaces = 0;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Call> calls;
    QList<uint> closeCalls;
    QSet<uint> onScreen;
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions"),
                             QStringLiteral("body-markup")};
    uint nextId = 41;

    // What a user's click on the close box does.
    void dismiss(uint id)
    {
        onScreen.remove(id);
        emit NotificationClosed(id, 2);
    }

public slots:
    // As desktop servers do: a notification still on screen is replaced under its own id; a
    // replaces_id that is gone makes a new one.
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int)
    {
        calls.append({app, replaces, icon, summary, body, actions, hints});
        const uint id = onScreen.contains(replaces) ? replaces : nextId++;
        onScreen.insert(id);
        return id;
    }
    void CloseNotification(uint id)
    {
        closeCalls.append(id);
        if (onScreen.remove(id))
            emit NotificationClosed(id, 3);
    }
    QStringList GetCapabilities() { return capabilities; }

signals:
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);
};

class TestDesktopNotifier : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeNotifications> fake;
    QList<std::pair<QUuid, std::optional<QUuid>>> opened;

    static QDBusConnection fakeBus() { return QDBusConnection(fakeBusName); }

    void startServer()
    {
        fake = std::make_unique<FakeNotifications>();
        QVERIFY(fakeBus().registerObject(objectPath, fake.get(),
                                         QDBusConnection::ExportAllSlots
                                             | QDBusConnection::ExportAllSignals));
        QVERIFY(fakeBus().registerService(serviceName));
    }

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus (run the tests under dbus-run-session)");
        QVERIFY(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, fakeBusName).isConnected());
    }
    void cleanupTestCase() { QDBusConnection::disconnectFromBus(fakeBusName); }

    void init()
    {
        PushCenter::reset();
        opened.clear();
        PushCenter::onOpen = [this](QUuid c, std::optional<QUuid> m) { opened.append({c, m}); };
    }
    void cleanup()
    {
        PushCenter::reset();
        if (fake) {
            fakeBus().unregisterService(serviceName);
            fakeBus().unregisterObject(objectPath);
            fake.reset();
        }
    }

    void notifyCarriesTextActionAndSound_data()
    {
        QTest::addColumn<bool>("withSound");
        QTest::addColumn<QString>("body");
        QTest::newRow("with sound") << true << QStringLiteral("안녕하세요");
        QTest::newRow("silent, empty body") << false << QString();
    }
    void notifyCarriesTextActionAndSound()
    {
        QFETCH(bool, withSound);
        QFETCH(QString, body);
        startServer();
        DesktopNotifier notifier;
        notifier.present(QStringLiteral("민지"), body, room, message, withSound);
        QTRY_COMPARE(notifier.shownCount(), 1);

        QCOMPARE(fake->calls.size(), 1);
        const FakeNotifications::Call &call = fake->calls.first();
        QCOMPARE(call.app, QStringLiteral("Zumo"));
        QCOMPARE(call.icon, QStringLiteral("zumo")); // the installed theme icon
        QCOMPARE(call.summary, QStringLiteral("민지"));
        QCOMPARE(call.body, body);
        QVERIFY(call.actions.size() % 2 == 0);
        QCOMPARE(call.actions.value(0), QStringLiteral("default"));
        if (withSound) {
            QCOMPARE(call.hints.value(QStringLiteral("sound-name")).toString(),
                     QStringLiteral("message-new-instant"));
            QVERIFY(!call.hints.contains(QStringLiteral("suppress-sound")));
        } else {
            QCOMPARE(call.hints.value(QStringLiteral("suppress-sound")), QVariant(true));
            QVERIFY(!call.hints.contains(QStringLiteral("sound-name")));
        }
    }

    void bodyIsEscapedOnlyForMarkupServers()
    {
        startServer();
        const QString body = QStringLiteral("<b>1 < 2</b> & \"x\"");
        {
            DesktopNotifier notifier;
            notifier.present(QStringLiteral("a"), body, room, std::nullopt, true);
            QTRY_COMPARE(notifier.shownCount(), 1);
            QCOMPARE(fake->calls.last().body, body.toHtmlEscaped());
        }
        fake->capabilities = {QStringLiteral("body"), QStringLiteral("actions")};
        DesktopNotifier notifier;
        notifier.present(QStringLiteral("a"), body, room, std::nullopt, true);
        QTRY_COMPARE(notifier.shownCount(), 1);
        // The capabilities have arrived by now: a server without markup gets the text as typed.
        notifier.present(QStringLiteral("a"), body, otherRoom, std::nullopt, true);
        QTRY_COMPARE(notifier.shownCount(), 2);
        QCOMPARE(fake->calls.last().body, body);
    }

    void clickOpensTheRoom_data()
    {
        QTest::addColumn<bool>("withMessage");
        QTest::addColumn<bool>("hookSet");
        QTest::newRow("room and message") << true << true;
        QTest::newRow("room only") << false << true;
        QTest::newRow("before the store is ready") << true << false;
    }
    void clickOpensTheRoom()
    {
        QFETCH(bool, withMessage);
        QFETCH(bool, hookSet);
        startServer();
        if (!hookSet)
            PushCenter::onOpen = nullptr;
        DesktopNotifier notifier;
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        const std::optional<QUuid> messageId = withMessage ? std::optional(message) : std::nullopt;
        notifier.present(QStringLiteral("민지"), QStringLiteral("hi"), room, messageId, true);
        QTRY_COMPARE(notifier.shownCount(), 1);
        const uint id = fake->nextId - 1;

        emit fake->ActionInvoked(id, QStringLiteral("default"));
        QTRY_COMPARE(activated.size(), 1);
        if (!hookSet) {
            QVERIFY(opened.isEmpty());
            QVERIFY(PushCenter::hasWaitingTap());
            PushCenter::onOpen = [this](QUuid c, std::optional<QUuid> m) { opened.append({c, m}); };
            PushCenter::flush();
        }
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].first, room);
        QCOMPARE(opened[0].second, messageId);
    }

    void foreignAndClosedNotificationsAreIgnored()
    {
        startServer();
        DesktopNotifier notifier;
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        notifier.present(QStringLiteral("a"), QString(), otherRoom, std::nullopt, true);
        notifier.present(QStringLiteral("b"), QString(), room, message, true);
        QTRY_COMPARE(notifier.shownCount(), 2);
        const uint first = fake->nextId - 2;
        const uint second = fake->nextId - 1;

        emit fake->ActionInvoked(second + 100, QStringLiteral("default")); // another program's
        emit fake->ActionInvoked(second, QStringLiteral("reply")); // not the default action
        emit fake->NotificationClosed(first, 2);
        emit fake->ActionInvoked(first, QStringLiteral("default")); // closed already
        emit fake->ActionInvoked(second, QStringLiteral("default"));
        // Signals from one sender arrive in order: once the last one counted, the others
        // have been seen and dropped.
        QTRY_COMPARE(activated.size(), 1);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].second, std::optional(message));
        QCOMPARE(notifier.shownCount(), 1);
    }

    void oneNotificationPerRoom()
    {
        startServer();
        DesktopNotifier notifier;
        // A burst: the first goes out, the newest waits for its answer and replaces it; the
        // ones between are never shown. The other room has its own.
        for (int i = 0; i < 5; ++i)
            notifier.present(u"민지"_s, QString::number(i), room, QUuid::createUuid(), true);
        notifier.present(u"다른 방"_s, u"x"_s, otherRoom, std::nullopt, true);
        QTRY_COMPARE(fake->calls.size(), 3);
        const uint first = 41;
        QCOMPARE(fake->calls.at(1).replaces, 0u);
        QCOMPARE(fake->calls.at(2).replaces, first);
        QCOMPARE(fake->calls.at(2).body, u"4"_s);
        notifier.present(u"민지"_s, u"5"_s, room, message, true);
        QTRY_COMPARE(fake->calls.size(), 4);
        QCOMPARE(fake->calls.last().replaces, first);
        QTRY_COMPARE(notifier.pendingCount(), 0);
        QCOMPARE(notifier.shownCount(), 2);
        // The click opens the newest message.
        emit fake->ActionInvoked(first, u"default"_s);
        QTRY_COMPARE(opened.size(), 1);
        QCOMPARE(opened.first(), std::pair(room, std::optional(message)));

        // Once the user has closed it, the room's next notification is a new one.
        fake->dismiss(first);
        QTRY_COMPARE(notifier.shownCount(), 1);
        notifier.present(u"민지"_s, u"6"_s, room, message, true);
        QTRY_COMPARE(fake->calls.size(), 5);
        QCOMPARE(fake->calls.last().replaces, 0u);
    }

    void withdrawClosesTheRoomsNotification_data()
    {
        QTest::addColumn<bool>("beforeTheAnswer");
        QTest::addColumn<bool>("presentAgain");
        QTest::newRow("shown") << false << false;
        QTest::newRow("still on its way") << true << false;
        QTest::newRow("withdrawn, then a newer one") << true << true;
    }
    void withdrawClosesTheRoomsNotification()
    {
        QFETCH(bool, beforeTheAnswer);
        QFETCH(bool, presentAgain);
        startServer();
        DesktopNotifier notifier;
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        notifier.present(QStringLiteral("a"), QStringLiteral("1"), room, std::nullopt, true);
        notifier.present(QStringLiteral("b"), QStringLiteral("2"), otherRoom, std::nullopt, true);
        if (!beforeTheAnswer)
            QTRY_COMPARE(notifier.shownCount(), 2);
        notifier.withdraw(room);
        notifier.withdraw(QUuid::createUuid()); // a room without a notification: nothing
        if (presentAgain)
            notifier.present(QStringLiteral("a"), QStringLiteral("3"), room, std::nullopt, true);
        QTRY_COMPARE(notifier.pendingCount(), 0);
        QTest::qWait(50);

        const uint roomId = 41; // the room's Notify went first
        if (presentAgain) {
            // The newer notification replaced the first instead of closing it.
            QVERIFY(fake->closeCalls.isEmpty());
            QCOMPARE(fake->calls.last().replaces, roomId);
            QCOMPARE(notifier.shownCount(), 2);
            return;
        }
        QCOMPARE(fake->closeCalls, QList<uint>{roomId});
        QCOMPARE(fake->onScreen, QSet<uint>{42u});
        QCOMPARE(notifier.shownCount(), 1);
        emit fake->ActionInvoked(roomId, QStringLiteral("default"));
        QTest::qWait(50);
        QCOMPARE(activated.size(), 0);
    }

    void noServerShowsNothing()
    {
        DesktopNotifier notifier;
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        notifier.present(QStringLiteral("a"), QStringLiteral("b"), room, std::nullopt, true);
        QCOMPARE(notifier.pendingCount(), 1); // never blocks: the answer comes later
        QTRY_COMPARE(notifier.pendingCount(), 0);
        QCOMPARE(notifier.shownCount(), 0);
        QCOMPARE(activated.size(), 0);
    }

    void noBusShowsNothing()
    {
        const QString name = QStringLiteral("no-bus");
        const QDBusConnection dead = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/zumo-test-bus"), name);
        QVERIFY(!dead.isConnected());
        {
            DesktopNotifier notifier(dead);
            notifier.present(QStringLiteral("a"), QStringLiteral("b"), room, std::nullopt, true);
            QCOMPARE(notifier.pendingCount(), 0);
            QCOMPARE(notifier.shownCount(), 0);
        }
        QDBusConnection::disconnectFromBus(name);
    }

    void notifierGoneBeforeTheAnswer()
    {
        startServer();
        auto notifier = std::make_unique<DesktopNotifier>();
        notifier->present(QStringLiteral("a"), QString(), room, std::nullopt, true);
        notifier.reset();
        QTRY_COMPARE(fake->calls.size(), 1);
        emit fake->ActionInvoked(fake->nextId - 1, QStringLiteral("default"));
        QCoreApplication::processEvents();
        QVERIFY(opened.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"
