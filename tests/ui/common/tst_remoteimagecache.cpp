// The remote image loader against a tiny loopback HTTP responder: schemes, status 200 only,
// coalesced requests, the cache, bodies that never end, pictures that claim too many pixels,
// and the two views that use it.

#include "ui/common/AvatarView.h"
#include "ui/common/ImageDecodeJob.h"
#include "ui/common/MessagePhoto.h"
#include "ui/common/RemoteImageCache.h"

#include "TestImages.h"
#include "TinyHttp.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Outcome
{
    bool called = false;
    QImage image;
};

// Asks for `address` and notes the answer in `outcome`.
void fetchInto(RemoteImageCache &cache, const QString &address, QObject *context, Outcome &outcome)
{
    cache.fetch(address, context, [&outcome](const QImage &image) {
        outcome.called = true;
        outcome.image = image;
    });
}

} // namespace

class TestRemoteImageCache : public QObject
{
    Q_OBJECT

private slots:
    void refusesOtherSchemes_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("file") << "file:///etc/hostname";
        QTest::newRow("qrc") << "qrc:/sounds/message.wav";
        QTest::newRow("ftp") << "ftp://127.0.0.1/ok";
        QTest::newRow("javascript") << "javascript:alert(1)";
        QTest::newRow("data") << "data:image/png;base64,iVBORw0KGgo=";
        QTest::newRow("no host") << "http:///ok";
        QTest::newRow("empty") << "";
        QTest::newRow("relative") << "/ok";
    }
    void refusesOtherSchemes()
    {
        QFETCH(QString, address);
        TinyHttp http;
        RemoteImageCache cache;
        Outcome outcome;
        QObject context;
        fetchInto(cache, address, &context, outcome);
        QVERIFY2(!outcome.called, "the answer must never come before fetch() returns");
        QCOMPARE(cache.pendingCount(), 0);
        QTRY_VERIFY(outcome.called);
        QVERIFY(outcome.image.isNull());
        QVERIFY(cache.cached(address).isNull());
        QCOMPARE(http.totalHits(), 0);
    }

    void keepsOnlyStatus200_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("kept");
        QTest::newRow("200 image") << 200 << png(8, 6) << true;
        QTest::newRow("200 not an image") << 200 << QByteArray("<html>hi</html>") << false;
        QTest::newRow("200 empty") << 200 << QByteArray() << false;
        QTest::newRow("201 image") << 201 << png(8, 6) << false;
        QTest::newRow("203 image") << 203 << png(8, 6) << false;
        QTest::newRow("404 image") << 404 << png(8, 6) << false;
        QTest::newRow("500 image") << 500 << png(8, 6) << false;
    }
    void keepsOnlyStatus200()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, kept);
        TinyHttp http;
        http.route("/photo", {{status, body}});
        RemoteImageCache cache;
        Outcome outcome;
        QObject context;
        const QString address = http.url("/photo");
        fetchInto(cache, address, &context, outcome);
        QTRY_VERIFY(outcome.called);
        QCOMPARE(!outcome.image.isNull(), kept);
        QCOMPARE(!cache.cached(address).isNull(), kept);
        if (kept)
            QCOMPARE(outcome.image.size(), QSize(8, 6));
        QCOMPARE(http.hits("/photo"), 1);
        QCOMPARE(cache.pendingCount(), 0);
    }

    void coalescesAndCaches()
    {
        TinyHttp http;
        http.route("/a", {{200, png(5, 5)}});
        RemoteImageCache cache;
        QObject context;
        int delivered = 0;
        const auto count = [&](const QImage &image) {
            if (!image.isNull())
                ++delivered;
        };
        cache.fetch(http.url("/a"), &context, count);
        cache.fetch(http.url("/a"), &context, count);
        cache.fetch(http.url("/a"), &context, count);
        QCOMPARE(cache.pendingCount(), 1);
        QTRY_COMPARE(delivered, 3);
        QCOMPARE(http.hits("/a"), 1);

        // Kept: the next request is answered without the network.
        cache.fetch(http.url("/a"), &context, count);
        QTRY_COMPARE(delivered, 4);
        QCOMPARE(http.hits("/a"), 1);
    }

    // A later run (another cache over the same folder) shows a picture it fetched before
    // without asking the network; a failed answer is not kept.
    void keptOnDiskAcrossRuns()
    {
        TinyHttp http;
        http.route("/a", {{200, png(5, 5)}});
        http.route("/busy", {{503, "busy"}, {503, "busy"}});
        QTemporaryDir folder;
        QObject context;
        for (int run = 0; run < 2; ++run) {
            RemoteImageCache cache;
            cache.useDiskCache(folder.path());
            Outcome picture;
            Outcome busy;
            fetchInto(cache, http.url("/a"), &context, picture);
            fetchInto(cache, http.url("/busy"), &context, busy);
            QTRY_VERIFY(picture.called && busy.called);
            QCOMPARE(picture.image.size(), QSize(5, 5));
            QVERIFY(busy.image.isNull());
        }
        QCOMPARE(http.hits("/a"), 1);
        QCOMPARE(http.hits("/busy"), 2);
    }

    // Cleared at a session's end: nothing kept in memory or on disk, and a download on its way
    // is given up, answered with no picture.
    void clearForgetsEveryPicture()
    {
        TinyHttp http;
        http.route("/a", {{200, png(5, 5)}});
        TinyHttp::Answer endless;
        endless.endless = true;
        endless.body = png(4, 4).left(33);
        http.route("/endless", {endless});
        QTemporaryDir folder;
        QObject context;
        RemoteImageCache cache;
        cache.useDiskCache(folder.path());
        Outcome picture;
        fetchInto(cache, http.url("/a"), &context, picture);
        QTRY_VERIFY(picture.called);
        QVERIFY(!cache.cached(http.url("/a")).isNull());
        Outcome pending;
        fetchInto(cache, http.url("/endless"), &context, pending);
        QTRY_COMPARE(http.hits("/endless"), 1);

        cache.clear();
        QVERIFY(cache.cached(http.url("/a")).isNull());
        QCOMPARE(cache.pendingCount(), 0);
        QTRY_VERIFY(pending.called);
        QVERIFY(pending.image.isNull());
        QTRY_VERIFY(http.hungUp());
        QDirIterator files(folder.path(), QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!files.hasNext(), qPrintable(files.hasNext() ? files.next() : QString()));

        // Asked again, the picture comes from the network.
        Outcome again;
        fetchInto(cache, http.url("/a"), &context, again);
        QTRY_VERIFY(again.called);
        QCOMPARE(again.image.size(), QSize(5, 5));
        QCOMPARE(http.hits("/a"), 2);
    }

    void failureIsNotRemembered()
    {
        TinyHttp http;
        http.route("/flaky", {{503, "busy"}, {200, png(4, 4)}});
        RemoteImageCache cache;
        QObject context;
        QList<bool> results;
        const auto record = [&](const QImage &image) { results << !image.isNull(); };
        cache.fetch(http.url("/flaky"), &context, record);
        QTRY_COMPARE(results.size(), 1);
        cache.fetch(http.url("/flaky"), &context, record);
        QTRY_COMPARE(results.size(), 2);
        QCOMPARE(results, (QList<bool>{false, true}));
        QCOMPARE(http.hits("/flaky"), 2);
    }

    void goneContextIsNotCalled()
    {
        TinyHttp http;
        http.route("/late", {{200, png(4, 4)}});
        RemoteImageCache cache;
        bool calledGone = false;
        bool calledAlive = false;
        auto gone = std::make_unique<QObject>();
        QObject alive;
        cache.fetch(http.url("/late"), gone.get(), [&](const QImage &) { calledGone = true; });
        cache.fetch(http.url("/late"), &alive, [&](const QImage &) { calledAlive = true; });
        gone.reset();
        QTRY_VERIFY(calledAlive);
        QVERIFY(!calledGone);
    }

    void byteBudgetBoundsTheCache()
    {
        TinyHttp http;
        http.route("/big", {{200, png(100, 100)}}); // 40 000 bytes decoded
        http.route("/small", {{200, png(10, 10)}});
        RemoteImageCache cache;
        cache.setMaxBytes(30'000);
        QObject context;
        int answers = 0;
        const auto note = [&](const QImage &image) {
            if (!image.isNull())
                ++answers;
        };
        cache.fetch(http.url("/big"), &context, note);
        cache.fetch(http.url("/small"), &context, note);
        QTRY_COMPARE(answers, 2); // delivered even when too large to keep
        QVERIFY(cache.cached(http.url("/big")).isNull());
        QVERIFY(!cache.cached(http.url("/small")).isNull());
    }

    void endlessBodyIsCut_data()
    {
        QTest::addColumn<qint64>("claimedLength");
        QTest::newRow("no length") << qint64(-1);
        QTest::newRow("length beyond the limit") << (qint64(1) << 40);
        QTest::newRow("length under the limit, body goes on") << qint64(100'000);
    }
    void endlessBodyIsCut()
    {
        QFETCH(qint64, claimedLength);
        constexpr qint64 limit = 1 << 20;
        TinyHttp http;
        TinyHttp::Answer endless;
        endless.endless = true;
        endless.claimedLength = claimedLength;
        endless.body = png(4, 4).left(33); // a plausible start
        http.route("/endless", {endless});
        RemoteImageCache cache;
        cache.setDownloadLimit(limit);
        Outcome outcome;
        QObject context;
        fetchInto(cache, http.url("/endless"), &context, outcome);
        QTRY_VERIFY(outcome.called);
        QVERIFY(outcome.image.isNull());
        QTRY_VERIFY(http.hungUp());
        // What the server got rid of includes what the loopback's socket buffers took in, a
        // few megabytes at most; an uncut download would stream on until the test times out.
        QVERIFY2(http.streamed() < limit + (16 << 20),
                 qPrintable(QString::number(http.streamed())));
        QCOMPARE(cache.pendingCount(), 0);
    }

    void imageBombIsRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("decoded");
        QTest::newRow("16000² bilevel PNG") << blackPng(16000, 16000, 1) << false;
        QTest::newRow("7500² grey PNG") << blackPng(7500, 7500, 8) << false;
        QTest::newRow("65535² PNG, header only") << blackPng(65535, 65535, 8, false) << false;
        QTest::newRow("20000² progressive JPEG") << progressiveJpegClaiming(20000) << false;
        QTest::newRow("2000² grey PNG") << blackPng(2000, 2000, 8) << true;
    }
    void imageBombIsRefused()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, decoded);
        QVERIFY(file.size() < 64 << 10);

        ImageDecodeJob::Request request;
        request.bytes = file;
        request.maxSide = RemoteImageCache::maxSide;
        const ImageDecodeJob::Result direct = ImageDecodeJob::run(request);
        QCOMPARE(direct.outcome == ImageDecodeJob::Outcome::TooLarge, !decoded);
        if (decoded)
            QCOMPARE(direct.image.size(), QSize(1280, 1280));

        TinyHttp http;
        http.route("/bomb", {{200, file}});
        RemoteImageCache cache;
        Outcome outcome;
        QObject context;
        fetchInto(cache, http.url("/bomb"), &context, outcome);
        QTRY_VERIFY(outcome.called);
        QCOMPARE(!outcome.image.isNull(), decoded);
    }

    void largePictureArrivesScaled()
    {
        TinyHttp http;
        http.route("/wide", {{200, png(3000, 2000)}});
        RemoteImageCache cache;
        Outcome outcome;
        QObject context;
        fetchInto(cache, http.url("/wide"), &context, outcome);
        QTRY_VERIFY(outcome.called);
        QCOMPARE(outcome.image.size(), QSize(1280, 853));
    }

    void avatarFallsBackWhenRemoteFails()
    {
        TinyHttp http;
        http.route("/face", {{200, png(20, 20)}});
        http.route("/missing", {{404, png(20, 20)}});
        http.route("/face?first", {{200, png(20, 20)}});

        AvatarView loaded("홍길동", std::nullopt, http.url("/face"), 40);
        QCOMPARE(loaded.content(), AvatarView::Content::Initial);
        QTRY_COMPARE(loaded.content(), AvatarView::Content::Remote);

        AvatarView missing("홍길동", QByteArray("not a jpeg"), http.url("/missing"), 40);
        QTRY_COMPARE(http.hits("/missing"), 1);
        QTRY_COMPARE(RemoteImageCache::shared()->pendingCount(), 0);
        QCOMPARE(missing.content(), AvatarView::Content::Initial);

        // Switching address before the first answer: the late answer must not show.
        AvatarView switched("김", std::nullopt, http.url("/face?first"), 40);
        switched.setRemoteURL(std::nullopt);
        QTRY_COMPARE(http.hits("/face?first"), 1);
        QTRY_COMPARE(RemoteImageCache::shared()->pendingCount(), 0);
        QCOMPARE(switched.content(), AvatarView::Content::Initial);
    }

    void messagePhotoStates()
    {
        TinyHttp http;
        http.route("/pic", {{200, png(300, 200)}});
        http.route("/gone", {{410, png(300, 200)}});

        MessagePhoto none(std::nullopt, std::nullopt);
        QCOMPARE(none.state(), MessagePhoto::State::Empty);
        QCOMPARE(none.sizeHint(), QSize(0, 0));

        MessagePhoto remote(std::nullopt, http.url("/pic"));
        remote.setMaximumSize(220, 180);
        QCOMPARE(remote.state(), MessagePhoto::State::Loading);
        QTRY_COMPARE(remote.state(), MessagePhoto::State::Remote);
        QCOMPARE(remote.sizeHint(), QSize(220, 146));

        MessagePhoto failed(std::nullopt, http.url("/gone"));
        QTRY_COMPARE(failed.state(), MessagePhoto::State::Failed);
        QVERIFY(!failed.sizeHint().isEmpty()); // the faint placeholder stays

        MessagePhoto unsafe(std::nullopt, QStringLiteral("file:///etc/hostname"));
        QTRY_COMPARE(unsafe.state(), MessagePhoto::State::Failed);
    }
};

QTEST_MAIN(TestRemoteImageCache)
#include "tst_remoteimagecache.moc"
