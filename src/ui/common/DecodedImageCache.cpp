#include "ui/common/DecodedImageCache.h"

#include "ui/common/ImageDecodeJob.h"
#include "ui/common/RemoteImageCache.h"

#include <QCache>
#include <QDeadlineTimer>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <utility>

namespace {

// What the content of some bytes is known by: a seeded 64-bit hash and the length.
using Content = std::pair<size_t, qsizetype>;

// One byte array as the caller holds it: its data pointer and length. Only valid while the
// array is kept alive (see HeldBytes).
using Identity = std::pair<const char *, qsizetype>;

// A shared copy of hashed bytes: while it is kept their data can be neither freed (and the
// address reused by other bytes) nor changed in place (a write detaches the writer's copy), so
// the data pointer identifies the content.
struct HeldBytes
{
    QByteArray bytes;
    Content content;
};

// A picture's name in `ready`: its content, written out (never taken for an address, which
// has a scheme).
QString contentName(const Content &content)
{
    return QStringLiteral("%1/%2").arg(content.first, 0, 16).arg(content.second);
}

constexpr qint64 heldBytesBudget = 32ll << 20;
constexpr qsizetype maxRemembered = 4096; // failures remembered before the list starts over

QSize devicePixels(const QSize &size, qreal ratio)
{
    if (size.isEmpty() || !(ratio > 0))
        return {};
    return (QSizeF(size) * ratio)
        .toSize()
        .boundedTo(QSize(DecodedImageCache::maxDecodedSide, DecodedImageCache::maxDecodedSide));
}

} // namespace

struct DecodedImageCache::Key
{
    QString address; // remote pictures; empty for bytes
    Content content; // bytes
    QSize pixels;
    qreal ratio = 1;
    Fit fit = Fit::AspectFill;
    friend bool operator==(const Key &, const Key &) = default;
    friend size_t qHash(const Key &key, size_t seed)
    {
        return qHashMulti(seed, key.address, key.content, key.pixels.width(), key.pixels.height(),
                          key.ratio, int(key.fit));
    }
};

struct DecodedImageCache::Private
{
    QCache<Key, QPixmap> pixmaps;
    QCache<Identity, HeldBytes> held;
    QSet<Key> pending;
    QSet<Content> undecodable;
    QHash<QString, QList<Key>> remoteWaiting; // keys waiting for a download, by address
    QHash<QString, QDeadlineTimer> remoteFailed; // until when an address is not tried again
    QSet<QString> readyPictures; // announced at the next ready

    Content contentOf(const QByteArray &bytes)
    {
        const auto hashed = [&bytes] {
            return Content{qHash(bytes, QHashSeed::globalSeed()), bytes.size()};
        };
        // Raw data (QByteArray::fromRawData) belongs to somebody else and may change under
        // the same pointer: hash it every time.
        if (QByteArray shared = bytes; !shared.data_ptr().isMutable())
            return hashed();
        const Identity identity{bytes.constData(), bytes.size()};
        if (const HeldBytes *known = held.object(identity))
            return known->content;
        const Content content = hashed();
        held.insert(identity, new HeldBytes{bytes, content}, std::max<qsizetype>(1, bytes.size()));
        return content;
    }
};

DecodedImageCache::DecodedImageCache(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->pixmaps.setMaxCost(defaultMaxBytes);
    d->held.setMaxCost(heldBytesBudget);
}

DecodedImageCache::~DecodedImageCache() = default;

DecodedImageCache *DecodedImageCache::shared()
{
    static DecodedImageCache *cache = new DecodedImageCache;
    return cache;
}

void DecodedImageCache::setMaxBytes(qint64 bytes)
{
    d->pixmaps.setMaxCost(bytes);
}

void DecodedImageCache::trim(qint64 bytes)
{
    const qint64 limit = d->pixmaps.maxCost();
    if (bytes >= limit)
        return;
    d->pixmaps.setMaxCost(bytes);
    d->pixmaps.setMaxCost(limit);
}

qint64 DecodedImageCache::maxBytes() const
{
    return d->pixmaps.maxCost();
}

int DecodedImageCache::pendingCount() const
{
    return int(d->pending.size());
}

QPixmap DecodedImageCache::pixmap(const QByteArray &bytes, const QSize &size,
                                  qreal devicePixelRatio, Fit fit)
{
    const QSize pixels = devicePixels(size, devicePixelRatio);
    if (bytes.isEmpty() || pixels.isEmpty())
        return {};
    const Content content = d->contentOf(bytes);
    if (d->undecodable.contains(content))
        return {};
    const Key key{QString(), content, pixels, devicePixelRatio, fit};
    if (const QPixmap *kept = d->pixmaps.object(key))
        return *kept;
    if (!d->pending.contains(key))
        startDecode(key, bytes, QImage());
    return {};
}

