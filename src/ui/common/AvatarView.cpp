#include "ui/common/AvatarView.h"

#include "ui/common/ChangeNotify.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/DisplayText.h"
#include "ui/common/ImageShrink.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

#include <algorithm>

AvatarView::AvatarView(int size, QWidget *parent)
    : QWidget(parent)
    , m_size(std::max(1, size))
{
    setFixedSize(m_size, m_size);
    connect(DecodedImageCache::shared(), &DecodedImageCache::ready, this,
            [this](const QSet<QString> &pictures) {
                if (DecodedImageCache::shared()->concerns(pictures, m_jpeg, m_remoteURL))
                    refresh();
            });
}

AvatarView::AvatarView(const QString &name, const std::optional<QByteArray> &jpeg,
                       const std::optional<QString> &remoteURL, int size, QWidget *parent)
    : AvatarView(size, parent)
{
    setAvatar(name, jpeg, remoteURL);
}

void AvatarView::setAvatar(const QString &name, const std::optional<QByteArray> &jpeg,
                           const std::optional<QString> &remoteURL)
{
    if (assignChanged(m_name, name)) {
        setAccessibleName(name);
        update();
    }
    // Rows are rebuilt often with the same person: keep what is shown rather than reload it.
    const bool jpegChanged = assignChanged(m_jpeg, jpeg);
    if (assignChanged(m_remoteURL, remoteURL) || jpegChanged)
        refresh();
}

namespace {

// The picture for a disc of `size` from the shared cache: the local JPEG, else (without one,
// or once it is known not to decode) the picture at the remote address; null while neither is
// ready. `content` tells which.
QPixmap cachedPicture(const std::optional<QByteArray> &jpeg,
                      const std::optional<QString> &remoteURL, const QSize &size, qreal ratio,
                      AvatarView::Content &content)
{
    DecodedImageCache *cache = DecodedImageCache::shared();
    content = AvatarView::Content::Initial;
    const bool local = jpeg && !jpeg->isEmpty();
    if (local) {
        if (QPixmap picture = cache->pixmap(*jpeg, size, ratio); !picture.isNull()) {
            content = AvatarView::Content::Local;
            return picture;
        }
        if (!cache->failed(*jpeg))
            return {};
    }
    if (!remoteURL || remoteURL->isEmpty())
        return {};
    QPixmap picture = cache->remotePixmap(*remoteURL, size, ratio);
    if (!picture.isNull())
        content = AvatarView::Content::Remote;
    return picture;
}

} // namespace

void AvatarView::refresh()
{
    // A decode or download that ended, for this picture or another: repaint only for a change
    // of what this disc shows.
    const QPixmap picture
        = cachedPicture(m_jpeg, m_remoteURL, size(), devicePixelRatioF(), m_content);
    if (assignChanged(m_shown, picture.cacheKey()))
        update();
}

QString AvatarView::initial(const QString &name)
{
    // Direction controls and line breaks are no letter to show.
    const QString trimmed = DisplayText::name(name)
                                .remove(DisplayText::firstStrongIsolate)
                                .remove(DisplayText::popDirectionalIsolate)
                                .trimmed();
    if (trimmed.isEmpty())
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, trimmed);
    const qsizetype end = finder.toNextBoundary();
    return trimmed.left(end > 0 ? end : 1);
}

namespace {

// The disc in `rect`: what `drawPicture` paints, clipped to the circle, when `hasPicture`; else
// the initial of `name` on a plain disc.
template<typename DrawPicture>
void paintDisc(QPainter &painter, const QRectF &rect, bool hasPicture,
               const DrawPicture &drawPicture, const QString &name, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(rect);
    if (hasPicture) {
        painter.setClipPath(circle);
        drawPicture();
    } else {
        QColor disc = palette.color(QPalette::WindowText);
        disc.setAlphaF(0.14f);
        painter.fillPath(circle, disc);
        const QString letter = AvatarView::initial(name);
        if (!letter.isEmpty()) {
            QFont font = painter.font();
            font.setPixelSize(std::max(8, qRound(rect.height() * 0.42)));
            font.setWeight(QFont::DemiBold);
            painter.setFont(font);
            QColor ink = palette.color(QPalette::WindowText);
            ink.setAlphaF(0.75f);
            painter.setPen(ink);
            painter.drawText(rect, Qt::AlignCenter, letter);
        }
    }
    painter.restore();
}

} // namespace

