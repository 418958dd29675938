// Figures for picture decoding: how fast and with how much memory small files that claim huge
// pictures are refused (and what the plain decoders would have spent on them), the cost of a
// decoded-cache lookup for the bytes of a large photo, and the memory an endless picture
// download takes while the window is busy, read as it comes versus left to the reply.

#include "BenchSupport.h"

#include "ui/common/DecodedImageCache.h"
#include "ui/common/ImageDecodeJob.h"
#include "ui/common/RemoteImageCache.h"

#include "../tests/ui/common/TestImages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

// The peak resident memory since the last reset, in MB.
double peakMB()
{
    return double(statusKiB("VmHWM")) / 1024;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

template<typename Work>
void measure(const char *what, Work work)
{
    resetPeak();
    const double before = peakMB();
    QElapsedTimer timer;
    timer.start();
    const QString result = work();
    std::printf("  %-44s %10.3f ms  peak +%7.1f MB  %s\n", what, timer.nsecsElapsed() / 1e6,
                peakMB() - before, qPrintable(result));
}

QString describe(const QImage &image)
{
    return image.isNull() ? QStringLiteral("null")
                          : QStringLiteral("%1x%2").arg(image.width()).arg(image.height());
}

void bombs(bool withPlainDecoders)
{
    const struct
    {
        const char *name;
        QByteArray file;
    } files[] = {
        {"30000² bilevel PNG", blackPng(30000, 30000, 1)},
        {"16000² bilevel PNG", blackPng(16000, 16000, 1)},
        {"7500² grey PNG", blackPng(7500, 7500, 8)},
        {"20000² progressive JPEG", progressiveJpegClaiming(20000)},
    };
    for (const auto &file : files) {
        std::printf("%s (%lld KB)\n", file.name, qlonglong(file.file.size() / 1024));
        measure("ImageDecodeJob::run, maxSide 1280", [&] {
            ImageDecodeJob::Request request;
            request.bytes = file.file;
            request.maxSide = 1280;
            return describe(ImageDecodeJob::run(request).image);
        });
        if (!withPlainDecoders)
            continue;
        measure("QImage::fromData, then scaled", [&] {
            const QImage image = QImage::fromData(file.file);
            return describe(image.isNull() ? image
                                           : image.scaled(1280, 1280, Qt::KeepAspectRatio,
                                                          Qt::SmoothTransformation));
        });
        measure("QImageReader, scaled size, no pixel check", [&] {
            QBuffer buffer;
            buffer.setData(file.file);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            const QSize size = reader.size();
            if (size.isValid())
                reader.setScaledSize(size.scaled(1280, 1280, Qt::KeepAspectRatio));
            return describe(reader.read());
        });
    }
}

void lookups()
{
    QImage photo(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x * 7 ^ y, y * 3, (x + y) & 0xFF));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "jpeg", 90);
    std::printf("a %lld KB JPEG of 4000x3000\n", qlonglong(jpeg.size() / 1024));

    constexpr int rounds = 2000;
    QElapsedTimer timer;
    timer.start();
    size_t sink = 0;
    for (int i = 0; i < rounds; ++i)
        sink += qHash(jpeg, size_t(i));
    std::printf("  %-44s %9.3f ms (%zu)\n", "qHash of its bytes",
                timer.nsecsElapsed() / 1e6 / rounds, sink & 1);

    DecodedImageCache cache;
    timer.restart();
    cache.pixmap(jpeg, {220, 180}, 2);
    std::printf("  %-44s %9.3f ms\n", "first lookup (hash, start decode)",
                timer.nsecsElapsed() / 1e6);
    timer.restart();
    while (cache.pendingCount() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("  %-44s %9.1f ms\n", "background decode at 440x360", timer.nsecsElapsed() / 1e6);
    timer.restart();
    for (int i = 0; i < rounds; ++i)
        sink += cache.pixmap(jpeg, {220, 180}, 2).width();
    std::printf("  %-44s %9.5f ms\n", "later lookups (hits)", timer.nsecsElapsed() / 1e6 / rounds);
}

// Streams zeros after an image header to every client until it hangs up, on its own thread so
// that a busy main thread does not slow it down.
class EndlessServer : public QThread
{
public:
    quint16 port = 0;

    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port = server.serverPort();
        ready.release();
        QObject::connect(&server, &QTcpServer::newConnection, [&server] {
            QTcpSocket *socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n"
                              "Connection: close\r\n\r\n");
                const QByteArray chunk(256 << 10, '\0');
                const auto pump = [socket, chunk] {
                    while (socket->state() == QAbstractSocket::ConnectedState
                           && socket->bytesToWrite() < 4 * chunk.size())
                        socket->write(chunk);
                };
                QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
                pump();
            });
        });
        exec();
    }

    QSemaphore ready;
};

// A window that is busy 150 ms out of every 160.
void busyWindow(QTimer &timer)
{
    QObject::connect(&timer, &QTimer::timeout, [] {
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 150) { }
    });
    timer.start(10);
}

void endless()
{
    EndlessServer server;
    server.start();
    server.ready.acquire();
    const QString address = QStringLiteral("http://127.0.0.1:%1/endless.png").arg(server.port);
    std::printf("an endless answer, 20 MB limit, the window busy 150 ms in 160\n");

    measure("RemoteImageCache (read as it comes)", [&] {
        RemoteImageCache cache;
        QTimer busy;
        busyWindow(busy);
        bool done = false;
        QObject context;
        cache.fetch(address, &context, [&](const QImage &) { done = true; });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return QStringLiteral("cut");
    });

    measure("reply left alone, cut on downloadProgress", [&] {
        QNetworkAccessManager network;
        QTimer busy;
        busyWindow(busy);
        QNetworkReply *reply = network.get(QNetworkRequest(QUrl(address)));
        qint64 seen = 0;
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [&](qint64 received, qint64) {
                             seen = received;
                             if (received > RemoteImageCache::maxDownloadBytes)
                                 reply->abort();
                         });
        while (!reply->isFinished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        reply->deleteLater();
        return QStringLiteral("cut at %1 MB").arg(seen >> 20);
    });
    server.quit();
    server.wait();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool plain = app.arguments().contains(QStringLiteral("--plain"));
    if (!plain)
        std::printf("(add --plain to see what the plain decoders spend: up to several GB)\n");
    bombs(plain);
    lookups();
    endless();
    return 0;
}
