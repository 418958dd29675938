#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QRectF>

#include <optional>

class QPainter;

// Downscaling of photos before they are sent or shown. EXIF orientation is applied, so the
// result stands upright; images are never enlarged.
class ImageShrink
{
public:
    static constexpr int avatarSide = 512; // avatars and room photos
    static constexpr int messageSide = 1280; // photos sent in messages

    // The image as JPEG with its longer side at most `maxSide`; none when the data do not
    // decode, the JPEG cannot be written, or `maxSide` is not positive.
    static std::optional<QByteArray> jpeg(const QByteArray &data, int maxSide);

    // The decoded, upright image with its longer side at most `maxSide`; a null image when the
    // data do not decode, claim more than ImageDecodeJob::maxPixels, or `maxSide` is not
    // positive. Decodes on the calling thread.
    static QImage image(const QByteArray &data, int maxSide);
};

// Aspect-fill drawing: the image covers the whole target, centred, cropped where the aspect
// ratios differ. Keeps the last scaled copy so that repaints at the same size cost a blit.
class AspectFill
{
public:
    void setImage(const QImage &image);
    const QImage &image() const { return m_image; }
    bool isNull() const { return m_image.isNull(); }

    void paint(QPainter &painter, const QRectF &target);

    // The part of an image of `imageSize` that covers a target of `targetSize`.
    static QRectF sourceRect(const QSizeF &imageSize, const QSizeF &targetSize);

private:
    QImage m_image;
    QPixmap m_scaled;
};
