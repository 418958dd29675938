#include "ui/workspace/TranscriptDelegate.h"

#include "ui/common/AvatarView.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/MessagePhoto.h"
#include "ui/common/PaintedMarks.h"
#include "ui/workspace/TranscriptModel.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QPainterPath>

std::shared_ptr<const TranscriptRowLayout> TranscriptDelegate::layoutFor(
    const TranscriptRow &row, int width, const QPalette &palette) const
{
    const QRgb link = ChatColor::link(palette).rgba();
    TranscriptRowLayout::Key key = TranscriptRowLayout::Key::of(row);
    const auto fits = [&](const Cached &cached) {
        return cached.width == width && cached.link == link && cached.key == key;
    };
    // Looked up, a layout becomes the most recently used.
    if (Cached *found = m_cache.object(row.message.id)) {
        if (!fits(*found))
            *found = Cached{std::move(key), width, link,
                            TranscriptRowLayout::make(row, width, palette)};
        return found->layout;
    }
    std::shared_ptr<const TranscriptRowLayout> layout
        = TranscriptRowLayout::make(row, width, palette);
    m_cache.insert(row.message.id, new Cached{std::move(key), width, link, layout});
    return layout;
}

void TranscriptDelegate::paintRow(QPainter &painter, const QPointF &topLeft,
                                  const TranscriptRow &row, const TranscriptRowLayout &l,
                                  const QPalette &palette) const
{
    painter.save();
    painter.translate(topLeft);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont footnote = ChatFont::footnote();
    const QColor secondary = ChatColor::secondaryText(palette);
    const QColor primary = palette.color(QPalette::WindowText);

    if (!l.dayText.isEmpty()) {
        painter.setFont(footnote);
        painter.setPen(secondary);
        painter.drawText(l.day, Qt::AlignCenter, l.dayText);
    }
    if (row.isSystem()) {
        painter.setPen(secondary);
        l.bodyText->draw(painter, l.text.topLeft());
        painter.restore();
        return;
    }

    // A sender the store does not know is "알 수 없음", initial and all.
    if (!l.avatar.isEmpty())
        AvatarView::paintCached(painter, l.avatar, row.senderName, row.avatarJPEG, row.avatarURL,
                                palette);
    if (!l.name.isEmpty()) {
        painter.setFont(footnote);
        painter.setPen(primary);
        painter.drawText(l.name, Qt::AlignLeft | Qt::AlignVCenter, l.nameText);
        if (!l.official.isEmpty())
            OfficialMark::paint(painter, l.official.toRect(), palette);
    }
    if (!l.notice.isEmpty()) {
        painter.setFont(footnote);
        painter.setPen(ChatColor::officialMark(palette));
        painter.drawText(l.notice, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("안내"));
    }

    // The bubble; one's own fades while it is being sent.
    painter.save();
    if (row.mine && row.message.delivery == DeliveryState::sending)
        painter.setOpacity(0.5);
    painter.setPen(Qt::NoPen);
    // Somebody else's bubble is a control's background on the window's: the base colour.
    painter.setBrush(row.mine ? ChatColor::mineBubble(palette) : palette.color(QPalette::Base));
    painter.drawRoundedRect(l.bubble, TranscriptRowLayout::bubbleRadius,
                            TranscriptRowLayout::bubbleRadius);
    const QColor faint = row.mine ? ChatColor::faintOnMine(palette) : secondary;
    if (l.quoteText) {
        painter.setPen(faint);
        l.quoteText->draw(painter, l.quote.topLeft());
    }
    if (!l.deleted.isEmpty()) {
        painter.setPen(faint);
        l.bodyText->draw(painter, l.deleted.topLeft());
    }
    if (!l.photo.isEmpty()) {
        QPainterPath clip;
        clip.addRoundedRect(l.photo, TranscriptRowLayout::photoRadius,
                            TranscriptRowLayout::photoRadius);
        painter.save();
        painter.setClipPath(clip);
        MessagePhoto::paintCached(painter, l.photo, row.message.imageJPEG, row.message.imageURL,
                                  secondary);
        painter.restore();
    }
    if (!l.text.isEmpty()) {
        painter.setPen(row.mine ? QColor(Qt::white) : primary);
        l.bodyText->draw(painter, l.text.topLeft());
    }
    painter.restore();

    if (!l.meta.isEmpty()) {
        const QColor alert = ChatColor::alert(palette);
        const bool failed = row.message.delivery == DeliveryState::failed;
        painter.setFont(footnote);
        painter.setPen(failed ? alert : secondary);
        painter.drawText(l.time.rect, Qt::AlignLeft | Qt::AlignVCenter, l.time.text);
        if (!l.mark.text.isEmpty())
            painter.drawText(l.mark.rect, Qt::AlignLeft | Qt::AlignVCenter, l.mark.text);
        if (!l.failed.text.isEmpty()) {
            painter.setPen(alert);
            painter.drawText(l.failed.rect, Qt::AlignLeft | Qt::AlignVCenter, l.failed.text);
            painter.setPen(ChatColor::link(palette));
            painter.drawText(l.resend.rect, Qt::AlignLeft | Qt::AlignVCenter, l.resend.text);
        }
    }
    painter.restore();
}

int TranscriptDelegate::rowWidth(const QStyleOptionViewItem &option) const
{
    int width = option.rect.width();
    if (const auto *view = qobject_cast<const QAbstractScrollArea *>(option.widget))
        width = view->viewport()->width();
    return std::max(1, width - 2 * sidePadding);
}

QSize TranscriptDelegate::sizeHint(const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const
{
    const int width = rowWidth(option);
    const auto row = index.data(TranscriptModel::RowRole).value<TranscriptRow>();
    const QPalette palette = option.widget ? option.widget->palette() : option.palette;
    return QSize(width + 2 * sidePadding, layoutFor(row, width, palette)->height + rowSpacing);
}

void TranscriptDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const int width = rowWidth(option);
    const auto row = index.data(TranscriptModel::RowRole).value<TranscriptRow>();
    const QPalette palette = option.widget ? option.widget->palette() : option.palette;
    const auto layout = layoutFor(row, width, palette);
    paintRow(*painter, option.rect.topLeft() + QPointF(sidePadding, 0), row, *layout, palette);
}
