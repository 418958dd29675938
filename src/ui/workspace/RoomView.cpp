#include "ui/workspace/RoomView.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/ConfirmDialog.h"
#include "ui/common/DisplayText.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/StoreRedraw.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/InfoPanel.h"
#include "ui/workspace/Divider.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/TranscriptView.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int lineSpacing = 2;
constexpr int markGap = 6;
const QString loadingText = QStringLiteral("대화를 불러오는 중");

// The title's line, and under it the subtitle's when there is one.
int linesHeight(bool subtitle)
{
    const int title = QFontMetrics(ChatFont::headline()).height();
    return subtitle ? title + lineSpacing + QFontMetrics(ChatFont::footnote()).height() : title;
}

// The room's stand-in while the store does not have it yet.
QWidget *loadingView(QWidget *parent)
{
    auto *box = new QWidget(parent);
    box->setObjectName(QStringLiteral("roomLoading"));
    auto *layout = new QVBoxLayout(box);
    layout->addStretch(1);
    auto *bar = new QProgressBar(box);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedWidth(120);
    bar->setAccessibleName(loadingText);
    layout->addWidget(bar, 0, Qt::AlignHCenter);
    auto *label = new QLabel(loadingText, box);
    label->setObjectName(QStringLiteral("loadingLabel"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    layout->addStretch(1);
    return box;
}

} // namespace

RoomTitleButton::RoomTitleButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("roomTitle"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab like the mute switch; a click gives it no focus ring.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleDescription(QStringLiteral("대화 정보"));
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
    int width = QFontMetrics(ChatFont::headline()).horizontalAdvance(m_title);
    if (m_official)
        width += markGap + OfficialMark::sizeFor().width();
    width = std::max(width, QFontMetrics(ChatFont::footnote()).horizontalAdvance(m_subtitle));
    return {width, std::max(UiMetrics::controlHeight, linesHeight(!m_subtitle.isEmpty()))};
}

void RoomTitleButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFont headFont = ChatFont::headline();
    const QFont footFont = ChatFont::footnote();
    const QFontMetrics head(headFont);
    const QFontMetrics foot(footFont);
    int y = (height() - linesHeight(!m_subtitle.isEmpty())) / 2;
    if (m_focusRing)
        UiMetrics::paintFocusRing(painter, *this, QRectF(rect()).adjusted(1, 1, -1, -1));
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

RoomView::RoomView(LocalStore &store, const Navigation &navigation, const QUuid &conversationId,
                   QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_navigation(navigation)
    , m_state(new RoomState(conversationId, this))
    , m_layout(bareBox<QVBoxLayout>(this))
{
    setObjectName(QStringLiteral("roomView"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    m_layout->addWidget(createHeader());
    m_layout->addWidget(new Divider(this));

    // Store changes come in bursts; the pane reads the room once per event-loop turn.
    new StoreRedraw(
        m_store,
        {&LocalStore::conversationsChanged, &LocalStore::accountsChanged,
         &LocalStore::typingStateChanged, &LocalStore::sessionChanged},
        [this] { refresh(); }, this);
    connect(m_title, &QAbstractButton::clicked, this, [this] { emit roomInfoRequested(true); });
    // The store's flag at the moment of the press: a second press before the header has been
    // redrawn still switches back.
    connect(m_mute, &QToolButton::clicked, this, [this, conversationId] {
        if (const auto room = m_store.conversation(conversationId))
            m_store.setMuted(conversationId, !room->muted);
    });
    connect(&m_navigation, &Navigation::roomInfoChanged, this, &RoomView::refresh);
    // Once the page has moved on, nothing is built any more: closing the information panel of a
    // room being left would show its transcript, and load the room, racing the leave.
    connect(&m_navigation, &Navigation::pageChanged, this, [this, conversationId] {
        if (!m_navigation.page().isRoom(conversationId))
            m_left = true;
    });
    connect(&m_navigation, &Navigation::writeRequested, this, &RoomView::takeKeyboard);
    connect(m_state, &RoomState::deleteTargetChanged, this, &RoomView::followDeleteTarget);
    refresh();
}

RoomView::~RoomView()
{
    if (m_onScreen)
        disappeared();
}

// The room counts as on screen for the whole pane, its information panel included.
void RoomView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar is no new appearance.
    if (event->spontaneous() || m_onScreen)
        return;
    m_onScreen = true;
    m_store.setVisibleRoomID(conversationId());
    m_store.markRead(conversationId());
}

void RoomView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && m_onScreen)
        disappeared();
}

void RoomView::disappeared()
{
    m_onScreen = false;
    // Another room's pane may have taken the place meanwhile: leave its claim alone.
    if (m_store.visibleRoomID() == conversationId())
        m_store.setVisibleRoomID(std::nullopt);
}

void RoomView::refresh()
{
    if (m_left)
        return;
    const std::optional<Conversation> room = m_store.conversation(conversationId());
    m_mute->setVisible(room.has_value());
    // The transcript (and with it the room's first load) waits until the store has the room.
    if (!room) {
        m_title->setLines(QString(), false, QString());
        present(Content::loading);
        return;
    }
    QString subtitle;
    if (const auto typing = m_store.typingLabel(conversationId()))
        subtitle = *typing;
    else if (room->kind == ConversationKind::group)
        subtitle = QStringLiteral("%1명").arg(LocalStore::activeMembers(*room).size());
    m_title->setLines(DisplayText::name(m_store.conversationTitle(*room)),
                      m_store.isOfficial(*room), subtitle);
    // Setting an icon repaints the button even when it is the same: set only on a change.
    if (m_muteShown != room->muted) {
        m_muteShown = room->muted;
        m_mute->setIcon(
            ChatIcon::symbol(room->muted ? QStringLiteral("bell.slash") : QStringLiteral("bell")));
        m_mute->setAccessibleName(room->muted ? QStringLiteral("알림 켜기")
                                              : QStringLiteral("알림 끄기"));
    }
    present(m_navigation.roomInfo() ? Content::info : Content::transcript);
}

QWidget *RoomView::createHeader()
{
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("roomHeader"));
    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(8);
    m_title = new RoomTitleButton(header);
    layout->addWidget(m_title, 1);
    m_mute = ChatIcon::button(QStringLiteral("bell"), QString(), 20, header);
    layout->addWidget(m_mute);
    m_mute->setObjectName(QStringLiteral("muteButton"));
    m_mute->setFocusPolicy(Qt::TabFocus);
    return header;
}

