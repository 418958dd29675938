// The bottom-following rules step by step, and the pin schedule with its generations.

#include "ui/workspace/BottomFollow.h"

#include <QtTest>

Q_DECLARE_METATYPE(BottomFollow)
Q_DECLARE_METATYPE(TranscriptAnchor)
Q_DECLARE_METATYPE(FollowUpdate)

namespace {

BottomFollow state(bool stick, int pin, int settled, qreal content, qreal viewport)
{
    return BottomFollow{stick, pin, settled, content, viewport};
}

} // namespace

class TestTranscriptFollow : public QObject
{
    Q_OBJECT

private slots:
    void consume_data()
    {
        QTest::addColumn<BottomFollow>("before");
        QTest::addColumn<TranscriptAnchor>("anchor"); // maxY, contentHeight, viewport
        QTest::addColumn<BottomFollow>("after");
        QTest::addColumn<FollowUpdate>("update"); // arrived, needsPin

        const BottomFollow following = state(true, 0, 0, 2000, 500);
        const BottomFollow away = state(false, 0, 0, 2000, 500);
        const BottomFollow pinning = state(true, 3, 2, 2000, 500);

        QTest::newRow("incomplete anchor")
            << following << TranscriptAnchor{0, 2000, 500} << following << FollowUpdate{};
        QTest::newRow("at the end, following")
            << following << TranscriptAnchor{500, 2000, 500} << following << FollowUpdate{};
        QTest::newRow("back within the zone")
            << away << TranscriptAnchor{580, 2000, 500} << following << FollowUpdate{true, false};
        QTest::newRow("scrolled away")
            << following << TranscriptAnchor{581, 2000, 500} << away << FollowUpdate{};
        QTest::newRow("grew while following")
            << following << TranscriptAnchor{700, 2002, 500} << state(true, 0, 0, 2002, 500)
            << FollowUpdate{false, true};
        QTest::newRow("grew a point: the reader scrolled")
            << following << TranscriptAnchor{700, 2001, 500} << away << FollowUpdate{};
        QTest::newRow("viewport shrank while following")
            << following << TranscriptAnchor{700, 2000, 498} << state(true, 0, 0, 2000, 498)
            << FollowUpdate{false, true};
        QTest::newRow("grew while away") << away << TranscriptAnchor{900, 2100, 500}
                                         << state(false, 0, 0, 2100, 500) << FollowUpdate{};
        QTest::newRow("pin in flight keeps following")
            << pinning << TranscriptAnchor{900, 2000, 500} << pinning << FollowUpdate{};
        QTest::newRow("pin in flight asks no second pin")
            << pinning << TranscriptAnchor{900, 2100, 500} << state(true, 3, 2, 2100, 500)
            << FollowUpdate{};
        QTest::newRow("pin in flight, not following")
            << state(false, 3, 2, 2000, 500) << TranscriptAnchor{900, 2100, 500}
            << state(false, 3, 2, 2100, 500) << FollowUpdate{};
        QTest::newRow("first measure far from the end")
            << BottomFollow{} << TranscriptAnchor{900, 2000, 500} << state(false, 0, 0, 2000, 500)
            << FollowUpdate{};
    }

    void consume()
    {
        QFETCH(BottomFollow, before);
        QFETCH(TranscriptAnchor, anchor);
        QFETCH(BottomFollow, after);
        QFETCH(FollowUpdate, update);
        BottomFollow follow = before;
        const FollowUpdate got = follow.consume(anchor);
        QCOMPARE(got.arrived, update.arrived);
        QCOMPARE(got.needsPin, update.needsPin);
        QCOMPARE(follow.stick, after.stick);
        QCOMPARE(follow.lastContentHeight, after.lastContentHeight);
        QCOMPARE(follow.lastViewport, after.lastViewport);
        QCOMPARE(follow.pinGeneration, after.pinGeneration);
    }

    void pinScheduleAndSupersession()
    {
        QObject context;
        int generation = 1;
        int firstJumps = 0, secondJumps = 0;
        bool firstDone = false, secondDone = false;
        TranscriptScroll::pinBottom(
            &context, [&] { ++firstJumps; }, [&] { return generation == 1; },
            [&] { firstDone = true; });
        QCOMPARE(firstJumps, 1); // at once, before returning
        QTRY_VERIFY(firstJumps >= 2);
        generation = 2; // a newer pin overtakes this one
        const int jumpsBefore = firstJumps;
        TranscriptScroll::pinBottom(
            &context, [&] { ++secondJumps; }, [&] { return generation == 2; },
            [&] { secondDone = true; });
        QTRY_VERIFY(secondDone);
        QCOMPARE(secondJumps, 4); // now, after a turn, after 80 ms and after 240 ms more
        QCOMPARE(firstJumps, jumpsBefore);
        QVERIFY(!firstDone);
    }
};

QTEST_GUILESS_MAIN(TestTranscriptFollow)
#include "tst_transcript_follow.moc"
