// The photo viewer: which photo shows, zooming, the download of a photo known by its address
// and saving to a file.

#include "../common/TestImages.h"
#include "PanelTestSupport.h"
#include "TestShots.h"

#include "ui/common/RemoteImageCache.h"
#include "ui/panels/MediaViewer.h"

#include <QBuffer>
#include <QFileDialog>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

QByteArray jpeg()
{
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(QColor(0x2F, 0x7C, 0xF0));
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return out;
}

// A loopback HTTP responder: each path answers with its status, headers and body and closes
// (404 for unknown paths); an endless answer streams zeros until the client hangs up. Keeps the
// head of every request.
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

    QHash<QString, Answer> routes;
    QList<QByteArray> heads;
    bool hungUp = false;

private:
    void serve(QTcpSocket *socket)
    {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine() || !socket->peek(1 << 16).contains("\r\n\r\n"))
                return;
            const QByteArray head = socket->readAll();
            heads.append(head);
            const Answer answer = routes.value(QString::fromLatin1(head.split(' ').value(1)));
            const QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n"
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
        m_me = signInLocally(*m_store);
        m_room = room(ConversationKind::direct, {member(m_me)});
        m_store->setConversations({m_room});
    }
    void cleanup() { m_store.reset(); }
    // The shared picture loader's downloads end before the process does: one still under way
    // at exit leaves the network thread's objects behind, which the leak checker reports.
    void cleanupTestCase()
    {
        QTRY_COMPARE_WITH_TIMEOUT(RemoteImageCache::shared()->pendingCount(), 0, 30000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void zoom_data();
    void zoom();
    void largePhotos_data();
    void largePhotos();
    void download_data();
    void download();
    void downloadGoesWithTheSheet();
    void save_data();
    void save();

private:
    QUuid addPhoto(const std::optional<QByteArray> &bytes, const std::optional<QString> &address)
    {
        ChatMessage m = textMessage(m_room.id, m_me, 1, QString());
        m.kind = MessageKind::image;
        m.imageJPEG = bytes;
        m.imageURL = address;
        m_store->setMessages({m});
        return m.id;
    }

    std::unique_ptr<LocalStore> m_store;
    Conversation m_room;
    QUuid m_me;
};

void TestMediaViewer::zoom_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<double>("scale");

    // b: a pinch begins; e: it ends; z<d>: the pinch grows by d; w<n>: n wheel notches with
    // Ctrl; p<n>: the same without Ctrl; k<c>: the key c pressed on "닫기", which has the
    // keyboard.
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
    QTest::newRow("ctrl and wheel from where the photo is")
        << QStringList{u"b"_s, u"z1"_s, u"e"_s, u"w-1"_s} << 1.6;
    QTest::newRow("wheel without ctrl") << QStringList{u"p3"_s} << 1.0;
    QTest::newRow("keys + and - step as the wheel")
        << QStringList{u"k+"_s, u"k="_s, u"k-"_s} << 1.25;
    QTest::newRow("keys never pass 4 or 1")
        << QStringList{u"k+"_s, u"k+"_s, u"k+"_s, u"k+"_s, u"k+"_s, u"k+"_s, u"k+"_s} << 4.0;
    QTest::newRow("key - stays at 1") << QStringList{u"k-"_s} << 1.0;
    QTest::newRow("key 0 after a pinch") << QStringList{u"b"_s, u"z1.5"_s, u"k0"_s} << 1.0;
}

void TestMediaViewer::zoom()
{
    QFETCH(QStringList, steps);
    QFETCH(double, scale);

    MediaViewer viewer(*m_store, addPhoto(jpeg(), std::nullopt));
    viewer.resize(640, 480);
    viewer.show();
    auto *photo = viewer.findChild<MediaPhotoView *>(u"photo"_s);
    QTRY_COMPARE(viewer.shownKind(), MediaPhotoView::Kind::Local);
    QCOMPARE(photo->accessibleName(), u"사진"_s);
    const QSizeF fitted = photo->photoRect().size();
    const QPointF at = QRectF(photo->rect()).center();
    for (const QString &step : steps) {
        const QChar what = step.front();
        const double amount = step.mid(1).toDouble();
        if (what == u'k') {
            QTest::keyClick(viewer.findChild<QWidget *>(u"close"_s), step.at(1).toLatin1());
            continue;
        }
        if (what == u'w' || what == u'p') {
            QWheelEvent wheel(at, photo->mapToGlobal(at), {}, QPoint(0, int(amount * 120)),
                              Qt::NoButton, what == u'w' ? Qt::ControlModifier : Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(photo, &wheel);
            continue;
        }
        const Qt::NativeGestureType type = what == u'b' ? Qt::BeginNativeGesture
            : what == u'e'                              ? Qt::EndNativeGesture
                                                        : Qt::ZoomNativeGesture;
        QNativeGestureEvent gesture(type, QPointingDevice::primaryPointingDevice(), 2, at, at,
                                    photo->mapToGlobal(at), amount, {});
        QCoreApplication::sendEvent(photo, &gesture);
    }
    QVERIFY(qAbs(viewer.scale() - scale) < 1e-9);
    // The photo grows about its centre.
    const QRectF now = photo->photoRect();
    QVERIFY(qAbs(now.width() - fitted.width() * scale) < 0.01);
    QVERIFY(QLineF(now.center(), at).length() < 0.01);
}

void TestMediaViewer::largePhotos_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("longestSide");
    QTest::newRow("5000 × 3000 PNG")
        << blackPng(5000, 3000, 8) << int(MediaPhotoView::Kind::Local) << 4096;
    QTest::newRow("claims 20000 × 20000")
        << progressiveJpegClaiming(20000) << int(MediaPhotoView::Kind::Broken) << 0;
    // 392 MB to decode, past the image readers' default limit of 128 MB.
    QTest::newRow("7000 × 7000 with 16-bit channels")
        << blackPng(7000, 7000, 16, true, 4) << int(MediaPhotoView::Kind::Local) << 4096;
    QTest::newRow("not a picture")
        << QByteArray("사진이 아닙니다") << int(MediaPhotoView::Kind::Broken) << 0;
    QTest::newRow("tall photo") << encoded(QSize(300, 1200), "jpeg")
                                << int(MediaPhotoView::Kind::Local) << 1200;
}

