#include "ApiTestSupport.h"

#include "api/ChatClient.h"
#include "service/StandInService.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QTest>

// The photo upload: the ticket, the PUT to the address it names, measuring, and the images
// call that uses it.
class TestUpload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void ticketAndPut();
    void ticketHeaders_data();
    void ticketHeaders();
    void putStatus_data();
    void putStatus();
    void badTickets_data();
    void badTickets();
    void uploadAddresses_data();
    void uploadAddresses();
    void failedUploadPostsNoImage();
    void pixelSize_data();
    void pixelSize();
    void photoThroughTheService();

private:
    void ticket(const QByteArray &json);

    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<IsolatedOptions> m_options;
    std::unique_ptr<ChatClient> m_client;
};

namespace {

QByteArray jpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return bytes;
}

const QUuid kRoom = QUuid::fromString(QStringLiteral("5b0f5c56-7c6b-4c1e-9f0e-2d6b8a1f0a11"));

} // namespace

void TestUpload::init()
{
    m_server = std::make_unique<ScriptedServer>();
    m_options = std::make_unique<IsolatedOptions>();
    m_client = std::make_unique<ChatClient>(m_server->baseUrl(), m_options->options);
    m_server->onJson("POST", "/v1/auth/login", 200,
                     authJson("acc", "ref", 3600, QUuid::createUuid()));
    m_server->onJson("POST", "/v1/auth/logout", 204, {});
    QVERIFY(await(m_client->login("a@b.c", "pw")).ok());
    m_server->requests.clear();
}

void TestUpload::cleanup()
{
    await(m_client->logout());
    m_client.reset();
    m_server.reset();
    m_options.reset();
}

void TestUpload::ticket(const QByteArray &json)
{
    m_server->onJson("POST", "/v1/uploads", 200, json);
}

void TestUpload::ticketAndPut()
{
    const QString put = m_server->baseUrl().toString() + "/put/k1?sig=abc";
    ticket(QStringLiteral(R"({"object_key":"k1","upload_url":"%1","extra":1})").arg(put).toUtf8());
    m_server->onJson("PUT", "/put/", 200, {});
    const QByteArray photo = jpeg(40, 30);

    const auto r = await(m_client->upload(photo, QStringLiteral("avatar")));
    QVERIFY(r.ok());
    QCOMPARE(*r.value, (PreparedImage{"k1", 40, 30, qint64(photo.size())}));

    QCOMPARE(m_server->requests.size(), 2);
    const auto ticketRequest = m_server->requests.at(0);
    QCOMPARE(ticketRequest.json(),
             (QJsonObject{{"byte_size", qint64(photo.size())}, {"kind", "avatar"}}));
    QCOMPARE(ticketRequest.headers.value("authorization"), QByteArray("Bearer acc"));
    const auto putRequest = m_server->requests.at(1);
    QCOMPARE(putRequest.method, QByteArray("PUT"));
    QCOMPARE(putRequest.target, QStringLiteral("/put/k1?sig=abc"));
    QCOMPARE(putRequest.body, photo);
    QCOMPARE(putRequest.headers.value("content-type"), QByteArray("image/jpeg"));
    QVERIFY(!putRequest.headers.contains("authorization"));
    QVERIFY(!putRequest.headers.contains("accept"));

    // A message photo sends no kind.
    QVERIFY(await(m_client->upload(photo)).ok());
    QCOMPARE(m_server->requests.at(2).json(), (QJsonObject{{"byte_size", qint64(photo.size())}}));
}

void TestUpload::ticketHeaders_data()
{
    QTest::addColumn<QString>("headers");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("extra"); // value of x-amz-meta, empty when absent
    QTest::newRow("own content type")
        << R"({"Content-Type":"application/octet-stream","x-amz-meta":"1"})"
        << QByteArray("application/octet-stream") << QByteArray("1");
    QTest::newRow("lower-case content type")
        << R"({"content-type":"image/x-jpeg"})" << QByteArray("image/x-jpeg") << QByteArray();
    QTest::newRow("a number among them") << R"({"Content-Type":"text/plain","x-amz-meta":5})"
                                         << QByteArray("image/jpeg") << QByteArray();
    QTest::newRow("not an object")
        << "\"x-amz-meta: 1\"" << QByteArray("image/jpeg") << QByteArray();
    QTest::newRow("injected line break") << R"({"x-amz-meta":"1\r\nX-Evil: 1","x-ok":"2"})"
                                         << QByteArray("image/jpeg") << QByteArray();
    QTest::newRow("bad header name")
        << R"({"x bad":"1"})" << QByteArray("image/jpeg") << QByteArray();
}

