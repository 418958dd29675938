#include "ui/panels/BlockedRowDelegate.h"

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

QRect BlockedRowDelegate::buttonRect(const QRect &row)
{
    // Its text, not its edge, keeps the row's padding from the trailing side, as "닫기" does from
    // the leading side in the header above.
    const QFontMetrics metrics(ChatFont::body());
    const int width
        = std::max(UiMetrics::controlHeight,
                   metrics.horizontalAdvance(buttonText()) + 2 * PanelParts::buttonInset);
    const int height = UiMetrics::controlHeight;
    return QRect(row.right() + 1 - (padding - PanelParts::buttonInset) - width,
                 row.top() + (row.height() - height) / 2, width, height);
}

QSize BlockedRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int content = std::max(PersonPaint::height(), UiMetrics::controlHeight);
    return QSize(UiMetrics::avatarSize + 2 * padding, content + 2 * rowPadding);
}

void BlockedRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // The current row is marked only once the keyboard has moved focus in the window: a list
    // that merely has focus would look as if its first row were chosen.
    if ((option.state & QStyle::State_HasFocus)
        && (option.state & QStyle::State_KeyboardFocusChange)) {
        painter->fillRect(row, UiMetrics::shade(palette, UiMetrics::Shade::focus));
    }

    const QRect button = buttonRect(row);
    PersonPaint::paint(*painter,
                       QRect(row.left() + padding, row.top(),
                             std::max(0, button.left() - gap - row.left() - padding), row.height()),
                       index, palette);

    painter->setFont(ChatFont::body());
    painter->setPen(palette.color(QPalette::Active, QPalette::Highlight));
    painter->drawText(button.adjusted(0, 0, -PanelParts::buttonInset, 0),
                      Qt::AlignRight | Qt::AlignVCenter, buttonText());
    painter->restore();
}
