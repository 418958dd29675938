#include "api/ApiDecoder.h"
#include "api/ChatAPI.h"
#include "api/ChatErrors.h"
#include "api/ChatPath.h"
#include "api/SocketFrame.h"
#include "api/WireJson.h"
#include "api/WireTypes.h"

#include <QJsonDocument>
#include <QTest>

// The wire layer without any network: key conversion, decoders, error mapping, paths, the
// invite parser and the socket frame parser.
class TestWire : public QObject
{
    Q_OBJECT

private slots:
    void keyConversion_data();
    void keyConversion();
    void decodesOrFails_data();
    void decodesOrFails();
    void memberFlagsAndOptionals();
    void onePageElementFailsThePage();
    void blockedFlag_data();
    void blockedFlag();
    void equalityIsFieldByField();
    void errorMapping_data();
    void errorMapping();
    void paths_data();
    void paths();
    void inviteCode_data();
    void inviteCode();
    void frames_data();
    void frames();
    void frameIntegers_data();
    void frameIntegers();
    void storedSessionRoundTrip();
    void storedSessionRejectsBadInput_data();
    void storedSessionRejectsBadInput();
    void hostileInputNeverCrashes();
};

namespace {

const QString kRoom = QStringLiteral("5B0F5C56-7C6B-4C1E-9F0E-2D6B8A1F0A11");
const QString kUser = QStringLiteral("0C2A9E0B-3F3E-4B4D-8E4A-6A7E5C1D2B33");
const QString kMsg = QStringLiteral("9D8C7B6A-5F4E-4D3C-8B2A-1F0E9D8C7B6A");

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

void TestWire::keyConversion_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("snake") << "display_name"
                           << "displayName";
    QTest::newRow("three words") << "client_msg_id"
                                 << "clientMsgId";
    QTest::newRow("upper case words") << "USER_ID"
                                      << "userId";
    QTest::newRow("outer underscores stay") << "_private_key_"
                                            << "_privateKey_";
    QTest::newRow("no underscore") << "plain"
                                   << "plain";
    QTest::newRow("capital not lowered") << "Code"
                                         << "Code";
    QTest::newRow("camel already") << "displayName"
                                   << "displayName";
    QTest::newRow("doubled underscore") << "a__b"
                                        << "aB";
    QTest::newRow("only underscores") << "___"
                                      << "___";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("leading only") << "_single"
                                  << "_single";
    QTest::newRow("trailing only") << "url_"
                                   << "url_";
}

void TestWire::keyConversion()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(snakeToCamel(key), expected);
}

