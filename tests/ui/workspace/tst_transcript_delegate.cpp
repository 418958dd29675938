// The transcript's kept row layouts: a full cache lets go of one layout for each one it makes,
// the least recently used, so that no single scroll step frees hundreds of them at once.

#include "TranscriptTestSupport.h"
#include "ui/workspace/TranscriptDelegate.h"
#include "ui/workspace/TranscriptModel.h"

#include <QApplication>
#include <QtTest>

#include <memory>

namespace {

TranscriptRow rowSaying(const QString &body)
{
    TranscriptRow row;
    row.message = textMessage(QUuid::createUuid(), QUuid::createUuid(), 1, body);
    row.senderKnown = true;
    row.senderName = QStringLiteral("상대");
    row.showHeader = row.showMeta = true;
    return row;
}

} // namespace

class TestTranscriptDelegate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void fullCacheLetsTheLeastRecentlyUsedGoOneByOne()
    {
        TranscriptDelegate delegate;
        delegate.setCacheLimit(5);
        const QPalette palette = QApplication::palette();
        QList<TranscriptRow> rows;
        QList<std::weak_ptr<const TranscriptRowLayout>> made;
        const auto layOut = [&](int i) { return delegate.layoutFor(rows.at(i), 300, palette); };
        const auto freed = [&] {
            QList<int> gone;
            for (int i = 0; i < made.size(); ++i) {
                if (made.at(i).expired())
                    gone.append(i);
            }
            return gone;
        };
        for (int i = 0; i < 10; ++i)
            rows.append(rowSaying(QStringLiteral("메시지 %1").arg(i)));
        for (int i = 0; i < 5; ++i)
            made.append(layOut(i));
        QCOMPARE(delegate.cachedCount(), 5);
        QVERIFY(freed().isEmpty());
        // Asked for again: the same layout, now the most recently used.
        QCOMPARE(layOut(1).get(), made.at(1).lock().get());

        const QList<QList<int>> expected{{0}, {0, 2}, {0, 2, 3}, {0, 2, 3, 4}, {0, 1, 2, 3, 4}};
        for (int i = 5; i < 10; ++i) {
            made.append(layOut(i));
            QCOMPARE(delegate.cachedCount(), 5);
            QCOMPARE(freed(), expected.at(i - 5));
        }

        // A row that looks different gets a new layout in its place; nothing else goes.
        TranscriptRow failed = rows.at(9);
        failed.message.delivery = DeliveryState::failed;
        const auto before = made.at(9).lock();
        const auto after = delegate.layoutFor(failed, 300, palette);
        QVERIFY(after.get() != before.get());
        QCOMPARE(delegate.cachedCount(), 5);
        QCOMPARE(freed(), expected.last());
    }
};

QTEST_MAIN(TestTranscriptDelegate)
#include "tst_transcript_delegate.moc"