// A photo from a peer is decoded off the main thread and bounded like the transcript's: the
// sheet opens at once, black, and the photo follows; one that claims too many pixels never
// shows, and says so. The bar has its own strip above the photo, whatever the photo's shape.
void TestMediaViewer::largePhotos()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, shown);
    QFETCH(int, longestSide);
    MediaViewer viewer(*m_store, addPhoto(bytes, std::nullopt));
    viewer.resize(640, 480);
    viewer.show();
    QCOMPARE(viewer.shownKind(), MediaPhotoView::Kind::None);
    auto *photo = viewer.findChild<MediaPhotoView *>(u"photo"_s);
    if (shown == int(MediaPhotoView::Kind::Local)) {
        QTRY_COMPARE_WITH_TIMEOUT(viewer.shownKind(), MediaPhotoView::Kind::Local, 30000);
    } else {
        QTRY_COMPARE(int(viewer.shownKind()), shown);
    }
    QCOMPARE(std::max(photo->pictureSize().width(), photo->pictureSize().height()), longestSide);
    auto *bar = viewer.findChild<QWidget *>(u"bar"_s);
    const QRect photoArea = photo->photoRect().toAlignedRect().translated(photo->pos());
    QVERIFY(photoArea.isEmpty() || photoArea.top() >= bar->geometry().bottom());
    for (QPushButton *button : bar->findChildren<QPushButton *>())
        QVERIFY(button->width() >= button->sizeHint().width());
    saveShot(&viewer, u"large-%1"_s.arg(longestSide));
}

void TestMediaViewer::download_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<bool>("endless");
    QTest::addColumn<bool>("kept");

    QTest::newRow("200 kept") << 200 << jpeg() << QByteArray() << false << true;
    QTest::newRow("200 kept without a look at the bytes")
        << 200 << QByteArray("whatever the service sent") << QByteArray() << false << true;
    QTest::newRow("404 not kept") << 404 << jpeg() << QByteArray() << false << false;
    QTest::newRow("201 not kept") << 201 << jpeg() << QByteArray() << false << false;
    QTest::newRow("empty 200 not kept") << 200 << QByteArray() << QByteArray() << false << false;
    QTest::newRow("redirect to another origin not followed")
        << 302 << QByteArray() << QByteArray("Location: http://localhost:9/p.jpg\r\n") << false
        << false;
    QTest::newRow("endless answer cut") << 200 << QByteArray() << QByteArray() << true << false;
}

// The sheet downloads a photo known only by its address once, with a plain GET, and hands the
// body of a 200 to the store, after which the photo shows as the local one.
void TestMediaViewer::download()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, headers);
    QFETCH(bool, endless);
    QFETCH(bool, kept);

    LoopbackHttp http;
    http.routes[u"/p.jpg"_s] = {status, body, headers, endless};
    const QUuid id = addPhoto(std::nullopt, http.url(u"/p.jpg"_s));
    MediaViewer viewer(*m_store, id);
    QVERIFY(viewer.isDownloading());
    QTRY_VERIFY_WITH_TIMEOUT(!viewer.isDownloading(), 30000);
    QCOMPARE(m_store->message(id)->imageJPEG, kept ? std::optional(body) : std::nullopt);
    if (endless)
        QTRY_VERIFY(http.hungUp);
    for (const QByteArray &head : std::as_const(http.heads)) {
        QVERIFY(head.startsWith("GET /p.jpg "));
        QVERIFY(!head.toLower().contains("authorization") && !head.toLower().contains("cookie"));
    }
    if (kept && body == jpeg())
        QTRY_COMPARE(viewer.shownKind(), MediaPhotoView::Kind::Local);
}

