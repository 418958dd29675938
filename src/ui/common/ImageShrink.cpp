#include "ui/common/ImageShrink.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int jpegQuality = 85;

} // namespace

QSize ImageShrink::fitted(const QSize &size, int maxSide)
{
    const int longer = std::max(size.width(), size.height());
    if (maxSide <= 0 || longer <= maxSide)
        return size;
    const double scale = double(maxSide) / longer;
    return QSize(std::clamp(int(size.width() * scale + 0.5), 1, maxSide),
                 std::clamp(int(size.height() * scale + 0.5), 1, maxSide));
}

QImage ImageShrink::image(const QByteArray &data, int maxSide)
{
    if (maxSide <= 0 || data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // The header alone gives the stored size; decoding straight to the smaller size is several
    // times faster than decoding in full and scaling after. The scaled size is the size before
    // the EXIF rotation, and a rotation keeps the longer side, so fitting the stored size works.
    const QSize stored = reader.size();
    if (stored.isValid()) {
        const QSize target = fitted(stored, maxSide);
        if (target != stored)
            reader.setScaledSize(target);
    }
    QImage result = reader.read();
    if (result.isNull())
        return {};
    // Formats without a size in their header, or readers that ignore the scaled size.
    if (std::max(result.width(), result.height()) > maxSide)
        result = result.scaled(fitted(result.size(), maxSide), Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
    return result;
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
    writer.setQuality(jpegQuality);
    if (!writer.write(picture) || out.isEmpty())
        return std::nullopt;
    return out;
}
