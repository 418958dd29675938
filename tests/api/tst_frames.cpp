// The socket frame reader that works straight on the bytes against the one that goes through a
// JSON document: for every frame, valid or not, both must come to the same result, and the
// frames the service usually sends must not need the document at all.

#include "api/SocketFrame.h"

#include <QTest>

namespace {

const QByteArray kRoom = "5B0F5C56-7C6B-4C1E-9F0E-2D6B8A1F0A11";
const QByteArray kUser = "0c2a9e0b-3f3e-4b4d-8e4a-6a7e5c1d2b33";
const QByteArray kMsg = "9D8C7B6A-5F4E-4D3C-8B2A-1F0E9D8C7B6A";

// The members of a message that decodes, before `extra`, with `seq` and `body` as given.
QByteArray messageMembers(const QByteArray &seq = "7", const QByteArray &body = "\"hi\"")
{
    return "\"id\":\"" + kMsg + "\",\"conversation_id\":\"" + kRoom + "\",\"seq\":" + seq
        + ",\"sender_id\":\"" + kUser + "\",\"client_msg_id\":\"" + kMsg
        + "\",\"type\":\"text\",\"origin\":\"user\",\"body\":" + body
        + ",\"created_at\":\"2026-01-31T09:30:00.123Z\"";
}

QByteArray messageFrame(const QByteArray &members)
{
    return "{\"type\":\"message.created\",\"message\":{" + members + "}}";
}

QByteArray withBody(const QByteArray &body)
{
    return messageFrame(messageMembers("7", body));
}

QByteArray withSeq(const QByteArray &seq)
{
    return messageFrame(messageMembers(seq));
}

QByteArray withExtra(const QByteArray &extra)
{
    return messageFrame(messageMembers() + ',' + extra);
}

QByteArray withAttachments(const QByteArray &attachments)
{
    return withExtra("\"attachments\":" + attachments);
}

QByteArray readFrame(const QByteArray &rest)
{
    return "{\"type\":\"read.updated\",\"conversation_id\":\"" + kRoom + "\",\"user_id\":\"" + kUser
        + "\"" + rest + "}";
}

QByteArray typingFrame(const QByteArray &rest)
{
    return "{\"type\":\"typing\",\"conversation_id\":\"" + kRoom + "\",\"user_id\":\"" + kUser
        + "\"" + rest + "}";
}

QByteArray nested(int depth)
{
    return withExtra("\"deep\":" + QByteArray(depth, '[') + QByteArray(depth, ']'));
}

// Both readers agree on `frame`; the direct one may leave it to the other.
bool agree(const QByteArray &frame)
{
    const SocketFrame reference = SocketFrame::parseDocument(frame);
    const SocketFrame combined = SocketFrame::parse(frame);
    if (combined.action != reference.action || combined.event != reference.event)
        return false;
    const std::optional<SocketFrame> direct = SocketFrame::parseDirect(frame);
    return !direct || (direct->action == reference.action && direct->event == reference.event);
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void sameAsDocument_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("direct"); // the direct reader must answer it itself
        const auto row = [](const char *name, const QByteArray &frame, bool direct = false) {
            QTest::newRow(name) << frame << direct;
        };
        const QByteArray attachment = "{\"id\":\"" + kMsg + "\",\"width\":640,\"height\":480,";

        // The common forms.
        row("message", withBody("\"hi\""), true);
        row("message camel keys",
            messageFrame("\"id\":\"" + kMsg + "\",\"conversationId\":\"" + kRoom
                         + "\",\"seq\":1,\"senderId\":\"" + kUser
                         + "\",\"clientMsgId\":null,\"type\":\"text\",\"origin\":\"user\""),
            true);
        row("message before type",
            "{\"message\":{" + messageMembers() + "},\"type\":\"message.created\"}", true);
        row("message, spaces",
            " {\n\t\"type\" : \"message.created\" ,\r\n \"message\" : {" + messageMembers()
                + " } } \n",
            true);
        row("Hangul and emoji body", withBody("\"\xec\x95\x88\xeb\x85\x95 \xf0\x9f\x98\x80\""),
            true);
        row("photo", withAttachments('[' + attachment + "\"byte_size\":1000,\"url\":\"u\"}]"),
            true);
        row("photo camel, no url", withAttachments('[' + attachment + "\"byteSize\":1}]"), true);
        row("no attachments", withAttachments("[]"), true);
        row("read", readFrame(",\"seq\":12"), true);
        row("typing", typingFrame(",\"active\":true"), true);
        row("typing without active", typingFrame(""), true);
        row("typing active text", typingFrame(",\"active\":\"yes\""), true);
        row("typing active null", typingFrame(",\"active\":null"), true);
        row("changed", "{\"type\":\"conversation.changed\",\"conversation_id\":\"" + kRoom + "\"}",
            true);
        row("auth.ok", "{\"type\":\"auth.ok\"}", true);
        row("unauthorized", "{\"type\":\"error\",\"code\":\"unauthorized\"}", true);
        row("friend", "{\"type\":\"friend.requested\"}", true);
        row("unknown type", "{\"type\":\"presence\",\"x\":1}", true);
        row("extra members", withExtra("\"edited\":false,\"meta\":{\"a\":[1,-2,null,\"x\"]}"),
            true);

        // Optionals left null, required members null, missing or of the wrong kind.
        row("optionals null",
            withExtra("\"attachments\":null")
                .replace("\"hi\"", "null")
                .replace("\"2026-01-31T09:30:00.123Z\"", "null"));
        row("seq null", withSeq("null"));
        row("seq text", withSeq("\"7\""));
        row("no seq", messageFrame(messageMembers().replace("\"seq\":7,", "")));
        row("id number",
            messageFrame(messageMembers().replace("\"id\":\"" + kMsg + '"', "\"id\":5")));
        row("body number", withBody("5"));
        row("attachments object", withAttachments("{}"));
        row("attachment number", withAttachments("[5]"));
        row("attachment without size", withAttachments('[' + attachment + "\"url\":\"u\"}]"));
        row("message text", "{\"type\":\"message.created\",\"message\":\"x\"}");
        row("message missing", "{\"type\":\"message.created\"}");
        row("type number", "{\"type\":5}");
        row("no type", "{\"message\":{" + messageMembers() + "}}");
        row("error code number", "{\"type\":\"error\",\"code\":5}");
        row("read seq text", readFrame(",\"seq\":\"1\""));
        row("read without seq", readFrame(""));

        // UUID texts.
        row("lower-case ids", withBody("\"x\"").toLower(), true);
        row("braced id", withBody("\"x\"").replace(kMsg, '{' + kMsg.left(34) + '}'));
        row("not hex", withBody("\"x\"").replace(kMsg, "g" + kMsg.mid(1)));
        row("escaped id", withBody("\"x\"").replace(kMsg, "\\u0039" + kMsg.mid(1)));
        row("nil id", withBody("\"x\"").replace(kMsg, "00000000-0000-0000-0000-000000000000"));

        // Numbers.
        for (const char *n : {"0",
                              "-7",
                              "7.0",
                              "7.9",
                              "-7.9",
                              "1e2",
                              "1E2",
                              "1e-2",
                              "-0",
                              "007",
                              "123456789012345",
                              "1234567890123456",
                              "9007199254740993",
                              "9223372036854775807",
                              "9223372036854775808",
                              "-9223372036854775808",
                              "1e999",
                              "7.",
                              ".7",
                              "-",
                              "+7",
                              "0x10",
                              "7e",
                              "7 8"}) {
            QTest::newRow(qPrintable(QStringLiteral("seq %1").arg(QLatin1StringView(n))))
                << withSeq(n) << false;
            QTest::newRow(qPrintable(QStringLiteral("read seq %1").arg(QLatin1StringView(n))))
                << readFrame(QByteArray(",\"seq\":") + n) << false;
            QTest::newRow(qPrintable(QStringLiteral("extra %1").arg(QLatin1StringView(n))))
                << withExtra(QByteArray("\"n\":") + n) << false;
        }
        row("photo width 7.0", withAttachments('[' + attachment + "\"byte_size\":1.0}]"));

        // Escapes and Unicode in strings.
        row("simple escapes", withBody("\"\\\"\\\\\\/\\b\\f\\n\\r\\t\""), true);
        row("unicode escapes", withBody("\"\\u0041\\u00e9\\uAC00\\u0000\\u001f\""), true);
        row("surrogate pair", withBody("\"\\ud83d\\ude00\\uD83D\\uDE00\""), true);
        row("lone high surrogate", withBody("\"a\\ud800b\""));
        row("pair reversed", withBody("\"\\ude00\\ud83d\""));
        row("escaped noncharacter", withBody("\"\\ufffe\\uffff\\ufdd0\""));
        row("unknown escape", withBody("\"\\x41\""));
        row("short unicode escape", withBody("\"\\u12\""));
        row("bad hex in escape", withBody("\"\\u12G4\""));
        row("escape at the end", withBody("\"\\"));
        row("raw control", withBody("\"a\x01z\""));
        row("raw delete", withBody("\"a\x7fz\""));
        row("raw nul", withBody(QByteArray("\"a\0z\"", 5)));
        row("e-acute", withBody("\"\xc3\xa9\""), true);
        row("cut sequence", withBody("\"\xc3\""));
        row("lone continuation", withBody("\"\x80\""));
        row("overlong", withBody("\"\xc0\xaf\""));
        row("encoded surrogate", withBody("\"\xed\xa0\x80\""));
        row("beyond U+10FFFF", withBody("\"\xf4\x90\x80\x80\""));
        row("highest", withBody("\"\xf4\x8f\xbf\xbd\""));
        row("U+FFFE", withBody("\"\xef\xbf\xbe\""));
        row("U+FDD0", withBody("\"\xef\xb7\x90\""));
        row("U+1FFFF", withBody("\"\xf0\x9f\xbf\xbf\""));
        row("byte FF", withBody("\"\xff\""));
        row("byte-order mark opening a text",
            withBody("\"\xef\xbb\xbf"
                     "a\""));
        row("byte-order mark opening a text with escapes", withBody("\"\xef\xbb\xbf\\n\""));
        row("two byte-order marks", withBody("\"\xef\xbb\xbf\xef\xbb\xbf\""));
        row("byte-order mark inside a text", withBody("\"a\xef\xbb\xbf\""), true);
        row("byte-order mark after an escape", withBody("\"\\n\xef\xbb\xbf\""), true);
        row("escaped type", "{\"type\":\"auth\\u002eok\"}");

        // Keys.
        row("repeated seq", withExtra("\"seq\":8"));
        row("snake and camel", withExtra("\"conversationId\":\"" + kRoom + '"'));
        row("upper snake beside snake", withExtra("\"SENDER_ID\":\"" + kMsg + '"'));
        row("doubled underscore",
            messageFrame(messageMembers().replace("sender_id", "sender__id")));
        row("capital camel", messageFrame(messageMembers().replace("sender_id", "senderID")));
        row("capital word", messageFrame(messageMembers().replace("\"seq\"", "\"Seq\"")));
        row("trailing underscore", messageFrame(messageMembers().replace("\"seq\"", "\"seq_\"")));
        row("escaped key", messageFrame(messageMembers().replace("\"seq\"", "\"se\\u0071\"")));
        row("key beyond ASCII", withExtra("\"\xec\x9d\xb4_\xea\xb0\x92\":1"));
        row("key of a Kelvin sign", withExtra("\"\xe2\x84\xaa\":1"));
        row("repeated type", "{\"type\":\"auth.ok\",\"type\":\"friend.requested\"}");
        row("repeated message",
            "{\"type\":\"message.created\",\"message\":{" + messageMembers() + "},\"message\":5}");
        row("repeated unknown", "{\"type\":\"auth.ok\",\"x\":1,\"x\":\"y\"}", true);
        row("camel at the top",
            "{\"type\":\"conversation.changed\",\"conversationId\":\"" + kRoom + "\"}");
        row("empty key", withExtra("\"\":1"), true);

        // Structure.
        for (int depth : {30, 31, 32, 33, 40, 600, 1100}) {
            QTest::newRow(qPrintable(QStringLiteral("nested %1").arg(depth)))
                << nested(depth) << false;
        }
        row("byte-order mark", "\xef\xbb\xbf{\"type\":\"auth.ok\"}");
        row("garbage after", "{\"type\":\"auth.ok\"}x");
        row("second object", "{\"type\":\"auth.ok\"} {}");
        row("nul after", QByteArray("{\"type\":\"auth.ok\"}\0", 19));
        row("missing comma", "{\"type\":\"auth.ok\" \"x\":1}");
        row("trailing comma", "{\"type\":\"auth.ok\",}");
        row("missing colon", "{\"type\" \"auth.ok\"}");
        row("unclosed", "{\"type\":\"auth.ok\"");
        row("array", "[{\"type\":\"auth.ok\"}]");
        row("top string", "\"auth.ok\"");
        row("empty", "");
        row("empty object", "{}");
        row("literals", withExtra("\"a\":true,\"b\":false,\"c\":null,\"d\":[true,false,null]"),
            true);
        row("literal typo", withExtra("\"a\":tru"));
    }

