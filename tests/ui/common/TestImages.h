#pragma once

// Pictures for the tests and benchmarks of image decoding: plain ones, and small files that
// claim huge pictures, made by hand.

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QImage>
#include <QImageWriter>

inline QByteArray encoded(const QSize &size, const char *format, const QColor &color = Qt::darkCyan)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return out;
}

inline QByteArray png(int width, int height)
{
    return encoded(QSize(width, height), "png");
}

inline quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray chunk;
    QDataStream out(&chunk, QIODevice::WriteOnly);
    out << quint32(data.size());
    chunk += type + data;
    QByteArray crc;
    QDataStream(&crc, QIODevice::WriteOnly) << crc32(type + data);
    return chunk + crc;
}

// A real, all-black greyscale PNG of the given size and bit depth, written by hand: a few
// kilobytes of file for hundreds of megapixels. Without pixels, only the header is true.
// `channels` 4 makes it RGBA (all transparent black), as a 16-bit RGBA picture is stored.
inline QByteArray blackPng(int width, int height, int bitDepth, bool withPixels = true,
                           int channels = 1)
{
    QByteArray header;
    QDataStream(&header, QIODevice::WriteOnly)
        << quint32(width) << quint32(height) << quint8(bitDepth) << quint8(channels == 4 ? 6 : 0)
        << quint8(0) << quint8(0) << quint8(0);
    QByteArray file = QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header);
    const qsizetype row = 1 + (qsizetype(width) * channels * bitDepth + 7) / 8;
    const QByteArray rows(withPixels ? row * height : row, '\0');
    file += pngChunk("IDAT", qCompress(rows, 9).mid(4)); // qCompress prefixes the length
    return file + pngChunk("IEND", {});
}

// A small progressive greyscale JPEG whose frame header claims `side` × `side`. libjpeg sets
// aside the coefficients of the whole frame for a progressive picture, whatever size it is
// asked to scale to: 800 MB for 20000², outside Qt's allocation limit.
inline QByteArray progressiveJpegClaiming(int side)
{
    QImage image(16, 16, QImage::Format_Grayscale8);
    image.fill(0);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    const qsizetype frame = out.indexOf("\xFF\xC2");
    if (frame < 0)
        qFatal("no progressive frame header");
    QByteArray size;
    QDataStream(&size, QIODevice::WriteOnly) << quint16(side) << quint16(side);
    return out.replace(frame + 5, 4, size);
}