void RoomView::present(Content content)
{
    if (content == m_shown)
        return;
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        // The information panel's close may be what brought the transcript back.
        m_content->deleteLater();
    }
    m_shown = content;
    switch (content) {
    case Content::loading:
        m_content = loadingView(this);
        break;
    case Content::transcript:
        m_content = createTranscript();
        break;
    case Content::info:
        m_content = createInfoPanel();
        break;
    case Content::none:
        return;
    }
    m_layout->addWidget(m_content, 1);
    m_content->show();
    if (content == Content::transcript && std::exchange(m_writePending, false))
        takeKeyboard();
}

void RoomView::takeKeyboard()
{
    if (m_left)
        return;
    if (m_shown == Content::transcript && m_composer)
        m_composer->takeKeyboard();
    else
        m_writePending = true;
}

QWidget *RoomView::createTranscript()
{
    auto *box = new QWidget(this);
    box->setObjectName(QStringLiteral("roomTranscript"));
    auto *layout = bareBox<QVBoxLayout>(box);
    auto *transcript = new TranscriptView(m_store, *m_state, box);
    connect(transcript, &TranscriptView::mediaRequested, this, &RoomView::mediaRequested);
    connect(transcript, &TranscriptView::reportRequested, this, &RoomView::reportRequested);
    layout->addWidget(transcript, 1);
    m_composer = new Composer(m_store, *m_state, box);
    layout->addWidget(m_composer);
    connect(transcript, &TranscriptView::composerRequested, m_composer, &Composer::takeKeyboard);
    return box;
}

// The room's information panel replaces transcript and composer under the header.
QWidget *RoomView::createInfoPanel()
{
    auto *panel = new InfoPanel(m_store, conversationId(), this);
    connect(panel, &InfoPanel::reportRequested, this, &RoomView::reportRequested);
    connect(panel, &InfoPanel::profileRequested, this, &RoomView::profileRequested);
    connect(panel, &InfoPanel::closeRequested, this, [this] { emit roomInfoRequested(false); });
    connect(panel, &InfoPanel::left, this, &RoomView::left);
    return panel;
}

void RoomView::followDeleteTarget()
{
    const auto target = m_state->deleteTarget();
    if (m_deleteDialog && (!target || target->id != m_deleteAsked)) {
        ConfirmDialog::withdraw(m_deleteDialog);
        m_deleteDialog = nullptr;
    }
    if (!target || m_deleteDialog)
        return;

    // "모두에게 삭제" is offered by what holds when the dialog comes up, for that message.
    const QUuid asked = target->id;
    QList<ConfirmDialog::Choice> choices{{QStringLiteral("나에게만 삭제"), true, [this] {
                                              if (const auto current = m_state->deleteTarget())
                                                  m_store.hideForMe(current->id);
                                          }}};
    if (m_store.canDeleteForEveryone(asked))
        choices.append({QStringLiteral("모두에게 삭제"), true,
                        [this, asked] { m_store.deleteForEveryone(asked); }});
    m_deleteAsked = asked;
    m_deleteDialog = ConfirmDialog::open(this, QStringLiteral("삭제"), choices, [this] {
        m_deleteDialog = nullptr;
        m_state->setDeleteTarget(std::nullopt);
    });
    m_deleteDialog->setObjectName(QStringLiteral("deleteDialog"));
}
