#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

// The handler in place for `number` now.
void (*handlerOf(int number))(int)
{
    struct sigaction current
    {
    };
    ::sigaction(number, nullptr, &current);
    return current.sa_handler;
}

} // namespace

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsThroughTheLoopAndTheSocketGoes_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("Ctrl+C") << SIGINT;
        QTest::newRow("kill") << SIGTERM;
    }
    void signalEndsThroughTheLoopAndTheSocketGoes()
    {
        QFETCH(int, number);
        // What was there before comes back when the watcher goes.
        ::signal(SIGINT, SIG_IGN);
        ::signal(SIGTERM, SIG_IGN);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zumo"));
        auto instance = std::make_unique<SingleInstance>();
        QVERIFY(instance->tryBecomePrimary(path));
        QVERIFY(QFile::exists(path));
        {
            TerminationSignals termination;
            QVERIFY(termination.isWatching());
            // As the program does: the signal ends the loop, and the instance goes with it.
            QSignalSpy received(&termination, &TerminationSignals::received);
            connect(&termination, &TerminationSignals::received, this,
                    [&instance] { instance.reset(); });
            QVERIFY(::raise(number) == 0);
            QTRY_COMPARE(received.size(), 1);
            QCOMPARE(received.first().first().toInt(), number);
            QVERIFY(!QFile::exists(path));
            // A second signal takes the way it would have taken without the watcher.
            QVERIFY(handlerOf(number) == SIG_IGN);
            QVERIFY(::raise(number) == 0);
            QTest::qWait(20);
            QCOMPARE(received.size(), 1);
        }
        QVERIFY(handlerOf(SIGINT) == SIG_IGN);
        QVERIFY(handlerOf(SIGTERM) == SIG_IGN);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);

        // The next launch finds the name free and takes it.
        SingleInstance next;
        QVERIFY(next.tryBecomePrimary(path));
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