    void sameAsDocument()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, direct);
        QVERIFY(agree(frame));
        if (direct)
            QVERIFY(SocketFrame::parseDirect(frame).has_value());
    }

    void changedBytesStillAgree()
    {
        // Every byte of a few frames deleted, doubled and replaced with bytes that JSON or
        // UTF-8 give a meaning to: whatever the result, both readers come to it.
        const QByteArray photo = withAttachments("[{\"id\":\"" + kMsg
                                                 + "\",\"width\":6,\"height\":4,\"byte_size\":1,"
                                                   "\"url\":null}]");
        const QList<QByteArray> frames = {
            photo,
            withBody("\"a\\\"\\u00e9\\ud83d\\ude00"
                     "\xea\xb0\x80\""),
            readFrame(",\"seq\":3,\"x\":[{}]"),
            typingFrame(",\"active\":true"),
        };
        static const char replacements[]
            = "\"\\{}[],:0-.eE u_Anlt\x01\x7f\x80\xbf\xc3\xed\xef\xf4\xff";
        int mismatches = 0;
        for (const QByteArray &frame : frames) {
            for (qsizetype i = 0; i < frame.size(); ++i) {
                QList<QByteArray> variants{QByteArray(frame).remove(i, 1),
                                           QByteArray(frame).insert(i, frame.at(i))};
                for (qsizetype r = 0; r + 1 < qsizetype(sizeof replacements); ++r)
                    variants.append(
                        QByteArray(frame).replace(i, 1, QByteArray(1, replacements[r])));
                for (const QByteArray &variant : std::as_const(variants)) {
                    if (!agree(variant)) {
                        if (++mismatches <= 5)
                            qWarning("readers disagree on: %s",
                                     variant.toPercentEncoding().constData());
                    }
                }
            }
        }
        QCOMPARE(mismatches, 0);
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