void TestUpload::ticketHeaders()
{
    QFETCH(QString, headers);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, extra);
    ticket(QStringLiteral(R"({"object_key":"k","upload_url":"%1/put/k","headers":%2})")
               .arg(m_server->baseUrl().toString(), headers)
               .toUtf8());
    m_server->onJson("PUT", "/put/", 204, {});
    QVERIFY(await(m_client->upload(jpeg(2, 2))).ok());
    const auto put = m_server->requests.last();
    QCOMPARE(put.headers.value("content-type"), contentType);
    QCOMPARE(put.headers.value("x-amz-meta"), extra);
    QVERIFY(!put.headers.contains("x-evil"));
}

void TestUpload::putStatus_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("ok");
    QTest::newRow("200") << 200 << true;
    QTest::newRow("204") << 204 << true;
    QTest::newRow("299") << 299 << true;
    QTest::newRow("403") << 403 << false;
    QTest::newRow("401 not retried") << 401 << false;
    QTest::newRow("500") << 500 << false;
    QTest::newRow("connection dropped") << -1 << false;
}

void TestUpload::putStatus()
{
    QFETCH(int, status);
    QFETCH(bool, ok);
    ticket(QStringLiteral(R"({"object_key":"k","upload_url":"%1/put/k"})")
               .arg(m_server->baseUrl().toString())
               .toUtf8());
    if (status < 0) {
        ScriptedReply drop;
        drop.drop = true;
        m_server->on("PUT", "/put/", drop);
    } else {
        m_server->onJson("PUT", "/put/", status, R"({"code":"x","message":"y"})");
    }
    const auto r = await(m_client->upload(jpeg(2, 2)));
    QCOMPARE(r.ok(), ok);
    if (!ok) {
        // No answer at all is the network's own failure, not a refused upload. (Qt's network
        // stack sends a request once more when the connection closes before any answer.)
        if (status < 0) {
            QVERIFY(r.transportError && !r.apiError);
        } else {
            QCOMPARE(*r.apiError, ChatAPIError::uploadFailed(status));
            QCOMPARE(m_server->requestsTo("/put/").size(), 1);
        }
        QVERIFY(m_server->requestsTo("/v1/auth/refresh").isEmpty());
        QVERIFY(m_client->hasSession());
    }
}

void TestUpload::badTickets_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("parserError");
    QTest::newRow("not json") << QByteArray("<html>") << true;
    QTest::newRow("truncated") << QByteArray(R"({"object_key":"k",)") << true;
    QTest::newRow("array") << QByteArray(R"(["k"])") << false;
    QTest::newRow("no key") << QByteArray(R"({"upload_url":"http://127.0.0.1/x"})") << false;
    QTest::newRow("key number") << QByteArray(
        R"({"object_key":5,"upload_url":"http://127.0.0.1/x"})")
                                << false;
    QTest::newRow("no url") << QByteArray(R"({"object_key":"k"})") << false;
    QTest::newRow("url number") << QByteArray(R"({"object_key":"k","upload_url":1})") << false;
    QTest::newRow("url empty") << QByteArray(R"({"object_key":"k","upload_url":""})") << false;
    QTest::newRow("url unparsable")
        << QByteArray("{\"object_key\":\"k\",\"upload_url\":\"http://[::1\"}") << false;
}

void TestUpload::badTickets()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, parserError);
    ticket(body);
    const auto r = await(m_client->upload(jpeg(2, 2)));
    QVERIFY(!r.ok());
    if (parserError)
        QVERIFY(r.otherError);
    else
        QCOMPARE(*r.apiError, ChatAPIError::invalidResponse(500));
    QCOMPARE(m_server->requests.size(), 1); // nothing was PUT
}

void TestUpload::uploadAddresses_data()
{
    QTest::addColumn<QString>("upload");
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("https") << "https://cdn.example/x"
                           << "https://zumo.chat" << true;
    QTest::newRow("http to https service") << "http://cdn.example/x"
                                           << "https://zumo.chat" << false;
    QTest::newRow("http to http service") << "http://127.0.0.1:9/x"
                                          << "http://127.0.0.1:8" << true;
    QTest::newRow("file") << "file:///etc/passwd"
                          << "http://127.0.0.1:8" << false;
    QTest::newRow("qrc") << "qrc:/x"
                         << "https://zumo.chat" << false;
    QTest::newRow("data") << "data:text/plain,x"
                          << "https://zumo.chat" << false;
    QTest::newRow("ftp") << "ftp://cdn.example/x"
                         << "https://zumo.chat" << false;
    QTest::newRow("relative") << "/upload/x"
                              << "https://zumo.chat" << false;
    QTest::newRow("no host") << "https:///x"
                             << "https://zumo.chat" << false;
}

