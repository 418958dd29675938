#include "ui/workspace/SidebarRowPaint.h"

#include "model/Account.h"
#include "ui/common/AvatarView.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/DisplayText.h"
#include "ui/common/OfficialMark.h"
#include "ui/common/PersonLabel.h"
#include "ui/common/UiMetrics.h"

#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace SidebarRowPaint {

void prepareList(QListView &view)
{
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view.setAutoFillBackground(false);
    view.viewport()->setAutoFillBackground(false);
    view.viewport()->setAttribute(Qt::WA_Hover);
}

void paintBackground(QPainter &painter, const QStyleOptionViewItem &option)
{
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = option.state & QStyle::State_MouseOver;
    if (!selected && !hovered)
        return;
    QColor fill;
    if (selected) {
        const auto group
            = (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
        fill = option.palette.color(group, QPalette::Highlight);
    } else {
        fill = UiMetrics::shade(option.palette, UiMetrics::Shade::hover);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(option.rect.adjusted(inset / 2, 1, -inset / 2, -1)),
                         UiMetrics::plateRadius, UiMetrics::plateRadius);
    painter.fillPath(plate, fill);
    painter.restore();
}

QColor textColor(const QStyleOptionViewItem &option, bool secondary)
{
    if (option.state & QStyle::State_Selected) {
        QColor ink = option.palette.color(QPalette::HighlightedText);
        if (secondary)
            ink.setAlphaF(0.8f);
        return ink;
    }
    return secondary ? ChatColor::secondaryText(option.palette)
                     : option.palette.color(QPalette::Text);
}

void paintSymbol(QPainter &painter, const QRect &rect, const QString &name, const QColor &color)
{
    ChatIcon::symbol(name, color).paint(&painter, rect);
}

void paintPerson(QPainter &painter, const QRect &area, const Account &account, bool official,
                 const QPalette &palette, const QColor &primary, const QColor &secondary)
{
    constexpr int markGap = 6;
    const int side = UiMetrics::avatarSize;
    AvatarView::paintCached(painter, QRectF(area.left(), area.top(), side, side),
                            account.displayName, account.avatarJPEG, account.avatarURL, palette);

    const int left = area.left() + side + UiMetrics::avatarGap;
    const int width = std::max(0, area.right() + 1 - left);
    const QFont nameFont = ChatFont::body();
    const QFont handleFont = ChatFont::subheadline();
    const QFontMetrics name(nameFont);
    const QFontMetrics handle(handleFont);
    const QSize mark = official ? OfficialMark::sizeFor() : QSize();
    const QString handleText
        = account.handle.isEmpty() ? QString() : QStringLiteral("@") + account.handle;
    const int lineHeight = std::max(name.height(), mark.height());
    const int block = lineHeight + (handleText.isEmpty() ? 0 : 2 + handle.height());
    const int top = area.top() + (side - block) / 2;

    painter.save();
    // The mark keeps its size; the name gives way.
    const int nameSpace = std::max(0, width - (official ? markGap + mark.width() : 0));
    const QString shown
        = name.elidedText(DisplayText::name(account.displayName), Qt::ElideRight, nameSpace);
    const int nameWidth = std::min(nameSpace, name.horizontalAdvance(shown));
    painter.setFont(nameFont);
    painter.setPen(primary);
    painter.drawText(QRect(left, top, nameWidth + 1, lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    if (official) {
        OfficialMark::paint(painter,
                            QRect(left + nameWidth + markGap,
                                  top + (lineHeight - mark.height()) / 2, mark.width(),
                                  mark.height()),
                            palette);
    }
    if (!handleText.isEmpty()) {
        painter.setFont(handleFont);
        painter.setPen(secondary);
        painter.drawText(QRect(left, top + lineHeight + 2, width, handle.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         handle.elidedText(handleText, Qt::ElideRight, width));
    }
    painter.restore();
}

} // namespace SidebarRowPaint
