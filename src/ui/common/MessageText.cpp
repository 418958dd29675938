#include "ui/common/MessageText.h"

#include "ui/common/ChatColor.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

MessageText::MessageText(const QString &text, QWidget *parent)
    : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setMouseTracking(true);
    // The text opens nothing on its own: every activation goes through openLink's check.
    connect(this, &MessageText::linkActivated, this,
            [](const QString &href) { openLink(QUrl(href, QUrl::StrictMode)); });
    setText(text);
}

void MessageText::setText(const QString &text)
{
    if (text == m_layout.text() && !text.isEmpty())
        return;
    m_layout.setText(text);
    m_pressed.reset();
    setAccessibleName(text);
    updateGeometry();
    update();
}

void MessageText::setAlignment(Qt::Alignment alignment)
{
    m_layout.setAlignment(alignment & Qt::AlignHorizontal_Mask);
    update();
}

bool MessageText::openLink(const QUrl &url)
{
    return MessageLinks::isWebLink(url) && QDesktopServices::openUrl(url);
}

ChatTextLayout &MessageText::laidOut(int width) const
{
    m_layout.setFont(font());
    m_layout.setLinkColor(ChatColor::link(palette()));
    m_layout.layout(std::max(1, width));
    return m_layout;
}

QSize MessageText::sizeHint() const
{
    // Like a word-wrapping label: the text on one line, but no wider than about 80 characters.
    const int cap = QFontMetrics(font()).averageCharWidth() * 80;
    const int width = std::min(int(m_layout.idealWidth()) + 1, cap);
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), heightForWidth(width));
}

QSize MessageText::minimumSizeHint() const
{
    // Text breaks anywhere, so a few characters' width is enough to show all of it; the height
    // is that of the preferred width, as a word-wrapping label gives (layouts that honour
    // heightForWidth ask for the real one).
    const int narrow = QFontMetrics(font()).averageCharWidth() * 6;
    const int width = std::min(int(m_layout.idealWidth()) + 1, narrow);
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), sizeHint().height());
}

int MessageText::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = width - margins.left() - margins.right();
    return int(std::ceil(laidOut(inner).size().height())) + margins.top() + margins.bottom();
}

void MessageText::paintEvent(QPaintEvent *)
{
    const QRect area = contentsRect();
    ChatTextLayout &layout = laidOut(area.width());
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    layout.draw(painter, area.topLeft());
}

std::optional<MessageLink> MessageText::linkAt(const QPoint &position) const
{
    const QRect area = contentsRect();
    return laidOut(area.width()).linkAt(position - area.topLeft());
}

void MessageText::mousePressEvent(QMouseEvent *event)
{
    m_pressed.reset();
    if (event->button() == Qt::LeftButton)
        m_pressed = linkAt(event->position().toPoint());
    if (!m_pressed)
        event->ignore(); // a press beside the links belongs to what holds the text
}

void MessageText::mouseMoveEvent(QMouseEvent *event)
{
    if (linkAt(event->position().toPoint()))
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    event->ignore();
}

void MessageText::mouseReleaseEvent(QMouseEvent *event)
{
    const std::optional<MessageLink> pressed = std::exchange(m_pressed, std::nullopt);
    if (!pressed || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const std::optional<MessageLink> released = linkAt(event->position().toPoint());
    if (released && *released == *pressed)
        emit linkActivated(QString::fromLatin1(released->url.toEncoded()));
}

void MessageText::leaveEvent(QEvent *event)
{
    unsetCursor();
    QWidget::leaveEvent(event);
}
