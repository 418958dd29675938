#include "ui/common/ImageShrink.h"

#include "ui/common/ImageDecodeJob.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QPaintDevice>
#include <QPainter>

QImage ImageShrink::image(const QByteArray &data, int maxSide)
{
    if (maxSide <= 0 || data.isEmpty())
        return {};
    return ImageDecodeJob::run({.bytes = data, .maxSide = maxSide}).image;
}

std::optional<QByteArray> ImageShrink::jpeg(const QByteArray &data, int maxSide)
{
    QImage picture = image(data, maxSide);
    if (picture.isNull())
        return std::nullopt;

    if (picture.colorSpace().isValid() && picture.colorSpace() != QColorSpace::SRgb)
        picture.convertToColorSpace(QColorSpace::SRgb);
    if (picture.hasAlphaChannel()) {
        // JPEG has no transparency: lay the picture on white rather than on black.
        QImage flat(picture.size(), QImage::Format_RGB32);
        flat.setColorSpace(picture.colorSpace());
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
        painter.end();
        picture = flat;
    }

    QByteArray out;
    QBuffer buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly))
        return std::nullopt;
    QImageWriter writer(&buffer, "jpeg");
    constexpr int jpegQuality = 85;
    writer.setQuality(jpegQuality);
    if (!writer.write(picture) || out.isEmpty())
        return std::nullopt;
    return out;
}

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
