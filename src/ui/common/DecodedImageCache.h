#pragma once

#include <QByteArray>
#include <QObject>
#include <QPixmap>
#include <QSize>

// Decoded pictures for painted rows (avatars, 220 × 180 photo thumbnails): keyed by the bytes
// and the target size, decoded scaled to that size, kept in a bounded memory cache. Decoding
// happens off the paint path: a miss returns a null pixmap and starts the decode; `ready` is
// emitted once the picture can be asked for again.
class DecodedImageCache : public QObject
{
    Q_OBJECT
public:
    enum class Fit { AspectFill, AspectFit };

    explicit DecodedImageCache(QObject *parent = nullptr);
    ~DecodedImageCache() override;

    static DecodedImageCache *shared();

    // The picture of `bytes` scaled to `size` (device-independent) at `devicePixelRatio`, or a
    // null pixmap while it is being decoded or when the bytes are no image.
    QPixmap pixmap(const QByteArray &bytes, const QSize &size, qreal devicePixelRatio,
                   Fit fit = Fit::AspectFill);

    // The same for a picture held by the service at `address` (through RemoteImageCache): null
    // until it has been loaded and decoded.
    QPixmap remotePixmap(const QString &address, const QSize &size, qreal devicePixelRatio,
                         Fit fit = Fit::AspectFill);

signals:
    void ready();
};
