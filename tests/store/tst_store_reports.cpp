// Reporting a user or a message, in the local modes and against the stand-in service.

#include "StoreTestSupport.h"

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
    const QString longNote = QString(250, u'가');
    QTest::newRow("no note, no message") << ""
                                         << "none"
                                         << "스팸"
                                         << "";
    QTest::newRow("blank note") << " \n\t "
                                << "none"
                                << "스팸"
                                << "";
    QTest::newRow("note in blanks") << "  가짜 계정  "
                                    << "none"
                                    << "스팸 가짜 계정"
                                    << "가짜 계정";
    QTest::newRow("250 characters") << longNote << "none"
                                    << "스팸 " + longNote << QString(200, u'가');
    QTest::newRow("known message") << ""
                                   << "known"
                                   << "스팸"
                                   << "";
    QTest::newRow("message the store lacks") << ""
                                             << "unknown"
                                             << "스팸"
                                             << "";
}

void TestStoreReports::liveReportBodyAndRecord()
{
    QFETCH(QString, note);
    QFETCH(QString, message);
    QFETCH(QString, sentReason);
    QFETCH(QString, recordedNote);
    LiveOps ops;
    QVERIFY(ops.started);
    const QUuid me = ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid target = ops.addUser(QStringLiteral("target"), QStringLiteral("대상"));
    const QUuid stranger = ops.addUser(QStringLiteral("stranger"), QStringLiteral("남"));
    const QUuid shared = ops.service.addDirectRoom(me, target);
    const QUuid knownId
        = QUuid::fromString(ops.service.addMessage(shared, target, QStringLiteral("광고"))
                                .value(QStringLiteral("id"))
                                .toString());
    const QUuid elsewhere = ops.service.addDirectRoom(target, stranger);
    const QUuid unknownId
        = QUuid::fromString(ops.service.addMessage(elsewhere, target, QStringLiteral("광고"))
                                .value(QStringLiteral("id"))
                                .toString());
    QVERIFY(ops.start(QStringLiteral("me")));
    QVERIFY(ops.store->message(knownId));
    QVERIFY(!ops.store->message(unknownId));

    std::optional<QUuid> messageId;
    if (message == u"known")
        messageId = knownId;
    else if (message == u"unknown")
        messageId = unknownId;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const auto result
        = finish(ops.store->submitReport(target, messageId, QStringLiteral("스팸"), note));
    QVERIFY(answeredNothing(result));
    QCOMPARE(ops.store->notice(), std::nullopt);

    QJsonObject expected{{QStringLiteral("reason"), sentReason},
                         {QStringLiteral("user_id"), LiveOps::id(target)}};
    if (messageId)
        expected.insert(QStringLiteral("message_id"), LiveOps::id(*messageId));
    if (message == u"known")
        expected.insert(QStringLiteral("conversation_id"), LiveOps::id(shared));
    QCOMPARE(ops.lastBody(QStringLiteral("POST"), QStringLiteral("/v1/reports")), expected);

    QCOMPARE(ops.store->reports().size(), 1);
    const ReportRecord record = ops.store->reports().first();
    QCOMPARE(record.targetUserId, target);
    QCOMPARE(record.messageId, messageId);
    QCOMPARE(record.reason, QStringLiteral("스팸"));
    QCOMPARE(record.note, recordedNote);
    QVERIFY(record.createdAt >= before);
    QVERIFY(!record.id.isNull());
}

void TestStoreReports::liveFailuresRecordNothing_data()
{
    QTest::addColumn<int>("status"); // 0: a success answer without the report's id
    QTest::addColumn<QString>("expected");
    QTest::newRow("refused") << 404 << "사용자를 찾을 수 없습니다.";
    QTest::newRow("answer without id") << 0 << "일시적인 오류입니다.";
}

void TestStoreReports::liveFailuresRecordNothing()
{
    QFETCH(int, status);
    QFETCH(QString, expected);
    LiveOps ops;
    QVERIFY(ops.started);
    ops.addUser(QStringLiteral("me"), QStringLiteral("나"));
    const QUuid target = ops.addUser(QStringLiteral("target"), QStringLiteral("대상"));
    QVERIFY(ops.start(QStringLiteral("me")));
    if (status == 0)
        ops.service.answerNonJsonNext(QStringLiteral("POST"), QStringLiteral("/v1/reports"), 1,
                                      200);
    else
        ops.service.failNext(QStringLiteral("POST"), QStringLiteral("/v1/reports"), 1, status,
                             QStringLiteral("user_not_found"), expected);
    const auto result
        = finish(ops.store->submitReport(target, std::nullopt, QStringLiteral("사칭"), QString()));
    QVERIFY(result);
    QCOMPARE(*result, expected);
    QCOMPARE(ops.store->notice(), expected);
    QVERIFY(ops.store->reports().isEmpty());
}

void TestStoreReports::localReportIsKeptInTheDocument()
{
    const QUuid messageId = QUuid::createUuid();
    {
        LocalStore store(true, 0ms, nullptr);
        signInWithProfile(store);
        const auto result = finish(store.submitReport(
            SeedID::sora(), messageId, QStringLiteral("기타"), QStringLiteral(" 설명 ")));
        QVERIFY(answeredNothing(result));
        QCOMPARE(store.notice(), std::nullopt);
    }
    LocalStore reread(true, 0ms, nullptr);
    QCOMPARE(reread.reports().size(), 1);
    QCOMPARE(reread.reports().first().reason, QStringLiteral("기타"));
    QCOMPARE(reread.reports().first().note, QStringLiteral("설명"));
    QCOMPARE(reread.reports().first().messageId, messageId);
    QCOMPARE(reread.reports().first().targetUserId, SeedID::sora());
}

QTEST_GUILESS_MAIN(TestStoreReports)
#include "tst_store_reports.moc"
