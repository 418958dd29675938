#include "ui/common/AvatarView.h"

#include "ui/common/ChangeNotify.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/DisplayText.h"
#include "ui/common/RemoteImageCache.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

#include <algorithm>

AvatarView::AvatarView(int size, QWidget *parent)
    : QWidget(parent)
    , m_size(std::max(1, size))
{
    setFixedSize(m_size, m_size);
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

void AvatarView::refresh()
{
    // Room for device pixel ratios up to 3 without decoding far more than is shown.
    m_picture.setImage(m_jpeg ? ImageShrink::image(*m_jpeg, m_size * 3) : QImage());
    m_content = m_picture.isNull() ? Content::Initial : Content::Local;
    if (m_content == Content::Initial && m_remoteURL && !m_remoteURL->isEmpty()) {
        RemoteImageCache *cache = RemoteImageCache::shared();
        const QString address = *m_remoteURL;
        if (const QImage kept = cache->cached(address); !kept.isNull()) {
            showRemote(address, kept);
        } else {
            cache->fetch(address, this,
                         [this, address](const QImage &image) { showRemote(address, image); });
        }
    }
    update();
}

void AvatarView::showRemote(const QString &address, const QImage &image)
{
    // A late answer for an address this view no longer shows, or a picture that came local.
    if (image.isNull() || m_remoteURL != address || m_content == Content::Local)
        return;
    m_content = Content::Remote;
    m_picture.setImage(image);
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

void AvatarView::paintCached(QPainter &painter, const QRectF &rect, const QString &name,
                             const std::optional<QByteArray> &jpeg,
                             const std::optional<QString> &remoteURL, const QPalette &palette)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize size = rect.size().toSize();
    DecodedImageCache *cache = DecodedImageCache::shared();
    QPixmap picture;
    if (jpeg && !jpeg->isEmpty())
        picture = cache->pixmap(*jpeg, size, ratio);
    if (picture.isNull() && remoteURL && !remoteURL->isEmpty())
        picture = cache->remotePixmap(*remoteURL, size, ratio);
    paintDisc(
        painter, rect, !picture.isNull(),
        [&] {
            painter.drawPixmap(rect, picture, AspectFill::sourceRect(picture.size(), rect.size()));
        },
        name, palette);
}

void AvatarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF disc(0, 0, m_size, m_size);
    paintDisc(
        painter, disc, !m_picture.isNull(), [&] { m_picture.paint(painter, disc); }, m_name,
        palette());
}
