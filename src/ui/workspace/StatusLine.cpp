#include "ui/workspace/StatusLine.h"

#include "store/LocalStore.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/workspace/Divider.h"

#include <QPainter>

namespace {

constexpr int padY = 4;

} // namespace

StatusLine *StatusLine::connecting(LocalStore &store, QWidget *parent)
{
    auto *line = new StatusLine(parent);
    line->setObjectName(QStringLiteral("connectingLine"));
    const auto follow
        = [line, &store] { line->showText(store.connecting() ? connectingText() : QString()); };
    follow();
    connect(&store, &LocalStore::connectingChanged, line, follow);
    return line;
}

StatusLine *StatusLine::saveFailures(LocalStore &store, QWidget *parent)
{
    auto *line = new StatusLine(parent);
    line->setObjectName(QStringLiteral("saveFailureLine"));
    const SaveFailures &failures = store.saveFailures();
    const auto follow = [line, &failures] { line->showText(failures.texts().join(u'\n')); };
    follow();
    connect(&failures, &SaveFailures::changed, line, follow);
    return line;
}

StatusLine::StatusLine(QWidget *parent)
    : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setFont(ChatFont::footnote());
    // The hairline takes the last pixel row.
    setContentsMargins(0, padY, 0, padY + 1);
    // As high as its text, never more: a page that leaves room over (the empty placeholder)
    // must not stretch the line.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ChatColor::keepSecondary(this);
    setVisible(false);
}

void StatusLine::showText(const QString &text)
{
    setText(text);
    setAccessibleName(text);
    setVisible(!text.isEmpty());
}

void StatusLine::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    // The line's own text colour is toned down: the hairline takes the column's, as elsewhere.
    const QWidget *host = parentWidget();
    QPainter(this).fillRect(QRect(0, height() - 1, width(), 1),
                            Divider::colour(host ? host->palette() : palette()));
}
