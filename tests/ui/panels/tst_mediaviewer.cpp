// The photo viewer: which photo shows, zooming, the download of a photo known by its address
// and saving to a file.

#include "PanelTestSupport.h"

#include "ui/panels/MacMediaViewer.h"
#include "ui/panels/PhotoDownload.h"

#include <QBuffer>
#include <QFileDialog>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPointingDevice>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

QByteArray jpeg(int width = 320, int height = 200)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient shade(0, 0, width, height);
    shade.setColorAt(0, QColor(0x2F, 0x7C, 0xF0));
    shade.setColorAt(1, QColor(0xF0, 0xA0, 0x30));
    painter.fillRect(image.rect(), shade);
    painter.end();
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return out;
}

// A loopback HTTP responder: each path answers with its status, body and headers and closes;
// an endless answer streams zeros until the client hangs up. Keeps each request's head.
class LoopbackHttp : public QObject
{
public:
    struct Answer
    {
        int status = 404;
        QByteArray body;
        QByteArray headers; // extra header lines, each ending in \r\n
        bool endless = false;
    };

    LoopbackHttp()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                serve(socket);
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    QString url(const QString &path) const
    {
        return u"http://127.0.0.1:%1%2"_s.arg(m_server.serverPort()).arg(path);
    }
    void route(const QString &path, const Answer &answer) { m_routes[path] = answer; }

    QList<QByteArray> heads;
    bool hungUp = false;

private:
    void serve(QTcpSocket *socket)
    {
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
            head->append(socket->readAll());
            if (!head->contains("\r\n\r\n"))
                return;
            heads.append(*head);
            const QString path = QString::fromLatin1(head->split(' ').value(1));
            const Answer answer = m_routes.value(path);
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n"
                + answer.headers + "Connection: close\r\n";
            if (!answer.endless) {
                socket->write(reply + "Content-Length: " + QByteArray::number(answer.body.size())
                              + "\r\n\r\n" + answer.body);
                socket->disconnectFromHost();
                return;
            }
            socket->write(reply + "\r\n");
            connect(socket, &QTcpSocket::disconnected, this, [this] { hungUp = true; });
            const auto pump = [socket] {
                while (socket->state() == QAbstractSocket::ConnectedState
                       && socket->bytesToWrite() < (256 << 10))
                    socket->write(QByteArray(64 << 10, '\0'));
            };
            connect(socket, &QTcpSocket::bytesWritten, socket, pump);
            pump();
        });
    }

    QTcpServer m_server;
    QHash<QString, Answer> m_routes;
};

} // namespace

class TestMediaViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init()
    {
        resetFolders();
        m_store = memoryStore();
        const QUuid me = signInLocally(*m_store);
        Conversation direct = room(ConversationKind::direct, {member(me)});
        m_store->setConversations({direct});
        m_room = direct.id;
        m_me = me;
    }
    void cleanup() { m_store.reset(); }

    void photoShown_data();
    void photoShown();
    void zoom_data();
    void zoom();
    void download_data();
    void download();
    void downloadGoesWithTheSheet();
    void save_data();
    void save();

private:
    QUuid addPhoto(const std::optional<QByteArray> &bytes, const std::optional<QString> &address)
    {
        ChatMessage m = textMessage(m_room, m_me, 1, QString());
        m.kind = MessageKind::image;
        m.imageJPEG = bytes;
        m.imageURL = address;
        m_store->setMessages({m});
        return m.id;
    }

    std::unique_ptr<LocalStore> m_store;
    QUuid m_room;
    QUuid m_me;
};

void TestMediaViewer::photoShown_data()
{
    QTest::addColumn<std::optional<QByteArray>>("bytes");
    QTest::addColumn<bool>("servedAddress");
    QTest::addColumn<bool>("known");
    QTest::addColumn<int>("kind");

    using Kind = MediaPhotoView::Kind;
    const QByteArray junk("not a picture");
    QTest::newRow("local bytes") << std::optional(jpeg()) << false << true << int(Kind::Local);
    QTest::newRow("bytes that do not decode fall back to the address")
        << std::optional(junk) << true << true << int(Kind::Remote);
    QTest::newRow("only an address, then downloaded")
        << std::optional<QByteArray>() << true << true << int(Kind::Local);
    QTest::newRow("neither") << std::optional<QByteArray>() << false << true << int(Kind::None);
    QTest::newRow("unknown message")
        << std::optional<QByteArray>() << false << false << int(Kind::None);
}

