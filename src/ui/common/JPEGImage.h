#pragma once

#include "ui/common/ImageShrink.h"

#include <QByteArray>
#include <QWidget>

// A picture from JPEG (or any image) data, aspect-filled into whatever size the layout gives
// it. Data that do not decode show nothing and ask for no space.
class JPEGImage : public QWidget
{
    Q_OBJECT
public:
    explicit JPEGImage(const QByteArray &data = {}, QWidget *parent = nullptr);

    void setData(const QByteArray &data);
    bool isNull() const { return m_picture.isNull(); }
    QImage image() const { return m_picture.image(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AspectFill m_picture;
};
