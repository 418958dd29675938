#include "platform/SystemWake.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using Reachability = QNetworkInformation::Reachability;

namespace {

// Sends logind's PrepareForSleep from `bus`.
void sendPrepareForSleep(QDBusConnection bus, bool sleeping)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s);
    signal << sleeping;
    QVERIFY(bus.send(signal));
}

} // namespace

// The wake from sleep, heard from logind on a bus of the test's own, and the network's return.
class TestSystemWake : public QObject
{
    Q_OBJECT

private slots:
    // Only the wake (not the going to sleep) counts, and only from the owner of logind's name.
    void resumeFromLogind()
    {
        // logind owns its name before anyone listens, as on a running system.
        QDBusConnection logind
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"logind"_s);
        QDBusConnection other
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"other"_s);
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s));
        SystemWake wake(QDBusConnection::sessionBus());
        QVERIFY(wake.watchesSleep());
        QSignalSpy woke(&wake, &SystemWake::woke);

        sendPrepareForSleep(other, false);
        sendPrepareForSleep(logind, true);
        sendPrepareForSleep(logind, false);
        QTRY_COMPARE(woke.size(), 1);
        QTest::qWait(100);
        QCOMPARE(woke.size(), 1);

        QDBusConnection::disconnectFromBus(u"logind"_s);
        QDBusConnection::disconnectFromBus(u"other"_s);
    }

    // Without a bus nothing is heard. Fed by hand, the wake is the end of the sleep: going to
    // sleep tells nothing, waking tells once each time (over the bus, the two come in one batch).
    void withoutABusOnlyWhatIsFedCounts()
    {
        SystemWake wake(QDBusConnection(u"no such connection"_s));
        QVERIFY(!wake.watchesSleep());
        QSignalSpy woke(&wake, &SystemWake::woke);
        for (int sleeps = 0; sleeps < 2; ++sleeps) {
            wake.prepareForSleep(true);
            QCOMPARE(woke.size(), sleeps);
            wake.prepareForSleep(false);
            QCOMPARE(woke.size(), sleeps + 1);
        }
    }

    void networkComesBack_data()
    {
        QTest::addColumn<QList<Reachability>>("steps");
        QTest::addColumn<int>("wakes");
        QTest::newRow("back online")
            << QList{Reachability::Online, Reachability::Disconnected, Reachability::Online} << 1;
        QTest::newRow("from the local network only")
            << QList{Reachability::Local, Reachability::Online} << 1;
        QTest::newRow("from the site only") << QList{Reachability::Site, Reachability::Online} << 1;
        QTest::newRow("first answer of the backend")
            << QList{Reachability::Unknown, Reachability::Online} << 0;
        QTest::newRow("going away")
            << QList{Reachability::Online, Reachability::Local, Reachability::Disconnected} << 0;
        QTest::newRow("twice away and back")
            << QList{Reachability::Online, Reachability::Disconnected, Reachability::Online,
                     Reachability::Online, Reachability::Local,        Reachability::Online}
            << 2;
    }

    void networkComesBack()
    {
        QFETCH(QList<Reachability>, steps);
        QFETCH(int, wakes);
        SystemWake wake(QDBusConnection(u"no such connection"_s));
        QSignalSpy woke(&wake, &SystemWake::woke);
        wake.reachabilityChanged(Reachability::Unknown);
        for (const Reachability step : steps)
            wake.reachabilityChanged(step);
        QCOMPARE(woke.size(), wakes);
    }
};

QTEST_GUILESS_MAIN(TestSystemWake)
#include "tst_systemwake.moc"