// The photo on show once the remote loader and the sheet's own download have answered.
void TestMediaViewer::photoShown()
{
    QFETCH(std::optional<QByteArray>, bytes);
    QFETCH(bool, servedAddress);
    QFETCH(bool, known);
    QFETCH(int, kind);

    LoopbackHttp http;
    http.route(u"/p.jpg"_s, {200, jpeg(), {}, false});
    QUuid id = addPhoto(bytes, servedAddress ? std::optional(http.url(u"/p.jpg"_s)) : std::nullopt);
    if (!known)
        id = QUuid::createUuid();
    MacMediaViewer viewer(*m_store, id);
    QTRY_VERIFY(!viewer.isDownloading());
    QTRY_COMPARE(int(viewer.shownKind()), kind);
    QCOMPARE(int(viewer.shownKind()), kind);
    QCOMPARE(viewer.findChild<QWidget *>(u"photo"_s)->accessibleName(),
             kind == int(MediaPhotoView::Kind::None) ? QString() : u"사진"_s);
    if (QTest::currentDataTag() == "local bytes"_L1)
        savePictures(viewer, u"media-local"_s, {QSize(640, 480), QSize(1100, 760)});
}

void TestMediaViewer::zoom_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<double>("scale");

    // b: a pinch begins; e: it ends; z<d>: the pinch grows by d; w<n>: n wheel notches with
    // Ctrl; p<n>: the same without Ctrl.
    QTest::newRow("pinch to 2.5") << QStringList{u"b"_s, u"z0.5"_s, u"z1"_s} << 2.5;
    QTest::newRow("never above 4") << QStringList{u"b"_s, u"z6"_s} << 4.0;
    QTest::newRow("never below 1") << QStringList{u"b"_s, u"z-0.7"_s} << 1.0;
    QTest::newRow("the end of a pinch keeps the scale")
        << QStringList{u"b"_s, u"z1"_s, u"e"_s} << 2.0;
    QTest::newRow("a new pinch starts again from 1")
        << QStringList{u"b"_s, u"z1.5"_s, u"e"_s, u"b"_s, u"z0.02"_s} << 1.02;
    QTest::newRow("a pinch changes nothing before its first real change")
        << QStringList{u"b"_s, u"z1.5"_s, u"e"_s, u"b"_s, u"z0.005"_s} << 2.5;
    QTest::newRow("a zoom without a begin is a new pinch")
        << QStringList{u"b"_s, u"z2"_s, u"e"_s, u"z0.5"_s} << 1.5;
    QTest::newRow("ctrl and wheel") << QStringList{u"w2"_s} << 1.5625;
    QTest::newRow("ctrl and wheel after a pinch")
        << QStringList{u"b"_s, u"z1"_s, u"e"_s, u"w-1"_s} << 1.6;
    QTest::newRow("wheel without ctrl") << QStringList{u"p3"_s} << 1.0;
}

void TestMediaViewer::zoom()
{
    QFETCH(QStringList, steps);
    QFETCH(double, scale);

    MacMediaViewer viewer(*m_store, addPhoto(jpeg(), std::nullopt));
    viewer.resize(640, 480);
    viewer.show();
    QWidget *photo = viewer.findChild<QWidget *>(u"photo"_s);
    const QSizeF shown = static_cast<MediaPhotoView *>(photo)->photoRect().size();
    const QPointF at(320, 240);
    const QPointingDevice *pad = QPointingDevice::primaryPointingDevice();
    for (const QString &step : steps) {
        const QChar what = step.front();
        const double amount = step.mid(1).toDouble();
        if (what == u'w' || what == u'p') {
            QWheelEvent wheel(at, photo->mapToGlobal(at), QPoint(), QPoint(0, int(amount * 120)),
                              Qt::NoButton, what == u'w' ? Qt::ControlModifier : Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(photo, &wheel);
            continue;
        }
        const Qt::NativeGestureType type = what == u'b' ? Qt::BeginNativeGesture
            : what == u'e'                              ? Qt::EndNativeGesture
                                                        : Qt::ZoomNativeGesture;
        QNativeGestureEvent gesture(type, pad, 2, at, at, photo->mapToGlobal(at), amount, {});
        QCoreApplication::sendEvent(photo, &gesture);
    }
    QVERIFY(qAbs(viewer.scale() - scale) < 1e-9);
    // The photo grows about its centre.
    const QRectF now = static_cast<MediaPhotoView *>(photo)->photoRect();
    QVERIFY(qAbs(now.width() - shown.width() * scale) < 0.01);
    QVERIFY(qAbs(now.center().x() - 320) < 0.01 && qAbs(now.center().y() - 240) < 0.01);
}

void TestMediaViewer::download_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<bool>("endless");
    QTest::addColumn<bool>("kept");

    const QByteArray photo = jpeg();
    QTest::newRow("200 kept") << 200 << photo << QByteArray() << false << true;
    QTest::newRow("200 kept without a look at the bytes")
        << 200 << QByteArray("whatever the service sent") << QByteArray() << false << true;
    QTest::newRow("404 not kept") << 404 << photo << QByteArray() << false << false;
    QTest::newRow("201 not kept") << 201 << photo << QByteArray() << false << false;
    QTest::newRow("empty 200 not kept") << 200 << QByteArray() << QByteArray() << false << false;
    QTest::newRow("redirect to another origin not followed")
        << 302 << QByteArray() << QByteArray("Location: http://localhost:9/p.jpg\r\n") << false
        << false;
    QTest::newRow("endless answer cut") << 200 << QByteArray() << QByteArray() << true << false;
}