void TestUpload::uploadAddresses()
{
    QFETCH(QString, upload);
    QFETCH(QString, base);
    QFETCH(bool, allowed);
    QCOMPARE(ChatClient::uploadAddressAllowed(QUrl(upload), QUrl(base)), allowed);

    // Through the client: a refused address fails the upload before anything is sent there.
    if (!ChatClient::uploadAddressAllowed(QUrl(upload), m_server->baseUrl())) {
        ticket(QStringLiteral(R"({"object_key":"k","upload_url":"%1"})").arg(upload).toUtf8());
        const auto r = await(m_client->upload(jpeg(2, 2)));
        QVERIFY(r.apiError);
        if (r.apiError->code == QLatin1String("upload_failed"))
            QCOMPARE(r.apiError->status, 0);
        else
            QCOMPARE(*r.apiError, ChatAPIError::invalidResponse(500)); // not a usable URL at all
        QCOMPARE(m_server->requests.size(), 1);
    }
}

void TestUpload::failedUploadPostsNoImage()
{
    ticket(QByteArray(R"({"object_key":"k","upload_url":"file:///tmp/zumo-upload"})"));
    const auto r = await(m_client->sendImages(kRoom, QUuid::createUuid(), jpeg(2, 2)));
    QCOMPARE(*r.apiError, ChatAPIError::uploadFailed(0));
    QVERIFY(m_server->requestsTo("/v1/conversations/").isEmpty());
    QVERIFY(!QFile::exists("/tmp/zumo-upload"));
}

void TestUpload::pixelSize_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::newRow("jpeg") << jpeg(640, 480) << qint64(640) << qint64(480);
    QTest::newRow("garbage") << QByteArray("not an image") << qint64(1) << qint64(1);
    QTest::newRow("empty") << QByteArray() << qint64(1) << qint64(1);
    QTest::newRow("truncated header") << jpeg(8, 8).left(10) << qint64(1) << qint64(1);
}

void TestUpload::pixelSize()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    const auto [w, h] = ChatClient::pixelSize(bytes);
    QCOMPARE(w, width);
    QCOMPARE(h, height);
}

void TestUpload::photoThroughTheService()
{
    StandInService svc;
    QVERIFY(svc.listen(0));
    SeedUser me;
    me.email = "me@example.com";
    me.password = "secret123";
    me.handle = "me";
    me.displayName = QStringLiteral("나");
    SeedUser peer = me;
    peer.email = "peer@example.com";
    peer.handle = "peer";
    const QUuid a = svc.addUser(me);
    const QUuid b = svc.addUser(peer);
    svc.makeFriends(a, b);
    const QUuid room = svc.addDirectRoom(a, b);

    IsolatedOptions options;
    ChatClient client(svc.baseUrl(), options.options);
    QVERIFY(await(client.login("me@example.com", "secret123")).ok());
    const QByteArray photo = jpeg(64, 48);
    const QUuid clientId = QUuid::createUuid();
    const auto sent = await(client.sendImages(room, clientId, photo));
    QVERIFY(sent.ok());
    QCOMPARE(sent.value->type, QStringLiteral("image"));
    QCOMPARE(sent.value->clientMsgId, std::optional<QUuid>(clientId));
    QVERIFY(sent.value->attachments && sent.value->attachments->size() == 1);
    QCOMPARE(sent.value->attachments->at(0).width, 64);
    QCOMPARE(sent.value->attachments->at(0).byteSize, qint64(photo.size()));

    QJsonObject images;
    for (const RecordedRequest &r : svc.requests()) {
        if (r.target.endsWith("/images"))
            images = QJsonDocument::fromJson(r.body).object();
    }
    const QJsonObject attachment = images.value("attachments").toArray().at(0).toObject();
    QCOMPARE(images.value("client_msg_id").toString(), wireId(clientId));
    QCOMPARE(svc.uploadedBytes(attachment.value("object_key").toString()), photo);
    QCOMPARE(attachment.value("height").toInteger(), 48);
    await(client.logout());
}

QTEST_MAIN(TestUpload)
#include "tst_upload.moc"
