#include "ui/panels/FriendPickDelegate.h"

#include "ui/common/ChatIcon.h"
#include "ui/common/PersonPaint.h"
#include "ui/common/UiMetrics.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int symbolSide = 22;

} // namespace

void FriendPickDelegate::paintCheck(QPainter &painter, const QRect &box, bool chosen,
                                    const QColor &colour)
{
    const QRect symbol(box.center().x() - symbolSide / 2 + 1, box.center().y() - symbolSide / 2 + 1,
                       symbolSide, symbolSide);
    ChatIcon::symbol(checkSymbol(chosen), colour).paint(&painter, symbol);
}

QSize FriendPickDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int content = std::max(PersonPaint::height(), UiMetrics::controlHeight);
    return QSize(UiMetrics::controlHeight + UiMetrics::avatarSize + 2 * padding,
                 content + 2 * padding);
}

void FriendPickDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    painter->save();
    PersonPaint::paintShade(*painter, row, option);

    const QRect box(row.left() + padding, row.top() + (row.height() - UiMetrics::controlHeight) / 2,
                    UiMetrics::controlHeight, UiMetrics::controlHeight);
    const bool chosen = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    paintCheck(*painter, box, chosen, palette.color(QPalette::Text));

    const int left = box.right() + 1 + 4;
    PersonPaint::paint(
        *painter,
        QRect(left, row.top(), std::max(0, row.right() + 1 - padding - left), row.height()), index,
        palette);
    painter->restore();
}
