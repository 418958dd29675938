// Photo shrinking: sizes, EXIF orientation, transparency, undecodable data, and reading an
// image file.

#include "ui/common/ImageFile.h"
#include "ui/common/ImageShrink.h"
#include "ui/common/MessagePhoto.h"

#include <QBuffer>
#include <QFileDialog>
#include <QImageWriter>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray encode(const QImage &image, const char *format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    if (!writer.write(image))
        qFatal("could not encode a test image");
    return out;
}

// Left half red, right half blue: after a rotation, where the red half went shows which way.
QImage halves(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    return image;
}

// A JPEG whose APP1 segment carries an EXIF orientation tag (TIFF, big-endian, one IFD entry).
QByteArray withOrientation(const QByteArray &jpeg, quint16 orientation)
{
    // Header, one entry: tag 0x0112 of type SHORT, count 1, the value, and no next IFD.
    QByteArray tiff("MM\x00\x2A\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01", 18);
    tiff.append(char(orientation >> 8))
        .append(char(orientation & 0xff))
        .append(QByteArray(6, '\0'));
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const quint16 length = quint16(payload.size() + 2);
    segment.append(char(length >> 8)).append(char(length & 0xff)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QSize decodedSize(const QByteArray &data)
{
    return QImage::fromData(data).size();
}

bool isReddish(QRgb c)
{
    return qRed(c) > 180 && qBlue(c) < 90;
}

bool isBluish(QRgb c)
{
    return qBlue(c) > 180 && qRed(c) < 90;
}

} // namespace

class TestImageShrink : public QObject
{
    Q_OBJECT

private slots:
    void sizes_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("maxSide");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("landscape") << QSize(2000, 1000) << 512 << QSize(512, 256);
        QTest::newRow("portrait") << QSize(600, 1200) << 512 << QSize(256, 512);
        QTest::newRow("message photo") << QSize(1600, 1200) << 1280 << QSize(1280, 960);
        QTest::newRow("odd ratio rounds") << QSize(1000, 333) << 512 << QSize(512, 170);
        QTest::newRow("exactly the limit") << QSize(512, 300) << 512 << QSize(512, 300);
        QTest::newRow("small is never enlarged") << QSize(300, 200) << 512 << QSize(300, 200);
        QTest::newRow("very thin keeps a pixel") << QSize(4000, 2) << 512 << QSize(512, 1);
    }
    void sizes()
    {
        QFETCH(QSize, source);
        QFETCH(int, maxSide);
        QFETCH(QSize, expected);
        for (const char *format : {"jpeg", "png"}) {
            const auto jpeg = ImageShrink::jpeg(
                encode(halves(source.width(), source.height()), format), maxSide);
            QVERIFY2(jpeg.has_value(), format);
            QVERIFY(jpeg->startsWith("\xFF\xD8"));
            QCOMPARE(decodedSize(*jpeg), expected);
        }
    }

    void exifOrientation_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("maxSide");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("rotate 90, shrunk") << 6 << 100 << QSize(50, 100);
        QTest::newRow("rotate 90, full size") << 6 << 512 << QSize(200, 400);
        QTest::newRow("rotate 270") << 8 << 512 << QSize(200, 400);
        QTest::newRow("upright") << 1 << 512 << QSize(400, 200);
    }
    void exifOrientation()
    {
        // Stored as 400 x 200, red on the left.
        QFETCH(int, orientation);
        QFETCH(int, maxSide);
        QFETCH(QSize, expected);
        const QByteArray tagged
            = withOrientation(encode(halves(400, 200), "jpeg"), quint16(orientation));
        const auto jpeg = ImageShrink::jpeg(tagged, maxSide);
        QVERIFY(jpeg.has_value());
        const QImage result = QImage::fromData(*jpeg);
        QCOMPARE(result.size(), expected);
        // A clockwise quarter turn (6) puts the stored left side on top, 8 at the bottom.
        const QRgb top = result.pixel(result.width() / 2, result.height() / 8);
        const QRgb bottom = result.pixel(result.width() / 2, result.height() * 7 / 8);
        const QRgb left = result.pixel(result.width() / 8, result.height() / 2);
        if (orientation == 6)
            QVERIFY(isReddish(top) && isBluish(bottom));
        else if (orientation == 8)
            QVERIFY(isBluish(top) && isReddish(bottom));
        else
            QVERIFY(isReddish(left));
    }

    void transparencyBecomesWhite()
    {
        QImage clear(40, 40, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        const auto jpeg = ImageShrink::jpeg(encode(clear, "png"), 512);
        QVERIFY(jpeg.has_value());
        const QRgb pixel = QImage::fromData(*jpeg).pixel(20, 20);
        QVERIFY2(qRed(pixel) > 240 && qGreen(pixel) > 240 && qBlue(pixel) > 240,
                 "a transparent picture must not turn black");
    }

    void undecodable_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("maxSide");
        const QByteArray good = encode(halves(64, 64), "jpeg");
        QTest::newRow("empty") << QByteArray() << 512;
        QTest::newRow("text") << QByteArray("이것은 사진이 아닙니다") << 512;
        QTest::newRow("jpeg header only") << good.left(20) << 512;
        QTest::newRow("random bytes") << QByteArray(4096, '\x5A') << 512;
        QTest::newRow("zero side") << good << 0;
        QTest::newRow("negative side") << good << -1;
    }
    void undecodable()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, maxSide);
        QVERIFY(!ImageShrink::jpeg(data, maxSide).has_value());
        QVERIFY(ImageShrink::image(data, maxSide).isNull());
    }

    void readFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString picture = dir.filePath("그림.png");
        const QString text = dir.filePath("notes.txt");
        QVERIFY(writeFile(picture, encode(halves(1000, 800), "png")));
        QVERIFY(writeFile(text, "not an image"));

        const auto jpeg = ImageFile::read(picture, 512);
        QVERIFY(jpeg.has_value());
        QCOMPARE(decodedSize(*jpeg), QSize(512, 410));
        QVERIFY(!ImageFile::read(text, 512).has_value());
        QVERIFY(!ImageFile::read(dir.filePath("missing.jpg"), 512).has_value());
        QVERIFY(ImageFile::nameFilter().contains("*.jpg"));
    }

    // pick() answers on a later turn, by the test seam or the dialog, and never once the widget
    // that asked is gone (which takes its dialog with it).
    void pickAnswersLater_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("calls");
        QTest::addColumn<bool>("picture");
        QTest::newRow("answered: a picture") << "picture" << 1 << true;
        QTest::newRow("answered: cancel") << "cancel" << 1 << false;
        QTest::newRow("answered: the asker gone first") << "picture gone" << 0 << false;
        QTest::newRow("dialog: a picture chosen") << "dialog picture" << 1 << true;
        QTest::newRow("dialog: cancelled") << "dialog cancel" << 1 << false;
        QTest::newRow("dialog: the asker gone") << "dialog gone" << 0 << false;
    }
    void pickAnswersLater()
    {
        QFETCH(QString, how);
        QFETCH(int, calls);
        QFETCH(bool, picture);
        QTemporaryDir dir;
        const QString image = dir.filePath("그림.png");
        QVERIFY(writeFile(image, encode(halves(300, 200), "png")));
        const bool viaDialog = how.startsWith("dialog");
        if (!viaDialog)
            ImageFile::setTestAnswer([=] { return how.startsWith("picture") ? image : ""; });
        auto asker = std::make_unique<QWidget>();
        int called = 0;
        std::optional<QByteArray> got;
        ImageFile::pick(asker.get(), 64, [&](std::optional<QByteArray> jpeg) {
            ++called;
            got = std::move(jpeg);
        });
        ImageFile::setTestAnswer({});
        QCOMPARE(called, 0);
        QPointer<QFileDialog> dialog = asker->findChild<QFileDialog *>();
        QCOMPARE(dialog && dialog->isVisible() && dialog->windowModality() == Qt::WindowModal,
                 viaDialog);

        if (how.endsWith("gone")) {
            asker.reset();
        } else if (how == "dialog picture") {
            dialog->selectFile(image);
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept(), protected there
        } else if (how == "dialog cancel") {
            dialog->reject();
        }
        QTRY_COMPARE(called, calls);
        QCoreApplication::processEvents();
        QCOMPARE(called, calls);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(got.has_value(), picture);
        if (got)
            QCOMPARE(decodedSize(*got), QSize(64, 43));
    }

    void jpegImageShowsNothingForBadData()
    {
        JPEGImage bad(QByteArray("garbage"));
        QVERIFY(bad.isNull());
        QCOMPARE(bad.sizeHint(), QSize(0, 0));
        JPEGImage good(encode(halves(30, 20), "jpeg"));
        QVERIFY(!good.isNull());
        QCOMPARE(good.sizeHint(), QSize(30, 20));
    }
};

QTEST_MAIN(TestImageShrink)
#include "tst_imageshrink.moc"
