#include "model/JsonFields.h"
#include "model/SeedID.h"
#include "model/Snapshot.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QUuid userId(QStringLiteral("c3d2e1f0-a1b2-4c3d-9e8f-0123456789ab"));
const QUuid roomId(QStringLiteral("0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2d3"));

QDateTime at(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC();
}

Snapshot sampleState(bool signedIn)
{
    Snapshot s;
    Account quillo;
    quillo.id = SeedID::quillo();
    quillo.kind = AccountKind::official;
    quillo.handle = QStringLiteral("quillo");
    quillo.displayName = QStringLiteral("Zumo");
    quillo.verified = true;
    Account me;
    me.id = userId;
    me.handle = QStringLiteral("me");
    me.displayName = QStringLiteral("나");
    me.avatarJPEG = QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
    s.accounts = {quillo, me};
    if (signedIn) {
        s.session = AppSession{userId, true};
        s.lastUserId = userId;
    }
    Conversation room;
    room.id = roomId;
    room.kind = ConversationKind::direct;
    room.memberships
        = {Membership{userId, MemberRole::member, 1, at("2024-05-01T08:00:00Z"), std::nullopt},
           Membership{SeedID::quillo(), MemberRole::owner, 1, at("2024-05-01T08:00:00Z"),
                      std::nullopt}};
    room.createdAt = at("2024-05-01T08:00:00Z");
    room.updatedAt = at("2024-05-01T08:00:05Z");
    s.conversations = {room};
    ChatMessage welcome;
    welcome.id = QUuid::createUuid();
    welcome.clientMsgId = welcome.id;
    welcome.idempotencyKey = QStringLiteral("welcome");
    welcome.conversationId = roomId;
    welcome.senderId = SeedID::quillo();
    welcome.seq = 1;
    welcome.origin = MessageOrigin::system;
    welcome.body = QStringLiteral("환영합니다 / welcome \"quoted\"\n");
    welcome.createdAt = at("2024-05-01T08:00:05Z");
    s.messages = {welcome};
    s.friends = {FriendLink{SeedID::rian(), FriendState::incoming}};
    s.officialLinks = {OfficialLink{SeedID::quillo(), false}};
    s.blocks = {SeedID::shop()};
    s.reports = {ReportRecord{QUuid::createUuid(), SeedID::shop(), std::nullopt,
                              QStringLiteral("스팸"), QString(), at("2024-05-02T00:00:00Z")}};
    s.retiredHandles = {RetiredHandle{QStringLiteral("old"), at("2024-06-01T00:00:00Z")}};
    s.notificationPreview = false;
    return s;
}

