// The transcript model: consistent with the store's visible messages through every kind of
// change, grouping and day separators, read marks, and the sentence read for each row.

#include "TranscriptTestSupport.h"

#include "ui/workspace/TranscriptModel.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {

QList<QUuid> modelIds(const TranscriptModel &model)
{
    QList<QUuid> ids;
    for (int i = 0; i < model.count(); ++i)
        ids.append(model.message(i).id);
    return ids;
}

} // namespace

class TestTranscriptModel : public QObject
{
    Q_OBJECT

private slots:
    void followsTheStore()
    {
        TranscriptRig r;
        r.addMany(6);
        TranscriptModel model(*r.store, r.roomId);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(modelIds(model), r.visibleIds());
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        // A message arrives, is sent, delivered, and its echo replaced by a copy placed earlier.
        r.store->merge(r.message(r.peer, 9000), true);
        const QUuid echo = *r.store->sendText(r.roomId, QStringLiteral("보냄"));
        QTRY_COMPARE(r.store->message(echo)->delivery, DeliveryState::sent);
        ChatMessage copy = *r.store->message(echo);
        copy.id = QUuid::createUuid();
        {
            // The service's copy in the echo's place is the same row, changed.
            QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
            QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
            QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
            r.store->merge(copy, false);
            QCOMPARE(inserted.count() + removed.count(), 0);
            QVERIFY(!changed.isEmpty());
            QCOMPARE(model.lastId(), std::optional(copy.id));
        }
        copy.seq = 3; // the service numbered it among the older ones
        r.store->merge(copy, false);
        QCOMPARE(modelIds(model), r.visibleIds());

        // Hidden, deleted, older ones loaded above, a clear, and the room read again.
        r.store->hideForMe(r.visibleIds().at(2));
        QCOMPARE(modelIds(model), r.visibleIds());
        r.store->editMessages([&](MessageIndex &index) {
            for (int seq = -3; seq < 0; ++seq)
                index.append(textMessage(r.roomId, r.peer, seq));
        });
        QCOMPARE(modelIds(model), r.visibleIds());
        QCOMPARE(resets.count(), 0); // none of these needed the room read again
        r.store->editMessages([&](MessageIndex &index) {
            for (const ChatMessage &m : index.takeRoom(r.roomId))
                index.append(m);
        });
        QCOMPARE(modelIds(model), r.visibleIds());
        r.store->clearMessages(r.roomId);
        QCOMPARE(model.count(), 0);
    }

    void grouping_data()
    {
        // Messages as "sender@seconds" (p: the peer, m: me, s: a system line from the peer);
        // flags per row: D day separator, H header, M meta line.
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<int>("startHour");

        QTest::newRow("single") << QStringList{"p@0"} << QStringList{"DHM"} << 9;
        QTest::newRow("300 s keeps the group")
            << QStringList{"p@0", "p@300"} << QStringList{"DH-", "--M"} << 9;
        QTest::newRow("301 s breaks it")
            << QStringList{"p@0", "p@301"} << QStringList{"DHM", "-HM"} << 9;
        QTest::newRow("other sender")
            << QStringList{"p@0", "m@10"} << QStringList{"DHM", "-HM"} << 9;
        QTest::newRow("midnight") << QStringList{"p@0", "p@10"} << QStringList{"DHM", "DHM"} << 23;
        QTest::newRow("system line between")
            << QStringList{"p@0", "s@10", "p@20"} << QStringList{"DHM", "---", "-HM"} << 9;
        QTest::newRow("times out of order")
            << QStringList{"p@100", "p@0"} << QStringList{"DH-", "--M"} << 9;
    }

    void grouping()
    {
        QFETCH(QStringList, messages);
        QFETCH(QStringList, flags);
        QFETCH(int, startHour);
        TranscriptRig r;
        // 23:59:55 local: ten seconds later is the next day.
        r.start = QDateTime(QDate(2024, 3, 5), startHour == 23 ? QTime(23, 59, 55) : QTime(9, 0));
        for (const QString &item : messages) {
            const QChar who = item.at(0);
            r.add(who == u'm' ? r.me : r.peer, item.mid(2).toInt(), {},
                  who == u's' ? MessageKind::system : MessageKind::text);
        }
        TranscriptModel model(*r.store, r.roomId);
        QStringList got;
        for (int i = 0; i < model.count(); ++i) {
            const TranscriptRow row = model.row(i);
            got.append(QString(row.showDay ? "D" : "-") + (row.showHeader ? "H" : "-")
                       + (row.showMeta ? "M" : "-"));
        }
        QCOMPARE(got, flags);
    }

