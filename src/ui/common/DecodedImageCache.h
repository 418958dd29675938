#pragma once

#include <QByteArray>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// Decoded pictures for painted rows (avatars, 220 × 180 photo thumbnails): keyed by the bytes'
// content and the target size, decoded scaled to that size, kept in a bounded memory cache.
// Decoding happens off the paint path: a miss returns a null pixmap and starts the decode
// (requests for the same picture share one decode); `ready` is emitted once, after the
// decodes that finished (or failed) in one turn of the event loop, naming their pictures, and
// the picture can then be asked for again. Bytes that are no picture are remembered and not
// decoded again.
class DecodedImageCache : public QObject
{
    Q_OBJECT
public:
    // AspectFill: the result covers the size and is cropped to it, centred.
    // AspectFit: the result lies within the size.
    // Pictures are never enlarged: a small one comes at its own size.
    enum class Fit { AspectFill, AspectFit };

    // Decoded pixels kept: some screens of photo thumbnails and avatars (a 220 × 180 thumbnail
    // takes 155 KiB, 620 KiB at twice the pixel density). More would only hold a long
    // scroll's pictures that are off screen.
    static constexpr qint64 defaultMaxBytes = 16ll << 20;
    // What a room that closes leaves of the pictures: the room list's avatars and a little
    // more, so that leaving a long room gives its pictures' memory back.
    static constexpr qint64 keptAfterRoomBytes = 4ll << 20;
    static constexpr int maxDecodedSide = 4096; // device pixels, whatever size is asked for

    explicit DecodedImageCache(QObject *parent = nullptr);
    ~DecodedImageCache() override;

    static DecodedImageCache *shared();

    // The picture of `bytes` scaled to `size` (device-independent) at `devicePixelRatio`, or a
    // null pixmap while it is being decoded or when the bytes are no image. Cheap for bytes
    // seen before: the content is hashed once per shared byte array, not per call.
    QPixmap pixmap(const QByteArray &bytes, const QSize &size, qreal devicePixelRatio,
                   Fit fit = Fit::AspectFill);

    // The same for a picture held by the service at `address` (through RemoteImageCache): null
    // until it has been loaded and decoded. An address that failed to load is tried again at
    // the earliest remoteRetryMs later.
    QPixmap remotePixmap(const QString &address, const QSize &size, qreal devicePixelRatio,
                         Fit fit = Fit::AspectFill);

    static constexpr int remoteRetryMs = 60'000;

    // Whether a null pixmap above means the picture cannot be shown (rather than that it is on
    // its way): bytes that are no picture or too large a one; an address that could not be
    // loaded, until it is tried again.
    bool failed(const QByteArray &bytes);
    bool remoteFailed(const QString &address) const;

    // What `ready` calls a picture: bytes by their content, a remote one by its address.
    QString pictureOf(const QByteArray &bytes);
    static QString pictureOf(const QString &address) { return address.trimmed(); }
    // Whether `pictures` (from `ready`) name a picture that a view drawing these shows: its
    // bytes or, failing those, its address.
    bool concerns(const QSet<QString> &pictures, const std::optional<QByteArray> &bytes,
                  const std::optional<QString> &address = std::nullopt);

    void setMaxBytes(qint64 bytes);
    // Lets go of the least recently used pictures until at most `bytes` are kept; the limit
    // stays as it was.
    void trim(qint64 bytes);
    qint64 maxBytes() const;
    // Decodes and downloads on their way.
    int pendingCount() const;

signals:
    // The pictures whose decode or download ended since the last `ready` (see pictureOf).
    void ready(const QSet<QString> &pictures);

private:
    struct Private;
    struct Key;

    void startDecode(const Key &key, const QByteArray &bytes, const QImage &image);
    void decoded(const Key &key, const QImage &image);
    void remoteArrived(const QString &address, const QImage &image);
    void announceReady(const QString &picture);

    std::unique_ptr<Private> d;
};
