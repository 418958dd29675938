#include "platform/DesktopNotifier.h"
#include "platform/PushCenter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
const QString fakeBusName = QStringLiteral("fake-notification-server");

const QUuid room = QUuid::fromString(QStringLiteral("6f1c1a52-7d1e-4a43-9d7e-2f7d1b0c1a01"));
const QUuid message = QUuid::fromString(QStringLiteral("0b8e0c2a-3c55-4a53-8f3e-95d1f0a0b003"));

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
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Call> calls;
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions"),
                             QStringLiteral("body-markup")};
    uint nextId = 41;

public slots:
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int)
    {
        calls.append({app, icon, summary, body, actions, hints});
        return nextId++;
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
        notifier.present(QStringLiteral("a"), body, room, std::nullopt, true);
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
        notifier.present(QStringLiteral("a"), QString(), room, std::nullopt, true);
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
