#include "ApiTestSupport.h"

#include "api/ChatClient.h"
#include "service/StandInService.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QTest>

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

} // namespace

// The photo upload: the ticket, the PUT to the address it names, measuring, and the images
// call that uses it.
class TestUpload : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_scripted = std::make_unique<ScriptedClient>();
        m_server = &m_scripted->server;
        m_client = &m_scripted->client;
        QVERIFY(m_scripted->signIn(QUuid::createUuid()));
    }

    void cleanup() { m_scripted.reset(); }

    void ticketAndPut()
    {
        const QString put = m_server->baseUrl().toString() + "/put/k1?sig=abc";
        ticket(
            QStringLiteral(R"({"object_key":"k1","upload_url":"%1","extra":1})").arg(put).toUtf8());
        m_server->onJson("PUT", "/put/", 200, {});
        const QByteArray photo = jpeg(40, 30);

        const auto r = await(m_client->upload(photo, QStringLiteral("avatar")));
        QVERIFY(r.ok());
        QCOMPARE(*r.value, (PreparedImage{"k1", 40, 30, qint64(photo.size())}));

        QCOMPARE(m_server->requests.size(), 2);
        const auto ticketRequest = m_server->requests.at(0);
        QCOMPARE(ticketRequest.json(),
                 (QJsonObject{{"byte_size", qint64(photo.size())}, {"kind", "avatar"}}));
        QCOMPARE(ticketRequest.headers.value("authorization"), QByteArray("Bearer acc1"));
        const auto putRequest = m_server->requests.at(1);
        QCOMPARE(putRequest.method, QByteArray("PUT"));
        QCOMPARE(putRequest.target, QStringLiteral("/put/k1?sig=abc"));
        QCOMPARE(putRequest.body, photo);
        QCOMPARE(putRequest.headers.value("content-type"), QByteArray("image/jpeg"));
        QVERIFY(!putRequest.headers.contains("authorization"));
        QVERIFY(!putRequest.headers.contains("accept"));

        // A message photo sends no kind.
        QVERIFY(await(m_client->upload(photo)).ok());
        QCOMPARE(m_server->requests.at(2).json(),
                 (QJsonObject{{"byte_size", qint64(photo.size())}}));
    }

    void ticketHeaders_data()
    {
        QTest::addColumn<QString>("headers");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("extra"); // value of x-amz-meta, empty when absent
        const auto row = [](const char *name, const char *headers, const char *contentType,
                            const char *extra = "") {
            QTest::newRow(name) << QString(headers) << QByteArray(contentType) << QByteArray(extra);
        };
        row("own content type", R"({"Content-Type":"application/octet-stream","x-amz-meta":"1"})",
            "application/octet-stream", "1");
        row("lower-case content type", R"({"content-type":"image/x-jpeg"})", "image/x-jpeg");
        row("a number among them", R"({"Content-Type":"text/plain","x-amz-meta":5})", "image/jpeg");
        row("not an object", "\"x-amz-meta: 1\"", "image/jpeg");
        row("injected line break", R"({"x-amz-meta":"1\r\nX-Evil: 1","x-ok":"2"})", "image/jpeg");
        row("bad header name", R"({"x bad":"1"})", "image/jpeg");
    }

    void ticketHeaders()
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

    void putStatus_data()
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

    void putStatus()
    {
        QFETCH(int, status);
        QFETCH(bool, ok);
        ticketTo(m_server->baseUrl().toString() + "/put/k");
        if (status < 0) {
            m_server->on("PUT", "/put/", ScriptedReply::dropped());
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

    void badTickets_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("parserError");
        QTest::newRow("not json") << QByteArray("<html>") << true;
        QTest::newRow("truncated") << QByteArray(R"({"object_key":"k",)") << true;
        QTest::newRow("array") << QByteArray(R"(["k"])") << false;
        QTest::newRow("no key") << QByteArray("{\"upload_url\":\"http://127.0.0.1/x\"}") << false;
        QTest::newRow("key number")
            << QByteArray("{\"object_key\":5,\"upload_url\":\"http://127.0.0.1/x\"}") << false;
        QTest::newRow("no url") << QByteArray(R"({"object_key":"k"})") << false;
        QTest::newRow("url number") << QByteArray(R"({"object_key":"k","upload_url":1})") << false;
        QTest::newRow("url empty") << QByteArray(R"({"object_key":"k","upload_url":""})") << false;
        QTest::newRow("url unparsable")
            << QByteArray("{\"object_key\":\"k\",\"upload_url\":\"http://[::1\"}") << false;
    }

    void badTickets()
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

    void uploadAddresses_data()
    {
        QTest::addColumn<QString>("upload");
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("allowed");
        const auto row = [](const char *name, const char *upload, const char *base, bool allowed) {
            QTest::newRow(name) << QString(upload) << QString(base) << allowed;
        };
        row("https", "https://cdn.example/x", "https://zumo.chat", true);
        row("http to https service", "http://cdn.example/x", "https://zumo.chat", false);
        row("http to http service", "http://127.0.0.1:9/x", "http://127.0.0.1:8", true);
        row("file", "file:///etc/passwd", "http://127.0.0.1:8", false);
        row("qrc", "qrc:/x", "https://zumo.chat", false);
        row("data", "data:text/plain,x", "https://zumo.chat", false);
        row("ftp", "ftp://cdn.example/x", "https://zumo.chat", false);
        row("relative", "/upload/x", "https://zumo.chat", false);
        row("no host", "https:///x", "https://zumo.chat", false);
    }

    void uploadAddresses()
    {
        QFETCH(QString, upload);
        QFETCH(QString, base);
        QFETCH(bool, allowed);
        QCOMPARE(ChatClient::uploadAddressAllowed(QUrl(upload), QUrl(base)), allowed);

        // Through the client: a refused address fails the upload before anything is sent there.
        if (!ChatClient::uploadAddressAllowed(QUrl(upload), m_server->baseUrl())) {
            ticketTo(upload);
            const auto r = await(m_client->upload(jpeg(2, 2)));
            QVERIFY(r.apiError);
            if (r.apiError->code == QLatin1String("upload_failed"))
                QCOMPARE(r.apiError->status, 0);
            else
                QCOMPARE(*r.apiError,
                         ChatAPIError::invalidResponse(500)); // not a usable URL at all
            QCOMPARE(m_server->requests.size(), 1);
        }
    }

    void failedUploadPostsNoImage()
    {
        ticketTo("file:///tmp/zumo-upload");
        const auto r = await(m_client->sendImages(kRoom, QUuid::createUuid(), jpeg(2, 2)));
        QCOMPARE(*r.apiError, ChatAPIError::uploadFailed(0));
        QVERIFY(m_server->requestsTo("/v1/conversations/").isEmpty());
        QVERIFY(!QFile::exists("/tmp/zumo-upload"));
    }

    void pixelSize_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("width");
        QTest::addColumn<qint64>("height");
        QTest::newRow("jpeg") << jpeg(640, 480) << qint64(640) << qint64(480);
        QTest::newRow("garbage") << QByteArray("not an image") << qint64(1) << qint64(1);
        QTest::newRow("empty") << QByteArray() << qint64(1) << qint64(1);
        QTest::newRow("truncated header") << jpeg(8, 8).left(10) << qint64(1) << qint64(1);
    }

    void pixelSize()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, width);
        QFETCH(qint64, height);
        const auto [w, h] = ChatClient::pixelSize(bytes);
        QCOMPARE(w, width);
        QCOMPARE(h, height);
    }

    void photoThroughTheService()
    {
        StandInService svc;
        QVERIFY(svc.listen(0));
        const QUuid a = addPerson(svc, "me@example.com", "me", QStringLiteral("나"));
        const QUuid b = addPerson(svc, "peer@example.com", "peer", QStringLiteral("친구"));
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

private:
    void ticket(const QByteArray &json) { m_server->onJson("POST", "/v1/uploads", 200, json); }

    void ticketTo(const QString &uploadUrl)
    {
        ticket(QStringLiteral(R"({"object_key":"k","upload_url":"%1"})").arg(uploadUrl).toUtf8());
    }

    std::unique_ptr<ScriptedClient> m_scripted;
    ScriptedServer *m_server = nullptr;
    ChatClient *m_client = nullptr;
};

QTEST_MAIN(TestUpload)
#include "tst_upload.moc"
