#pragma once

#include "ui/common/ImageShrink.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <optional>

// The photo of a message: the local JPEG, else the image loaded from the address, aspect-filled;
// a faint placeholder while the address loads, the broken-photo look when neither gives a
// picture; nothing at all when neither is given. Its natural size is the picture's, kept within
// maximumSize().
class MessagePhoto : public QWidget
{
    Q_OBJECT
public:
    enum class State { Empty, Local, Loading, Remote, Failed };

    explicit MessagePhoto(QWidget *parent = nullptr)
        : QWidget(parent)
    { }
    MessagePhoto(const std::optional<QByteArray> &jpeg, const std::optional<QString> &address,
                 QWidget *parent = nullptr);

    void setPhoto(const std::optional<QByteArray> &jpeg, const std::optional<QString> &address);

    State state() const { return m_state; }
    QImage image() const { return m_picture.image(); }

    QSize sizeHint() const override;

    // The photo for painted rows, its picture taken from DecodedImageCache::shared() (the local
    // JPEG, else the address), aspect-filled into `rect`; a faint placeholder in `faint` while
    // it is decoded or loaded, and the broken-photo look once it cannot be shown. The cache's
    // `ready` signal asks for the repaint.
    static void paintCached(QPainter &painter, const QRectF &rect,
                            const std::optional<QByteArray> &jpeg,
                            const std::optional<QString> &address, const QColor &faint);
    // A photo that cannot be shown: the placeholder with a crossed-out picture symbol in
    // `ink`, centred, at most `symbolSide` wide.
    static void paintBroken(QPainter &painter, const QRectF &rect, const QColor &ink,
                            qreal symbolSide = 40);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showRemote(const QString &address, const QImage &image);

    std::optional<QByteArray> m_jpeg;
    std::optional<QString> m_address;
    State m_state = State::Empty;
    AspectFill m_picture;
};

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
