#include "ui/workspace/SecondaryLabel.h"

#include "ui/common/ChatColor.h"

SecondaryLabel::SecondaryLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    ChatColor::keepSecondary(this);
}
