#include "ui/panels/PersonRowPaint.h"

#include "ui/common/AvatarView.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DisplayText.h"
#include "ui/common/OfficialMark.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/AccountListModel.h"

#include <QPainter>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace PersonRowPaint {

int height()
{
    const int texts = QFontMetrics(ChatFont::body()).height()
        + QFontMetrics(ChatFont::subheadline()).height() + 2;
    return std::max(UiMetrics::avatarSize, texts);
}

void paint(QPainter &painter, const QRect &area, const QModelIndex &index, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF avatar(area.left(), area.top() + (area.height() - UiMetrics::avatarSize) / 2.0,
                        UiMetrics::avatarSize, UiMetrics::avatarSize);
    const QString name = index.data(Qt::DisplayRole).toString();
    const QByteArray jpeg = index.data(AccountListModel::AvatarJpegRole).toByteArray();
    const QString url = index.data(AccountListModel::AvatarUrlRole).toString();
    AvatarView::paintCached(painter, avatar, name,
                            jpeg.isEmpty() ? std::nullopt : std::optional<QByteArray>(jpeg),
                            url.isEmpty() ? std::nullopt : std::optional<QString>(url), palette);

    const int textLeft = int(avatar.right()) + UiMetrics::avatarGap;
    const int textWidth = std::max(0, area.right() + 1 - textLeft);
    const QString handle = index.data(AccountListModel::HandleRole).toString();
    const bool official = index.data(AccountListModel::OfficialRole).toBool();

    const QFontMetrics nameMetrics(ChatFont::body());
    const QFontMetrics handleMetrics(ChatFont::subheadline());
    const int block = nameMetrics.height() + (handle.isEmpty() ? 0 : 2 + handleMetrics.height());
    int y = area.top() + (area.height() - block) / 2;

    // A long name is cut short; the "공식" mark keeps its place after it.
    const QSize mark = official ? OfficialMark::sizeFor() : QSize();
    const int nameRoom = std::max(0, textWidth - (official ? mark.width() + 6 : 0));
    const QString shownName
        = nameMetrics.elidedText(DisplayText::name(name), Qt::ElideRight, nameRoom);
    painter.setFont(ChatFont::body());
    painter.setPen(palette.color(QPalette::WindowText));
    painter.drawText(QRect(textLeft, y, nameRoom, nameMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, shownName);
    if (official) {
        const int x = textLeft + nameMetrics.horizontalAdvance(shownName) + 6;
        OfficialMark::paint(painter,
                            QRect(QPoint(x, y + (nameMetrics.height() - mark.height()) / 2), mark),
                            palette);
    }
    if (!handle.isEmpty()) {
        y += nameMetrics.height() + 2;
        painter.setFont(ChatFont::subheadline());
        painter.setPen(ChatColor::secondaryText(palette));
        painter.drawText(
            QRect(textLeft, y, textWidth, handleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            handleMetrics.elidedText(QStringLiteral("@") + handle, Qt::ElideRight, textWidth));
    }
    painter.restore();
}

} // namespace PersonRowPaint

void PersonRowPaint::paintShade(QPainter &painter, const QRect &row,
                                const QStyleOptionViewItem &option)
{
    if (!(option.state & (QStyle::State_MouseOver | QStyle::State_HasFocus)))
        return;
    painter.fillRect(row,
                     UiMetrics::shade(option.palette,
                                      option.state & QStyle::State_HasFocus
                                          ? UiMetrics::Shade::focus
                                          : UiMetrics::Shade::hover));
}
