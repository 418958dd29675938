#include "ui/common/DecodedImageCache.h"

#include "ui/common/ImagePaint.h"

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
