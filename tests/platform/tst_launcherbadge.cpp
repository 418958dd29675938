#include "platform/LauncherBadge.h"

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString listenerBus = QStringLiteral("badge-listener");
}

// Stands in for a dock: records every Update signal it hears.
class DockListener : public QObject
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

    DockListener dock;

private slots:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus (run the tests under dbus-run-session)");
        QDBusConnection bus
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, listenerBus);
        QVERIFY(bus.isConnected());
        QVERIFY(bus.connect(QString(), LauncherBadge::objectPath(),
                            QStringLiteral("com.canonical.Unity.LauncherEntry"),
                            QStringLiteral("Update"), &dock, SLOT(update(QString, QVariantMap))));
    }
    void cleanupTestCase() { QDBusConnection::disconnectFromBus(listenerBus); }
    void init() { dock.updates.clear(); }

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

        LauncherBadge badge;
        badge.setCount(total);
        QCOMPARE(badge.count(), count);
        QTRY_COMPARE(dock.updates.size(), 1);

        const auto &[uri, properties] = dock.updates.first();
        QCOMPARE(uri, QStringLiteral("application://zumo.desktop"));
        const QVariant sentCount = properties.value(QStringLiteral("count"));
        // Docks read "count" as a 64-bit integer ('x'); an 'i' is ignored by some of them.
        QCOMPARE(sentCount.metaType(), QMetaType::fromType<qlonglong>());
        QCOMPARE(sentCount.toLongLong(), count);
        QCOMPARE(properties.value(QStringLiteral("count-visible")), QVariant(visible));
    }

    void everyChangeIsSent()
    {
        LauncherBadge badge(QStringLiteral("other.desktop"));
        badge.setCount(3);
        badge.setCount(0);
        QTRY_COMPARE(dock.updates.size(), 2);
        QCOMPARE(dock.updates[0].first, QStringLiteral("application://other.desktop"));
        QCOMPARE(dock.updates[1].second.value(QStringLiteral("count-visible")), QVariant(false));
    }

    void noBusIsQuiet()
    {
        const QString name = QStringLiteral("no-bus");
        {
            LauncherBadge badge(QStringLiteral("zumo.desktop"),
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
