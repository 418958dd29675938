#include "api/ApiDecoder.h"
#include "api/ChatAPI.h"
#include "api/ChatErrors.h"
#include "api/ChatPath.h"
#include "api/SocketFrame.h"
#include "api/WireJson.h"
#include "api/WireTypes.h"

#include <QJsonDocument>
#include <QTest>

namespace {

const QString kRoom = QStringLiteral("5B0F5C56-7C6B-4C1E-9F0E-2D6B8A1F0A11");
const QString kUser = QStringLiteral("0C2A9E0B-3F3E-4B4D-8E4A-6A7E5C1D2B33");
const QString kMsg = QStringLiteral("9D8C7B6A-5F4E-4D3C-8B2A-1F0E9D8C7B6A");

// Rows give their JSON as text or as bytes.
template<typename T>
QByteArray bytes(const T &json)
{
    if constexpr (std::is_same_v<T, QString>)
        return json.toUtf8();
    else
        return QByteArray(json);
}

QByteArray message(const QString &extra = {}, const QString &seq = QStringLiteral("7"))
{
    QString json
        = QStringLiteral(
              R"({"id":"%1","conversation_id":"%2","seq":%3,"sender_id":"%4","type":"text","origin":"user")")
              .arg(kMsg, kRoom, seq, kUser);
    if (!extra.isEmpty())
        json += u',' + extra;
    return (json + u'}').toUtf8();
}

} // namespace

