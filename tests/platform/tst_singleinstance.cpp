#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString uniqueName()
{
    return QStringLiteral("zumo-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Leaves a socket file behind with nobody listening on it, as a crashed instance does.
bool makeStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    if (size_t(encoded.size()) >= sizeof(address.sun_path)) {
        ::close(fd);
        return false;
    }
    memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFile::exists(path);
}

// Writes an executable shell script.
bool writeScript(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + text) < 0)
        return false;
    file.close();
    return file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

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

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondLaunchHandsItsLinkToTheFirst_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("invite link") << QStringLiteral("https://zumo.chat/i/AbCdEfGh_1234-xyz");
        QTest::newRow("no link: show the window") << QString();
        QTest::newRow("non-ASCII") << QStringLiteral("zumo://방/초대?x=1");
    }
    void secondLaunchHandsItsLinkToTheFirst()
    {
        QFETCH(QString, link);
        const QString name = uniqueName();
        SingleInstance first;
        QVERIFY(first.tryBecomePrimary(name));
        QVERIFY(first.isPrimary());
        QSignalSpy received(&first, &SingleInstance::messageReceived);
        first.setReady();

        SingleInstance second;
        QVERIFY(!second.tryBecomePrimary(name, link));
        QVERIFY(!second.isPrimary());
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toString(), link);
    }

    void linksBeforeReadyAreKeptInOrder()
    {
        const QString name = uniqueName();
        SingleInstance first;
        QVERIFY(first.tryBecomePrimary(name));
        QSignalSpy received(&first, &SingleInstance::messageReceived);

        QVERIFY(!SingleInstance().tryBecomePrimary(name, QStringLiteral("one")));
        QVERIFY(!SingleInstance().tryBecomePrimary(name, QStringLiteral("two")));
        QTRY_COMPARE(first.waitingCount(), 2);
        QCOMPARE(received.size(), 0);

        first.setReady();
        QCOMPARE(received.size(), 2);
        QCOMPARE(received[0][0].toString(), QStringLiteral("one"));
        QCOMPARE(received[1][0].toString(), QStringLiteral("two"));
        QCOMPARE(first.waitingCount(), 0);

        QVERIFY(!SingleInstance().tryBecomePrimary(name, QStringLiteral("three")));
        QTRY_COMPARE(received.size(), 3);
        QCOMPARE(received[2][0].toString(), QStringLiteral("three"));
    }

    void staleSocketFileIsTakenOver()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("zumo.sock"));
        QVERIFY(makeStaleSocket(path));

        SingleInstance first;
        QVERIFY(first.tryBecomePrimary(path));
        QCOMPARE(first.serverPath(), path);
        QSignalSpy received(&first, &SingleInstance::messageReceived);
        first.setReady();
        QVERIFY(!SingleInstance().tryBecomePrimary(path, QStringLiteral("link")));
        QTRY_COMPARE(received.size(), 1);
    }

    void nameIsFreeAfterThePrimaryEnds()
    {
        const QString name = uniqueName();
        {
            SingleInstance first;
            QVERIFY(first.tryBecomePrimary(name));
        }
        SingleInstance next;
        QVERIFY(next.tryBecomePrimary(name));
    }

    void malformedPeersAreDropped()
    {
        const QString name = uniqueName();
        SingleInstance first;
        QVERIFY(first.tryBecomePrimary(name));
        QSignalSpy received(&first, &SingleInstance::messageReceived);
        first.setReady();

        QByteArray huge(4, '\0');
        qToBigEndian<quint32>(0xffffffffu, huge.data());
        QByteArray partial(4, '\0');
        qToBigEndian<quint32>(10u, partial.data());
        partial += "abc";
        for (const QByteArray &bytes : {huge, partial, QByteArray("\x00\x00", 2)}) {
            QLocalSocket peer;
            peer.connectToServer(first.serverPath());
            QVERIFY(peer.waitForConnected(1000));
            peer.write(bytes);
            QVERIFY(peer.waitForBytesWritten(1000));
            peer.disconnectFromServer();
        }
        // The good message comes last; the broken ones before it delivered nothing.
        QVERIFY(!SingleInstance().tryBecomePrimary(name, QStringLiteral("good")));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received[0][0].toString(), QStringLiteral("good"));
    }

    // scripts/run.sh hands its arguments to the program only when the program's socket answers;
    // otherwise it goes on to build and start everything (here: a stand-in that says so).
    void runScriptHandsOverOnlyToAnAnsweringProgram_data()
    {
        QTest::addColumn<QString>("socket");
        QTest::addColumn<bool>("handedOver");
        QTest::newRow("no socket") << "none" << false;
        QTest::newRow("socket file left behind") << "stale" << false;
        QTest::newRow("running program") << "live" << true;
    }
    void runScriptHandsOverOnlyToAnAnsweringProgram()
    {
        QFETCH(QString, socket);
        QFETCH(bool, handedOver);
        QTemporaryDir tree;
        const QDir root(tree.path());
        QVERIFY(root.mkpath(QStringLiteral("scripts")) && root.mkpath(QStringLiteral("run"))
                && root.mkpath(QStringLiteral("build-run/src/app")));
        QVERIFY(QFile::copy(QStringLiteral(ZUMO_SOURCE_DIR "/scripts/run.sh"),
                            root.filePath(QStringLiteral("scripts/run.sh"))));
        QVERIFY(writeScript(root.filePath(QStringLiteral("scripts/install-deps.sh")),
                            "echo building; exit 3\n"));
        QVERIFY(writeScript(root.filePath(QStringLiteral("build-run/src/app/zumo")),
                            "echo \"program: $1\"\n"));
        const QString path = root.filePath(QStringLiteral("run/zumo"));
        SingleInstance running;
        if (socket == QLatin1String("stale"))
            QVERIFY(makeStaleSocket(path));
        if (socket == QLatin1String("live"))
            QVERIFY(running.tryBecomePrimary(path));

        QProcess script;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
        script.setProcessEnvironment(env);
        script.start(QStringLiteral("bash"),
                     {root.filePath(QStringLiteral("scripts/run.sh")),
                      QStringLiteral("https://zumo.chat/i/abc")});
        // The script blocks this thread: the running program's socket answers from its backlog.
        QVERIFY(script.waitForFinished(20000));
        const QString out = QString::fromUtf8(script.readAllStandardOutput());
        if (handedOver) {
            QCOMPARE(script.exitCode(), 0);
            QCOMPARE(out.count(u'\n'), 2); // one line of its own, then the program's
            QVERIFY2(out.contains(QStringLiteral("https://zumo.chat/i/abc\nprogram: "
                                                 "https://zumo.chat/i/abc")),
                     qPrintable(out));
            // The script's question to the socket carries no link of its own.
            running.setReady();
            QSignalSpy received(&running, &SingleInstance::messageReceived);
            QTest::qWait(50);
            QCOMPARE(received.size(), 0);
        } else {
            QCOMPARE(script.exitCode(), 3);
            QCOMPARE(out, QStringLiteral("building\n"));
        }
    }

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
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
