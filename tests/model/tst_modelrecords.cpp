#include "model/Account.h"
#include "model/AppSession.h"
#include "model/ChatMessage.h"
#include "model/Conversation.h"
#include "model/FriendLink.h"
#include "model/HandOver.h"
#include "model/OfficialLink.h"
#include "model/ReportRecord.h"
#include "model/RetiredHandle.h"
#include "model/SeedID.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

namespace {

const QUuid idA(QStringLiteral("0b6a7c1e-9f5d-4e3a-8c2b-1d0e9f8a7b6c"));
const QUuid idB(QStringLiteral("a1b2c3d4-e5f6-4789-8abc-def012345678"));
const QUuid idC(QStringLiteral("F0E1D2C3-B4A5-4968-8776-655443322110"));

QDateTime at(const char *iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC();
}

Account fullAccount()
{
    return Account{idA,
                   AccountKind::official,
                   QStringLiteral("quillo"),
                   QStringLiteral("Zumo 공식"),
                   QStringLiteral("소식을 전합니다"),
                   QByteArray("\xFF\xD8\xFF\xE0 jpeg \x00 bytes", 18),
                   AccountStatus::suspended,
                   true,
                   true,
                   QStringLiteral("https://cdn.example/a.jpg"),
                   idB,
                   false};
}

Conversation fullConversation()
{
    Conversation c;
    c.id = idA;
    c.kind = ConversationKind::group;
    c.title = QStringLiteral("주말 산책");
    c.photoJPEG = QByteArray("\xFF\xD8photo");
    c.memberships = {
        Membership{idB, MemberRole::owner, 42, at("2024-03-01T10:00:00Z"), std::nullopt},
        Membership{idC, MemberRole::member, 7, at("2024-03-02T11:30:00Z"),
                   at("2024-03-05T09:15:00Z")},
    };
    c.pinned = true;
    c.muted = false;
    c.hiddenFromList = true;
    c.createdAt = at("2024-03-01T10:00:00Z");
    c.updatedAt = at("2024-03-05T09:15:01Z");
    return c;
}

ChatMessage fullMessage()
{
    ChatMessage m;
    m.id = idA;
    m.clientMsgId = idB;
    m.idempotencyKey = QStringLiteral("welcome-1");
    m.conversationId = idC;
    m.senderId = SeedID::quillo();
    m.seq = 9007199254740993LL; // above 2^53: must not pass through a double
    m.kind = MessageKind::image;
    m.origin = MessageOrigin::broadcast;
    m.body = QStringLiteral("사진 👍🏽");
    m.imageJPEG = QByteArray("\xFF\xD8\x00\x01");
    m.imageURL = QStringLiteral("https://cdn.example/p.jpg");
    m.replyToId = idB;
    m.createdAt = at("2024-12-31T23:59:59Z");
    m.delivery = DeliveryState::failed;
    m.hiddenForMe = true;
    return m;
}

// A valid JSON object for each record type, written by hand so that reading is checked
// against the document form rather than against our own writer.
QJsonObject validJson(const QString &type)
{
    const QString a = QStringLiteral("0B6A7C1E-9F5D-4E3A-8C2B-1D0E9F8A7B6C");
    const QString t = QStringLiteral("2024-03-01T10:00:00Z");
    if (type == u"Account")
        return {{"id", a},
                {"kind", "person"},
                {"handle", "sora"},
                {"displayName", "한소라"},
                {"bio", ""},
                {"avatarJPEG", "/9j/4A=="},
                {"status", "active"},
                {"handleChanged", false},
                {"verified", false},
                {"avatarURL", "https://cdn.example/a.jpg"},
                {"officialAccountId", a},
                {"acceptsUserMessages", true}};
    if (type == u"Membership")
        return {
            {"userId", a}, {"role", "owner"}, {"lastReadSeq", 3}, {"joinedAt", t}, {"leftAt", t}};
    if (type == u"Conversation")
        return {{"id", a},
                {"kind", "group"},
                {"title", "모임"},
                {"photoJPEG", "/9j/4A=="},
                {"memberships", QJsonArray{validJson(QStringLiteral("Membership"))}},
                {"pinned", false},
                {"muted", true},
                {"hiddenFromList", false},
                {"createdAt", t},
                {"updatedAt", t}};
    if (type == u"ChatMessage")
        return {{"id", a},
                {"clientMsgId", a},
                {"idempotencyKey", "k"},
                {"conversationId", a},
                {"senderId", a},
                {"seq", 12},
                {"kind", "text"},
                {"origin", "user"},
                {"body", "안녕"},
                {"imageJPEG", "/9j/4A=="},
                {"imageURL", "https://cdn.example/p.jpg"},
                {"replyToId", a},
                {"createdAt", t},
                {"delivery", "sent"},
                {"hiddenForMe", false}};
    if (type == u"FriendLink")
        return {{"userId", a}, {"state", "incoming"}};
    if (type == u"OfficialLink")
        return {{"accountId", a}, {"broadcastOptOut", true}};
    if (type == u"ReportRecord")
        return {{"id", a},          {"targetUserId", a}, {"messageId", a},
                {"reason", "기타"}, {"note", "광고"},    {"createdAt", t}};
    if (type == u"RetiredHandle")
        return {{"handle", "old"}, {"until", t}};
    if (type == u"AppSession")
        return {{"meId", a}, {"profileComplete", true}};
    return {};
}

const QStringList recordTypes
    = {"Account",      "Membership",   "Conversation",  "ChatMessage", "FriendLink",
       "OfficialLink", "ReportRecord", "RetiredHandle", "AppSession"};

QSet<QString> optionalKeys(const QString &type)
{
    if (type == u"Account")
        return {"avatarJPEG", "avatarURL", "officialAccountId", "acceptsUserMessages"};
    if (type == u"Membership")
        return {"leftAt"};
    if (type == u"Conversation")
        return {"photoJPEG"};
    if (type == u"ChatMessage")
        return {"idempotencyKey", "imageJPEG", "imageURL", "replyToId"};
    if (type == u"ReportRecord")
        return {"messageId"};
    return {};
}

template<typename T>
bool roundTrips(const QJsonValue &json, QString *error)
{
    const std::optional<T> value = T::fromJson(json, error);
    if (!value)
        return false;
    // What was read writes back to an object that reads as the same value.
    const std::optional<QJsonObject> again = value->toJson(error);
    return again && T::fromJson(*again, error) == value;
}

bool readRecord(const QString &type, const QJsonValue &json, QString *error)
{
    using Reader = bool (*)(const QJsonValue &, QString *);
    static const QHash<QString, Reader> readers{
        {"Account", roundTrips<Account>},           {"Membership", roundTrips<Membership>},
        {"Conversation", roundTrips<Conversation>}, {"ChatMessage", roundTrips<ChatMessage>},
        {"FriendLink", roundTrips<FriendLink>},     {"OfficialLink", roundTrips<OfficialLink>},
        {"ReportRecord", roundTrips<ReportRecord>}, {"RetiredHandle", roundTrips<RetiredHandle>},
        {"AppSession", roundTrips<AppSession>}};
    const Reader read = readers.value(type);
    return read && read(json, error);
}

template<typename E>
std::optional<QString> rawRoundTrip(const QString &text)
{
    const std::optional<E> e = fromRawText<E>(text);
    return e ? std::optional<QString>(rawText(*e)) : std::nullopt;
}

std::optional<QString> enumRoundTrip(const QString &type, const QString &text)
{
    using RoundTrip = std::optional<QString> (*)(const QString &);
    static const QHash<QString, RoundTrip> roundTrips{
        {"AccountKind", rawRoundTrip<AccountKind>},
        {"AccountStatus", rawRoundTrip<AccountStatus>},
        {"ConversationKind", rawRoundTrip<ConversationKind>},
        {"MemberRole", rawRoundTrip<MemberRole>},
        {"MessageKind", rawRoundTrip<MessageKind>},
        {"MessageOrigin", rawRoundTrip<MessageOrigin>},
        {"DeliveryState", rawRoundTrip<DeliveryState>},
        {"FriendState", rawRoundTrip<FriendState>},
        {"ReportReason", rawRoundTrip<ReportReason>}};
    const RoundTrip roundTrip = roundTrips.value(type);
    return roundTrip ? roundTrip(text) : std::nullopt;
}

} // namespace

