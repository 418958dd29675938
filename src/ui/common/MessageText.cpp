#include "ui/common/MessageText.h"

#include "ui/common/MessageLinks.h"

#include <QDesktopServices>
#include <QEvent>

MessageText::MessageText(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    // The label opens nothing on its own: every activation goes through openLink's check.
    setOpenExternalLinks(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                            | Qt::LinksAccessibleByKeyboard);
    // QLabel's own menu is English and would hide the bubble's menu: leave it to the parent.
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QLabel::linkActivated, this,
            [](const QString &href) { openLink(QUrl(href, QUrl::StrictMode)); });
    setText(text);
}

void MessageText::setText(const QString &text)
{
    m_text = text;
    QLabel::setText(MessageLinks::html(text));
    setAccessibleName(text);
}

bool MessageText::openLink(const QUrl &url)
{
    if (!MessageLinks::isWebLink(url))
        return false;
    return QDesktopServices::openUrl(url);
}

void MessageText::changeEvent(QEvent *event)
{
    // The HTML reader bakes the palette's link colour into each anchor when the text is set:
    // set it again so that links follow a change between light and dark.
    // QLabel ignores a text equal to the one it has, hence the clear().
    if (event->type() == QEvent::PaletteChange
        || event->type() == QEvent::ApplicationPaletteChange) {
        QLabel::clear();
        QLabel::setText(MessageLinks::html(m_text));
    }
    QLabel::changeEvent(event);
}
