// Reporting a user or a message, in the local modes and against the stand-in service.

#include "StoreTestSupport.h"

using namespace Qt::StringLiterals;

class TestStoreReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void liveReportBodyAndRecord_data();
    void liveReportBodyAndRecord();
    void liveFailuresRecordNothing_data();
    void liveFailuresRecordNothing();
    void localReportIsKeptInTheDocument();
};

void TestStoreReports::liveReportBodyAndRecord_data()
{
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("message"); // "none", "known" (the store holds it), "unknown"
    QTest::addColumn<QString>("sentReason");
    QTest::addColumn<QString>("recordedNote");
    const QString none = u"none"_s;
    const QString spam = u"스팸"_s;
    const QString longNote(250, u'가');
    QTest::newRow("no note, no message") << QString() << none << spam << QString();
    QTest::newRow("blank note") << u" \n\t "_s << none << spam << QString();
    QTest::newRow("note in blanks")
        << u"  가짜 계정  "_s << none << u"스팸 가짜 계정"_s << u"가짜 계정"_s;
    QTest::newRow("250 characters")
        << longNote << none << u"스팸 "_s + longNote << QString(200, u'가');
    QTest::newRow("known message") << QString() << u"known"_s << spam << QString();
    QTest::newRow("message the store lacks") << QString() << u"unknown"_s << spam << QString();
}

void TestStoreReports::liveReportBodyAndRecord()
{
    QFETCH(QString, note);
    QFETCH(QString, message);
    QFETCH(QString, sentReason);
    QFETCH(QString, recordedNote);
    LiveOps ops;
    const QUuid target = ops.addUser(u"target"_s, u"대상"_s);
    const QUuid stranger = ops.addUser(u"stranger"_s, u"남"_s);
    const QUuid me = ops.addUser(u"me"_s, u"나"_s);
    const QUuid shared = ops.service.addDirectRoom(me, target);
    const QUuid knownId = ops.postMessage(shared, target, u"광고"_s);
    const QUuid unknownId
        = ops.postMessage(ops.service.addDirectRoom(target, stranger), target, u"광고"_s);
    QVERIFY(ops.started && ops.start(u"me"_s));
    QVERIFY(ops.store->message(knownId));
    QVERIFY(!ops.store->message(unknownId));

    std::optional<QUuid> messageId;
    if (message == u"known")
        messageId = knownId;
    else if (message == u"unknown")
        messageId = unknownId;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    QVERIFY(answeredNothing(finish(ops.store->submitReport(target, messageId, u"스팸"_s, note))));
    QCOMPARE(ops.store->notice(), std::nullopt);

    QJsonObject expected{{u"reason"_s, sentReason}, {u"user_id"_s, LiveOps::id(target)}};
    if (messageId)
        expected.insert(u"message_id"_s, LiveOps::id(*messageId));
    if (message == u"known")
        expected.insert(u"conversation_id"_s, LiveOps::id(shared));
    QCOMPARE(ops.lastBody(u"POST"_s, u"/v1/reports"_s), expected);

    QCOMPARE(ops.store->reports().size(), 1);
    const ReportRecord record = ops.store->reports().first();
    QCOMPARE(record.targetUserId, target);
    QCOMPARE(record.messageId, messageId);
    QCOMPARE(record.reason, u"스팸"_s);
    QCOMPARE(record.note, recordedNote);
    QVERIFY(record.createdAt >= before);
    QVERIFY(!record.id.isNull());
}

void TestStoreReports::liveFailuresRecordNothing_data()
{
    QTest::addColumn<int>("status"); // 0: a success answer without the report's id
    QTest::addColumn<QString>("expected");
    QTest::newRow("refused") << 404 << u"사용자를 찾을 수 없습니다."_s;
    QTest::newRow("answer without id") << 0 << u"일시적인 오류입니다."_s;
}

void TestStoreReports::liveFailuresRecordNothing()
{
    QFETCH(int, status);
    QFETCH(QString, expected);
    LiveOps ops;
    const QUuid target = ops.addUser(u"target"_s, u"대상"_s);
    QVERIFY(ops.startAs(u"me"_s));
    if (status == 0)
        ops.service.answerNonJsonNext(u"POST"_s, u"/v1/reports"_s, 1, 200);
    else
        ops.service.failNext(u"POST"_s, u"/v1/reports"_s, 1, status, u"user_not_found"_s, expected);
    const auto result = finish(ops.store->submitReport(target, std::nullopt, u"사칭"_s, QString()));
    QCOMPARE(result, std::optional<std::optional<QString>>(expected));
    QCOMPARE(ops.store->notice(), expected);
    QVERIFY(ops.store->reports().isEmpty());
}

void TestStoreReports::localReportIsKeptInTheDocument()
{
    const QUuid messageId = QUuid::createUuid();
    {
        LocalStore store(true, 0ms, nullptr);
        signInWithProfile(store);
        QVERIFY(answeredNothing(
            finish(store.submitReport(SeedID::sora(), messageId, u"기타"_s, u" 설명 "_s))));
        QCOMPARE(store.notice(), std::nullopt);
    }
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.reports().size(), 1);
    const ReportRecord record = reread.reports().first();
    QCOMPARE(record.reason, u"기타"_s);
    QCOMPARE(record.note, u"설명"_s);
    QCOMPARE(record.messageId, messageId);
    QCOMPARE(record.targetUserId, SeedID::sora());
}

QTEST_GUILESS_MAIN(TestStoreReports)
#include "tst_store_reports.moc"
