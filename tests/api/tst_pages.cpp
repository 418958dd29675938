// The list answers read straight from their bytes against the reading through a JSON document:
// for every answer, valid or not, both must come to the same list or the same failure, and the
// answers the service usually sends must not need the document at all.

#include "api/ApiDecoder.h"

#include <QTest>

namespace {

using Reader = ApiDecoder::Reader;

const QByteArray kRoom = "5B0F5C56-7C6B-4C1E-9F0E-2D6B8A1F0A11";
const QByteArray kUser = "0c2a9e0b-3f3e-4b4d-8e4a-6a7e5c1d2b33";
const QByteArray kMsg = "9D8C7B6A-5F4E-4D3C-8B2A-1F0E9D8C7B6A";

// Which reader of the three must answer a row by itself.
enum class Page { none, conversations, messages, sync };

QByteArray message(const QByteArray &extra = {})
{
    return "{\"id\":\"" + kMsg + "\",\"conversation_id\":\"" + kRoom
        + "\",\"seq\":7,\"sender_id\":\"" + kUser
        + "\",\"client_msg_id\":null,\"type\":\"text\",\"origin\":\"user\",\"body\":\"hi\"" + extra
        + '}';
}

QByteArray member(const QByteArray &extra = {})
{
    return "{\"user_id\":\"" + kUser + "\",\"role\":\"owner\",\"kind\":\"person\"" + extra + '}';
}

// A room of the room list with `extra` members after the usual ones.
QByteArray room(const QByteArray &extra = {})
{
    return "{\"id\":\"" + kRoom
        + "\",\"type\":\"group\",\"title\":\"\xeb\xaa\xa8\xec\x9e\x84\","
          "\"muted\":false,\"pinned\":true,\"unread_count\":2,\"last_message\":"
        + message() + ",\"members\":[" + member(",\"handle\":\"me\",\"display_name\":null") + ','
        + member(",\"accepts_user_messages\":false,\"left_at\":\"2026-01-31T09:30:00Z\"") + ']'
        + extra + '}';
}

QByteArray rooms(const QByteArray &elements)
{
    return "{\"conversations\":[" + elements + "]}";
}

QByteArray syncRoom(const QByteArray &extra = {})
{
    return "{\"id\":\"" + kRoom + "\",\"messages\":[" + message() + "],\"has_more\":false,"
        + "\"reads\":[{\"user_id\":\"" + kUser
        + "\",\"last_read_seq\":3}],\"members\":[{\"user_id\":\"" + kUser
        + "\",\"display_name\":\"\xec\x83\x81\xeb\x8c\x80\"}]" + extra + '}';
}

QByteArray messages(const QByteArray &elements)
{
    return "{\"messages\":[" + elements + "]}";
}

// The readers of one kind of page agree on `bytes`; `mustAnswer` asks the direct one to read
// it by itself.
template<typename Decode>
bool agree(Decode decode, const QByteArray &bytes, bool mustAnswer)
{
    const auto reference = decode(bytes, Reader::document);
    if (decode(bytes, Reader::any) != reference)
        return false;
    const auto direct = decode(bytes, Reader::direct);
    if (mustAnswer && !direct)
        return false;
    return !direct || direct == reference;
}

// Every kind of page agrees on `bytes`, whatever kind the bytes were written as.
bool allAgree(const QByteArray &bytes, Page answered = Page::none)
{
    return agree(&ApiDecoder::conversationPage, bytes, answered == Page::conversations)
        && agree(&ApiDecoder::messagePage, bytes, answered == Page::messages)
        && agree(&ApiDecoder::syncPage, bytes, answered == Page::sync);
}

} // namespace

