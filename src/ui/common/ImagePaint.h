#pragma once

#include <QImage>
#include <QPixmap>
#include <QRectF>

class QPainter;

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
