// The decoded-picture cache of painted rows: a miss decodes in the background and announces
// itself, a hit is the scaled picture, failures are remembered, memory stays within budget.

#include "ui/common/DecodedImageCache.h"

#include "TinyHttp.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

using Fit = DecodedImageCache::Fit;

QByteArray encoded(const QSize &size, const char *format, QColor color = Qt::darkCyan)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return out;
}

} // namespace

class TestDecodedImageCache : public QObject
{
    Q_OBJECT

private slots:
    void missThenReadyThenHit_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("fit");
        QTest::addColumn<QSize>("pixels");
        const QByteArray photo = encoded({4000, 3000}, "jpeg");
        QTest::newRow("photo filled, cropped")
            << photo << QSize(220, 180) << 2.0 << int(Fit::AspectFill) << QSize(440, 360);
        QTest::newRow("photo fitted")
            << photo << QSize(220, 180) << 1.0 << int(Fit::AspectFit) << QSize(220, 165);
        QTest::newRow("avatar at 1.5")
            << photo << QSize(40, 40) << 1.5 << int(Fit::AspectFill) << QSize(60, 60);
        QTest::newRow("small is never enlarged") << encoded({20, 30}, "png") << QSize(40, 40) << 2.0
                                                 << int(Fit::AspectFill) << QSize(20, 30);
    }
    void missThenReadyThenHit()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(qreal, ratio);
        QFETCH(int, fit);
        QFETCH(QSize, pixels);
        DecodedImageCache cache;
        QSignalSpy ready(&cache, &DecodedImageCache::ready);
        QVERIFY(cache.pixmap(bytes, size, ratio, Fit(fit)).isNull());
        QVERIFY(cache.pixmap(bytes, size, ratio, Fit(fit)).isNull());
        QCOMPARE(cache.pendingCount(), 1); // the second request joined the first
        QTRY_COMPARE(ready.size(), 1);
        QCOMPARE(cache.pendingCount(), 0);

        const QPixmap hit = cache.pixmap(bytes, size, ratio, Fit(fit));
        QCOMPARE(hit.size(), pixels);
        QCOMPARE(hit.devicePixelRatio(), ratio);
        // Keyed by content: equal bytes in another array hit too.
        const QByteArray copy(bytes.constData(), bytes.size());
        QCOMPARE(cache.pixmap(copy, size, ratio, Fit(fit)).size(), pixels);
        // Another size is another picture.
        QVERIFY(cache.pixmap(bytes, size / 2, ratio, Fit(fit)).isNull());
        QTRY_COMPARE(ready.size(), 2);
    }

    void undecodableIsRemembered_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("text") << QByteArray("사진이 아닙니다");
        QTest::newRow("truncated header") << encoded({50, 50}, "png").left(20);
        QTest::newRow("raw data") << QByteArray::fromRawData("\x89PNG\r\n\x1a\n", 8);
    }
    void undecodableIsRemembered()
    {
        QFETCH(QByteArray, bytes);
        DecodedImageCache cache;
        QSignalSpy ready(&cache, &DecodedImageCache::ready);
        QVERIFY(cache.pixmap(bytes, {40, 40}, 1).isNull());
        QCOMPARE(cache.pendingCount(), 1);
        QTRY_COMPARE(cache.pendingCount(), 0);
        QVERIFY(cache.pixmap(bytes, {40, 40}, 1).isNull());
        QVERIFY(cache.pixmap(bytes, {80, 80}, 2).isNull());
        QCOMPARE(cache.pendingCount(), 0); // not decoded again, at any size
        QCoreApplication::processEvents();
        QCOMPARE(ready.size(), 0);
    }

    void keepsWithinBudget()
    {
        DecodedImageCache cache;
        cache.setMaxBytes(200'000); // two of the 200 × 100 pictures below, not three
        QList<QByteArray> pictures;
        for (int i = 0; i < 6; ++i)
            pictures << encoded({200, 100}, "png", QColor::fromHsv(i * 50, 200, 200));
        for (const QByteArray &bytes : pictures)
            cache.pixmap(bytes, {200, 100}, 1, Fit::AspectFit);
        QCOMPARE(cache.pendingCount(), pictures.size());
        QTRY_COMPARE(cache.pendingCount(), 0);
        qint64 kept = 0;
        for (const QByteArray &bytes : pictures) {
            const QPixmap hit = cache.pixmap(bytes, {200, 100}, 1, Fit::AspectFit);
            if (!hit.isNull())
                kept += hit.width() * hit.height() * 4;
        }
        QVERIFY(kept > 0);
        QVERIFY2(kept <= cache.maxBytes(), qPrintable(QString::number(kept)));
    }

    void remotePicture()
    {
        TinyHttp http;
        http.route("/face", {{200, png(300, 300)}});
        http.route("/gone", {{404, "no"}});
        DecodedImageCache cache;
        QSignalSpy ready(&cache, &DecodedImageCache::ready);

        QVERIFY(cache.remotePixmap(http.url("/face"), {40, 40}, 2).isNull());
        QVERIFY(cache.remotePixmap(http.url("/face"), {56, 56}, 1).isNull());
        QTRY_VERIFY(!cache.remotePixmap(http.url("/face"), {40, 40}, 2).isNull());
        QCOMPARE(cache.remotePixmap(http.url("/face"), {40, 40}, 2).size(), QSize(80, 80));
        QTRY_VERIFY(!cache.remotePixmap(http.url("/face"), {56, 56}, 1).isNull());
        QCOMPARE(http.hits("/face"), 1);
        QVERIFY(ready.size() >= 1);

        // A failed address is not asked for again on every paint.
        QVERIFY(cache.remotePixmap(http.url("/gone"), {40, 40}, 1).isNull());
        QTRY_COMPARE(cache.pendingCount(), 0);
        for (int paint = 0; paint < 3; ++paint)
            QVERIFY(cache.remotePixmap(http.url("/gone"), {40, 40}, 1).isNull());
        QCOMPARE(cache.pendingCount(), 0);
        QCOMPARE(http.hits("/gone"), 1);
    }
};

QTEST_MAIN(TestDecodedImageCache)
#include "tst_decodedimagecache.moc"
