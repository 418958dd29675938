#include "ui/workspace/TranscriptView.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/ImageDecodeJob.h"
#include "ui/common/MessageText.h"
#include "ui/common/StoreTask.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/RoomView.h"
#include "ui/workspace/TranscriptAnnouncer.h"
#include "ui/workspace/TranscriptListView.h"
#include "ui/workspace/TranscriptModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

constexpr int kNewMessageLift = 8;
constexpr int newMessageRing = 2;

} // namespace

TranscriptView::TranscriptView(LocalStore &store, RoomState &room, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_room(room)
    , m_model(new TranscriptModel(store, room.conversationId(), this))
    , m_list(new TranscriptListView(*m_model, this))
    , m_newMessage(new QPushButton(QStringLiteral("새 메시지"), this))
    , m_announcer(new TranscriptAnnouncer(store, *m_model, this))
    , m_follow(std::make_shared<BottomFollow>())
    , m_lastId(m_model->lastId())
{
    bareBox<QVBoxLayout>(this)->addWidget(m_list);

    m_newMessage->setAccessibleName(QStringLiteral("새 메시지"));
    m_newMessage->setCursor(Qt::PointingHandCursor);
    m_newMessage->hide();
    styleNewMessage();
    connect(m_newMessage, &QPushButton::clicked, this, &TranscriptView::showNewest);
    connect(&m_room, &RoomState::pendingNewChanged, this, [this] {
        m_newMessage->setVisible(m_room.pendingNew());
        placeNewMessage();
    });

    m_idsTimer.setSingleShot(true);
    m_idsTimer.setInterval(0);
    connect(&m_idsTimer, &QTimer::timeout, this, &TranscriptView::idsChanged);
    const auto idsMayHaveChanged = [this] {
        m_idsTimer.start();
        updateHeader();
    };
    connect(m_model, &QAbstractItemModel::rowsInserted, this, idsMayHaveChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, idsMayHaveChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, idsMayHaveChanged);
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &last) {
                // An echo replaced by the service's copy changes the last id in place.
                if (last.row() == m_model->count() - 1)
                    m_idsTimer.start();
            });

    connectList();
    const auto pinIfShown = [this] {
        if (m_onScreen)
            pinToBottom();
    };
    connect(&m_room, &RoomState::bottomPinChanged, this, pinIfShown);
    connect(&m_room, &RoomState::draftChanged, this, pinIfShown);
    connect(&m_store, &LocalStore::olderRoomsChanged, this, &TranscriptView::updateHeader);
    connect(&m_store, &LocalStore::pushTargetChanged, this, &TranscriptView::pushTargetChanged);
    updateHeader();
}

// What the reader does in the list: scrolling, the older-messages row, photos, links, resending
// and the message menu.
void TranscriptView::connectList()
{
    connect(m_list, &TranscriptListView::anchorChanged, this, &TranscriptView::handleAnchor);
    connect(m_list, &TranscriptListView::olderClicked, this,
            [this] { m_store.loadOlder(m_room.conversationId()); });
    connect(m_list, &TranscriptListView::photoClicked, this, &TranscriptView::mediaRequested);
    connect(m_list, &TranscriptListView::linkClicked, this, &MessageText::openLink);
    connect(m_list, &TranscriptListView::resendClicked, this, &TranscriptView::resend);
    connect(m_list, &TranscriptListView::menuRequested, this, &TranscriptView::showMenu);
    connect(m_list, &TranscriptListView::currentMoved, this, &TranscriptView::currentMoved);
    connect(m_list, &TranscriptListView::composerRequested, this,
            &TranscriptView::composerRequested);
    m_list->setMenuSource([this](const ChatMessage &message) { return menuItems(message); });
}

TranscriptView::~TranscriptView()
{
    // The room's photos are off screen from now on.
    DecodedImageCache::shared()->trim(DecodedImageCache::keptAfterRoomBytes);
}

// ---------------------------------------------------------------------------------------------
// On screen

void TranscriptView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar is no new appearance.
    if (event->spontaneous() || m_onScreen)
        return;
    m_onScreen = true;
    m_lastId = m_model->lastId();
    arrive();
}

void TranscriptView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_onScreen = false;
}

void TranscriptView::arrive()
{
    if (!revealPush())
        pinToBottom();
    m_loading = m_model->count() == 0;
    updateHeader();
    loadRoom();
}