void TestWire::decodesOrFails_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("decodes");

    const QString user
        = QStringLiteral(R"("id":"%1","kind":"person","status":"active")").arg(kUser);
    QTest::newRow("user minimal") << "user" << ('{' + user + '}').toUtf8() << true;
    QTest::newRow("user camel key")
        << "user" << ('{' + user + R"(,"displayName":"미나"})").toUtf8() << true;
    QTest::newRow("user unknown members")
        << "user" << ('{' + user + R"(,"x":[1,{}]})").toUtf8() << true;
    QTest::newRow("user lower-case uuid")
        << "user"
        << QStringLiteral(R"({"id":"%1","kind":"person","status":"active"})")
               .arg(kUser.toLower())
               .toUtf8()
        << true;
    QTest::newRow("user handle number")
        << "user" << ('{' + user + R"(,"handle":5})").toUtf8() << false;
    QTest::newRow("user handle null")
        << "user" << ('{' + user + R"(,"handle":null})").toUtf8() << true;
    QTest::newRow("user braced uuid")
        << "user"
        << QStringLiteral(R"({"id":"{%1}","kind":"person","status":"active"})").arg(kUser).toUtf8()
        << false;
    QTest::newRow("user no status")
        << "user" << QStringLiteral(R"({"id":"%1","kind":"person"})").arg(kUser).toUtf8() << false;
    QTest::newRow("user status null")
        << "user"
        << QStringLiteral(R"({"id":"%1","kind":"person","status":null})").arg(kUser).toUtf8()
        << false;
    QTest::newRow("user is array") << "user" << QByteArray("[]") << false;
    QTest::newRow("user truncated") << "user" << ('{' + user).toUtf8() << false;

    QTest::newRow("message minimal") << "message" << message() << true;
    QTest::newRow("message seq 7.0") << "message" << message({}, QStringLiteral("7.0")) << true;
    QTest::newRow("message seq 7.5") << "message" << message({}, QStringLiteral("7.5")) << false;
    QTest::newRow("message seq text") << "message" << message({}, QStringLiteral("\"7\"")) << false;
    QTest::newRow("message seq huge") << "message" << message({}, QStringLiteral("1e300")) << false;
    QTest::newRow("message attachments")
        << "message"
        << message(
               QStringLiteral(R"("attachments":[{"id":"%1","width":3,"height":4,"byte_size":5}])")
                   .arg(kMsg))
        << true;
    QTest::newRow("message attachment without size")
        << "message"
        << message(QStringLiteral(R"("attachments":[{"id":"%1","width":3,"height":4}])").arg(kMsg))
        << false;
    QTest::newRow("message attachments object")
        << "message" << message(QStringLiteral(R"("attachments":{})")) << false;
    QTest::newRow("message client id not uuid")
        << "message" << message(QStringLiteral(R"("client_msg_id":"abc")")) << false;

    QTest::newRow("auth full")
        << "auth"
        << QStringLiteral(R"({"access_token":"a","refresh_token":"r","expires_in":60,"user":{%1}})")
               .arg(user)
               .toUtf8()
        << true;
    QTest::newRow("auth without refresh token")
        << "auth"
        << QStringLiteral(R"({"access_token":"a","expires_in":60,"user":{%1}})").arg(user).toUtf8()
        << false;
    QTest::newRow("auth without expiry")
        << "auth"
        << QStringLiteral(R"({"access_token":"a","refresh_token":"r","user":{%1}})")
               .arg(user)
               .toUtf8()
        << false;

    QTest::newRow("invite open other word")
        << "invite" << QByteArray(R"({"result":"whatever"})") << true;
    QTest::newRow("invite open bad request id")
        << "invite" << QByteArray(R"({"result":"incoming","request_id":7})") << false;

    QTest::newRow("room list member without role")
        << "conversations"
        << QStringLiteral(
               R"({"conversations":[{"id":"%1","type":"direct","muted":false,"pinned":false,"unread_count":0,"members":[{"user_id":"%2","kind":"person"}]}]})")
               .arg(kRoom, kUser)
               .toUtf8()
        << false;
    QTest::newRow("room list good")
        << "conversations"
        << QStringLiteral(
               R"({"conversations":[{"id":"%1","type":"direct","muted":false,"pinned":true,"unread_count":2,"members":[{"user_id":"%2","role":"owner","kind":"person"}]}]})")
               .arg(kRoom, kUser)
               .toUtf8()
        << true;
    QTest::newRow("room list unread text")
        << "conversations"
        << QStringLiteral(
               R"({"conversations":[{"id":"%1","type":"direct","muted":false,"pinned":true,"unread_count":"2","members":[]}]})")
               .arg(kRoom)
               .toUtf8()
        << false;
    QTest::newRow("sync member only id")
        << "sync"
        << QStringLiteral(
               R"({"conversations":[{"id":"%1","messages":[],"has_more":false,"reads":[],"members":[{"user_id":"%2"}]}]})")
               .arg(kRoom, kUser)
               .toUtf8()
        << true;
    QTest::newRow("sync missing has_more")
        << "sync"
        << QStringLiteral(
               R"({"conversations":[{"id":"%1","messages":[],"reads":[],"members":[]}]})")
               .arg(kRoom)
               .toUtf8()
        << false;
    QTest::newRow("friend requests")
        << "friends"
        << QStringLiteral(R"({"incoming":[{"id":"%1","user":{%2}}],"outgoing":[]})")
               .arg(kMsg, user)
               .toUtf8()
        << true;
    QTest::newRow("friend requests no outgoing")
        << "friends" << QByteArray(R"({"incoming":[]})") << false;
}

void TestWire::decodesOrFails()
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

void TestWire::memberFlagsAndOptionals()
{
    const QString base
        = QStringLiteral(R"("user_id":"%1","role":"member","kind":"person")").arg(kUser);
    auto member = [&](const QString &extra) {
        return APIMember::fromJson(
            QJsonDocument::fromJson(('{' + base + extra + '}').toUtf8()).object());
    };
    QCOMPARE(member({})->acceptsUserMessages, true);
    QCOMPARE(member(QStringLiteral(R"(,"accepts_user_messages":null)"))->acceptsUserMessages, true);
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

void TestWire::onePageElementFailsThePage()
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

void TestWire::blockedFlag_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("blocked");
    QTest::newRow("absent") << QByteArray(R"({"id":1})") << false;
    QTest::newRow("string") << QByteArray(R"({"blocked":"true"})") << false;
    QTest::newRow("true") << QByteArray(R"({"blocked":true})") << true;
    QTest::newRow("false") << QByteArray(R"({"blocked":false})") << false;
    QTest::newRow("not json") << QByteArray("<html>") << false;
}