// Closing the sheet while the download streams aborts it; nothing reaches the store.
void TestMediaViewer::downloadGoesWithTheSheet()
{
    LoopbackHttp http;
    http.routes[u"/p.jpg"_s] = {200, {}, {}, true};
    const QUuid id = addPhoto(std::nullopt, http.url(u"/p.jpg"_s));
    auto viewer = std::make_unique<MediaViewer>(*m_store, id);
    QTRY_VERIFY(!http.heads.isEmpty());
    viewer.reset();
    QTRY_VERIFY(http.hungUp);
    QTest::qWait(50);
    QCOMPARE(m_store->message(id)->imageJPEG, std::nullopt);
}

void TestMediaViewer::save_data()
{
    QTest::addColumn<QString>("photo"); // local, junk (with an address or not), remote, unknown
    QTest::addColumn<QString>("answer"); // a file name, an absolute path, "" = cancel, "-" = none
    QTest::addColumn<bool>("failedBefore");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<int>("shown");

    const int local = int(MediaPhotoView::Kind::Local);
    const QString refused = u"/proc/사진.jpg"_s;
    QTest::newRow("written") << u"local"_s << u"x.jpg"_s << false << false << local;
    QTest::newRow("a success clears an earlier failure")
        << u"local"_s << u"x.jpg"_s << true << false << local;
    QTest::newRow("write refused") << u"local"_s << refused << false << true << local;
    QTest::newRow("cancel keeps an earlier failure")
        << u"local"_s << QString() << true << true << local;
    QTest::newRow("bytes that are no picture: shown from the address, saved as stored")
        << u"junk"_s << u"x.jpg"_s << false << false << int(MediaPhotoView::Kind::Remote);
    QTest::newRow("photo not downloaded")
        << u"remote"_s << u"-"_s << false << true << int(MediaPhotoView::Kind::None);
    // Nothing shows, so "저장" is not offered: the user would save what they have not seen.
    const int broken = int(MediaPhotoView::Kind::Broken);
    QTest::newRow("bytes that are no picture, no address")
        << u"junk only"_s << u"-"_s << false << false << broken;
    QTest::newRow("an address that cannot be loaded")
        << u"remote"_s << u"-"_s << false << false << broken;
    QTest::newRow("unknown message")
        << u"unknown"_s << u"-"_s << false << false << int(MediaPhotoView::Kind::None);
}

void TestMediaViewer::save()
{
    QFETCH(QString, photo);
    QFETCH(QString, answer);
    QFETCH(bool, failedBefore);
    QFETCH(bool, failed);
    QFETCH(int, shown);

    LoopbackHttp http;
    http.routes[u"/p.jpg"_s] = {200, jpeg(), {}, false};
    const QByteArray bytes = photo.startsWith(u"junk"_s) ? QByteArray("no picture") : jpeg();
    QUuid id = photo == u"remote"_s ? addPhoto(std::nullopt, http.url(u"/gone.jpg"_s))
        : photo == u"junk only"_s   ? addPhoto(bytes, std::nullopt)
                                    : addPhoto(bytes, http.url(u"/p.jpg"_s));
    if (photo == u"unknown"_s)
        id = QUuid::createUuid();
    MediaViewer viewer(*m_store, id);
    viewer.resize(640, 480);
    viewer.show();
    // While a photo is still coming, "저장" is offered (and says when it cannot save yet).
    QCOMPARE(part(viewer, u"save"_s)->isEnabled(), photo != u"unknown"_s);
    QTRY_COMPARE(int(viewer.shownKind()), shown);
    QCOMPARE(part(viewer, u"save"_s)->isEnabled(),
             photo != u"unknown"_s && shown != int(MediaPhotoView::Kind::Broken));

    QTemporaryDir folder;
    const auto press = [&](const QString &choice) {
        part(viewer, u"save"_s)->click();
        auto *dialog = viewer.findChild<QFileDialog *>();
        QCOMPARE(dialog != nullptr, choice != u"-"_s);
        if (!dialog)
            return;
        QVERIFY(dialog->isModal() && dialog->acceptMode() == QFileDialog::AcceptSave);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), u"사진.jpg"_s);
        // Typed, as a user would: selecting the file would also open its folder.
        dialog->findChild<QLineEdit *>(u"fileNameEdit"_s)
            ->setText(choice.startsWith(u'/') ? choice : folder.filePath(choice));
        choice.isEmpty() ? dialog->reject() : static_cast<QDialog *>(dialog)->accept();
        QTRY_VERIFY(!viewer.findChild<QFileDialog *>());
    };
    if (failedBefore)
        press(u"/proc/사진.jpg"_s);
    QCOMPARE(viewer.saveFailed(), failedBefore);
    press(answer);
    QCOMPARE(shownText(viewer, u"failure"_s),
             failed ? u"사진을 저장하지 못했습니다."_s : QString());
    QFile written(folder.filePath(answer));
    QCOMPARE(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(),
             answer.endsWith(u"x.jpg"_s) ? bytes : QByteArray());
    if (QTest::currentDataTag() == "write refused"_L1)
        savePictures(viewer, u"media"_s, {QSize(640, 480), QSize(1100, 760)});
}

QTEST_MAIN(TestMediaViewer)
#include "tst_mediaviewer.moc"
