// The transcript model: consistent with the store's visible messages through every kind of
// change, grouping and day separators, read marks, and the sentence read for each row.

#include "TranscriptTestSupport.h"

#include "ui/workspace/TranscriptModel.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include <random>

namespace {

QList<QUuid> modelIds(const TranscriptModel &model)
{
    QList<QUuid> ids;
    for (int i = 0; i < model.count(); ++i)
        ids.append(model.message(i).id);
    return ids;
}

// What a view that follows the model's signals holds: each row as it was when last announced.
// After any change it must equal the rows as the model reads them now; a row that differs was
// changed without a dataChanged (a stale group flag, quote or read mark).
class RowMirror
{
public:
    explicit RowMirror(const TranscriptModel &model)
        : m_model(model)
    {
        const auto read = [this](int first, int last) {
            for (int i = first; i <= last; ++i)
                m_rows[i] = m_model.row(i);
        };
        QObject::connect(&model, &QAbstractItemModel::modelReset, &m_context, [this] { reset(); });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &m_context,
                         [this, read](const QModelIndex &, int first, int last) {
                             for (int i = first; i <= last; ++i)
                                 m_rows.insert(i, TranscriptRow());
                             read(first, last);
                         });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &m_context,
                         [this](const QModelIndex &, int first, int last) {
                             m_rows.remove(first, last - first + 1);
                         });
        QObject::connect(
            &model, &QAbstractItemModel::dataChanged, &m_context,
            [read](const QModelIndex &from, const QModelIndex &to) { read(from.row(), to.row()); });
        reset();
    }

    // The first row shown differently from what the model now says; -1 when none.
    int staleRow() const
    {
        if (m_rows.size() != m_model.count())
            return int(m_rows.size());
        for (int i = 0; i < m_model.count(); ++i) {
            if (!(m_rows.at(i) == m_model.row(i)))
                return i;
        }
        return -1;
    }