void TestWire::blockedFlag()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, blocked);
    QCOMPARE(ApiDecoder::blockedFlag(json).value_or(false), blocked);
}

void TestWire::equalityIsFieldByField()
{
    const QString a1
        = QStringLiteral(R"({"id":"%1","width":1,"height":1,"byte_size":1})").arg(kMsg);
    const QString a2
        = QStringLiteral(R"({"id":"%1","width":2,"height":1,"byte_size":1})").arg(kMsg);
    const auto m1 = ApiDecoder::decode<APIMessage>(
        message(QStringLiteral(R"("attachments":[%1,%2])").arg(a1, a2)));
    const auto m2 = ApiDecoder::decode<APIMessage>(
        message(QStringLiteral(R"("attachments":[%2,%1])").arg(a1, a2)));
    QVERIFY(m1 && m2);
    QVERIFY(!(*m1 == *m2));
    QVERIFY(*m1
            == *ApiDecoder::decode<APIMessage>(
                message(QStringLiteral(R"("attachments":[%1,%2])").arg(a1, a2))));

    QVERIFY(ChatAPIError(400, "c", "m") == ChatAPIError(400, "c", "m"));
    QVERIFY(!(ChatAPIError(400, "c", "m") == ChatAPIError(409, "c", "m")));
}

void TestWire::errorMapping_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    const QString fixed = QStringLiteral("일시적인 오류입니다.");
    QTest::newRow("service error")
        << 409 << QByteArray(R"({"code":"email_taken","message":"이미 가입된 주소입니다."})")
        << "email_taken" << QStringLiteral("이미 가입된 주소입니다.");
    QTest::newRow("html") << 502 << QByteArray("<html>bad gateway</html>") << "invalid_response"
                          << fixed;
    QTest::newRow("empty message")
        << 400 << QByteArray(R"({"code":"x","message":""})") << "invalid_response" << fixed;
    QTest::newRow("no code") << 400 << QByteArray(R"({"message":"무언가"})") << "invalid_response"
                             << fixed;
    QTest::newRow("empty code kept")
        << 403 << QByteArray(R"({"code":"","message":"금지"})") << "" << QStringLiteral("금지");
    QTest::newRow("extra members")
        << 400 << QByteArray(R"({"code":"a","message":"b","status":999})") << "a"
        << "b";
    QTest::newRow("capital Code") << 400 << QByteArray(R"({"Code":"a","message":"b"})")
                                  << "invalid_response" << fixed;
    QTest::newRow("message number")
        << 400 << QByteArray(R"({"code":"a","message":5})") << "invalid_response" << fixed;
    QTest::newRow("empty body") << 0 << QByteArray() << "invalid_response" << fixed;
    QTest::newRow("truncated") << 500 << QByteArray(R"({"code":"a","mess)") << "invalid_response"
                               << fixed;
}

void TestWire::errorMapping()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, code);
    QFETCH(QString, message);
    const ChatAPIError e = ChatAPIError::fromResponse(status, body);
    QCOMPARE(e.status, status);
    QCOMPARE(e.code, code);
    QCOMPARE(e.message, message);
}

