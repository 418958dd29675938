#include "FileSizeLimit.h"

#include "files/PrivateFile.h"
#include "files/SaveRetry.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

Q_LOGGING_CATEGORY(lcSaving, "test.saving")

// The lines logged under lcSaving while keepSavingLines is installed.
QStringList savingLines;
QtMessageHandler previousHandler = nullptr;

void keepSavingLines(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (qstrcmp(context.category, "test.saving") == 0)
        savingLines.append(text);
    else
        previousHandler(type, context, text);
}

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

    // Failed tries go on; the stretch of them is told and logged once as it begins and once as
    // a landed save ends it, and the next failure is a new stretch that is told again. Nothing
    // left to save ends a stretch too.
    void retriesUntilLandedAndTellsOnce()
    {
        previousHandler = qInstallMessageHandler(keepSavingLines);
        const auto restore = qScopeGuard([] { qInstallMessageHandler(previousHandler); });
        SaveRetry saving(QStringLiteral("the thing"), lcSaving(), 1ms);
        QList<bool> told;
        int tries = 0;
        bool land = false;
        saving.onFailingChanged = [&](bool failing) { told.append(failing); };
        saving.retry = [&] {
            ++tries;
            saving.report(land, QStringLiteral("disk full"));
        };
        saving.report(false, QStringLiteral("disk full"));
        QTRY_VERIFY(tries >= 2);
        QCOMPARE(told, QList<bool>{true});
        QCOMPARE(savingLines.size(), 1);
        QVERIFY(savingLines.first().contains(u"the thing")
                && savingLines.first().contains(u"disk full"));
        land = true;
        QTRY_VERIFY(!saving.failing());
        QCOMPARE(told, (QList<bool>{true, false}));
        QCOMPARE(savingLines.size(), 2);
        const int landedAt = tries;
        QTest::qWait(20);
        QCOMPARE(tries, landedAt);
        saving.report(true);
        QCOMPARE(told.size(), 2); // a save that lands in a good stretch tells nothing
        saving.report(false);
        QCOMPARE(told, (QList<bool>{true, false, true}));
        saving.reset();
        QCOMPARE(told, (QList<bool>{true, false, true, false}));
        QCOMPARE(savingLines.size(), 3);
        QTest::qWait(20);
        QCOMPARE(tries, landedAt);
    }
};

QTEST_GUILESS_MAIN(TestPrivateFile)
#include "tst_privatefile.moc"