void TranscriptView::loadRoom()
{
    const QUuid roomId = m_room.conversationId();
    const std::optional<PushOpen> before = m_store.pushTarget();
    const std::optional<QUuid> awaited = before ? std::optional(before->token) : std::nullopt;
    // The store reports its own failures; the spinner ends all the same. The answer is the
    // store's: a notification this load was to reveal is settled even when the view has gone.
    LocalStore *store = &m_store;
    StoreTask::whenDone(
        m_store.loadRoom(roomId), store, [self = QPointer(this), store, roomId, awaited] {
            if (self) {
                self->m_loading = false;
                self->updateHeader();
            }
            if (self && self->m_onScreen) {
                self->loaded();
                return;
            }
            // Left, or the information panel took the place, before the load ended: the
            // notification this load was to reveal has nowhere to show and must not open the
            // room again later. A newer one is for the transcript that has come since.
            const std::optional<PushOpen> target = store->pushTarget();
            if (target && target->conversationId == roomId && target->token == awaited)
                store->setPushTarget(std::nullopt);
        });
}

void TranscriptView::loaded()
{
    if (revealPush())
        return;
    // The notified message is not among those loaded: forget it and stay at the end.
    const std::optional<PushOpen> target = m_store.pushTarget();
    if (target && target->conversationId == m_room.conversationId())
        m_store.setPushTarget(std::nullopt);
    if (m_follow->stick)
        pinToBottom();
}

void TranscriptView::pushTargetChanged()
{
    // A notification for this room while it is already on screen: the room is not opened
    // again, so it is followed here as if it had just been.
    const std::optional<PushOpen> target = m_store.pushTarget();
    if (!m_onScreen || !target || target->conversationId != m_room.conversationId())
        return;
    arrive();
}

// ---------------------------------------------------------------------------------------------
// Following the bottom

void TranscriptView::pinToBottom()
{
    if (m_model->count() == 0)
        return;
    const std::shared_ptr<BottomFollow> follow = m_follow;
    follow->stick = true;
    // Following the end takes the keyboard's current message along.
    if (!m_list->currentId().isNull())
        m_list->setCurrentId(*m_model->lastId());
    const int generation = ++follow->pinGeneration;
    m_room.setPendingNew(false);
    const auto isCurrent = [follow, generation] { return follow->pinGeneration == generation; };
    TranscriptListView *list = m_list;
    TranscriptScroll::pinBottom(
        list, [list] { list->scrollToBottom(); }, isCurrent,
        [follow, isCurrent, generation] {
            if (isCurrent())
                follow->settledGeneration = generation;
        });
}

bool TranscriptView::revealPush()
{
    const std::optional<PushOpen> target = m_store.pushTarget();
    if (!target || target->conversationId != m_room.conversationId() || !target->messageId)
        return false;
    const int row = m_model->rowOf(*target->messageId);
    if (row < 0)
        return false;
    // Any running pin stops and none counts as in flight; the reader stays on the message.
    m_follow->pinGeneration += 1;
    m_follow->settledGeneration = m_follow->pinGeneration;
    m_follow->stick = false;
    m_list->scrollToRow(row);
    m_store.setPushTarget(std::nullopt);
    return true;
}

void TranscriptView::handleAnchor(const TranscriptAnchor &anchor)
{
    if (!m_onScreen)
        return;
    const FollowUpdate update = m_follow->consume(anchor);
    if (holdsCurrent()) {
        // Coming near the end does not resume following while the reader's message is
        // another: only reaching the newest with the keyboard, or a pin, does.
        m_follow->stick = false;
        return;
    }
    if (update.arrived) {
        m_room.setPendingNew(false);
        m_store.markRead(m_room.conversationId());
    }
    if (update.needsPin)
        pinToBottom();
}

void TranscriptView::idsChanged()
{
    const std::optional<QUuid> previous = std::exchange(m_lastId, m_model->lastId());
    if (!m_onScreen)
        return;
    if (revealPush())
        return;
    // Older messages loaded above, or changes in the middle, leave the last id as it was.
    if (!m_lastId || m_lastId == previous)
        return;
    const QUuid current = m_list->currentId();
    const bool held = !current.isNull() && current != previous && current != *m_lastId;
    if (m_follow->stick && !held)
        showNewest();
    else
        m_room.setPendingNew(true);
}

bool TranscriptView::holdsCurrent() const
{
    const QUuid current = m_list->currentId();
    return !current.isNull() && current != m_lastId && current != m_model->lastId();
}

void TranscriptView::currentMoved(const QUuid &messageId)
{
    if (messageId == m_model->lastId()) {
        showNewest();
        return;
    }
    // Like a revealed notification: running pins stop and the reader stays on the message.
    m_follow->pinGeneration += 1;
    m_follow->settledGeneration = m_follow->pinGeneration;
    m_follow->stick = false;
}

void TranscriptView::showNewest()
{
    pinToBottom();
    m_store.markRead(m_room.conversationId());
}

// ---------------------------------------------------------------------------------------------
// Rows