void TestWire::paths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("handle escaped")
        << ChatPath::userByHandle("a b&c").path() << "/v1/users?handle=a%20b%26c";
    QTest::newRow("handle hangul")
        << ChatPath::userByHandle(QStringLiteral("홍")).path() << "/v1/users?handle=%ED%99%8D";
    QTest::newRow("cursor plus equals slash")
        << ChatPath::sync("a+b=c/d").path() << "/v1/sync?after=a%2Bb%3Dc/d";
    QTest::newRow("cursor of rooms") << ChatPath::sync(kRoom + ":12," + kRoom + ":0").path()
                                     << "/v1/sync?after=" + kRoom + ":12," + kRoom + ":0";
    QTest::newRow("sub-delims kept")
        << ChatPath::sync("!$'()*,;:@~._-").path() << "/v1/sync?after=!$'()*,;:@~._-";
    QTest::newRow("query delimiters")
        << ChatPath::sync("?#&%").path() << "/v1/sync?after=%3F%23%26%25";
    QTest::newRow("invite code") << ChatPath::invitation("Ab_9-xyzXYZ01234").path()
                                 << "/v1/invites/Ab_9-xyzXYZ01234";
    QTest::newRow("messages plain")
        << ChatPath::messages(kRoom).path() << "/v1/conversations/" + kRoom + "/messages";
    QTest::newRow("messages before") << ChatPath::messages(kRoom, std::nullopt, 120).path()
                                     << "/v1/conversations/" + kRoom + "/messages?before_seq=120";
    QTest::newRow("messages both")
        << ChatPath::messages(kRoom, -3, 9).path()
        << "/v1/conversations/" + kRoom + "/messages?after_seq=-3&before_seq=9";
    QTest::newRow("id as passed") << ChatPath::member(kRoom, kUser.toLower()).path()
                                  << "/v1/conversations/" + kRoom + "/members/" + kUser.toLower();
    QTest::newRow("invite link") << ChatPath::inviteLink().path() << "/v1/me/invite";
    QTest::newRow("rotate invite") << ChatPath::rotateInvite().path() << "/v1/me/invite";
    QTest::newRow("friend") << ChatPath::friendUser(kUser).path() << "/v1/friends/" + kUser;
    QTest::newRow("official link")
        << ChatPath::officialLink(kUser).path() << "/v1/official-accounts/" + kUser + "/link";
    QTest::newRow("lone surrogate inserted as is")
        << ChatPath::userByHandle(QString(QChar(0xD800)) + "a").path()
        << "/v1/users?handle=" + QString(QChar(0xD800)) + "a";
    QTest::newRow("wire id upper") << wireId(QUuid::fromString(kRoom.toLower())) << kRoom;
}

void TestWire::paths()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(path, expected);
}

void TestWire::inviteCode_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("code"); // empty: no code
    const QString host = ChatAPI::serviceHost();
    const QString c16 = QString(16, u'a');
    QTest::newRow("16 letters") << "https://" + host + "/i/" + c16 << c16;
    QTest::newRow("15 letters") << "https://" + host + "/i/" + QString(15, u'a') << "";
    QTest::newRow("128") << "https://" + host + "/i/" + QString(128, u'Z') << QString(128, u'Z');
    QTest::newRow("129") << "https://" + host + "/i/" + QString(129, u'Z') << "";
    QTest::newRow("host in capitals") << "https://" + host.toUpper() + "/i/" + c16 << c16;
    QTest::newRow("other host") << "https://example.org/i/" + c16 << "";
    QTest::newRow("host suffix") << "https://evil" + host + "/i/" + c16 << "";
    QTest::newRow("subdomain") << "https://x." + host + "/i/" + c16 << "";
    QTest::newRow("trailing slash") << "https://" + host + "/i/" + c16 + "/" << c16;
    QTest::newRow("doubled slashes") << "https://" + host + "//i//" + c16 << c16;
    QTest::newRow("extra segment") << "https://" + host + "/i/" + c16 + "/x"
                                   << "";
    QTest::newRow("capital I") << "https://" + host + "/I/" + c16 << "";
    QTest::newRow("dot") << "https://" + host + "/i/" + c16 + ".x"
                         << "";
    QTest::newRow("plus") << "https://" + host + "/i/" + c16 + "+"
                          << "";
    QTest::newRow("equals") << "https://" + host + "/i/" + c16 + "="
                            << "";
    QTest::newRow("non-ascii") << "https://" + host + "/i/" + c16 + QStringLiteral("é") << "";
    QTest::newRow("encoded slash") << "https://" + host + "/i/" + c16 + "%2Fx"
                                   << "";
    QTest::newRow("encoded newline") << "https://" + host + "/i/" + c16 + "%0A"
                                     << "";
    QTest::newRow("http scheme") << "http://" + host + "/i/" + c16 << c16;
    QTest::newRow("custom scheme") << "zumo://" + host + "/i/" + c16 << c16;
    QTest::newRow("query and fragment") << "https://" + host + "/i/" + c16 + "?x=1#y" << c16;
    QTest::newRow("port and user") << "https://u@" + host + ":8443/i/" + c16 << c16;
    QTest::newRow("no host") << "file:///i/" + c16 << "";
    QTest::newRow("underscore hyphen") << "https://" + host + "/i/ab_cd-ef_gh-ij_kl"
                                       << "ab_cd-ef_gh-ij_kl";
}