// The wire layer without any network: key conversion, decoders, error mapping, paths, the
// invite parser and the socket frame parser.
class TestWire : public QObject
{
    Q_OBJECT

private slots:
    void keyConversion_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *key, const char *expected) {
            QTest::newRow(name) << QString::fromUtf8(key) << QString::fromUtf8(expected);
        };
        row("snake", "display_name", "displayName");
        row("three words", "client_msg_id", "clientMsgId");
        row("upper case words", "USER_ID", "userId");
        row("outer underscores stay", "_private_key_", "_privateKey_");
        row("no underscore", "plain", "plain");
        row("capital not lowered", "Code", "Code");
        row("camel already", "displayName", "displayName");
        row("doubled underscore", "a__b", "aB");
        row("only underscores", "___", "___");
        row("empty", "", "");
        row("leading only", "_single", "_single");
        row("trailing only", "url_", "url_");
        row("words beyond ASCII", "\xc3\xa9t\xc3\xa9_\xc3\xa9T\xc3\x89",
            "\xc3\xa9t\xc3\xa9\xc3\x89t\xc3\xa9");
        row("Hangul words", "\xec\x9d\xb4\xeb\xa6\x84_\xea\xb0\x92",
            "\xec\x9d\xb4\xeb\xa6\x84\xea\xb0\x92");
        row("digits", "a_1b_c2", "a1bC2");
    }

    void uuidTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("upper") << kUser << true;
        QTest::newRow("lower") << kUser.toLower() << true;
        QTest::newRow("nil") << QStringLiteral("00000000-0000-0000-0000-000000000000") << true;
        QTest::newRow("braced") << ('{' + kUser + '}') << false;
        QTest::newRow("dash moved") << QString(kUser).replace(8, 2, QStringLiteral("C-")) << false;
        QTest::newRow("not hex") << QString(kUser).replace(0, 1, u'g') << false;
        QTest::newRow("short") << kUser.left(35) << false;
        QTest::newRow("no dashes") << QString(kUser).remove(u'-') << false;
    }

    void uuidTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<QUuid> id = parseWireUuid(text);
        QCOMPARE(id.has_value(), valid);
        if (valid)
            QCOMPARE(*id, QUuid::fromString(text));
    }

    void manyKeysFirstNameWins()
    {
        // Past a couple of dozen members the fields are found through a hash: two keys that
        // convert to one name still give the first in key order, and every field is found.
        QJsonObject object;
        for (int i = 0; i < 40; ++i)
            object.insert(QStringLiteral("field_%1_x").arg(i, 2, 10, QChar(u'0')), i);
        object.insert(QStringLiteral("USER_ID"), QStringLiteral("first"));
        object.insert(QStringLiteral("user_id"), QStringLiteral("second"));
        const std::optional<WireObject> o = WireObject::from(object);
        QVERIFY(o);
        QString user;
        QVERIFY(o->text(QStringLiteral("userId"), user));
        QCOMPARE(user, QStringLiteral("first"));
        for (int i = 0; i < 40; ++i) {
            qint64 n = -1;
            QVERIFY(o->integer(QStringLiteral("field%1X").arg(i, 2, 10, QChar(u'0')), n));
            QCOMPARE(n, i);
        }
        QVERIFY(!o->has(QStringLiteral("field_00_x")));
    }

    void keyConversion()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(snakeToCamel(key), expected);
    }

    void decodesOrFails_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        const auto row = [](const char *name, const char *type, const auto &json, bool decodes) {
            QTest::newRow(name) << QString(type) << bytes(json) << decodes;
        };
        const auto userWith = [](const QString &id, const QString &rest) {
            return QStringLiteral(R"({"id":"%1","kind":"person"%2})").arg(id, rest);
        };
        const QString user = userWith(kUser, R"(,"status":"active")");
        const QString active = QStringLiteral(R"(,"status":"active")");

        row("user minimal", "user", user, true);
        row("user camel key", "user", userWith(kUser, active + R"(,"displayName":"미나")"), true);
        row("user unknown members", "user", userWith(kUser, active + R"(,"x":[1,{}])"), true);
        row("user lower-case uuid", "user", userWith(kUser.toLower(), active), true);
        row("user handle number", "user", userWith(kUser, active + R"(,"handle":5)"), false);
        row("user handle null", "user", userWith(kUser, active + R"(,"handle":null)"), true);
        row("user braced uuid", "user", userWith('{' + kUser + '}', active), false);
        row("user no status", "user", userWith(kUser, {}), false);
        row("user status null", "user", userWith(kUser, R"(,"status":null)"), false);
        row("user is array", "user", QByteArray("[]"), false);
        row("user truncated", "user", user.chopped(1), false);

        const QString attachment
            = QStringLiteral(R"("attachments":[{"id":"%1","width":3,"height":4%2}])");
        row("message minimal", "message", message(), true);
        row("message seq 7.0", "message", message({}, QStringLiteral("7.0")), true);
        row("message seq 7.5", "message", message({}, QStringLiteral("7.5")), false);
        row("message seq text", "message", message({}, QStringLiteral("\"7\"")), false);
        row("message seq huge", "message", message({}, QStringLiteral("1e300")), false);
        row("message attachments", "message", message(attachment.arg(kMsg, R"(,"byte_size":5)")),
            true);
        row("message attachment without size", "message", message(attachment.arg(kMsg, "")), false);
        row("message attachments object", "message", message(R"("attachments":{})"), false);
        row("message client id not uuid", "message", message(R"("client_msg_id":"abc")"), false);

        const QString auth = QStringLiteral(R"({"access_token":"a",%1"user":%2})");
        row("auth full", "auth", auth.arg(R"("refresh_token":"r","expires_in":60,)", user), true);
        row("auth without refresh token", "auth", auth.arg(R"("expires_in":60,)", user), false);
        row("auth without expiry", "auth", auth.arg(R"("refresh_token":"r",)", user), false);

        row("invite open other word", "invite", QByteArray(R"({"result":"whatever"})"), true);
        row("invite open bad request id", "invite",
            QByteArray(R"({"result":"incoming","request_id":7})"), false);

        const QString room = QStringLiteral(
            R"({"conversations":[{"id":"%1","type":"direct","muted":false,"pinned":true,"unread_count":%2,"members":[%3]}]})");
        const QString member = QStringLiteral(R"({"user_id":"%1"%2,"kind":"person"})");
        row("room list member without role", "conversations",
            room.arg(kRoom, "0", member.arg(kUser, "")), false);
        row("room list good", "conversations",
            room.arg(kRoom, "2", member.arg(kUser, R"(,"role":"owner")")), true);
        row("room list unread text", "conversations", room.arg(kRoom, "\"2\"", ""), false);

        const QString sync = QStringLiteral(
            R"({"conversations":[{"id":"%1","messages":[],%2"reads":[],"members":[%3]}]})");
        row("sync member only id", "sync",
            sync.arg(kRoom, R"("has_more":false,)",
                     QStringLiteral(R"({"user_id":"%1"})").arg(kUser)),
            true);
        row("sync missing has_more", "sync", sync.arg(kRoom, "", ""), false);

        row("friend requests", "friends",
            QStringLiteral(R"({"incoming":[{"id":"%1","user":%2}],"outgoing":[]})").arg(kMsg, user),
            true);
        row("friend requests no outgoing", "friends", QByteArray(R"({"incoming":[]})"), false);
    }

    void decodesOrFails()
    {
        QFETCH(QString, type);
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        bool ok = false;
        if (type == QLatin1String("user"))
            ok = ApiDecoder::decode<APIUser>(json).has_value();
        else if (type == QLatin1String("message"))
            ok = ApiDecoder::decode<APIMessage>(json).has_value();
        else if (type == QLatin1String("auth"))
            ok = ApiDecoder::decode<AuthPayload>(json).has_value();
        else if (type == QLatin1String("invite"))
            ok = ApiDecoder::decode<InviteOpenBody>(json).has_value();
        else if (type == QLatin1String("conversations"))
            ok = ApiDecoder::conversationPage(json).has_value();
        else if (type == QLatin1String("sync"))
            ok = ApiDecoder::syncPage(json).has_value();
        else if (type == QLatin1String("friends"))
            ok = ApiDecoder::decode<APIFriendRequestList>(json).has_value();
        QCOMPARE(ok, decodes);
    }

    void memberFlagsAndOptionals()
    {
        const QString base
            = QStringLiteral(R"("user_id":"%1","role":"member","kind":"person")").arg(kUser);
        auto member = [&](const QString &extra) {
            return APIMember::fromJson(
                QJsonDocument::fromJson(('{' + base + extra + '}').toUtf8()).object());
        };
        QCOMPARE(member({})->acceptsUserMessages, true);
        QCOMPARE(member(QStringLiteral(R"(,"accepts_user_messages":null)"))->acceptsUserMessages,
                 true);
        QCOMPARE(member(QStringLiteral(R"(,"accepts_user_messages":false)"))->acceptsUserMessages,
                 false);
        QVERIFY(!member(QStringLiteral(R"(,"accepts_user_messages":"no")")));
        QCOMPARE(member(QStringLiteral(R"(,"left_at":"2026-01-01T00:00:00Z")"))->leftAt,
                 QStringLiteral("2026-01-01T00:00:00Z"));

        const auto sync = SyncMember::fromJson(
            QJsonDocument::fromJson(QStringLiteral(R"({"user_id":"%1"})").arg(kUser).toUtf8())
                .object());
        QVERIFY(sync);
        QVERIFY(!sync->role && !sync->handle && !sync->displayName && !sync->kind && !sync->leftAt
                && !sync->avatarUrl);
        QCOMPARE(sync->acceptsUserMessages, true);

        const auto m = ApiDecoder::decode<APIMessage>(message());
        QVERIFY(m);
        QVERIFY(!m->createdAt && !m->body && !m->clientMsgId && !m->attachments);
        QCOMPARE(m->seq, 7);
        QCOMPARE(m->conversationId, QUuid::fromString(kRoom));
    }

    void onePageElementFailsThePage()
    {
        const QByteArray bad
            = QStringLiteral(
                  R"({"id":"%1","conversation_id":"%2","sender_id":"%3","type":"text","origin":"user"})")
                  .arg(kMsg, kRoom, kUser)
                  .toUtf8();
        QVERIFY(ApiDecoder::messagePage("{\"messages\":[" + message() + "]}"));
        QVERIFY(!ApiDecoder::messagePage("{\"messages\":[" + message() + "," + bad + "]}"));
        QVERIFY(!ApiDecoder::messagePage("{\"messages\":null}"));
    }

    void blockedFlag_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("blocked");
        QTest::newRow("absent") << QByteArray(R"({"id":1})") << false;
        QTest::newRow("string") << QByteArray(R"({"blocked":"true"})") << false;
        QTest::newRow("true") << QByteArray(R"({"blocked":true})") << true;
        QTest::newRow("false") << QByteArray(R"({"blocked":false})") << false;
        QTest::newRow("not json") << QByteArray("<html>") << false;
    }

    void blockedFlag()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, blocked);
        QCOMPARE(ApiDecoder::blockedFlag(json).value_or(false), blocked);
    }

    void errorMapping_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, int status, const char *body, const QString &code,
                            const QString &message) {
            QTest::newRow(name) << status << QByteArray(body) << code << message;
        };
        const auto invalid = [&](const char *name, int status, const char *body) {
            row(name, status, body, "invalid_response", QStringLiteral("일시적인 오류입니다."));
        };
        row("service error", 409, R"({"code":"email_taken","message":"이미 가입된 주소입니다."})",
            "email_taken", QStringLiteral("이미 가입된 주소입니다."));
        invalid("html", 502, "<html>bad gateway</html>");
        invalid("empty message", 400, R"({"code":"x","message":""})");
        invalid("no code", 400, R"({"message":"무언가"})");
        row("empty code kept", 403, R"({"code":"","message":"금지"})", "", QStringLiteral("금지"));
        row("extra members", 400, R"({"code":"a","message":"b","status":999})", "a", "b");
        invalid("capital Code", 400, R"({"Code":"a","message":"b"})");
        invalid("message number", 400, R"({"code":"a","message":5})");
        invalid("empty body", 0, "");
        invalid("truncated", 500, "{\"code\":\"a\",\"mess");
    }

    void errorMapping()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, code);
        QFETCH(QString, message);
        const ChatAPIError e = ChatAPIError::fromResponse(status, body);
        QCOMPARE(e.status, status);
        QCOMPARE(e.code, code);
        QCOMPARE(e.message, message);
        QCOMPARE(e, ChatAPIError(status, code, message));
        QVERIFY(!(e == ChatAPIError(status + 1, code, message)));
    }

    void paths_data()
    {
        // Paths the client calls are also checked through it, in the request core test.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("handle escaped")
            << ChatPath::userByHandle("a b&c").path() << "/v1/users?handle=a%20b%26c";
        QTest::newRow("cursor plus equals slash")
            << ChatPath::sync("a+b=c/d").path() << "/v1/sync?after=a%2Bb%3Dc/d";
        QTest::newRow("cursor of rooms") << ChatPath::sync(kRoom + ":12," + kRoom + ":0").path()
                                         << "/v1/sync?after=" + kRoom + ":12," + kRoom + ":0";
        QTest::newRow("sub-delims kept")
            << ChatPath::sync("!$'()*,;:@~._-").path() << "/v1/sync?after=!$'()*,;:@~._-";
        QTest::newRow("query delimiters")
            << ChatPath::sync("?#&%").path() << "/v1/sync?after=%3F%23%26%25";
        QTest::newRow("invite code")
            << ChatPath::invitation("Ab_9-xyzXYZ01234").path() << "/v1/invites/Ab_9-xyzXYZ01234";
        QTest::newRow("messages before")
            << ChatPath::messages(kRoom, std::nullopt, 120).path()
            << "/v1/conversations/" + kRoom + "/messages?before_seq=120";
        QTest::newRow("messages both")
            << ChatPath::messages(kRoom, -3, 9).path()
            << "/v1/conversations/" + kRoom + "/messages?after_seq=-3&before_seq=9";
        QTest::newRow("id as passed")
            << ChatPath::member(kRoom, kUser.toLower()).path()
            << "/v1/conversations/" + kRoom + "/members/" + kUser.toLower();
        QTest::newRow("rotate invite") << ChatPath::rotateInvite().path() << "/v1/me/invite";
        QTest::newRow("friend") << ChatPath::friendUser(kUser).path() << "/v1/friends/" + kUser;
        QTest::newRow("lone surrogate inserted as is")
            << ChatPath::userByHandle(QString(QChar(0xD800)) + "a").path()
            << "/v1/users?handle=" + QString(QChar(0xD800)) + "a";
        QTest::newRow("wire id upper") << wireId(QUuid::fromString(kRoom.toLower())) << kRoom;
    }

    void paths()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(path, expected);
    }

    void inviteCode_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("code"); // empty: no code
        const QString site = "https://" + ChatAPI::serviceHost();
        const QString host = ChatAPI::serviceHost();
        const QString c16 = QString(16, u'a');
        const auto row = [](const char *name, const QString &url, const QString &code) {
            QTest::newRow(name) << url << code;
        };
        row("16 letters", site + "/i/" + c16, c16);
        row("15 letters", site + "/i/" + QString(15, u'a'), {});
        row("128", site + "/i/" + QString(128, u'Z'), QString(128, u'Z'));
        row("129", site + "/i/" + QString(129, u'Z'), {});
        row("host in capitals", "https://" + host.toUpper() + "/i/" + c16, c16);
        row("other host", "https://example.org/i/" + c16, {});
        row("host suffix", "https://evil" + host + "/i/" + c16, {});
        row("subdomain", "https://x." + host + "/i/" + c16, {});
        row("trailing slash", site + "/i/" + c16 + "/", c16);
        row("doubled slashes", site + "//i//" + c16, c16);
        row("extra segment", site + "/i/" + c16 + "/x", {});
        row("capital I", site + "/I/" + c16, {});
        row("dot", site + "/i/" + c16 + ".x", {});
        row("plus", site + "/i/" + c16 + "+", {});
        row("equals", site + "/i/" + c16 + "=", {});
        row("non-ascii", site + "/i/" + c16 + QStringLiteral("é"), {});
        row("encoded slash", site + "/i/" + c16 + "%2Fx", {});
        row("encoded newline", site + "/i/" + c16 + "%0A", {});
        row("http scheme", "http://" + host + "/i/" + c16, c16);
        row("custom scheme", "zumo://" + host + "/i/" + c16, c16);
        row("query and fragment", site + "/i/" + c16 + "?x=1#y", c16);
        row("port and user", "https://u@" + host + ":8443/i/" + c16, c16);
        row("no host", "file:///i/" + c16, {});
        row("underscore hyphen", site + "/i/ab_cd-ef_gh-ij_kl", "ab_cd-ef_gh-ij_kl");
    }

    void inviteCode()
    {
        QFETCH(QString, url);
        QFETCH(QString, code);
        const auto found = ChatAPI::inviteCode(QUrl(url));
        QCOMPARE(found.value_or(QString()), code);
    }

    void frames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("kind"); // -1 when there is no event
        QTest::addColumn<qint64>("seq");
        QTest::addColumn<bool>("active");

        using Action = SocketFrame::Action;
        using Kind = ChatEvent::Kind;
        const auto other = [](const char *name, const auto &frame, Action action = Action::ignore) {
            QTest::newRow(name) << bytes(frame) << int(action) << -1 << qint64(0) << false;
        };
        const auto event = [](const char *name, const auto &frame, Kind kind, qint64 seq = 0,
                              bool active = false) {
            QTest::newRow(name) << bytes(frame) << int(Action::event) << int(kind) << seq << active;
        };
        const auto ids
            = QStringLiteral(R"("conversation_id":"%1","user_id":"%2")").arg(kRoom, kUser);
        const auto read = [&](const char *seq) {
            return QStringLiteral(R"({"type":"read.updated",%1,"seq":%2})").arg(ids, seq);
        };
        const auto typing = [&](const char *rest) {
            return QStringLiteral(R"({"type":"typing",%1%2})").arg(ids, rest);
        };

        other("auth.ok", R"({"type":"auth.ok"})", Action::authOk);
        other("unauthorized", R"({"type":"error","code":"unauthorized"})", Action::unauthorized);
        other("other error", R"({"type":"error","code":"rate_limited"})");
        other("error without code", R"({"type":"error"})");
        event("message", "{\"type\":\"message.created\",\"message\":" + message() + "}",
              Kind::message);
        other(
            "message lacking seq",
            QStringLiteral(
                R"({"type":"message.created","message":{"id":"%1","conversation_id":"%2","sender_id":"%3","type":"text","origin":"user"}})")
                .arg(kMsg, kRoom, kUser));
        other("message not object", R"({"type":"message.created","message":"x"})");
        event("read", read("7"), Kind::read, 7);
        event("read 7.0", read("7.0"), Kind::read, 7);
        event("read 7.9", read("7.9"), Kind::read, 7);
        event("read -7.9", read("-7.9"), Kind::read, -7);
        other("read seq text", read("\"7\""));
        other("read seq 1e300", read("1e300"));
        other("read seq 2^63", read("9223372036854775808"));
        event("read seq max", read("9223372036854775807"), Kind::read,
              std::numeric_limits<qint64>::max());
        other("read bad uuid",
              QStringLiteral(
                  R"({"type":"read.updated","conversation_id":"x","user_id":"%1","seq":1})")
                  .arg(kUser));
        event("friend", R"({"type":"friend.requested"})", Kind::friendRequest);
        event("changed",
              QStringLiteral(R"({"type":"conversation.changed","conversation_id":"%1"})")
                  .arg(kRoom.toLower()),
              Kind::conversationChanged);
        other("changed no id", R"({"type":"conversation.changed"})");
        event("typing active", typing(R"(,"active":true)"), Kind::typing, 0, true);
        event("typing no active", typing(""), Kind::typing);
        event("typing active text", typing(R"(,"active":"yes")"), Kind::typing);
        other(
            "typing no user",
            QStringLiteral(R"({"type":"typing","conversation_id":"%1","active":true})").arg(kRoom));
        other("unknown type", R"({"type":"presence"})");
        other("type number", R"({"type":5})");
        other("array", R"([{"type":"auth.ok"}])");
        other("not json", "auth.ok");
        other("truncated", "{\"type\":\"auth.o");
    }

    void frames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(int, action);
        QFETCH(int, kind);
        QFETCH(qint64, seq);
        QFETCH(bool, active);
        const SocketFrame parsed = SocketFrame::parse(frame);
        QCOMPARE(int(parsed.action), action);
        QCOMPARE(parsed.event.has_value(), kind >= 0);
        if (kind < 0)
            return;
        QCOMPARE(int(parsed.event->kind), kind);
        if (parsed.event->kind == ChatEvent::Kind::read)
            QCOMPARE(parsed.event->seq, seq);
        if (parsed.event->kind == ChatEvent::Kind::typing)
            QCOMPARE(parsed.event->active, active);
        if (parsed.event->kind == ChatEvent::Kind::read
            || parsed.event->kind == ChatEvent::Kind::typing
            || parsed.event->kind == ChatEvent::Kind::conversationChanged)
            QCOMPARE(parsed.event->conversationId, QUuid::fromString(kRoom));
    }

    void frameIntegers_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("present");
        QTest::addColumn<qint64>("value");
        QTest::newRow("int") << QByteArray("[42]") << true << qint64(42);
        QTest::newRow("fraction") << QByteArray("[42.99]") << true << qint64(42);
        QTest::newRow("exponent") << QByteArray("[1e3]") << true << qint64(1000);
        QTest::newRow("too big") << QByteArray("[1e19]") << false << qint64(0);
        QTest::newRow("too small") << QByteArray("[-1e19]") << false << qint64(0);
        QTest::newRow("lowest") << QByteArray("[-9223372036854775808]") << true
                                << std::numeric_limits<qint64>::min();
        QTest::newRow("string") << QByteArray("[\"1\"]") << false << qint64(0);
        QTest::newRow("bool") << QByteArray("[true]") << false << qint64(0);
        QTest::newRow("null") << QByteArray("[null]") << false << qint64(0);
    }

    void frameIntegers()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, present);
        QFETCH(qint64, value);
        const auto n = frameInteger(QJsonDocument::fromJson(json).array().at(0));
        QCOMPARE(n.has_value(), present);
        if (present)
            QCOMPARE(*n, value);
    }

    void storedSessionRoundTrip()
    {
        StoredSession s;
        s.accessToken = "acc";
        s.refreshToken = "ref";
        s.expiresAt = QDateTime::fromString("2026-01-31T09:30:00.750Z", Qt::ISODateWithMs);
        s.user.id = QUuid::fromString(kUser);
        s.user.kind = "person";
        s.user.status = "active";
        s.user.displayName = QStringLiteral("미나");
        const QByteArray bytes = s.encode();
        const QJsonObject o = QJsonDocument::fromJson(bytes).object();
        QCOMPARE(o.value("expiresAt").toString(), QStringLiteral("2026-01-31T09:30:00Z"));
        QVERIFY(!o.value("user").toObject().contains("handle"));
        QCOMPARE(o.value("user").toObject().value("displayName").toString(),
                 QStringLiteral("미나"));
        QCOMPARE(o.value("user").toObject().value("id").toString(), kUser);

        const auto back = StoredSession::decode(bytes);
        QVERIFY(back);
        QCOMPARE(back->accessToken, s.accessToken);
        QCOMPARE(back->refreshToken, s.refreshToken);
        QCOMPARE(back->expiresAt.toSecsSinceEpoch(), s.expiresAt.toSecsSinceEpoch());
        QVERIFY(back->user == s.user);
    }

    void storedSessionRejectsBadInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString user
            = QStringLiteral(R"({"id":"%1","kind":"person","status":"active"})").arg(kUser);
        const QString camel
            = QStringLiteral(R"({"accessToken":"a","refreshToken":"r","expiresAt":%1,"user":%2})");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x01\x02\x03");
        QTest::newRow("snake keys")
            << QStringLiteral(
                   R"({"access_token":"a","refresh_token":"r","expires_at":"2026-01-31T09:30:00Z","user":%1})")
                   .arg(user)
                   .toUtf8();
        QTest::newRow("date not iso") << camel.arg(R"("tomorrow")", user).toUtf8();
        QTest::newRow("date number") << camel.arg("12", user).toUtf8();
        // Readable, but past year 9999 in UTC: it could never be written back.
        QTest::newRow("offset past 9999")
            << camel.arg(R"("9999-12-31T23:00:00-05:00")", user).toUtf8();
        QTest::newRow("user snake")
            << camel.arg(R"("2026-01-31T09:30:00Z")", R"({"id":"x"})").toUtf8();
    }

    void storedSessionRejectsBadInput()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!StoredSession::decode(bytes));
    }

    void hostileInputNeverCrashes()
    {
        // Deep nesting, huge numbers, odd unicode: every decoder answers, none crashes.
        QList<QByteArray> inputs;
        inputs << QByteArray(5000, '[') << QByteArray(5000, '{')
               << QByteArray("{\"a\":") + QByteArray(3000, '[');
        inputs << QByteArray(R"({"messages":[{"seq":1e999999}]})");
        inputs << QByteArray(R"({"id":"\ud800","kind":"\u0000","status":"x"})");
        inputs << QByteArray("\xff\xfe\xfd");
        for (const QByteArray &in : inputs) {
            QVERIFY(!ApiDecoder::messagePage(in));
            QVERIFY(!ApiDecoder::decode<APIUser>(in));
            QVERIFY(!StoredSession::decode(in));
            QCOMPARE(int(SocketFrame::parse(in).action), int(SocketFrame::Action::ignore));
            QCOMPARE(ChatAPIError::fromResponse(418, in).code, QStringLiteral("invalid_response"));
        }
    }
};

QTEST_GUILESS_MAIN(TestWire)
#include "tst_wire.moc"
