#include "platform/UnityLauncherBadge.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString listenerBus = QStringLiteral("badge-listener");
}

// Stands in for a desktop launcher: records every Update signal it hears.
class LauncherListener : public QObject
{
    Q_OBJECT
public:
    QList<std::pair<QString, QVariantMap>> updates;
public slots:
    void update(const QString &appUri, const QVariantMap &properties)
    {
        updates.append({appUri, properties});
    }
};

class TestLauncherBadge : public QObject
{
    Q_OBJECT

    LauncherListener launcher;

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus (run the tests under dbus-run-session)");
        QDBusConnection bus
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, listenerBus);
        QVERIFY(bus.isConnected());
        QVERIFY(bus.connect(QString(), UnityLauncherBadge::objectPath(),
                            QStringLiteral("com.canonical.Unity.LauncherEntry"),
                            QStringLiteral("Update"), &launcher,
                            SLOT(update(QString, QVariantMap))));
    }
    void cleanupTestCase() { QDBusConnection::disconnectFromBus(listenerBus); }
    void init() { launcher.updates.clear(); }

    void totalIsSent_data()
    {
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<bool>("visible");
        QTest::newRow("no badge") << qint64(0) << qint64(0) << false;
        QTest::newRow("one") << qint64(1) << qint64(1) << true;
        // The launcher prints its own number: no "99+" cap.
        QTest::newRow("more than ninety-nine") << qint64(1234) << qint64(1234) << true;
        QTest::newRow("negative") << qint64(-3) << qint64(0) << false;
    }
    void totalIsSent()
    {
        QFETCH(qint64, total);
        QFETCH(qint64, count);
        QFETCH(bool, visible);

        UnityLauncherBadge badge;
        badge.setCount(total);
        QCOMPARE(badge.count(), count);
        QTRY_COMPARE(launcher.updates.size(), 1);

        const auto &[uri, properties] = launcher.updates.first();
        QCOMPARE(uri, QStringLiteral("application://zumo.desktop"));
        const QVariant sentCount = properties.value(QStringLiteral("count"));
        // Launchers read "count" as a 64-bit integer ('x'); an 'i' is ignored by some of them.
        QCOMPARE(sentCount.metaType(), QMetaType::fromType<qlonglong>());
        QCOMPARE(sentCount.toLongLong(), count);
        QCOMPARE(properties.value(QStringLiteral("count-visible")), QVariant(visible));
    }

    void everyChangeIsSent()
    {
        UnityLauncherBadge badge(QStringLiteral("other.desktop"));
        badge.setCount(3);
        badge.setCount(0);
        QTRY_COMPARE(launcher.updates.size(), 2);
        QCOMPARE(launcher.updates[0].first, QStringLiteral("application://other.desktop"));
        QCOMPARE(launcher.updates[1].second.value(QStringLiteral("count-visible")),
                 QVariant(false));
    }

    void noBusIsQuiet()
    {
        const QString name = QStringLiteral("no-bus");
        {
            UnityLauncherBadge badge(
                QStringLiteral("zumo.desktop"),
                QDBusConnection::connectToBus(
                    QStringLiteral("unix:path=/nonexistent/zumo-test-bus"), name));
            badge.setCount(5);
            QCOMPARE(badge.count(), 5);
        }
        QDBusConnection::disconnectFromBus(name);
    }
};

QTEST_GUILESS_MAIN(TestLauncherBadge)
#include "tst_launcherbadge.moc"