void TestWire::inviteCode()
{
    QFETCH(QString, url);
    QFETCH(QString, code);
    const auto found = ChatAPI::inviteCode(QUrl(url));
    QCOMPARE(found.value_or(QString()), code);
}

void TestWire::frames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("kind"); // -1 when there is no event
    QTest::addColumn<qint64>("seq");
    QTest::addColumn<bool>("active");

    const int ignore = int(SocketFrame::Action::ignore);
    const int event = int(SocketFrame::Action::event);
    const auto ids = QStringLiteral(R"("conversation_id":"%1","user_id":"%2")").arg(kRoom, kUser);
    auto f = [](const QString &s) { return s.toUtf8(); };

    QTest::newRow("auth.ok") << f(R"({"type":"auth.ok"})") << int(SocketFrame::Action::authOk) << -1
                             << qint64(0) << false;
    QTest::newRow("unauthorized") << f(R"({"type":"error","code":"unauthorized"})")
                                  << int(SocketFrame::Action::unauthorized) << -1 << qint64(0)
                                  << false;
    QTest::newRow("other error") << f(R"({"type":"error","code":"rate_limited"})") << ignore << -1
                                 << qint64(0) << false;
    QTest::newRow("error without code")
        << f(R"({"type":"error"})") << ignore << -1 << qint64(0) << false;
    QTest::newRow("message") << "{\"type\":\"message.created\",\"message\":" + message() + "}"
                             << event << int(ChatEvent::Kind::message) << qint64(0) << false;
    QTest::newRow("message lacking seq") << f(
        QStringLiteral(
            R"({"type":"message.created","message":{"id":"%1","conversation_id":"%2","sender_id":"%3","type":"text","origin":"user"}})")
            .arg(kMsg, kRoom, kUser)) << ignore
                                         << -1 << qint64(0) << false;
    QTest::newRow("message not object")
        << f(R"({"type":"message.created","message":"x"})") << ignore << -1 << qint64(0) << false;
    QTest::newRow("read") << f(QStringLiteral(R"({"type":"read.updated",%1,"seq":7})").arg(ids))
                          << event << int(ChatEvent::Kind::read) << qint64(7) << false;
    QTest::newRow("read 7.0") << f(
        QStringLiteral(R"({"type":"read.updated",%1,"seq":7.0})").arg(ids))
                              << event << int(ChatEvent::Kind::read) << qint64(7) << false;
    QTest::newRow("read 7.9") << f(
        QStringLiteral(R"({"type":"read.updated",%1,"seq":7.9})").arg(ids))
                              << event << int(ChatEvent::Kind::read) << qint64(7) << false;
    QTest::newRow("read -7.9") << f(
        QStringLiteral(R"({"type":"read.updated",%1,"seq":-7.9})").arg(ids))
                               << event << int(ChatEvent::Kind::read) << qint64(-7) << false;
    QTest::newRow("read seq text")
        << f(QStringLiteral(R"({"type":"read.updated",%1,"seq":"7"})").arg(ids)) << ignore << -1
        << qint64(0) << false;
    QTest::newRow("read seq 1e300")
        << f(QStringLiteral(R"({"type":"read.updated",%1,"seq":1e300})").arg(ids)) << ignore << -1
        << qint64(0) << false;
    QTest::newRow("read seq 2^63")
        << f(QStringLiteral(R"({"type":"read.updated",%1,"seq":9223372036854775808})").arg(ids))
        << ignore << -1 << qint64(0) << false;
    QTest::newRow("read seq max") << f(
        QStringLiteral(R"({"type":"read.updated",%1,"seq":9223372036854775807})").arg(ids))
                                  << event << int(ChatEvent::Kind::read)
                                  << std::numeric_limits<qint64>::max() << false;
    QTest::newRow("read bad uuid") << f(
        QStringLiteral(R"({"type":"read.updated","conversation_id":"x","user_id":"%1","seq":1})")
            .arg(kUser)) << ignore << -1
                                   << qint64(0) << false;
    QTest::newRow("friend") << f(R"({"type":"friend.requested"})") << event
                            << int(ChatEvent::Kind::friendRequest) << qint64(0) << false;
    QTest::newRow("changed") << f(
        QStringLiteral(R"({"type":"conversation.changed","conversation_id":"%1"})")
            .arg(kRoom.toLower()))
                             << event << int(ChatEvent::Kind::conversationChanged) << qint64(0)
                             << false;
    QTest::newRow("changed no id")
        << f(R"({"type":"conversation.changed"})") << ignore << -1 << qint64(0) << false;
    QTest::newRow("typing active")
        << f(QStringLiteral(R"({"type":"typing",%1,"active":true})").arg(ids)) << event
        << int(ChatEvent::Kind::typing) << qint64(0) << true;
    QTest::newRow("typing no active")
        << f(QStringLiteral(R"({"type":"typing",%1})").arg(ids)) << event
        << int(ChatEvent::Kind::typing) << qint64(0) << false;
    QTest::newRow("typing active text")
        << f(QStringLiteral(R"({"type":"typing",%1,"active":"yes"})").arg(ids)) << event
        << int(ChatEvent::Kind::typing) << qint64(0) << false;
    QTest::newRow("typing no user")
        << f(QStringLiteral(R"({"type":"typing","conversation_id":"%1","active":true})").arg(kRoom))
        << ignore << -1 << qint64(0) << false;
    QTest::newRow("unknown type") << f(R"({"type":"presence"})") << ignore << -1 << qint64(0)
                                  << false;
    QTest::newRow("type number") << f(R"({"type":5})") << ignore << -1 << qint64(0) << false;
    QTest::newRow("array") << f(R"([{"type":"auth.ok"}])") << ignore << -1 << qint64(0) << false;
    QTest::newRow("not json") << f("auth.ok") << ignore << -1 << qint64(0) << false;
    QTest::newRow("truncated") << f(R"({"type":"auth.o)") << ignore << -1 << qint64(0) << false;
}

