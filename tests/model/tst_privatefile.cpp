#include "FileSizeLimit.h"

#include "model/PrivateFile.h"
#include "model/SaveRetry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPrivateFile : public QObject
{
    Q_OBJECT

private slots:
    // A write small enough to sit in a write buffer until the file is closed: the case where a
    // buffered save reports success and leaves a short file.
    void failedWriteKeepsTheOldFile()
    {
        const int size = 300;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.bin"));
        const QByteArray old(60, 'o');
        QVERIFY(PrivateFile::write(path, old));

        QString error;
        bool written = false;
        {
            FileSizeLimit full(100);
            QVERIFY(full.active());
            written = PrivateFile::write(path, QByteArray(size, 'n'), &error);
        }
        QVERIFY(!written);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), old);
        // Nothing half-written is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("session.bin")});

        // Once there is room again, the same write lands.
        QVERIFY(PrivateFile::write(path, QByteArray(size, 'n')));
        QCOMPARE(readAll(path).size(), size);
    }

    // Failed tries go on and are told once; a landed save ends them, and the next failure is a
    // new stretch that is told again.
    void retriesUntilLandedAndTellsOnce()
    {
        SaveRetry saving(1ms);
        int told = 0;
        int tries = 0;
        bool land = false;
        saving.onFailing = [&] { ++told; };
        saving.retry = [&] {
            ++tries;
            saving.report(land);
        };
        saving.report(false);
        QTRY_VERIFY(tries >= 2);
        QCOMPARE(told, 1);
        land = true;
        QTRY_VERIFY(!saving.failing());
        const int landedAt = tries;
        QTest::qWait(20);
        QCOMPARE(tries, landedAt);
        saving.report(false);
        QCOMPARE(told, 2);
    }
};

QTEST_GUILESS_MAIN(TestPrivateFile)
#include "tst_privatefile.moc"