class TstModelRecords : public QObject
{
    Q_OBJECT

private slots:
    void enumRawTexts_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");

        const QList<std::pair<QString, QStringList>> raw = {
            {"AccountKind", {"person", "official"}},
            {"AccountStatus", {"active", "suspended", "deleted"}},
            {"ConversationKind", {"direct", "group"}},
            {"MemberRole", {"owner", "member"}},
            {"MessageKind", {"text", "image", "system", "deleted"}},
            {"MessageOrigin", {"user", "broadcast", "system", "reply"}},
            {"DeliveryState", {"sending", "sent", "failed"}},
            {"FriendState", {"incoming", "outgoing", "friends"}},
            {"ReportReason", {"스팸", "사칭", "혐오", "기타"}},
        };
        for (const auto &[type, texts] : raw) {
            for (const QString &t : texts)
                QTest::addRow("%s %s", qPrintable(type), qPrintable(t)) << type << t << true;
            const QString first = texts.first();
            if (first.toUpper() != first)
                QTest::addRow("%s upper case", qPrintable(type))
                    << type << first.toUpper() << false;
            QTest::addRow("%s padded", qPrintable(type)) << type << (first + u' ') << false;
            QTest::addRow("%s empty", qPrintable(type)) << type << QString() << false;
        }
        QTest::newRow("MessageKind video") << "MessageKind"
                                           << "video" << false;
        QTest::newRow("ReportReason case name") << "ReportReason"
                                                << "spam" << false;
    }

    void enumRawTexts()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<QString> back = enumRoundTrip(type, text);
        QCOMPARE(back.has_value(), valid);
        if (valid)
            QCOMPARE(*back, text);
    }

    void reportReasons()
    {
        // The texts map to the right cases, listed in the order the report sheet shows them.
        QCOMPARE(fromRawText<ReportReason>(u"스팸"), ReportReason::spam);
        QCOMPARE(rawText(ReportReason::other), QStringLiteral("기타"));
        QCOMPARE(allReportReasons(),
                 (QList<ReportReason>{ReportReason::spam, ReportReason::impersonation,
                                      ReportReason::hate, ReportReason::other}));
    }

    void accountAcceptsUserMessages_data()
    {
        QTest::addColumn<QJsonValue>("value"); // Undefined: key left out
        QTest::addColumn<bool>("readable");
        QTest::addColumn<bool>("expected");

        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << true << true;
        QTest::newRow("null") << QJsonValue(QJsonValue::Null) << true << true;
        QTest::newRow("false") << QJsonValue(false) << true << false;
        QTest::newRow("true") << QJsonValue(true) << true << true;
        QTest::newRow("text") << QJsonValue("false") << false << false;
        QTest::newRow("number") << QJsonValue(0) << false << false;
    }

    void accountAcceptsUserMessages()
    {
        QFETCH(QJsonValue, value);
        QFETCH(bool, readable);
        QFETCH(bool, expected);

        QJsonObject json = validJson(QStringLiteral("Account"));
        json.remove(QStringLiteral("acceptsUserMessages"));
        if (!value.isUndefined())
            json.insert(QStringLiteral("acceptsUserMessages"), value);
        QString error;
        const std::optional<Account> a = Account::fromJson(json, &error);
        QCOMPARE(a.has_value(), readable);
        if (readable)
            QCOMPARE(a->acceptsUserMessages, expected);
        else
            QVERIFY(error.contains(QStringLiteral("acceptsUserMessages")));
    }

    void accountWithoutOptionalsWritesNineKeys()
    {
        QJsonObject json = validJson(QStringLiteral("Account"));
        for (const char *key : {"avatarJPEG", "avatarURL", "officialAccountId"})
            json.remove(QLatin1String(key));
        const std::optional<Account> a = Account::fromJson(json);
        QVERIFY(a);
        QVERIFY(!a->avatarJPEG && !a->avatarURL && !a->officialAccountId);

        const std::optional<QJsonObject> written = a->toJson();
        QVERIFY(written);
        QCOMPARE(written->size(), 9);
        QVERIFY(written->contains(QStringLiteral("acceptsUserMessages")));
        for (const QJsonValue &v : *written)
            QVERIFY(!v.isNull());
    }

    void fullRecordsRoundTrip()
    {
        const Account account = fullAccount();
        QCOMPARE(Account::fromJson(*account.toJson()), account);
        const Conversation conversation = fullConversation();
        QCOMPARE(Conversation::fromJson(*conversation.toJson()), conversation);
        const ChatMessage message = fullMessage();
        const auto messageBack = ChatMessage::fromJson(*message.toJson());
        QVERIFY(messageBack);
        QCOMPARE(messageBack->seq, message.seq);
        QCOMPARE(*messageBack, message);
        const ReportRecord report{idA,
                                  idB,
                                  idC,
                                  QStringLiteral("기타"),
                                  QStringLiteral("광고"),
                                  at("2024-01-02T03:04:05Z")};
        QCOMPARE(ReportRecord::fromJson(*report.toJson()), report);
        const RetiredHandle retired{QStringLiteral("taeo"), at("2030-01-01T00:00:00Z")};
        QCOMPARE(RetiredHandle::fromJson(*retired.toJson()), retired);
        const AppSession session{idC, true};
        QCOMPARE(AppSession::fromJson(*session.toJson()), session);
        const FriendLink link{idB, FriendState::outgoing};
        QCOMPARE(FriendLink::fromJson(*link.toJson()), link);
        const OfficialLink official{idB, true};
        QCOMPARE(OfficialLink::fromJson(*official.toJson()), official);
        // Empty bytes are a value of their own, distinct from no bytes.
        Account emptyAvatar = account;
        emptyAvatar.avatarJPEG = QByteArray();
        const auto emptyBack = Account::fromJson(*emptyAvatar.toJson());
        QVERIFY(emptyBack && emptyBack->avatarJPEG && emptyBack->avatarJPEG->isEmpty());
    }

    void validObjectsRead_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QJsonObject>("json");

        for (const QString &type : recordTypes) {
            const QJsonObject base = validJson(type);
            QTest::addRow("%s complete", qPrintable(type)) << type << base;
            QJsonObject extra = base;
            extra.insert(QStringLiteral("someFutureKey"), QJsonArray{1, 2});
            QTest::addRow("%s unknown key ignored", qPrintable(type)) << type << extra;
            for (const QString &key : optionalKeys(type)) {
                QJsonObject absent = base;
                absent.remove(key);
                QTest::addRow("%s without %s", qPrintable(type), qPrintable(key)) << type << absent;
                QJsonObject null = base;
                null.insert(key, QJsonValue::Null);
                QTest::addRow("%s %s null", qPrintable(type), qPrintable(key)) << type << null;
            }
        }
        QJsonObject lower = validJson(QStringLiteral("FriendLink"));
        lower.insert(QStringLiteral("userId"),
                     QStringLiteral("0b6a7c1e-9f5d-4e3a-8c2b-1d0e9f8a7b6c"));
        QTest::newRow("lower-case UUID") << "FriendLink" << lower;
        QJsonObject offset = validJson(QStringLiteral("RetiredHandle"));
        offset.insert(QStringLiteral("until"), QStringLiteral("2024-03-01T19:00:00+09:00"));
        QTest::newRow("time with offset") << "RetiredHandle" << offset;
        QJsonObject bigSeq = validJson(QStringLiteral("ChatMessage"));
        bigSeq.insert(QStringLiteral("seq"), QJsonValue(qint64(-5)));
        QTest::newRow("negative seq") << "ChatMessage" << bigSeq;
    }

    void validObjectsRead()
    {
        QFETCH(QString, type);
        QFETCH(QJsonObject, json);
        QString error;
        QVERIFY2(readRecord(type, json, &error), qPrintable(error));

        if (type == u"Membership" && json.value(QStringLiteral("leftAt")).isNull()) {
            const auto m = Membership::fromJson(json);
            QVERIFY(m && m->isActive());
        }
    }

    void rejection_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QJsonValue>("json");
        QTest::addColumn<QString>("key"); // the member the error must name

        // Every required key of every record, missing and null.
        for (const QString &type : recordTypes) {
            const QJsonObject base = validJson(type);
            const QSet<QString> optional = optionalKeys(type);
            for (auto it = base.begin(); it != base.end(); ++it) {
                if (optional.contains(it.key()))
                    continue;
                QJsonObject missing = base;
                missing.remove(it.key());
                QTest::addRow("%s without %s", qPrintable(type), qPrintable(it.key()))
                    << type << QJsonValue(missing) << it.key();
                QJsonObject null = base;
                null.insert(it.key(), QJsonValue::Null);
                QTest::addRow("%s %s null", qPrintable(type), qPrintable(it.key()))
                    << type << QJsonValue(null) << it.key();
            }
        }

        // `type` with `key` set to `value`: rejected, and the error names `key`.
        const auto bad
            = [](const char *name, const char *type, const char *key, const QJsonValue &value) {
                  QJsonObject o = validJson(QLatin1String(type));
                  o.insert(QLatin1String(key), value);
                  QTest::newRow(name) << QString(type) << QJsonValue(o) << QString(key);
              };
        bad("seq as text", "ChatMessage", "seq", "12");
        bad("seq with fraction", "ChatMessage", "seq", 1.5);
        bad("seq too large", "ChatMessage", "seq", 1e20);
        bad("unknown kind", "ChatMessage", "kind", "video");
        bad("kind as number", "ChatMessage", "kind", 0);
        bad("role in capitals", "Membership", "role", "Owner");
        bad("body as number", "ChatMessage", "body", 3);
        bad("pinned as text", "Conversation", "pinned", "true");
        bad("pinned as number", "Conversation", "pinned", 1);
        bad("memberships not a list", "Conversation", "memberships", QJsonObject());
        bad("membership not an object", "Conversation", "memberships", QJsonArray{"x"});
        bad("uuid garbage", "FriendLink", "userId", "not-a-uuid");
        bad("uuid with braces", "FriendLink", "userId", "{0B6A7C1E-9F5D-4E3A-8C2B-1D0E9F8A7B6C}");
        bad("uuid without hyphens", "FriendLink", "userId", "0B6A7C1E9F5D4E3A8C2B1D0E9F8A7B6C");
        bad("uuid non-hex", "FriendLink", "userId", "0B6A7C1E-9F5D-4E3A-8C2B-1D0E9F8A7B6G");
        bad("optional uuid bad", "ReportRecord", "messageId", "x");
        bad("base64 bad char", "Account", "avatarJPEG", "/9j/4A*=");
        bad("base64 unpadded", "Account", "avatarJPEG", "/9j/4A");
        bad("base64 line break", "Account", "avatarJPEG", "/9j/\n4A==");
        bad("base64 url alphabet", "Account", "avatarJPEG", "_9j-4A==");
        bad("base64 inner padding", "Account", "avatarJPEG", "AA==AAAA");
        bad("bytes as number", "Conversation", "photoJPEG", 5);
        bad("time with space", "RetiredHandle", "until", "2024-03-01 10:00:00Z");
        bad("time with fraction", "RetiredHandle", "until", "2024-03-01T10:00:00.5Z");
        bad("time without zone", "RetiredHandle", "until", "2024-03-01T10:00:00");
        bad("date only", "RetiredHandle", "until", "2024-03-01");
        bad("no such day", "RetiredHandle", "until", "2023-02-29T10:00:00Z");
        bad("hour 24", "RetiredHandle", "until", "2024-03-01T24:00:00Z");
        bad("time as seconds", "RetiredHandle", "until", 1700000000);
        bad("optional time bad", "Membership", "leftAt", "yesterday");
        bad("optional text as number", "ChatMessage", "imageURL", 1);
        QTest::newRow("not an object") << "AppSession" << QJsonValue(QJsonArray()) << QString();
        QTest::newRow("null record") << "AppSession" << QJsonValue(QJsonValue::Null) << QString();
    }

    void rejection()
    {
        QFETCH(QString, type);
        QFETCH(QJsonValue, json);
        QFETCH(QString, key);
        QString error;
        QVERIFY(!readRecord(type, json, &error));
        QVERIFY(!error.isEmpty());
        if (!key.isEmpty())
            QVERIFY2(error.startsWith(key), qPrintable(error));
    }

    void errorNamesNestedMember()
    {
        QJsonObject conversation = validJson(QStringLiteral("Conversation"));
        QJsonObject second = validJson(QStringLiteral("Membership"));
        second.insert(QStringLiteral("lastReadSeq"), QStringLiteral("3"));
        conversation.insert(QStringLiteral("memberships"),
                            QJsonArray{validJson(QStringLiteral("Membership")), second});
        QString error;
        QVERIFY(!Conversation::fromJson(conversation, &error));
        QVERIFY2(error.startsWith(QStringLiteral("memberships[1].lastReadSeq")), qPrintable(error));
    }

    void equalityCoversEveryField()
    {
        const Conversation c = fullConversation();
        Conversation read = c;
        read.memberships[1].lastReadSeq += 1;
        QVERIFY(c != read);
        Conversation left = c;
        left.memberships[1].leftAt.reset();
        QVERIFY(c != left);
        Conversation reordered = c;
        std::swap(reordered.memberships[0], reordered.memberships[1]);
        QVERIFY(c != reordered);

        const ChatMessage m = fullMessage();
        ChatMessage sent = m;
        sent.delivery = DeliveryState::sent;
        QVERIFY(m != sent);
        ChatMessage noKey = m;
        noKey.idempotencyKey = QString(); // present but empty is not the same as absent
        QVERIFY(m != noKey);
        noKey.idempotencyKey.reset();
        QVERIFY(m != noKey);
        ChatMessage later = m;
        later.createdAt = later.createdAt.addMSecs(1);
        QVERIFY(m != later);

        Account a = fullAccount();
        Account b = a;
        b.acceptsUserMessages = !b.acceptsUserMessages;
        QVERIFY(a != b);
        b = a;
        b.avatarJPEG->append('\0');
        QVERIFY(a != b);

        // Equal values hash alike, so sets of records behave.
        QSet<ChatMessage> set{m, ChatMessage(m), sent};
        QCOMPARE(set.size(), 2);
        QCOMPARE(qHash(c), qHash(Conversation(c)));
        const ReportDraft draft{idA, idB, idC};
        QCOMPARE(qHash(draft, 3), qHash(ReportDraft(draft), 3));
    }

    void textsCompareCanonically()
    {
        Account precomposed = fullAccount();
        precomposed.displayName = QStringLiteral("Caf\u00E9 \uD55C");
        Account decomposed = precomposed;
        decomposed.displayName = QStringLiteral("Cafe\u0301 \u1112\u1161\u11AB");
        QVERIFY(precomposed.displayName != decomposed.displayName);
        QCOMPARE(precomposed, decomposed);
        QCOMPARE(qHash(precomposed), qHash(decomposed));

        RetiredHandle h1{QStringLiteral("\u00C5"), at("2024-01-01T00:00:00Z")};
        RetiredHandle h2{QStringLiteral("A\u030A"), at("2024-01-01T00:00:00Z")};
        QCOMPARE(h1, h2);
        QCOMPARE(qHash(h1, 7), qHash(h2, 7));
        // Compatibility forms are different texts: "ﬁ" is not "fi".
        RetiredHandle h3{QStringLiteral("\uFB01"), h1.until};
        RetiredHandle h4{QStringLiteral("fi"), h1.until};
        QVERIFY(h3 != h4);
    }

    void identities()
    {
        const Membership m{idB, MemberRole::member, 0, at("2024-01-01T00:00:00Z"), std::nullopt};
        QCOMPARE(m.id(), idB);
        QCOMPARE((FriendLink{idC, FriendState::friends}.id()), idC);
        QCOMPARE((OfficialLink{idA, false}.id()), idA);

        QCOMPARE(SeedID::quillo(), QUuid(QStringLiteral("11111111-1111-4111-8111-111111111111")));
        QCOMPARE(SeedID::shop(), QUuid(QStringLiteral("55555555-5555-4555-8555-555555555555")));
        const QList<QUuid> seeds
            = {SeedID::quillo(), SeedID::sora(), SeedID::taeo(), SeedID::rian(), SeedID::shop()};
        for (const QUuid &id : seeds) {
            QCOMPARE(id.version(), QUuid::Random);
            QCOMPARE(id.variant(), QUuid::DCE);
        }
    }
};

QTEST_GUILESS_MAIN(TstModelRecords)
#include "tst_modelrecords.moc"
