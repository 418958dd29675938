#include "ui/common/DecodedImageCache.h"

#include "ui/common/ImagePaint.h"
#include "ui/common/RemoteImageCache.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

DecodedImageCache::DecodedImageCache(QObject *parent)
    : QObject(parent)
{ }

DecodedImageCache::~DecodedImageCache() = default;

DecodedImageCache *DecodedImageCache::shared()
{
    static DecodedImageCache *cache = new DecodedImageCache;
    return cache;
}

QPixmap DecodedImageCache::pixmap(const QByteArray &bytes, const QSize &size,
                                  qreal devicePixelRatio, Fit fit)
{
    QImage image = QImage::fromData(bytes);
    if (image.isNull() || size.isEmpty())
        return {};
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QImage scaled = image.scaled(
        pixels, fit == Fit::AspectFill ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio,
        Qt::SmoothTransformation);
    QPixmap result = QPixmap::fromImage(scaled);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QPixmap DecodedImageCache::remotePixmap(const QString &address, const QSize &size,
                                        qreal devicePixelRatio, Fit fit)
{
    RemoteImageCache *remote = RemoteImageCache::shared();
    const QImage image = remote ? remote->cached(address) : QImage();
    if (image.isNull()) {
        if (remote)
            remote->fetch(address, this, [this](const QImage &loaded) {
                if (!loaded.isNull())
                    emit ready();
            });
        return {};
    }
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QPixmap result = QPixmap::fromImage(image.scaled(
        pixels, fit == Fit::AspectFill ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio,
        Qt::SmoothTransformation));
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}