    void readMarks_data()
    {
        QTest::addColumn<bool>("group");
        QTest::addColumn<QList<qint64>>("readSeqs"); // of the other members
        QTest::addColumn<bool>("secondLeft");
        QTest::addColumn<bool>("mine");
        QTest::addColumn<QString>("mark");

        QTest::newRow("direct, unread") << false << QList<qint64>{0} << false << true << "";
        QTest::newRow("direct, read") << false << QList<qint64>{1} << false << true << "읽음";
        QTest::newRow("not mine") << false << QList<qint64>{1} << false << false << "";
        QTest::newRow("group, two behind")
            << true << QList<qint64>{0, 0} << false << true << "안 읽음 2";
        QTest::newRow("group, one behind")
            << true << QList<qint64>{1, 0} << false << true << "안 읽음 1";
        QTest::newRow("group, left member not counted")
            << true << QList<qint64>{1, 0} << true << true << "";
        QTest::newRow("group, all read") << true << QList<qint64>{1, 1} << false << true << "";
    }

    void readMarks()
    {
        QFETCH(bool, group);
        QFETCH(QList<qint64>, readSeqs);
        QFETCH(bool, secondLeft);
        QFETCH(bool, mine);
        QFETCH(QString, mark);
        TranscriptRig r(group ? ConversationKind::group : ConversationKind::direct);
        r.add(mine ? r.me : r.peer, 0);
        TranscriptModel model(*r.store, r.roomId);
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        // The members' read positions change after the model is made: the row follows.
        const Conversation before = *r.store->conversation(r.roomId);
        Conversation room = before;
        room.memberships[1].lastReadSeq = readSeqs.at(0);
        if (group) {
            Membership third = member(QUuid::createUuid(), readSeqs.at(1));
            if (secondLeft)
                third.leftAt = r.start;
            room.memberships.append(third);
        }
        r.store->replaceConversation(room);
        QCOMPARE(model.row(0).readMark, mark);
        QCOMPARE(changes.isEmpty(), room == before);
    }

    void spokenSentence_data()
    {
        QTest::addColumn<QString>("sender"); // me, peer, official, unknown
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("sentence");

        QTest::newRow("mine") << "me" << int(MessageKind::text) << "안녕"
                              << "나, 오전 9시 5분, 안녕";
        QTest::newRow("theirs") << "peer" << int(MessageKind::text) << "안녕"
                                << "상대, 오전 9시 5분, 안녕";
        QTest::newRow("photo without caption") << "peer" << int(MessageKind::image) << ""
                                               << "상대, 오전 9시 5분, 사진";
        QTest::newRow("deleted") << "peer" << int(MessageKind::deleted) << ""
                                 << "상대, 오전 9시 5분, 삭제된 메시지";
        QTest::newRow("notice") << "official" << int(MessageKind::text) << "공지"
                                << "Zumo 팀, 안내, 오전 9시 5분, 공지";
        QTest::newRow("unknown sender") << "unknown" << int(MessageKind::text) << "누구"
                                        << ", 오전 9시 5분, 누구";
    }

    void spokenSentence()
    {
        QFETCH(QString, sender);
        QFETCH(int, kind);
        QFETCH(QString, body);
        QFETCH(QString, sentence);
        TranscriptRig r;
        QUuid from = sender == u"me" ? r.me : sender == u"peer" ? r.peer : QUuid::createUuid();
        if (sender == u"official") {
            Account house = person(QStringLiteral("zumo"), QStringLiteral("Zumo 팀"));
            house.kind = AccountKind::official;
            from = house.id;
            r.store->editAccounts([&](QList<Account> &list) { list.append(house); });
        }
        ChatMessage m = r.message(from, 0, body, MessageKind(kind));
        m.body = body;
        if (sender == u"official")
            m.origin = MessageOrigin::broadcast;
        r.store->editMessages([&](MessageIndex &index) { index.append(m); });
        TranscriptModel model(*r.store, r.roomId);
        QCOMPARE(model.data(model.index(0), Qt::AccessibleTextRole).toString(), sentence);
    }
};

QTEST_MAIN(TestTranscriptModel)
#include "tst_transcript_model.moc"
