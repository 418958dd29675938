#include "ui/common/JPEGImage.h"

#include <QPainter>

JPEGImage::JPEGImage(const QByteArray &data, QWidget *parent)
    : QWidget(parent)
{
    setData(data);
}

void JPEGImage::setData(const QByteArray &data)
{
    m_picture.setImage(ImageShrink::image(data, ImageShrink::messageSide));
    updateGeometry();
    update();
}

QSize JPEGImage::sizeHint() const
{
    if (m_picture.isNull())
        return QSize(0, 0);
    return m_picture.image().size();
}

void JPEGImage::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    m_picture.paint(painter, rect());
}
