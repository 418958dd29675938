#include "ui/panels/MediaPhotoView.h"

#include "ui/common/MessagePhoto.h"

#include <QGestureEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPinchGesture>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// A pinch changes nothing until its magnification has moved this far from 1, so that resting
// two fingers on the touchpad does not jump an enlarged photo back to 1×.
constexpr qreal minimumPinchDelta = 0.01;
// One notch of the wheel with Ctrl held.
constexpr qreal wheelStep = 1.25;

} // namespace

MediaPhotoView::MediaPhotoView(QWidget *parent)
    : QWidget(parent)
{
    grabGesture(Qt::PinchGesture);
    setAttribute(Qt::WA_AcceptTouchEvents);
}

void MediaPhotoView::setPhoto(Kind kind, const QImage &image)
{
    if (image.isNull())
        kind = Kind::None;
    m_kind = kind;
    m_picture = kind == Kind::None ? QPixmap() : QPixmap::fromImage(image);
    setAccessibleName(kind == Kind::None ? QString() : QStringLiteral("사진"));
    update();
}

void MediaPhotoView::showBroken()
{
    m_kind = Kind::Broken;
    m_picture = QPixmap();
    setAccessibleName(brokenText());
    update();
}

QRectF MediaPhotoView::photoRect() const
{
    if (m_picture.isNull())
        return {};
    const QRectF area = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    if (area.isEmpty())
        return {};
    QSizeF fitted = QSizeF(m_picture.size()).scaled(area.size(), Qt::KeepAspectRatio);
    if (m_kind == Kind::Local)
        fitted *= m_scale;
    QRectF target(QPointF(), fitted);
    target.moveCenter(area.center());
    return target;
}

void MediaPhotoView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_kind == Kind::Broken) {
        // A frame with the crossed-out picture, and the reason under it.
        const QFontMetrics metrics(font());
        const QSize frame(std::min(240, width() / 2), std::min(180, height() / 2));
        QRectF box(QPointF(), frame);
        box.moveCenter(QRectF(rect()).center() - QPointF(0, metrics.height()));
        painter.setRenderHint(QPainter::Antialiasing);
        MessagePhoto::paintBroken(painter, box, Qt::white, 64);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, box.bottom() + 12, width(), metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, brokenText());
        return;
    }
    const QRectF target = photoRect();
    if (target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, m_picture, QRectF(m_picture.rect()));
}

bool MediaPhotoView::event(QEvent *event)
{
    if (event->type() == QEvent::Gesture && m_kind == Kind::Local) {
        auto *gestures = static_cast<QGestureEvent *>(event);
        if (auto *pinch = static_cast<QPinchGesture *>(gestures->gesture(Qt::PinchGesture))) {
            if (pinch->state() == Qt::GestureStarted)
                beginPinch();
            pinchTo(pinch->totalScaleFactor());
            gestures->accept(pinch);
            return true;
        }
    }
    if (event->type() == QEvent::NativeGesture) {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        switch (gesture->gestureType()) {
        case Qt::BeginNativeGesture:
            m_nativePinch = true;
            beginPinch();
            return true;
        case Qt::EndNativeGesture:
            m_nativePinch = false;
            return true;
        case Qt::ZoomNativeGesture:
            // Some platforms send no begin: a zoom outside a gesture starts a new pinch.
            if (!m_nativePinch) {
                m_nativePinch = true;
                beginPinch();
            }
            // The value is the change of the pinch's scale since the last event.
            m_pinch += gesture->value();
            if (m_kind == Kind::Local)
                pinchTo(m_pinch);
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void MediaPhotoView::wheelEvent(QWheelEvent *event)
{
    if (m_kind != Kind::Local || !(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    // Unlike a pinch, the wheel has no beginning: each notch zooms from where the photo is.
    const qreal notches = event->angleDelta().y() / 120.0;
    setScale(m_scale * std::pow(wheelStep, notches));
    event->accept();
}

void MediaPhotoView::zoom(Zoom step)
{
    if (m_kind != Kind::Local)
        return;
    switch (step) {
    case Zoom::in:
        setScale(m_scale * wheelStep);
        break;
    case Zoom::out:
        setScale(m_scale / wheelStep);
        break;
    case Zoom::reset:
        setScale(minScale);
        break;
    }
}

void MediaPhotoView::beginPinch()
{
    m_pinch = 1.0;
    m_pinchMoved = false;
}

void MediaPhotoView::pinchTo(qreal magnification)
{
    if (!m_pinchMoved && std::abs(magnification - 1.0) < minimumPinchDelta)
        return;
    m_pinchMoved = true;
    setScale(magnification);
}

void MediaPhotoView::setScale(qreal scale)
{
    if (!std::isfinite(scale))
        return;
    scale = std::clamp(scale, minScale, maxScale);
    if (qFuzzyCompare(scale, m_scale))
        return;
    m_scale = scale;
    update();
}
