#include "ui/common/MessagePhoto.h"

#include "ui/common/ChatIcon.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/RemoteImageCache.h"

#include <QPainter>

#include <algorithm>

MessagePhoto::MessagePhoto(const std::optional<QByteArray> &jpeg,
                           const std::optional<QString> &address, QWidget *parent)
    : QWidget(parent)
{
    setPhoto(jpeg, address);
}

void MessagePhoto::setPhoto(const std::optional<QByteArray> &jpeg,
                            const std::optional<QString> &address)
{
    if (m_state != State::Empty && jpeg == m_jpeg && address == m_address)
        return;
    m_jpeg = jpeg;
    m_address = address;
    m_picture.setImage(m_jpeg ? ImageShrink::image(*m_jpeg, ImageShrink::messageSide) : QImage());
    m_state = !m_jpeg ? State::Empty : m_picture.isNull() ? State::Failed : State::Local;

    if (m_state != State::Local && m_address && !m_address->isEmpty()) {
        RemoteImageCache *cache = RemoteImageCache::shared();
        const QString wanted = *m_address;
        m_state = State::Loading;
        if (const QImage kept = cache->cached(wanted); !kept.isNull()) {
            showRemote(wanted, kept);
        } else {
            cache->fetch(wanted, this,
                         [this, wanted](const QImage &image) { showRemote(wanted, image); });
        }
    } else if (m_state == State::Empty && m_address) {
        m_state = State::Failed; // an empty address: nothing to load, but a photo was meant
    }
    updateGeometry();
    update();
}

void MessagePhoto::showRemote(const QString &address, const QImage &image)
{
    if (m_address != address || m_state != State::Loading)
        return;
    m_picture.setImage(image);
    m_state = image.isNull() ? State::Failed : State::Remote;
    updateGeometry();
    update();
}

QSize MessagePhoto::sizeHint() const
{
    if (m_state == State::Empty)
        return QSize(0, 0);
    // The placeholder's shape before anything is known about the picture.
    constexpr QSize placeholderSize(220, 180);
    const QSize natural = m_picture.isNull() ? placeholderSize : m_picture.image().size();
    const QSize limit = maximumSize();
    if (natural.width() <= limit.width() && natural.height() <= limit.height())
        return natural;
    return natural.scaled(limit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

void MessagePhoto::paintEvent(QPaintEvent *)
{
    if (m_state == State::Empty)
        return;
    QPainter painter(this);
    if (m_state == State::Failed) {
        paintBroken(painter, rect(), palette().color(QPalette::WindowText));
        return;
    }
    if (m_picture.isNull()) {
        QColor faint = palette().color(QPalette::WindowText);
        faint.setAlphaF(0.08f);
        painter.fillRect(rect(), faint);
        return;
    }
    m_picture.paint(painter, rect());
}

void MessagePhoto::paintCached(QPainter &painter, const QRectF &rect,
                               const std::optional<QByteArray> &jpeg,
                               const std::optional<QString> &address, const QColor &faint)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize size = rect.size().toSize();
    DecodedImageCache *cache = DecodedImageCache::shared();
    const bool local = jpeg && !jpeg->isEmpty();
    const bool remote = address && !address->trimmed().isEmpty();
    QPixmap picture;
    bool failed = false;
    // The address only once the local bytes are known not to decode.
    if (local) {
        picture = cache->pixmap(*jpeg, size, ratio);
        failed = picture.isNull() && cache->failed(*jpeg);
    }
    if (picture.isNull() && (!local || failed) && remote) {
        picture = cache->remotePixmap(*address, size, ratio);
        failed = picture.isNull() && cache->remoteFailed(*address);
    }
    if (!picture.isNull()) {
        // Aspect fill: the picture covers the frame, centred, the rest cropped.
        const QSizeF shown = picture.deviceIndependentSize();
        painter.drawPixmap(
            QPointF(rect.center().x() - shown.width() / 2, rect.center().y() - shown.height() / 2),
            picture);
        return;
    }
    QColor ink = faint;
    ink.setAlphaF(1);
    if (failed || (!local && !remote)) {
        paintBroken(painter, rect, ink);
        return;
    }
    QColor placeholder = faint;
    placeholder.setAlphaF(0.15f);
    painter.fillRect(rect, placeholder);
}

void MessagePhoto::paintBroken(QPainter &painter, const QRectF &rect, const QColor &ink,
                               qreal symbolSide)
{
    QColor placeholder = ink;
    placeholder.setAlphaF(0.15f);
    painter.fillRect(rect, placeholder);
    const qreal side = std::min({symbolSide, rect.width() / 2, rect.height() / 2});
    if (side < 8)
        return;
    QRectF symbol(0, 0, side, side);
    symbol.moveCenter(rect.center());
    ChatIcon::symbol(QStringLiteral("photo.slash"), ink).paint(&painter, symbol.toAlignedRect());
}

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
    return m_picture.image().size(); // 0 × 0 for no picture
}

void JPEGImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_picture.paint(painter, rect());
}
