#include "ui/workspace/RoomHeader.h"

#include "store/LocalStore.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/DisplayText.h"
#include "ui/common/OfficialMark.h"
#include "ui/common/UiMetrics.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QToolButton>

namespace {

constexpr int lineSpacing = 2;
constexpr int markGap = 6;

} // namespace

RoomTitleButton::RoomTitleButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("roomTitle"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab like the mute switch; a click gives it no focus ring.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleDescription(RoomHeader::infoHint());
}

void RoomTitleButton::setLines(const QString &title, bool official, const QString &subtitle)
{
    if (title == m_title && official == m_official && subtitle == m_subtitle)
        return;
    const bool twoLines = m_subtitle.isEmpty() != subtitle.isEmpty();
    m_title = title;
    m_official = official;
    m_subtitle = subtitle;
    setAccessibleName(subtitle.isEmpty() ? title : title + QStringLiteral(", ") + subtitle);
    if (twoLines)
        updateGeometry();
    update();
}

QSize RoomTitleButton::sizeHint() const
{
    const QFontMetrics head(ChatFont::headline());
    const QFontMetrics foot(ChatFont::footnote());
    int height = head.height();
    if (!m_subtitle.isEmpty())
        height += lineSpacing + foot.height();
    int width = head.horizontalAdvance(m_title);
    if (m_official)
        width += markGap + OfficialMark::sizeFor().width();
    width = std::max(width, foot.horizontalAdvance(m_subtitle));
    return {width, std::max(UiMetrics::controlHeight, height)};
}

QSize RoomTitleButton::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void RoomTitleButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFont headFont = ChatFont::headline();
    const QFont footFont = ChatFont::footnote();
    const QFontMetrics head(headFont);
    const QFontMetrics foot(footFont);
    int contentHeight = head.height();
    if (!m_subtitle.isEmpty())
        contentHeight += lineSpacing + foot.height();
    int y = (height() - contentHeight) / 2;
    if (m_focusRing) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(UiMetrics::focusRing(palette()));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5),
                                UiMetrics::plateRadius, UiMetrics::plateRadius);
    }
    if (isDown())
        painter.setOpacity(0.6);

    // First line: the title, shortened to leave the mark its room, centred with the mark.
    const QSize mark = m_official ? OfficialMark::sizeFor() : QSize();
    const int markRoom = m_official ? markGap + mark.width() : 0;
    const QString title = head.elidedText(m_title, Qt::ElideRight, std::max(0, width() - markRoom));
    const int lineWidth = head.horizontalAdvance(title) + markRoom;
    const int x = (width() - lineWidth) / 2;
    painter.setFont(headFont);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(x, y, lineWidth - markRoom, head.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
    if (m_official) {
        const QRect markRect(x + lineWidth - mark.width(), y + (head.height() - mark.height()) / 2,
                             mark.width(), mark.height());
        OfficialMark::paint(painter, markRect, palette());
    }
    if (m_subtitle.isEmpty())
        return;
    y += head.height() + lineSpacing;
    painter.setFont(footFont);
    painter.setPen(ChatColor::secondaryText(palette()));
    painter.drawText(QRect(0, y, width(), foot.height()), Qt::AlignCenter,
                     foot.elidedText(m_subtitle, Qt::ElideRight, width()));
}

// The ring marks focus moved there from the keyboard, not the focus a window hands its first
// control when it opens.
void RoomTitleButton::focusInEvent(QFocusEvent *event)
{
    m_focusRing
        = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(event);
}

void RoomTitleButton::focusOutEvent(QFocusEvent *event)
{
    m_focusRing = false;
    QAbstractButton::focusOutEvent(event);
}

void RoomTitleButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationFontChange)
        updateGeometry();
    QAbstractButton::changeEvent(event);
}

RoomHeader::RoomHeader(LocalStore &store, const QUuid &conversationId, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_conversationId(conversationId)
    , m_title(new RoomTitleButton(this))
    , m_mute(new QToolButton(this))
{
    setObjectName(QStringLiteral("roomHeader"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(8);
    layout->addWidget(m_title, 1);
    layout->addWidget(m_mute);

    m_mute->setObjectName(QStringLiteral("muteButton"));
    m_mute->setAutoRaise(true);
    m_mute->setFixedSize(UiMetrics::controlHeight, UiMetrics::controlHeight);
    m_mute->setIconSize(QSize(20, 20));
    m_mute->setFocusPolicy(Qt::TabFocus);

    // The store's flag at the moment of the press: a second press before the header has been
    // redrawn still switches back.
    connect(m_mute, &QToolButton::clicked, this, [this] {
        if (const auto room = m_store.conversation(m_conversationId))
            m_store.setMuted(m_conversationId, !room->muted);
    });
    refresh();
}

void RoomHeader::refresh()
{
    const std::optional<Conversation> room = m_store.conversation(m_conversationId);
    if (!room) {
        m_title->setLines(QString(), false, QString());
        m_mute->hide();
        return;
    }
    QString subtitle;
    if (const auto typing = m_store.typingLabel(m_conversationId))
        subtitle = *typing;
    else if (room->kind == ConversationKind::group)
        subtitle = QStringLiteral("%1명").arg(LocalStore::activeMembers(*room).size());
    m_title->setLines(DisplayText::name(m_store.conversationTitle(*room)),
                      m_store.isOfficial(*room), subtitle);

    const bool muted = room->muted;
    m_mute->setIcon(
        ChatIcon::symbol(muted ? QStringLiteral("bell.slash") : QStringLiteral("bell")));
    m_mute->setAccessibleName(muted ? QStringLiteral("알림 켜기") : QStringLiteral("알림 끄기"));
    m_mute->show();
}
