#include "ui/panels/PersonRowDelegate.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PersonPaint.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/PanelParts.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int rowPadding = 8;
constexpr int gap = 12;

} // namespace

QRect PersonRowDelegate::actionRect(const QRect &row, const QString &text)
{
    if (text.isEmpty())
        return {};
    const QFontMetrics metrics(ChatFont::body());
    const int width = std::max(UiMetrics::controlHeight, metrics.horizontalAdvance(text) + 24);
    const int height = UiMetrics::controlHeight;
    return QRect(row.right() + 1 - padding - width, row.top() + (row.height() - height) / 2, width,
                 height);
}

QSize PersonRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int content = std::max(PersonPaint::height(), UiMetrics::controlHeight);
    return QSize(UiMetrics::avatarSize + 2 * padding, content + 2 * rowPadding);
}

void PersonRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    const QString action = index.data(ActionRole).toString();
    const QString tag = index.data(TagRole).toString();
    painter->save();

    int trailing = row.right() + 1 - padding;
    const QRect button = actionRect(row, action);
    if (!button.isNull()) {
        painter->setFont(ChatFont::body());
        painter->setPen(ChatColor::alert(palette));
        painter->drawText(button, Qt::AlignCenter, action);
        trailing = button.left() - gap / 2;
    }
    if (!tag.isEmpty()) {
        const QFontMetrics metrics(ChatFont::footnote());
        const int width = metrics.horizontalAdvance(tag);
        painter->setFont(ChatFont::footnote());
        painter->setPen(ChatColor::secondaryText(palette));
        painter->drawText(QRect(trailing - width, row.top(), width, row.height()),
                          Qt::AlignRight | Qt::AlignVCenter, tag);
        trailing -= width + gap;
    }

    // The person is the row's button: shaded while hovered or focused.
    const QRect person(row.left(), row.top(), std::max(0, trailing - row.left()), row.height());
    PersonPaint::paintShade(*painter, row, option);
    PersonPaint::paint(*painter, person.adjusted(padding, 0, 0, 0), index, palette);
    painter->restore();
}

QStringList PersonRowDelegate::actions(const QModelIndex &row) const
{
    const QString action = row.data(ActionRole).toString();
    return action.isEmpty() ? QStringList() : QStringList{action};
}

QRect PersonRowDelegate::actionRect(const QRect &rect, const QModelIndex &row, int) const
{
    return actionRect(rect, row.data(ActionRole).toString());
}

int PersonRowDelegate::keyPart(int key, const QModelIndex &row) const
{
    if (key == Qt::Key_Delete)
        return actions(row).isEmpty() ? nothing : 1;
    return ActionRowDelegate::keyPart(key, row);
}
