#include "ui/common/ImagePaint.h"

#include <QPaintDevice>
#include <QPainter>

void AspectFill::setImage(const QImage &image)
{
    m_image = image;
    m_scaled = QPixmap();
}

QRectF AspectFill::sourceRect(const QSizeF &imageSize, const QSizeF &targetSize)
{
    if (imageSize.isEmpty() || targetSize.isEmpty())
        return {};
    const qreal imageRatio = imageSize.width() / imageSize.height();
    const qreal targetRatio = targetSize.width() / targetSize.height();
    if (imageRatio > targetRatio) {
        const qreal width = imageSize.height() * targetRatio;
        return QRectF((imageSize.width() - width) / 2, 0, width, imageSize.height());
    }
    const qreal height = imageSize.width() / targetRatio;
    return QRectF(0, (imageSize.height() - height) / 2, imageSize.width(), height);
}

void AspectFill::paint(QPainter &painter, const QRectF &target)
{
    if (m_image.isNull() || target.isEmpty())
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (target.size() * ratio).toSize();
    if (pixels.isEmpty())
        return;
    if (m_scaled.size() != pixels) {
        const QRect source = sourceRect(m_image.size(), target.size()).toAlignedRect();
        m_scaled = QPixmap::fromImage(
            m_image.copy(source).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
    painter.drawPixmap(target.topLeft(), m_scaled);
}
