#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

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

    // `size` scaled down (never up) so that its longer side is at most `maxSide`.
    static QSize fitted(const QSize &size, int maxSide);
};
