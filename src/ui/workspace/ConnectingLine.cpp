#include "ui/workspace/ConnectingLine.h"

#include "store/LocalStore.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/workspace/Divider.h"

#include <QPainter>

namespace {

constexpr int padY = 4;

} // namespace

ConnectingLine::ConnectingLine(QWidget *parent)
    : QLabel(text(), parent)
{
    setObjectName(QStringLiteral("connectingLine"));
    setAccessibleName(text());
    setAlignment(Qt::AlignCenter);
    setFont(ChatFont::footnote());
    // The hairline takes the last pixel row.
    setContentsMargins(0, padY, 0, padY + 1);
    ChatColor::keepSecondary(this);
}

void ConnectingLine::follow(LocalStore &store)
{
    setVisible(store.connecting());
    connect(&store, &LocalStore::connectingChanged, this,
            [this, &store] { setVisible(store.connecting()); });
}

void ConnectingLine::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    // The line's own text colour is toned down: the hairline takes the column's, as elsewhere.
    const QWidget *host = parentWidget();
    QPainter(this).fillRect(QRect(0, height() - 1, width(), 1),
                            Divider::colour(host ? host->palette() : palette()));
}
