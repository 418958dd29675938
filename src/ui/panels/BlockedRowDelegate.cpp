#include "ui/panels/BlockedRowDelegate.h"

#include "ui/common/AvatarView.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/OfficialMark.h"
#include "ui/panels/BlockedListModel.h"
#include "ui/panels/PanelParts.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int rowPadding = 8;
constexpr int gap = 12;

} // namespace

QRect BlockedRowDelegate::buttonRect(const QRect &row)
{
    const QFontMetrics metrics(ChatFont::body());
    const int width
        = std::max(PanelParts::minimumButtonHeight, metrics.horizontalAdvance(buttonText()) + 24);
    const int height = PanelParts::minimumButtonHeight;
    return QRect(row.right() + 1 - padding - width, row.top() + (row.height() - height) / 2, width,
                 height);
}

QSize BlockedRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int texts = QFontMetrics(ChatFont::body()).height()
        + QFontMetrics(ChatFont::subheadline()).height() + 2;
    const int content = std::max({avatarSize, PanelParts::minimumButtonHeight, texts});
    return QSize(avatarSize + 2 * padding, content + 2 * rowPadding);
}

void BlockedRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (option.state & QStyle::State_HasFocus) {
        QColor focus = palette.color(QPalette::Highlight);
        focus.setAlphaF(0.12f);
        painter->fillRect(row, focus);
    }

    const QRectF avatar(row.left() + padding, row.top() + (row.height() - avatarSize) / 2.0,
                        avatarSize, avatarSize);
    const QString name = index.data(Qt::DisplayRole).toString();
    const QByteArray jpeg = index.data(BlockedListModel::AvatarJpegRole).toByteArray();
    const QString url = index.data(BlockedListModel::AvatarUrlRole).toString();
    AvatarView::paintCached(*painter, avatar, name,
                            jpeg.isEmpty() ? std::nullopt : std::optional<QByteArray>(jpeg),
                            url.isEmpty() ? std::nullopt : std::optional<QString>(url), palette);

    const QRect button = buttonRect(row);
    const int textLeft = int(avatar.right()) + gap;
    const int textWidth = std::max(0, button.left() - gap - textLeft);
    const QString handle = index.data(BlockedListModel::HandleRole).toString();
    const bool official = index.data(BlockedListModel::OfficialRole).toBool();

    const QFontMetrics nameMetrics(ChatFont::body());
    const QFontMetrics handleMetrics(ChatFont::subheadline());
    const int block = nameMetrics.height() + (handle.isEmpty() ? 0 : 2 + handleMetrics.height());
    int y = row.top() + (row.height() - block) / 2;

    // A long name is cut short; the "공식" mark keeps its place after it.
    const QSize mark = official ? OfficialMark::sizeFor() : QSize();
    const int nameRoom = std::max(0, textWidth - (official ? mark.width() + 6 : 0));
    const QString shownName = nameMetrics.elidedText(name, Qt::ElideRight, nameRoom);
    painter->setFont(ChatFont::body());
    painter->setPen(palette.color(QPalette::WindowText));
    painter->drawText(QRect(textLeft, y, nameRoom, nameMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, shownName);
    if (official) {
        const int x = textLeft + nameMetrics.horizontalAdvance(shownName) + 6;
        OfficialMark::paint(*painter,
                            QRect(QPoint(x, y + (nameMetrics.height() - mark.height()) / 2), mark),
                            palette);
    }
    if (!handle.isEmpty()) {
        y += nameMetrics.height() + 2;
        painter->setFont(ChatFont::subheadline());
        painter->setPen(ChatColor::secondaryText(palette));
        painter->drawText(
            QRect(textLeft, y, textWidth, handleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            handleMetrics.elidedText(QStringLiteral("@") + handle, Qt::ElideRight, textWidth));
    }

    painter->setFont(ChatFont::body());
    painter->setPen(palette.color(QPalette::Active, QPalette::Highlight));
    painter->drawText(button, Qt::AlignCenter, buttonText());
    painter->restore();
}

bool BlockedRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *,
                                     const QStyleOptionViewItem &option, const QModelIndex &index)
{
    // The press and the release must both fall on the button, as with a real button.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const bool onButton = mouse->button() == Qt::LeftButton
        && buttonRect(option.rect).contains(mouse->position().toPoint());
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressed = onButton ? QPersistentModelIndex(index) : QPersistentModelIndex();
        return onButton;
    }
    const bool click = onButton && m_pressed == index;
    m_pressed = QPersistentModelIndex();
    if (click)
        emit unblockClicked(index);
    return click;
}