private:
    void reset()
    {
        m_rows.clear();
        for (int i = 0; i < m_model.count(); ++i)
            m_rows.append(m_model.row(i));
    }

    const TranscriptModel &m_model;
    QList<TranscriptRow> m_rows;
    QObject m_context;
};

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

    void anyChangeKeepsRowsTrue_data()
    {
        QTest::addColumn<int>("seed");
        QTest::addColumn<bool>("group");
        for (int seed = 1; seed <= 4; ++seed)
            QTest::addRow("seed %d", seed) << seed << (seed % 2 == 0);
    }

    // Random changes of every kind the store makes, in the middle, at both ends and across
    // rooms: the model keeps to the visible messages, and every row it announced still reads
    // as the model would read it now.
    void anyChangeKeepsRowsTrue()
    {
        QFETCH(int, seed);
        QFETCH(bool, group);
        TranscriptRig r(group ? ConversationKind::group : ConversationKind::direct);
        Conversation other = room(ConversationKind::direct, {member(r.me), member(r.peer)});
        r.store->editConversations([&](QList<Conversation> &list) { list.append(other); });
        std::mt19937 random(seed);
        const auto pick = [&](auto n) { return decltype(n)(random() % std::max<size_t>(1, n)); };
        const auto entries
            = [&](const QUuid &roomId) { return r.store->messageIndex().roomEntries(roomId); };
        const auto anyEntry = [&](const QUuid &roomId) -> const MessageIndex::Entry * {
            const QList<const MessageIndex::Entry *> list = entries(roomId);
            return list.isEmpty() ? nullptr : list.at(pick(list.size()));
        };
        const QList<qint64> gaps{0, 10, 299, 300, 301, 86'400, -50};
        const QList<MessageKind> kinds{MessageKind::text, MessageKind::text, MessageKind::image,
                                       MessageKind::system, MessageKind::deleted};
        QDateTime clock = r.start;
        // Ids handed out in order, so that an answer can name a message still to come.
        QList<QUuid> ids(500);
        for (QUuid &id : ids)
            id = QUuid::createUuid();
        qsizetype made = 0;
        const auto fresh = [&](qint64 seq) {
            const QList<QUuid> senders{r.me, r.peer, QUuid::createUuid()};
            ChatMessage m
                = textMessage(r.roomId, senders.at(pick(3)), seq, QStringLiteral("말 %1").arg(seq));
            m.id = m.clientMsgId = ids.at(made++ % ids.size());
            m.kind = kinds.at(pick(kinds.size()));
            clock = clock.addSecs(gaps.at(pick(gaps.size())));
            m.createdAt = clock;
            if (pick(3) == 0) {
                const auto *target = pick(2) ? anyEntry(r.roomId) : nullptr;
                m.replyToId = target ? target->message.id
                                     : ids.at((made + ids.size() - 5 + pick(10)) % ids.size());
            }
            return m;
        };
        const auto highest
            = [&] { return r.store->messageIndex().highestSeq(r.roomId).value_or(0); };
        const auto change = [&](auto f) {
            if (const auto *entry = anyEntry(r.roomId))
                r.store->editMessages([&](MessageIndex &index) { index.update(entry, f); });
        };

        TranscriptModel model(*r.store, r.roomId);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        RowMirror mirror(model);
        for (int step = 0; step < 300; ++step) {
            const int op = pick(16);
            switch (op) {
            case 0:
            case 1: // a new message at the end
                r.store->editMessages(
                    [&](MessageIndex &index) { index.append(fresh(highest() + 1)); });
                break;
            case 2: // an older one loaded above, or one between two others
                r.store->editMessages(
                    [&](MessageIndex &index) { index.append(fresh(highest() - pick(8))); });
                break;
            case 3:
                change([](ChatMessage &m) { m.hiddenForMe = true; });
                break;
            case 4:
                change([](ChatMessage &m) { m.hiddenForMe = false; });
                break;
            case 5:
                change([](ChatMessage &m) {
                    m.kind = MessageKind::deleted;
                    m.body.clear();
                });
                break;
            case 6: // the service's copy takes an echo's place under another id
                change([](ChatMessage &m) { m.id = QUuid::createUuid(); });
                break;
            case 7: {
                const qint64 seq = highest() - pick(10);
                change([seq](ChatMessage &m) { m.seq = seq; });
                break;
            }
            case 8:
                if (const auto *entry = anyEntry(r.roomId))
                    r.store->editMessages([&](MessageIndex &index) { index.remove(entry); });
                break;
            case 9: { // the room read again
                r.store->editMessages([&](MessageIndex &index) {
                    for (const ChatMessage &m : index.takeRoom(r.roomId))
                        index.append(m);
                });
                break;
            }
            case 10: {
                const QDateTime at = r.start.addSecs(pick(20) * 150);
                change([at](ChatMessage &m) { m.createdAt = at; });
                break;
            }
            case 11: {
                const QUuid sender = pick(2) ? r.me : r.peer;
                change([sender](ChatMessage &m) { m.senderId = sender; });
                break;
            }
            case 12: { // a message goes to the other room, or comes from it
                const bool out = pick(2);
                if (const auto *entry = anyEntry(out ? r.roomId : other.id)) {
                    const QUuid to = out ? other.id : r.roomId;
                    r.store->editMessages([&](MessageIndex &index) {
                        index.update(entry, [&](ChatMessage &m) { m.conversationId = to; });
                    });
                }
                break;
            }
            case 13: {
                Conversation c = *r.store->conversation(r.roomId);
                c.memberships[1].lastReadSeq = highest() - pick(4);
                r.store->replaceConversation(c);
                break;
            }
            case 14: { // several changes told at once
                r.store->editMessages([&](MessageIndex &index) {
                    for (int i = 0; i < 4; ++i) {
                        index.append(fresh(highest() + 1 - pick(3) * 3));
                        const auto list = index.roomEntries(r.roomId);
                        if (!list.isEmpty())
                            index.update(list.at(pick(list.size())),
                                         [](ChatMessage &m) { m.hiddenForMe = !m.hiddenForMe; });
                    }
                });
                break;
            }
            case 15:
                if (pick(8) == 0)
                    r.store->clearMessages(r.roomId);
                else if (pick(8) == 0)
                    r.addMany(300);
                break;
            }
            QVERIFY2(modelIds(model) == r.visibleIds(), qPrintable(QString::number(op)));
            const int stale = mirror.staleRow();
            QVERIFY2(stale < 0,
                     qPrintable(QStringLiteral("step %1, change %2: row %3 is stale")
                                    .arg(step)
                                    .arg(op)
                                    .arg(stale)));
        }
    }

    // A room opened in reaction to one change of several rooms (a notification, say) makes its
    // model while the store is still telling the other rooms: what it has read comes once.
    void madeWhileTheStoreTells()
    {
        TranscriptRig r;
        QList<QUuid> others;
        for (int i = 0; i < 8; ++i) {
            const Conversation c = room(ConversationKind::direct, {member(r.me), member(r.peer)});
            r.store->editConversations([&](QList<Conversation> &list) { list.append(c); });
            others.append(c.id);
        }
        std::unique_ptr<TranscriptModel> model;
        QObject context;
        connect(r.store.get(), &LocalStore::roomMessagesChanged, &context, [&](const QUuid &id) {
            if (!model && others.contains(id))
                model = std::make_unique<TranscriptModel>(*r.store, r.roomId);
        });
        r.store->editMessages([&](MessageIndex &index) {
            for (const QUuid &id : others)
                index.append(textMessage(id, r.peer, 1));
            index.append(r.message(r.peer, 0));
            for (const QUuid &id : others)
                index.append(textMessage(id, r.peer, 2));
        });
        QVERIFY(model);
        QCOMPARE(modelIds(*model), r.visibleIds());
    }

    void grouping_data()
    {
        // Messages as "sender@seconds" (p: the peer, m: me, f: mine that failed, s: a system
        // line from the peer); flags per row: D day separator, H header, M meta line.
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
        QTest::newRow("failed inside a group keeps its line")
            << QStringList{"m@0", "f@10", "m@20"} << QStringList{"DH-", "--M", "--M"} << 9;
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
            ChatMessage m
                = r.message(who == u'm' || who == u'f' ? r.me : r.peer, item.mid(2).toInt(), {},
                            who == u's' ? MessageKind::system : MessageKind::text);
            if (who == u'f')
                m.delivery = DeliveryState::failed;
            r.store->editMessages([&](MessageIndex &index) { index.append(m); });
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
        QTest::addColumn<DeliveryState>("delivery");

        QTest::newRow("direct, unread")
            << false << QList<qint64>{0} << false << true << "" << DeliveryState::sent;
        QTest::newRow("direct, read")
            << false << QList<qint64>{1} << false << true << "읽음" << DeliveryState::sent;
        QTest::newRow("not mine") << false << QList<qint64>{1} << false << false << ""
                                  << DeliveryState::sent;
        QTest::newRow("group, two behind")
            << true << QList<qint64>{0, 0} << false << true << "안 읽음 2" << DeliveryState::sent;
        QTest::newRow("group, one behind")
            << true << QList<qint64>{1, 0} << false << true << "안 읽음 1" << DeliveryState::sent;
        QTest::newRow("group, left member not counted")
            << true << QList<qint64>{1, 0} << true << true << "" << DeliveryState::sent;
        QTest::newRow("group, all read")
            << true << QList<qint64>{1, 1} << false << true << "" << DeliveryState::sent;
        // Nobody has received a message on its way or one that failed.
        QTest::newRow("group, sending")
            << true << QList<qint64>{0, 0} << false << true << "" << DeliveryState::sending;
        QTest::newRow("group, failed")
            << true << QList<qint64>{0, 0} << false << true << "" << DeliveryState::failed;
        QTest::newRow("direct, failed")
            << false << QList<qint64>{1} << false << true << "" << DeliveryState::failed;
    }

    void readMarks()
    {
        QFETCH(bool, group);
        QFETCH(QList<qint64>, readSeqs);
        QFETCH(bool, secondLeft);
        QFETCH(bool, mine);
        QFETCH(QString, mark);
        QFETCH(DeliveryState, delivery);
        TranscriptRig r(group ? ConversationKind::group : ConversationKind::direct);
        ChatMessage m = r.message(mine ? r.me : r.peer, 0);
        m.delivery = delivery;
        r.store->editMessages([&](MessageIndex &index) { index.append(m); });
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
        // Read as the screen shows them: the name cleaned, a body that could turn the
        // sentence around kept apart, a failure said.
        QTest::newRow("hostile name") << "hostile" << int(MessageKind::text) << "안녕"
                                      << "가 나, 오전 9시 5분, 안녕";
        QTest::newRow("overridden body") << "peer" << int(MessageKind::text) << "\u202Eabc"
                                         << "상대, 오전 9시 5분, abc";
        QTest::newRow("right-to-left body with an address")
            << "peer" << int(MessageKind::text) << "שלום \u202Ehttps://a.example/x"
            << "상대, 오전 9시 5분, \u2068שלום \u2066https://a.example/x\u2069\u2069";
        QTest::newRow("failed") << "failed" << int(MessageKind::text) << "안녕"
                                << "나, 오전 9시 5분, 안녕, 전송 실패";
    }

    void spokenSentence()
    {
        QFETCH(QString, sender);
        QFETCH(int, kind);
        QFETCH(QString, body);
        QFETCH(QString, sentence);
        TranscriptRig r;
        QUuid from = sender == u"me" || sender == u"failed" ? r.me
            : sender == u"peer"                             ? r.peer
                                                            : QUuid::createUuid();
        if (sender == u"hostile") {
            const Account odd = person(QStringLiteral("odd"), QStringLiteral("\u202E가\n나"));
            from = odd.id;
            r.store->editAccounts([&](QList<Account> &list) { list.append(odd); });
        }
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
        if (sender == u"failed")
            m.delivery = DeliveryState::failed;
        r.store->editMessages([&](MessageIndex &index) { index.append(m); });
        TranscriptModel model(*r.store, r.roomId);
        QCOMPARE(model.data(model.index(0), Qt::AccessibleTextRole).toString(), sentence);
    }
};

QTEST_MAIN(TestTranscriptModel)
#include "tst_transcript_model.moc"