QJsonObject encodedObject(const Snapshot &s)
{
    const std::optional<QByteArray> bytes = s.encode();
    return bytes ? QJsonDocument::fromJson(*bytes).object() : QJsonObject();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TstSnapshot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void roundTripIsByteIdentical()
    {
        const Snapshot s = sampleState(true);
        const std::optional<QByteArray> first = s.encode();
        QVERIFY(first);
        QCOMPARE(s.encode(), first);

        QString error;
        const std::optional<Snapshot> back = Snapshot::decode(*first, &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(back->accounts, s.accounts);
        QCOMPARE(back->session, s.session);
        QCOMPARE(back->lastUserId, s.lastUserId);
        QCOMPARE(back->conversations, s.conversations);
        QCOMPARE(back->messages, s.messages);
        QCOMPARE(back->friends, s.friends);
        QCOMPARE(back->officialLinks, s.officialLinks);
        QCOMPARE(back->blocks, s.blocks);
        QCOMPARE(back->reports, s.reports);
        QCOMPARE(back->retiredHandles, s.retiredHandles);
        QCOMPARE(back->notificationsEnabled, true);
        QCOMPARE(back->notificationPreview, false);
        QCOMPARE(back->notificationSound, true);
        // Reading and writing again changes nothing.
        QCOMPARE(back->encode(), first);
    }

    void keysSortedAtEveryDepth()
    {
        // Pretty-printed, one member per line, and the keys of every object in ascending order:
        // exactly the canonical form of the same document.
        const QByteArray text = *sampleState(true).encode();
        QVERIFY(text.startsWith("{\n    \""));
        QCOMPARE(text, QJsonDocument::fromJson(text).toJson(QJsonDocument::Indented));
    }

    void signedOutHasNoSessionKeys()
    {
        const QJsonObject o = encodedObject(sampleState(false));
        QCOMPARE(o.size(), 11);
        QVERIFY(!o.contains(QStringLiteral("session")));
        QVERIFY(!o.contains(QStringLiteral("lastUserId")));
        const std::optional<Snapshot> back = Snapshot::decode(QJsonDocument(o).toJson());
        QVERIFY(back);
        QVERIFY(!back->session);
        QVERIFY(!back->lastUserId);
    }

    void signedInWritesSession()
    {
        const QJsonObject o = encodedObject(sampleState(true));
        QCOMPARE(o.size(), 13);
        const QJsonObject session = o.value(QStringLiteral("session")).toObject();
        QCOMPARE(session.value(QStringLiteral("meId")).toString(), uuidText(userId));
        QCOMPARE(session.value(QStringLiteral("profileComplete")).toBool(), true);
        // A session given as null reads as signed out.
        QJsonObject nullSession = o;
        nullSession.insert(QStringLiteral("session"), QJsonValue::Null);
        const auto back = Snapshot::decode(QJsonDocument(nullSession).toJson());
        QVERIFY(back && !back->session);
    }

    void wholeSecondTimes()
    {
        Snapshot s = sampleState(false);
        const QDateTime precise = QDateTime(QDate(2024, 5, 1), QTime(8, 0, 5, 999), Qt::UTC);
        s.messages[0].createdAt = precise;
        const QJsonObject o = encodedObject(s);
        QCOMPARE(o.value(QStringLiteral("messages"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .value(QStringLiteral("createdAt")),
                 QJsonValue(QStringLiteral("2024-05-01T08:00:05Z")));
        const auto back = Snapshot::decode(*s.encode());
        QVERIFY(back);
        QCOMPARE(back->messages[0].createdAt, precise.addMSecs(-999));
        QCOMPARE(back->messages[0].createdAt.timeSpec(), Qt::UTC);

        // A time held in another zone is written as the same instant in UTC.
        s.messages[0].createdAt
            = QDateTime(QDate(2024, 5, 1), QTime(17, 0), Qt::OffsetFromUTC, 9 * 3600);
        QCOMPARE(encodedObject(s)
                     .value(QStringLiteral("messages"))
                     .toArray()
                     .at(0)
                     .toObject()
                     .value(QStringLiteral("createdAt")),
                 QJsonValue(QStringLiteral("2024-05-01T08:00:00Z")));
    }

    void uuidsWrittenUpperCaseReadEitherCase()
    {
        const QByteArray text = *sampleState(true).encode();
        static const QRegularExpression uuidShape(QStringLiteral(
            "[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}"));
        int found = 0;
        for (const auto &m : uuidShape.globalMatch(QString::fromUtf8(text))) {
            QCOMPARE(m.captured(), m.captured().toUpper());
            ++found;
        }
        QVERIFY(found > 10);
        QVERIFY(text.contains(uuidText(userId).toUtf8()));
        QVERIFY(text.contains("C3D2E1F0-A1B2-4C3D-9E8F-0123456789AB"));

        const QByteArray lowered
            = QString::fromUtf8(text)
                  .replace(uuidText(userId), userId.toString(QUuid::WithoutBraces))
                  .toUtf8();
        QVERIFY(lowered != text);
        const auto back = Snapshot::decode(lowered);
        QVERIFY(back);
        QCOMPARE(back->session->meId, userId);
        QCOMPARE(back->blocks, QList<QUuid>{SeedID::shop()});
    }

    void accountWithoutAcceptsUserMessagesInDocument()
    {
        QJsonObject o = encodedObject(sampleState(false));
        QJsonArray accounts = o.value(QStringLiteral("accounts")).toArray();
        QJsonObject first = accounts.at(0).toObject();
        first.remove(QStringLiteral("acceptsUserMessages"));
        accounts.replace(0, first);
        o.insert(QStringLiteral("accounts"), accounts);
        const auto back = Snapshot::decode(QJsonDocument(o).toJson());
        QVERIFY(back);
        QCOMPARE(back->accounts.size(), 2);
        QVERIFY(back->accounts[0].acceptsUserMessages);
    }

    void documentRejected_data()
    {
        QTest::addColumn<QByteArray>("document");

        const QJsonObject good = encodedObject(sampleState(true));
        // The document with a top-level member set (Undefined: left out).
        auto with = [&](const char *key, const QJsonValue &value) {
            QJsonObject o = good;
            if (value.isUndefined())
                o.remove(QLatin1String(key));
            else
                o.insert(QLatin1String(key), value);
            return QJsonDocument(o).toJson();
        };
        // Changes one member of the first element of the list `list`.
        auto inFirst = [&](const char *list, const char *key, const QJsonValue &value) {
            QJsonArray array = good.value(QLatin1String(list)).toArray();
            QJsonObject element = array.at(0).toObject();
            if (value.isUndefined())
                element.remove(QLatin1String(key));
            else
                element.insert(QLatin1String(key), value);
            array.replace(0, element);
            return with(list, array);
        };
        const QJsonValue absent(QJsonValue::Undefined);

        for (const char *key : {"accounts", "conversations", "messages", "friends", "officialLinks",
                                "blocks", "reports", "retiredHandles", "notificationsEnabled",
                                "notificationPreview", "notificationSound"})
            QTest::addRow("without %s", key) << with(key, absent);
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("store");
        QTest::newRow("truncated") << QJsonDocument(good).toJson().chopped(3);
        QTest::newRow("top-level list") << QByteArray("[]");
        QTest::newRow("bad UTF-8") << QByteArray("{\"x\": \"\xC3\x28\"}");
        QTest::newRow("conversation without muted") << inFirst("conversations", "muted", absent);
        QTest::newRow("account without status") << inFirst("accounts", "status", absent);
        QTest::newRow("message kind unknown") << inFirst("messages", "kind", "sticker");
        QTest::newRow("message seq as text") << inFirst("messages", "seq", "1");
        QTest::newRow("bad base64") << inFirst("accounts", "avatarJPEG", "#");
        QTest::newRow("bad time") << inFirst("retiredHandles", "until", "2024-13-01T00:00:00Z");
        QTest::newRow("bad report id") << inFirst("reports", "id", "123");
        QTest::newRow("block not a UUID") << with("blocks", QJsonArray{uuidText(userId), 5});
        QTest::newRow("session without meId")
            << with("session", QJsonObject{{"profileComplete", true}});
        QTest::newRow("lastUserId bad") << with("lastUserId", "me");
        QTest::newRow("notificationSound as text") << with("notificationSound", "true");
    }

    void documentRejected()
    {
        QFETCH(QByteArray, document);
        QString error;
        QVERIFY(!Snapshot::decode(document, &error));
        QVERIFY(!error.isEmpty());
    }

    void unwritableTimeFailsEncoding()
    {
        // A time that cannot be spelled as yyyy-MM-ddTHH:mm:ssZ would make a document that no
        // reader accepts; refusing to encode keeps the last good file instead.
        Snapshot s = sampleState(false);
        s.messages[0].createdAt = QDateTime();
        QString error;
        QVERIFY(!s.encode(&error));
        QVERIFY2(error.startsWith(QStringLiteral("messages[0].createdAt")), qPrintable(error));

        s = sampleState(false);
        s.conversations[0].memberships[0].joinedAt
            = QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC);
        QVERIFY(!s.encode(&error));
        QVERIFY2(error.startsWith(QStringLiteral("conversations[0].memberships[0].joinedAt")),
                 qPrintable(error));
    }

    void writeAndReadFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("store.json"));
        const Snapshot s = sampleState(true);
        QString error;
        QVERIFY2(s.writeFile(path, &error), qPrintable(error));
        const QByteArray first = readAll(path);
        QCOMPARE(first, *s.encode());
        QVERIFY(s.writeFile(path));
        QCOMPARE(readAll(path), first);

        const auto back = Snapshot::readFile(path, &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(back->messages, s.messages);
        // No temporary file is left beside the document.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("store.json")});
    }

    void writeCreatesFolders()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a/b/QuilloChat/store.json"));
        QVERIFY(sampleState(false).writeFile(path));
        QVERIFY(Snapshot::readFile(path));
    }

    void writtenForTheOwnerAlone()
    {
        // A folder and a document from before, open to everyone, are closed by the next write.
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("QuilloChat"));
        const QString path = folder + QStringLiteral("/store.json");
        QVERIFY(QDir().mkpath(folder) && writeBytes(path, "{}"));
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        const auto others = QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
            | QFileDevice::ExeOther;
        QVERIFY(QFile::setPermissions(folder, owner | others));
        QVERIFY(QFile::setPermissions(path,
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(sampleState(true).writeFile(path));
        QCOMPARE(QFile::permissions(folder) & (owner | others), owner);
        QCOMPARE(QFile::permissions(path) & (owner | others),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void failedWriteKeepsOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("store.json"));
        QVERIFY(sampleState(true).writeFile(path));
        const QByteArray old = readAll(path);

        // Encoding fails: nothing is written.
        Snapshot broken = sampleState(false);
        broken.retiredHandles[0].until = QDateTime();
        QString error;
        QVERIFY(!broken.writeFile(path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), old);

        // The target is a folder: reported, and the folder is left alone.
        const QString folder = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/inside")));
        QVERIFY(!sampleState(false).writeFile(folder));
        QVERIFY(QFileInfo(folder + QStringLiteral("/inside")).isDir());

        // The folder cannot be created because a file is in the way.
        QVERIFY(!sampleState(false).writeFile(path + QStringLiteral("/store.json")));
        QCOMPARE(readAll(path), old);

        // A read-only folder: the temporary file cannot be made, the old document stays.
        const QString ro = dir.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkpath(ro));
        const QString roPath = ro + QStringLiteral("/store.json");
        QVERIFY(writeBytes(roPath, old));
        QVERIFY(QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const Snapshot next = sampleState(false);
        const bool wrote = next.writeFile(roPath);
        QFile::setPermissions(
            ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(readAll(roPath), wrote ? *next.encode() : old);
        if (wrote)
            QSKIP("running with privileges that ignore folder permissions");
    }

    void missingFileReadsNothing()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!Snapshot::readFile(dir.filePath(QStringLiteral("none.json")), &error));
        QVERIFY(!error.isEmpty());

        const QString path = dir.filePath(QStringLiteral("store.json"));
        QVERIFY(writeBytes(path, "{\"accounts\": []}"));
        QVERIFY(!Snapshot::readFile(path));
        QCOMPARE(readAll(path), QByteArray("{\"accounts\": []}")); // reading never touches the file
    }

    void defaultPlace()
    {
        const QString path = Snapshot::defaultFilePath();
        QVERIFY(path.endsWith(QStringLiteral("/QuilloChat/store.json")));
        QVERIFY(
            path.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)));
    }

    void timeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected"); // invalid: rejected

        const auto row
            = [](const char *name, const QString &text, QDate date = {}, QTime time = {}) {
                  QTest::newRow(name) << text << QDateTime(date, time, Qt::UTC);
              };
        row("utc", "2024-02-29T23:59:59Z", QDate(2024, 2, 29), QTime(23, 59, 59));
        row("offset", "2024-03-01T09:00:00+09:00", QDate(2024, 3, 1), QTime(0, 0));
        row("negative offset", "2024-02-29T20:30:00-03:30", QDate(2024, 3, 1), QTime(0, 0));
        row("year one", "0001-01-01T00:00:00Z", QDate(1, 1, 1), QTime(0, 0));
        row("year zero", "0000-01-01T00:00:00Z");
        row("fraction", "2024-02-29T23:59:59.123Z");
        row("no seconds", "2024-02-29T23:59Z");
        row("leap second", "2016-12-31T23:59:60Z");
        row("signed digits", "2024-0+-29T23:59:59Z");
        row("offset out of range", "2024-03-01T09:00:00+24:00");
        row("arabic-indic digits", QStringLiteral("٢٠٢٤-03-01T09:00:00Z"));
        // The time in UTC must be writable again: years 0001-9999.
        row("offset into year 10000", "9999-12-31T23:00:00-05:00");
        row("offset into year 0", "0001-01-01T00:30:00+01:00");
        row("offset, last year kept", "9999-12-31T23:00:00+05:00", QDate(9999, 12, 31),
            QTime(18, 0));
    }

    void timeText()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> t = timeFromText(text);
        QCOMPARE(t.has_value(), expected.isValid());
        if (t) {
            QCOMPARE(*t, expected);
            QCOMPARE(t->timeSpec(), Qt::UTC);
        }
    }
};

QTEST_GUILESS_MAIN(TstSnapshot)
#include "tst_snapshot.moc"