void TestWire::frames()
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
    if (parsed.event->kind == ChatEvent::Kind::read || parsed.event->kind == ChatEvent::Kind::typing
        || parsed.event->kind == ChatEvent::Kind::conversationChanged)
        QCOMPARE(parsed.event->conversationId, QUuid::fromString(kRoom));
}

void TestWire::frameIntegers_data()
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

void TestWire::frameIntegers()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, present);
    QFETCH(qint64, value);
    const auto n = frameInteger(QJsonDocument::fromJson(json).array().at(0));
    QCOMPARE(n.has_value(), present);
    if (present)
        QCOMPARE(*n, value);
}

void TestWire::storedSessionRoundTrip()
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
    QCOMPARE(o.value("user").toObject().value("displayName").toString(), QStringLiteral("미나"));
    QCOMPARE(o.value("user").toObject().value("id").toString(), kUser);

    const auto back = StoredSession::decode(bytes);
    QVERIFY(back);
    QCOMPARE(back->accessToken, s.accessToken);
    QCOMPARE(back->refreshToken, s.refreshToken);
    QCOMPARE(back->expiresAt.toSecsSinceEpoch(), s.expiresAt.toSecsSinceEpoch());
    QVERIFY(back->user == s.user);
}

void TestWire::storedSessionRejectsBadInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString user
        = QStringLiteral(R"({"id":"%1","kind":"person","status":"active"})").arg(kUser);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x01\x02\x03");
    QTest::newRow("snake keys")
        << QStringLiteral(
               R"({"access_token":"a","refresh_token":"r","expires_at":"2026-01-31T09:30:00Z","user":%1})")
               .arg(user)
               .toUtf8();
    QTest::newRow("date not iso")
        << QStringLiteral(
               R"({"accessToken":"a","refreshToken":"r","expiresAt":"tomorrow","user":%1})")
               .arg(user)
               .toUtf8();
    QTest::newRow("date number")
        << QStringLiteral(R"({"accessToken":"a","refreshToken":"r","expiresAt":12,"user":%1})")
               .arg(user)
               .toUtf8();
    QTest::newRow("user snake") << QByteArray(
        R"({"accessToken":"a","refreshToken":"r","expiresAt":"2026-01-31T09:30:00Z","user":{"id":"x"}})");
}

void TestWire::storedSessionRejectsBadInput()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!StoredSession::decode(bytes));
}

void TestWire::hostileInputNeverCrashes()
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

QTEST_GUILESS_MAIN(TestWire)
#include "tst_wire.moc"