void TranscriptView::showMenu(const QUuid &messageId, const QPoint &globalPosition,
                              bool fromKeyboard)
{
    const int row = m_model->rowOf(messageId);
    if (row < 0)
        return;
    QMenu *menu = menuFor(m_model->message(row), this);
    if (!menu)
        return;
    menu->popup(globalPosition);
    // Opened from the keyboard, the menu starts on its first item, which a screen reader then
    // reads; a menu opened by the mouse waits for the pointer.
    if (fromKeyboard)
        menu->setActiveAction(menu->actions().constFirst());
}

QMenu *TranscriptView::menuFor(const ChatMessage &message, QWidget *parent)
{
    const int row = m_model->rowOf(message.id);
    const QList<TranscriptAction> items = row >= 0 ? m_list->menuActions(row) : menuItems(message);
    if (items.isEmpty())
        return nullptr;
    auto *menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const TranscriptAction &item : items) {
        // An address may hold "&", which a menu would take for a shortcut mark.
        QString text = item.name;
        menu->addAction(text.replace(u'&', QStringLiteral("&&")), menu, item.run);
    }
    return menu;
}

QList<TranscriptAction> TranscriptView::menuItems(const ChatMessage &message)
{
    if (message.kind == MessageKind::system || message.kind == MessageKind::deleted)
        return {};
    QList<TranscriptAction> items{
        {QStringLiteral("답장"), [this, message] { m_room.chooseReply(message); }},
        {QStringLiteral("복사"), [message] { copy(message); }},
        {QStringLiteral("삭제"), [this, message] { m_room.setDeleteTarget(message); }},
    };
    const std::optional<Account> me = m_store.me();
    const bool mine = me && me->id == message.senderId;
    if (!mine) {
        items.append({QStringLiteral("신고"), [this, message] {
                          emit reportRequested(
                              ReportDraft{QUuid::createUuid(), message.senderId, message.id});
                      }});
    }
    if (mine && message.delivery == DeliveryState::failed)
        items.append({QStringLiteral("재전송"), [this, id = message.id] { resend(id); }});
    return items;
}

void TranscriptView::copy(const ChatMessage &message)
{
    // Only the latest copy reaches the clipboard, whichever decode ends first.
    static quint64 latest = 0;
    const quint64 ticket = ++latest;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (message.kind != MessageKind::image || !message.imageJPEG || message.imageJPEG->isEmpty()) {
        clipboard->setText(message.body);
        return;
    }
    // A photo from a peer may claim any size: it is decoded off the main thread, bounded as
    // everywhere else; bytes that are no picture (or too large a one) copy the caption.
    ImageDecodeJob::Request request;
    request.bytes = *message.imageJPEG;
    request.maxSide = DecodedImageCache::maxDecodedSide;
    ImageDecodeJob::start(
        std::move(request), clipboard,
        [clipboard, ticket, body = message.body](const ImageDecodeJob::Result &result) {
            if (ticket != latest)
                return;
            if (result.outcome == ImageDecodeJob::Outcome::Decoded)
                clipboard->setImage(result.image);
            else
                clipboard->setText(body);
        });
}

void TranscriptView::resend(const QUuid &messageId)
{
    const int row = m_model->rowOf(messageId);
    if (row < 0)
        return;
    const ChatMessage &message = m_model->message(row);
    if (message.kind == MessageKind::image && message.imageJPEG && !message.imageJPEG->isEmpty())
        m_store.sendImage(m_room.conversationId(), *message.imageJPEG, message.body,
                          message.replyToId);
    else
        m_store.sendText(m_room.conversationId(), message.body, message.replyToId);
}

// ---------------------------------------------------------------------------------------------
// Looks

void TranscriptView::updateHeader()
{
    m_list->setOlderShown(m_store.olderRooms().contains(m_room.conversationId()));
    m_list->setSpinnerShown(m_model->count() == 0 && m_loading);
}

void TranscriptView::placeNewMessage()
{
    const QSize size = m_newMessage->sizeHint().expandedTo(QSize(0, UiMetrics::controlHeight));
    m_newMessage->setGeometry((width() - size.width()) / 2,
                              height() - size.height() - kNewMessageLift, size.width(),
                              size.height());
    m_newMessage->raise();
}

void TranscriptView::styleNewMessage()
{
    // The prominent look: the accent colour under white text, as a capsule. The accent is that
    // of one's own bubbles, so a ring in the transcript's background colour sets it off from
    // them (in both appearances the ring and the bubble differ by a contrast of 3 or more).
    const QPalette colours = palette();
    m_newMessage->setFont(ChatFont::footnote());
    m_newMessage->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: %2px solid %3;"
                       " border-radius: 17px; padding: 5px 15px; margin: 5px 0px; }")
            .arg(ChatColor::mineBubble(colours).name())
            .arg(newMessageRing)
            .arg(colours.color(QPalette::Window).name()));
}

void TranscriptView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeNewMessage();
}

void TranscriptView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        styleNewMessage();
    QWidget::changeEvent(event);
}
