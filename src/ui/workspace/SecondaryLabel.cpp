#include "ui/workspace/SecondaryLabel.h"

#include "ui/common/ChatColor.h"

#include <QEvent>
#include <QGuiApplication>

SecondaryLabel::SecondaryLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    recolour();
}

void SecondaryLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange)
        recolour();
    QLabel::changeEvent(event);
}

// Read from the application palette, not the label's own: the label's text colour is the one
// set here, and the secondary colour is derived from the text colour.
void SecondaryLabel::recolour()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ChatColor::secondaryText(QGuiApplication::palette()));
    setPalette(colours);
}
