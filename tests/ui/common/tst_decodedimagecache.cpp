// The decoded-picture cache of painted rows: a miss decodes in the background and announces
// itself, a hit is the scaled picture, failures are remembered, memory stays within budget.

#include "ui/common/DecodedImageCache.h"
#include "ui/common/MessagePhoto.h"
#include "ui/common/PictureRows.h"

#include "TestImages.h"
#include "TinyHttp.h"

#include <QListView>
#include <QPainter>
#include <QSignalSpy>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

using Fit = DecodedImageCache::Fit;

// What a painted message photo shows: the picture (red in these tests), the broken-photo
// symbol (in the blue ink), or the plain placeholder.
QString paintedPhoto(const std::optional<QByteArray> &jpeg, const std::optional<QString> &address)
{
    QImage canvas(220, 180, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    MessagePhoto::paintCached(painter, canvas.rect(), jpeg, address, Qt::blue);
    painter.end();
    const QColor centre = canvas.pixelColor(canvas.rect().center());
    if (centre.red() > 200 && centre.green() < 60)
        return QStringLiteral("picture");
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const QColor c = canvas.pixelColor(x, y);
            if (c.blue() > 200 && c.red() < 120)
                return QStringLiteral("broken");
        }
    }
    return QStringLiteral("placeholder");
}

} // namespace

// Notes which rows it painted.
class CountingDelegate : public QStyledItemDelegate
{
public:
    mutable QSet<int> painted;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        painted.insert(index.row());
        QStyledItemDelegate::paint(painter, option, index);
    }
};

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
        // The announcement names the picture, by content: another array of the same bytes is
        // the same picture, other bytes are not.
        const auto announced = ready.first().first().value<QSet<QString>>();
        QCOMPARE(announced, QSet<QString>{cache.pictureOf(bytes)});
        QVERIFY(cache.concerns(announced, QByteArray(bytes.constData(), bytes.size())));
        QVERIFY(!cache.concerns(announced, encoded({7, 7}, "png"), u"https://a.example/p"_s));
        QVERIFY(!cache.concerns(announced, std::nullopt));

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
        QVERIFY(!cache.failed(bytes)); // not known yet
        QCOMPARE(cache.pendingCount(), 1);
        QTRY_COMPARE(cache.pendingCount(), 0);
        // The failure is announced once, so that views can show it.
        QTRY_COMPARE(ready.size(), 1);
        QVERIFY(cache.failed(bytes));
        QVERIFY(cache.pixmap(bytes, {40, 40}, 1).isNull());
        QVERIFY(cache.pixmap(bytes, {80, 80}, 2).isNull());
        QCOMPARE(cache.pendingCount(), 0); // not decoded again, at any size
        QCoreApplication::processEvents();
        QCOMPARE(ready.size(), 1);
    }

    void paintedPhotoStates_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        const QByteArray junk("사진이 아닙니다");
        QTest::newRow("picture") << encoded({300, 200}, "png", Qt::red) << ""
                                 << "picture";
        QTest::newRow("not a picture") << junk << ""
                                       << "broken";
        QTest::newRow("not a picture, the address loads") << junk << "/pic"
                                                          << "picture";
        QTest::newRow("address gone") << QByteArray() << "/gone"
                                      << "broken";
        QTest::newRow("claims too many pixels") << blackPng(8000, 8000, 8, false) << ""
                                                << "broken";
    }
    // A photo that cannot be shown says so, rather than staying a placeholder for ever.
    void paintedPhotoStates()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, path);
        QFETCH(QString, shown);
        TinyHttp http;
        http.route("/pic", {{200, encoded({300, 200}, "png", Qt::red)}});
        http.route("/gone", {{404, "no"}});
        const std::optional<QByteArray> jpeg
            = bytes.isEmpty() ? std::nullopt : std::optional(bytes);
        const std::optional<QString> address
            = path.isEmpty() ? std::nullopt : std::optional(http.url(path));
        QCOMPARE(paintedPhoto(jpeg, address), QStringLiteral("placeholder"));
        QTRY_COMPARE(paintedPhoto(jpeg, address), shown);
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
        // Announced by its address, and a failure too.
        QVERIFY(cache.concerns(ready.first().first().value<QSet<QString>>(), std::nullopt,
                               http.url("/face")));
        ready.clear();

        // A failed address is not asked for again on every paint.
        QVERIFY(cache.remotePixmap(http.url("/gone"), {40, 40}, 1).isNull());
        QTRY_COMPARE(cache.pendingCount(), 0);
        for (int paint = 0; paint < 3; ++paint)
            QVERIFY(cache.remotePixmap(http.url("/gone"), {40, 40}, 1).isNull());
        QCOMPARE(cache.pendingCount(), 0);
        QCOMPARE(http.hits("/gone"), 1);
        QVERIFY(cache.remoteFailed(http.url("/gone")));
        QTRY_VERIFY(!ready.isEmpty());
        QVERIFY(ready.last().first().value<QSet<QString>>().contains(http.url("/gone")));
        QVERIFY(!cache.remoteFailed(http.url("/face")));
    }

    // Only the rows in sight that show an announced picture are painted again.
    void rowsShowingAPictureRepaint()
    {
        QStringListModel model(QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s});
        QListView view;
        CountingDelegate delegate;
        view.setItemDelegate(&delegate);
        view.setModel(&model);
        view.resize(200, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(!delegate.painted.isEmpty());
        delegate.painted.clear();
        PictureRows::repaint(&view, [](const QModelIndex &index) { return index.row() == 2; });
        QTRY_VERIFY(!delegate.painted.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(delegate.painted, QSet<int>{2});
    }
};

QTEST_MAIN(TestDecodedImageCache)
#include "tst_decodedimagecache.moc"