QPixmap DecodedImageCache::remotePixmap(const QString &address, const QSize &size,
                                        qreal devicePixelRatio, Fit fit)
{
    const QString trimmed = address.trimmed();
    const QSize pixels = devicePixels(size, devicePixelRatio);
    if (trimmed.isEmpty() || pixels.isEmpty())
        return {};
    const Key key{trimmed, Content(), pixels, devicePixelRatio, fit};
    if (const QPixmap *kept = d->pixmaps.object(key))
        return *kept;
    if (d->pending.contains(key))
        return {};
    if (const auto failed = d->remoteFailed.constFind(trimmed); failed != d->remoteFailed.cend()) {
        if (!failed->hasExpired())
            return {};
        d->remoteFailed.erase(failed);
    }
    RemoteImageCache *remote = RemoteImageCache::shared();
    if (const QImage loaded = remote->cached(trimmed); !loaded.isNull()) {
        startDecode(key, QByteArray(), loaded);
        return {};
    }
    d->pending.insert(key);
    QList<Key> &waiting = d->remoteWaiting[trimmed];
    waiting.append(key);
    if (waiting.size() == 1)
        remote->fetch(trimmed, this,
                      [this, trimmed](const QImage &image) { remoteArrived(trimmed, image); });
    return {};
}

bool DecodedImageCache::failed(const QByteArray &bytes)
{
    return !bytes.isEmpty() && d->undecodable.contains(d->contentOf(bytes));
}

bool DecodedImageCache::remoteFailed(const QString &address) const
{
    const auto failed = d->remoteFailed.constFind(address.trimmed());
    return failed != d->remoteFailed.cend() && !failed->hasExpired();
}

void DecodedImageCache::remoteArrived(const QString &address, const QImage &image)
{
    const QList<Key> keys = d->remoteWaiting.take(address);
    if (image.isNull()) {
        for (const Key &key : keys)
            d->pending.remove(key);
        if (d->remoteFailed.size() >= maxRemembered)
            d->remoteFailed.clear();
        d->remoteFailed.insert(address, QDeadlineTimer(remoteRetryMs));
        announceReady(pictureOf(address)); // so that the views show the failure
        return;
    }
    // Scaled from the picture as delivered, not from the remote cache: it may be too large to
    // be kept there, and asking again would download it again.
    for (const Key &key : keys)
        startDecode(key, QByteArray(), image);
}

void DecodedImageCache::startDecode(const Key &key, const QByteArray &bytes, const QImage &image)
{
    d->pending.insert(key);
    ImageDecodeJob::start(
        {.bytes = bytes, .image = image, .box = key.pixels, .fill = key.fit == Fit::AspectFill},
        this, [this, key](const ImageDecodeJob::Result &result) { decoded(key, result.image); });
}

void DecodedImageCache::decoded(const Key &key, const QImage &image)
{
    d->pending.remove(key);
    if (image.isNull()) {
        if (key.address.isEmpty()) {
            if (d->undecodable.size() >= maxRemembered)
                d->undecodable.clear();
            d->undecodable.insert(key.content);
        }
        // So that the views show the failure, or fall back to the address.
        announceReady(key.address.isEmpty() ? contentName(key.content) : key.address);
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(key.ratio);
    // A picture larger than the whole budget is not kept, and no repaint is asked for: the
    // repaint would miss again and start the same decode, for ever.
    if (d->pixmaps.insert(key, new QPixmap(pixmap), std::max<qsizetype>(1, image.sizeInBytes())))
        announceReady(key.address.isEmpty() ? contentName(key.content) : key.address);
}

void DecodedImageCache::announceReady(const QString &picture)
{
    const bool queued = !d->readyPictures.isEmpty();
    d->readyPictures.insert(picture);
    if (queued)
        return;
    QMetaObject::invokeMethod(
        this, [this] { emit ready(std::exchange(d->readyPictures, {})); }, Qt::QueuedConnection);
}

QString DecodedImageCache::pictureOf(const QByteArray &bytes)
{
    return contentName(d->contentOf(bytes));
}

bool DecodedImageCache::concerns(const QSet<QString> &pictures,
                                 const std::optional<QByteArray> &bytes,
                                 const std::optional<QString> &address)
{
    return (bytes && !bytes->isEmpty() && pictures.contains(pictureOf(*bytes)))
        || (address && !address->isEmpty() && pictures.contains(pictureOf(*address)));
}
