#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// The photo layer of the photo viewer: the picture scaled to fit inside a 24-pixel margin. A
// local photo can be zoomed between 1× and 4× about its centre, with the touchpad's pinch
// (QPinchGesture, or the platform's native zoom gesture) or with Ctrl and the wheel; a remote
// photo is only shown. Every pinch starts again from 1×: its magnification becomes the scale,
// it is not multiplied with the scale an earlier pinch left. Nothing happens when a pinch ends.
class MediaPhotoView : public QWidget
{
    Q_OBJECT
public:
    // Broken: a photo that cannot be shown (bytes that do not decode, an address that cannot
    // be loaded).
    enum class Kind { None, Local, Remote, Broken };

    static QString brokenText() { return QStringLiteral("사진을 표시할 수 없습니다."); }

    static constexpr qreal minScale = 1.0;
    static constexpr qreal maxScale = 4.0;
    static constexpr int margin = 24;

    explicit MediaPhotoView(QWidget *parent = nullptr);

    // Shows `image` as a photo of `kind`; a null image shows nothing.
    void setPhoto(Kind kind, const QImage &image);
    void clear() { setPhoto(Kind::None, QImage()); }
    void showBroken();

    Kind kind() const { return m_kind; }
    qreal scale() const { return m_scale; }
    // The decoded picture on show, in pixels; empty when there is none.
    QSize pictureSize() const { return m_picture.size(); }
    // Where the picture is drawn now (scale included).
    QRectF photoRect() const;

    // The keyboard's zoom of a local photo: a step in or out, as one notch of the wheel, or
    // back to 1×.
    enum class Zoom { in, out, reset };
    void zoom(Zoom step);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void beginPinch();
    // `magnification`: of the current pinch, since it began.
    void pinchTo(qreal magnification);
    void setScale(qreal scale);

    Kind m_kind = Kind::None;
    QPixmap m_picture;
    qreal m_scale = 1.0;
    qreal m_pinch = 1.0;
    bool m_pinchMoved = false; // the current pinch has passed its minimum change
    bool m_nativePinch = false; // between the platform's begin and end of a gesture
};
