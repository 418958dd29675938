#include "ui/common/ImageDecodeJob.h"

#include "files/LogCategories.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace {

// Two threads: decoding stays off the main thread, while at most two full-size decodes are in
// memory at any moment however many pictures a scroll asks for.
constexpr int decodeThreads = 2;

QThreadPool *decodePool()
{
    // A child of the application object, so that it is destroyed on the main thread before the
    // event loop's data go away; its destructor waits for running decodes, and results posted
    // to it but not yet delivered are dropped with it.
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setObjectName(QStringLiteral("ImageDecodeJob"));
        pool->setMaxThreadCount(decodeThreads);
    }
    return pool;
}

} // namespace

QSize ImageDecodeJob::scaledSize(const QSize &stored, const QSize &box, bool fill, int maxSide)
{
    if (stored.isEmpty())
        return stored;
    QSize size = stored;
    if (!box.isEmpty()) {
        const double x = double(box.width()) / stored.width();
        const double y = double(box.height()) / stored.height();
        const double scale = fill ? std::max(x, y) : std::min(x, y);
        if (scale < 1)
            size = QSize(std::max(1, int(std::lround(stored.width() * scale))),
                         std::max(1, int(std::lround(stored.height() * scale))));
    }
    const int longer = std::max(size.width(), size.height());
    if (maxSide <= 0 || longer <= maxSide)
        return size;
    const double scale = double(maxSide) / longer;
    return QSize(std::clamp(int(size.width() * scale + 0.5), 1, maxSide),
                 std::clamp(int(size.height() * scale + 0.5), 1, maxSide));
}

void ImageDecodeJob::allowAdmittedPictures()
{
    // The limit is one for the whole process: it is set once, on the first call (from the main
    // thread: start() calls this before any decode leaves it), never from two threads at once.
    [[maybe_unused]] static const bool raised = [] {
        constexpr qint64 megabyte = 1 << 20;
        const int needed = int((maxDecodeBytes + megabyte - 1) / megabyte);
        if (QImageReader::allocationLimit() > 0 && QImageReader::allocationLimit() < needed)
            QImageReader::setAllocationLimit(needed);
        return true;
    }();
}

ImageDecodeJob::Result ImageDecodeJob::finish(QImage image, const Request &request)
{
    if (image.isNull())
        return {};
    // Readers that ignore the scaled size, formats without a size in their header, and
    // pictures handed over already decoded.
    const QSize wanted = scaledSize(image.size(), request.box, request.fill, request.maxSide);
    const QSize twice = wanted * 2;
    if (wanted != image.size()
        && qint64(image.width()) * image.height() > 4 * qint64(twice.width()) * twice.height()) {
        // Smooth scaling first converts most formats (bilevel, grey, indexed, unpremultiplied
        // alpha) to 32 or 64 bits at full size: a 50-megapixel PNG would cost another 200 to
        // 400 MB. A fast step down to twice the wanted size keeps the format, and the smooth
        // step then works on a small picture.
        image = image.scaled(twice, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    // 16-bit channels show no better on screen and take twice the memory in every cache. The
    // conversion is done in place, without a second full-size copy.
    if (image.depth() > 32)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                : QImage::Format_RGB32);
    if (wanted != image.size())
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (request.fill && !request.box.isEmpty()) {
        const QSize kept = image.size().boundedTo(request.box);
        if (kept != image.size())
            image = image.copy(QRect(
                QPoint((image.width() - kept.width()) / 2, (image.height() - kept.height()) / 2),
                kept));
    }
    return {Outcome::Decoded, image};
}

ImageDecodeJob::Result ImageDecodeJob::run(const Request &request)
{
    if (request.bytes.isEmpty())
        return finish(request.image, request);
    allowAdmittedPictures();

    QBuffer buffer;
    buffer.setData(request.bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // size() reads only the header. A few kilobytes can claim tens of thousands of pixels on
    // each side; such a picture is refused here, before the decoder allocates anything.
    // Without a size in the header, the reader's allocation limit (maxDecodeBytes) still
    // applies.
    const QSize stored = reader.size();
    if (stored.isValid()) {
        if (qint64(stored.width()) * stored.height() > maxPixels) {
            qCInfo(lcImages, "refused to decode a %dx%d picture", stored.width(), stored.height());
            return {Outcome::TooLarge, {}};
        }
        // The scaled size is applied before the EXIF rotation: turn the box the same way.
        QSize box = request.box;
        if (reader.transformation() & QImageIOHandler::TransformationRotate90)
            box.transpose();
        // Only the JPEG reader decodes at a smaller size. The others (PNG among them) decode
        // in full and then scale smoothly, which for 16-bit channels first copies the whole
        // picture once more (800 MB for 50 megapixels): finish() scales those instead.
        const QSize target = scaledSize(stored, box, request.fill, request.maxSide);
        if (target != stored && reader.format() == "jpeg")
            reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (image.isNull())
        qCInfo(lcImages, "could not decode a picture of %lld bytes: %s",
               qlonglong(request.bytes.size()), qPrintable(reader.errorString()));
    return finish(std::move(image), request);
}

void ImageDecodeJob::start(Request request, QObject *receiver,
                           std::function<void(const Result &)> done)
{
    allowAdmittedPictures();
    QThreadPool *pool = decodePool();
    QPointer<QObject> guard(receiver);
    pool->start([pool, guard, request = std::move(request), done = std::move(done)]() mutable {
        Result result = run(request);
        request = {};
        // The pool lives on the main thread and outlives every job it runs; the receiver is
        // checked there, where it lives, never from this thread.
        QMetaObject::invokeMethod(
            pool,
            [guard, done = std::move(done), result = std::move(result)] {
                if (guard)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}