RoundPictures::RoundPictures(qsizetype maxBytes)
    : m_discs(maxBytes)
{ }

RoundPictures &RoundPictures::shared()
{
    static RoundPictures discs;
    return discs;
}

QPixmap RoundPictures::cut(const QPixmap &picture, const QSize &size, qreal ratio)
{
    QPixmap disc(size * ratio);
    disc.setDevicePixelRatio(ratio);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF rect(QPointF(0, 0), QSizeF(size));
    QPainterPath circle;
    circle.addEllipse(rect);
    painter.setClipPath(circle);
    painter.drawPixmap(rect, picture, AspectFill::sourceRect(picture.size(), rect.size()));
    return disc;
}

QPixmap RoundPictures::disc(const QPixmap &picture, const QSize &size, qreal ratio)
{
    const Key key{picture.cacheKey(), {}, size, ratio};
    if (const QPixmap *kept = m_discs.object(key))
        return *kept;
    return keep(key, cut(picture, size, ratio));
}

QPixmap RoundPictures::initialDisc(const QString &name, const QSize &size, qreal ratio,
                                   const QPalette &palette, const QFont &font)
{
    // What the disc looks like: its letter, the colour of both and the letter's font family.
    // A font's key writes out every attribute, so the last font's is kept.
    if (m_fontKey.isEmpty() || !(font == m_keyedFont)) {
        m_keyedFont = font;
        m_fontKey = font.key();
    }
    const QString look = AvatarView::initial(name) + QChar(0)
        + QString::number(palette.color(QPalette::WindowText).rgba(), 16) + QChar(0) + m_fontKey;
    const Key key{0, look, size, ratio};
    if (const QPixmap *kept = m_discs.object(key))
        return *kept;
    QPixmap disc(size * ratio);
    disc.setDevicePixelRatio(ratio);
    disc.fill(Qt::transparent);
    QPainter painter(&disc);
    painter.setFont(font);
    paintDisc(
        painter, QRectF(QPointF(0, 0), QSizeF(size)), false, [] {}, name, palette);
    painter.end();
    return keep(key, disc);
}

QPixmap RoundPictures::keep(const Key &key, const QPixmap &disc)
{
    const qint64 bytes = qint64(disc.width()) * disc.height() * 4;
    // One too large for the whole bound is drawn, not kept.
    if (bytes <= m_discs.maxCost())
        m_discs.insert(key, new QPixmap(disc), bytes);
    return disc;
}

void AvatarView::paintCached(QPainter &painter, const QRectF &rect, const QString &name,
                             const std::optional<QByteArray> &jpeg,
                             const std::optional<QString> &remoteURL, const QPalette &palette)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    Content content;
    const QSize size = rect.size().toSize();
    const QPixmap picture = cachedPicture(jpeg, remoteURL, size, ratio, content);
    if (size.isEmpty() || rect.size() != QSizeF(size)) {
        paintDisc(
            painter, rect, !picture.isNull(),
            [&] {
                painter.drawPixmap(rect, picture,
                                   AspectFill::sourceRect(picture.size(), rect.size()));
            },
            name, palette);
        return;
    }
    RoundPictures &discs = RoundPictures::shared();
    painter.drawPixmap(rect.topLeft(),
                       picture.isNull()
                           ? discs.initialDisc(name, size, ratio, palette, painter.font())
                           : discs.disc(picture, size, ratio));
}

void AvatarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintCached(painter, QRectF(0, 0, m_size, m_size), m_name, m_jpeg, m_remoteURL, palette());
}