void TestMediaViewer::download()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, headers);
    QFETCH(bool, endless);
    QFETCH(bool, kept);

    LoopbackHttp http;
    http.route(u"/p.jpg"_s, {status, body, headers, endless});
    const QUuid id = addPhoto(std::nullopt, http.url(u"/p.jpg"_s));
    MacMediaViewer viewer(*m_store, id);
    QVERIFY(viewer.isDownloading());
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.isDownloading(), 30000);
    QCOMPARE(m_store->message(id)->imageJPEG, kept ? std::optional(body) : std::nullopt);
    if (endless)
        QTRY_VERIFY(http.hungUp);

    // Only the sheet's download and the display loader asked, without headers of our own.
    QVERIFY(!http.heads.isEmpty());
    for (const QByteArray &head : std::as_const(http.heads)) {
        QVERIFY(head.startsWith("GET /p.jpg "));
        QVERIFY(!head.toLower().contains("authorization"));
        QVERIFY(!head.toLower().contains("cookie"));
    }
    if (status == 200 && body == jpeg())
        QTRY_COMPARE(viewer.shownKind(), MediaPhotoView::Kind::Local);
}

// Closing the sheet while the download streams aborts it; nothing reaches the store.
void TestMediaViewer::downloadGoesWithTheSheet()
{
    LoopbackHttp http;
    http.route(u"/p.jpg"_s, {200, {}, {}, true});
    const QUuid id = addPhoto(std::nullopt, http.url(u"/p.jpg"_s));
    auto viewer = std::make_unique<MacMediaViewer>(*m_store, id);
    QTRY_VERIFY(!http.heads.isEmpty());
    viewer.reset();
    QTRY_VERIFY(http.hungUp);
    QTest::qWait(50);
    QCOMPARE(m_store->message(id)->imageJPEG, std::nullopt);
}

void TestMediaViewer::save_data()
{
    QTest::addColumn<QString>("photo"); // local, remote, unknown
    QTest::addColumn<QString>("answer"); // a file name in a fresh folder, a path, or "" = cancel
    QTest::addColumn<bool>("failedBefore");
    QTest::addColumn<bool>("failed");

    QTest::newRow("written") << u"local"_s << u"x.jpg"_s << false << false;
    QTest::newRow("a success clears an earlier failure")
        << u"local"_s << u"x.jpg"_s << true << false;
    QTest::newRow("write refused") << u"local"_s << u"/proc/사진.jpg"_s << false << true;
    QTest::newRow("cancel keeps no failure") << u"local"_s << QString() << false << false;
    QTest::newRow("cancel keeps an earlier failure") << u"local"_s << QString() << true << true;
    QTest::newRow("photo not downloaded yet") << u"remote"_s << u"-"_s << false << true;
    QTest::newRow("unknown message") << u"unknown"_s << u"-"_s << false << true;
}

void TestMediaViewer::save()
{
    QFETCH(QString, photo);
    QFETCH(QString, answer);
    QFETCH(bool, failedBefore);
    QFETCH(bool, failed);

    LoopbackHttp http; // every path answers 404
    const QByteArray bytes = jpeg();
    QUuid id = photo == u"local"_s ? addPhoto(bytes, std::nullopt)
                                   : addPhoto(std::nullopt, http.url(u"/p.jpg"_s));
    if (photo == u"unknown"_s)
        id = QUuid::createUuid();
    MacMediaViewer viewer(*m_store, id);
    viewer.resize(640, 480);
    viewer.show();
    QTRY_VERIFY(!viewer.isDownloading());

    QTemporaryDir folder;
    const auto press = [&](const QString &choice) {
        part(viewer, u"save"_s)->click();
        auto *dialog = viewer.findChild<QFileDialog *>();
        if (choice == u"-"_s) {
            QVERIFY(!dialog);
            return;
        }
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->isModal());
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(),
                 MacMediaViewer::suggestedFileName());
        if (choice.isEmpty()) {
            dialog->reject();
        } else {
            // Typed, as a user would: selecting the file would also open its folder.
            auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
            QVERIFY(name);
            name->setText(choice.startsWith(u'/') ? choice : folder.filePath(choice));
            static_cast<QDialog *>(dialog)->accept();
        }
        QTRY_VERIFY(!viewer.findChild<QFileDialog *>());
    };
    if (failedBefore)
        press(u"/proc/사진.jpg"_s);
    QCOMPARE(viewer.saveFailed(), failedBefore);
    press(answer);
    QCOMPARE(viewer.saveFailed(), failed);
    QCOMPARE(shownText(viewer, u"failure"_s),
             failed ? MacMediaViewer::saveFailedText() : QString());
    if (!answer.isEmpty() && !answer.startsWith(u'/') && answer != u"-"_s) {
        QFile written(folder.filePath(answer));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), bytes);
    }
    if (QTest::currentDataTag() == "write refused"_L1)
        savePictures(viewer, u"media-failed"_s, {QSize(640, 480)});
}

QTEST_MAIN(TestMediaViewer)
#include "tst_mediaviewer.moc"