Q_DECLARE_METATYPE(Page)

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void sameAsDocument_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Page>("answered");
        const auto row = [](const char *name, const QByteArray &bytes, Page answered = Page::none) {
            QTest::newRow(name) << bytes << answered;
        };

        // The common forms.
        row("room list", rooms(room() + ',' + room()), Page::conversations);
        row("empty room list", rooms(""), Page::conversations);
        row("room without optionals",
            rooms("{\"id\":\"" + kRoom
                  + "\",\"type\":\"direct\",\"muted\":true,\"pinned\":false,\"unread_count\":0,"
                    "\"members\":[]}"),
            Page::conversations);
        row("room camel keys",
            rooms("{\"id\":\"" + kRoom
                  + "\",\"type\":\"direct\",\"muted\":true,\"pinned\":false,\"unreadCount\":0,"
                    "\"lastMessage\":null,\"members\":[{\"userId\":\""
                  + kUser
                  + "\",\"role\":\"member\",\"kind\":\"bot\",\"acceptsUserMessages\":null}]}"),
            Page::conversations);
        row("optionals null",
            rooms(room(",\"extra\":{\"a\":[1,null]}")
                      .replace("\"title\":\"\xeb\xaa\xa8\xec\x9e\x84\"", "\"title\":null")),
            Page::conversations);
        row("extra members at the top", "{\"next\":null,\"conversations\":[],\"n\":[1,{}]}",
            Page::conversations);
        row("message page", messages(message() + ',' + message(",\"attachments\":[]")),
            Page::messages);
        row("photo message",
            messages(message(",\"attachments\":[{\"id\":\"" + kMsg
                             + "\",\"width\":640,\"height\":480,\"byte_size\":1,\"url\":null}]")),
            Page::messages);
        row("sync page", rooms(syncRoom() + ',' + syncRoom()), Page::sync);
        row("sync page with more",
            rooms(syncRoom() + ',' + syncRoom().replace("\"has_more\":false", "\"has_more\":true")),
            Page::sync);
        row("sync member of every field",
            rooms(syncRoom().replace("\"display_name\"",
                                     "\"role\":\"member\",\"kind\":\"person\",\"left_at\":null,"
                                     "\"avatar_url\":\"u\",\"accepts_user_messages\":false,"
                                     "\"display_name\"")),
            Page::sync);
        row("spaces", " {\n\t\"messages\" : [ " + message() + " ] } \r\n", Page::messages);

        // Required members missing, null or of the wrong type; optional ones of the wrong type.
        row("muted text", rooms(room().replace("\"muted\":false", "\"muted\":\"no\"")));
        row("muted null", rooms(room().replace("\"muted\":false", "\"muted\":null")));
        row("no unread count", rooms(room().replace("\"unread_count\":2,", "")));
        row("unread count text",
            rooms(room().replace("\"unread_count\":2", "\"unread_count\":\"2\"")));
        row("title number",
            rooms(room().replace("\"title\":\"\xeb\xaa\xa8\xec\x9e\x84\"", "\"title\":5")));
        row("last message text",
            rooms(room(",\"lastMessage\":\"x\"").replace(",\"last_message\":" + message(), "")));
        row("last message incomplete", rooms(room().replace("\"seq\":7,", "")));
        row("members null", rooms(room().replace("\"members\":[", "\"members\":null,\"x\":[")));
        row("member without role", rooms(room().replace("\"role\":\"owner\",", "")));
        row("accepts text",
            rooms(room().replace("\"accepts_user_messages\":false",
                                 "\"accepts_user_messages\":\"no\"")));
        row("one bad room", rooms(room() + ",5"));
        row("list null", "{\"conversations\":null}");
        row("list object", "{\"conversations\":{}}");
        row("no list", "{\"messages_\":[]}");
        row("has more missing", rooms(syncRoom().replace("\"has_more\":false,", "")));
        row("read seq fraction",
            rooms(syncRoom().replace("\"last_read_seq\":3", "\"last_read_seq\":3.5")));
        row("sync member without id",
            rooms(syncRoom().replace("{\"user_id\":\"" + kUser + "\",\"display", "{\"display")));
        row("attachment url number",
            messages(message(",\"attachments\":[{\"id\":\"" + kMsg
                             + "\",\"width\":1,\"height\":1,\"byte_size\":1,\"url\":5}]")));

        // Numbers the direct reader leaves to the document.
        for (const char *n :
             {"2.0", "-0", "1e3", "123456789012345", "1234567890123456", "9223372036854775807",
              "9223372036854775808", "-9223372036854775809", "1e999", "02"}) {
            QTest::newRow(qPrintable(QStringLiteral("unread %1").arg(QLatin1StringView(n))))
                << rooms(room().replace("\"unread_count\":2", QByteArray("\"unread_count\":") + n))
                << Page::none;
        }

        // Strings.
        row("escapes",
            rooms(room(",\"x\":\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"")
                      .replace("\"hi\"", "\"a\\u00e9\\uAC00\\u0000\"")),
            Page::conversations);
        row("surrogate pair", messages(message().replace("\"hi\"", "\"\\ud83d\\ude00\"")),
            Page::messages);
        row("lone surrogate", messages(message().replace("\"hi\"", "\"a\\udc00\"")));
        row("emoji in UTF-8", messages(message().replace("\"hi\"", "\"\xf0\x9f\x98\x80\"")),
            Page::messages);
        row("byte-order mark opening a title",
            rooms(room().replace("\"\xeb\xaa\xa8", "\"\xef\xbb\xbf\xeb\xaa\xa8")));
        row("broken UTF-8", messages(message().replace("\"hi\"", "\"\xc3\"")));
        row("lower-case ids", rooms(room().toLower()), Page::conversations);
        row("braced id", rooms(room().replace(kRoom, '{' + kRoom.left(34) + '}')));

        // Keys.
        row("repeated list", "{\"conversations\":[],\"conversations\":[" + room() + "]}");
        row("repeated muted", rooms(room(",\"muted\":true")));
        row("snake and camel", rooms(room(",\"unreadCount\":3")));
        row("upper snake", rooms(room().replace("unread_count", "UNREAD_COUNT")));
        row("capital list key", "{\"Conversations\":[]}");
        row("escaped list key", "{\"conversation\\u0073\":[]}");
        row("repeated member key",
            rooms(room().replace("\"role\":\"owner\"", "\"role\":\"owner\",\"role\":\"member\"")));
        row("repeated unknown", rooms(room(",\"x\":1,\"x\":\"y\"")), Page::conversations);

        // Structure.
        row("garbage after", rooms(room()) + "x");
        row("second object", rooms(room()) + "{}");
        row("nul after", rooms(room()) + QByteArray(1, '\0'));
        row("byte-order mark", "\xef\xbb\xbf" + rooms(room()));
        row("array", '[' + rooms(room()) + ']');
        row("empty", "");
        row("unclosed", rooms(room()).chopped(1));
        row("trailing comma", rooms(room() + ','));
        row("deep extra", rooms(room(",\"x\":" + QByteArray(40, '[') + QByteArray(40, ']'))));
    }

    void sameAsDocument()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Page, answered);
        QVERIFY(allAgree(bytes, answered));
    }

    void answersThatDecode()
    {
        // The common forms decode to what they say, not only to what the document makes of
        // them: both readers could share a fault otherwise.
        const auto list = ApiDecoder::conversationPage(rooms(room()), Reader::direct);
        QVERIFY(list && list->size() == 1);
        const APIConversation &c = list->first();
        QCOMPARE(c.id, QUuid::fromString(QLatin1StringView(kRoom)));
        QCOMPARE(c.title, QStringLiteral("모임"));
        QVERIFY(!c.muted && c.pinned);
        QCOMPARE(c.unreadCount, 2);
        QVERIFY(c.lastMessage && c.lastMessage->seq == 7
                && c.lastMessage->body == QStringLiteral("hi"));
        QCOMPARE(c.members.size(), 2);
        QVERIFY(c.members.at(0).acceptsUserMessages && !c.members.at(1).acceptsUserMessages);
        QCOMPARE(c.members.at(0).handle, QStringLiteral("me"));
        QVERIFY(!c.members.at(0).displayName);

        const QByteArray more = syncRoom().replace("\"has_more\":false", "\"has_more\":true");
        const auto sync = ApiDecoder::syncPage(rooms(syncRoom() + ',' + more), Reader::direct);
        QVERIFY(sync && sync->size() == 2);
        QVERIFY(!sync->first().hasMore && sync->last().hasMore);
        QCOMPARE(sync->first().reads.value(0).lastReadSeq, 3);
        QVERIFY(sync->first().members.value(0).acceptsUserMessages);
        QCOMPARE(sync->first().members.value(0).displayName, QStringLiteral("상대"));
    }

    void changedBytesStillAgree()
    {
        // Every byte of a few answers deleted, doubled and replaced with bytes that JSON or
        // UTF-8 give a meaning to: whatever the result, all readers come to it.
        const QList<QByteArray> answers = {
            rooms(room()),
            rooms(syncRoom()),
            messages(message(",\"attachments\":[{\"id\":\"" + kMsg
                             + "\",\"width\":6,\"height\":4,\"byte_size\":1}]")),
        };
        static const char replacements[] = "\"\\{}[],:0-.eE u_Anlt\x01\x80\xc3\xed\xef\xff";
        int mismatches = 0;
        for (const QByteArray &answer : answers) {
            for (qsizetype i = 0; i < answer.size(); ++i) {
                QList<QByteArray> variants{QByteArray(answer).remove(i, 1),
                                           QByteArray(answer).insert(i, answer.at(i))};
                for (qsizetype r = 0; r + 1 < qsizetype(sizeof replacements); ++r)
                    variants.append(
                        QByteArray(answer).replace(i, 1, QByteArray(1, replacements[r])));
                for (const QByteArray &variant : std::as_const(variants)) {
                    if (!allAgree(variant) && ++mismatches <= 5)
                        qWarning("readers disagree on: %s",
                                 variant.toPercentEncoding().constData());
                }
            }
        }
        QCOMPARE(mismatches, 0);
    }
};

QTEST_GUILESS_MAIN(TestPages)
#include "tst_pages.moc"
