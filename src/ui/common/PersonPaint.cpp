#include "ui/common/PersonPaint.h"

#include "model/Account.h"
#include "ui/common/AccountListModel.h"
#include "ui/common/AvatarView.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DisplayText.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/UiMetrics.h"

#include <QPainter>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace PersonPaint {

using UiMetrics::avatarGap;
using UiMetrics::avatarSize;

int height()
{
    const int texts = QFontMetrics(ChatFont::body()).height()
        + QFontMetrics(ChatFont::subheadline()).height() + 2;
    return std::max(avatarSize, texts);
}

void paint(QPainter &painter, const QRect &area, const Account &account, bool official,
           const QPalette &palette, const QColor &primary, const QColor &secondary)
{
    constexpr int markGap = 6;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF avatar(area.left(), area.top() + (area.height() - avatarSize) / 2, avatarSize,
                        avatarSize);
    AvatarView::paintCached(painter, avatar, account.displayName, account.avatarJPEG,
                            account.avatarURL, palette);

    const int left = area.left() + avatarSize + avatarGap;
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
    const int top = area.top() + (area.height() - block) / 2;

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

void paint(QPainter &painter, const QRect &area, const QModelIndex &index, const QPalette &palette)
{
    Account account;
    account.displayName = index.data(Qt::DisplayRole).toString();
    account.handle = index.data(AccountListModel::HandleRole).toString();
    if (QByteArray jpeg = index.data(AccountListModel::AvatarJpegRole).toByteArray();
        !jpeg.isEmpty())
        account.avatarJPEG = std::move(jpeg);
    if (QString url = index.data(AccountListModel::AvatarUrlRole).toString(); !url.isEmpty())
        account.avatarURL = std::move(url);
    paint(painter, area, account, index.data(AccountListModel::OfficialRole).toBool(), palette,
          palette.color(QPalette::WindowText), ChatColor::secondaryText(palette));
}

void paintShade(QPainter &painter, const QRect &row, const QStyleOptionViewItem &option)
{
    if (!(option.state & (QStyle::State_MouseOver | QStyle::State_HasFocus)))
        return;
    painter.fillRect(row,
                     UiMetrics::shade(option.palette,
                                      option.state & QStyle::State_HasFocus
                                          ? UiMetrics::Shade::focus
                                          : UiMetrics::Shade::hover));
}

} // namespace PersonPaint
