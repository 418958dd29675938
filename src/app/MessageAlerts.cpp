#include "app/MessageAlerts.h"

#include "model/TextLimits.h"
#include "platform/PushCenter.h"
#include "store/LocalStore.h"
#include "ui/common/DisplayText.h"

#include <QGuiApplication>
#include <QTimer>

MessageAlerts::MessageAlerts(LocalStore *store, WindowActive windowActive, Presenter present,
                             Withdrawer withdraw, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_windowActive(std::move(windowActive))
    , m_present(std::move(present))
    , m_withdraw(std::move(withdraw))
{
    connect(m_store, &LocalStore::visibleRoomIDChanged, this, &MessageAlerts::withdrawSeen);
    // Queued: the window counts as active only once the activation has been handled through.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(
            app, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    withdrawSeen();
            },
            Qt::QueuedConnection);
}

std::optional<MessageAlert> MessageAlerts::alertFor(const LocalStore &store,
                                                    const ChatMessage &message, bool windowActive)
{
    const auto session = store.session();
    if (!session || !session->profileComplete || !store.notificationsEnabled())
        return std::nullopt;
    if (message.senderId == session->meId || message.hiddenForMe)
        return std::nullopt;
    // System lines (joins, leaves) and deleted messages are not pushed.
    if (message.kind == MessageKind::system || message.kind == MessageKind::deleted)
        return std::nullopt;
    if (store.blocks().contains(message.senderId))
        return std::nullopt;

    const auto room = store.conversation(message.conversationId);
    if (room && room->muted)
        return std::nullopt;
    if (windowActive && store.visibleRoomID() == message.conversationId)
        return std::nullopt;

    const auto sender = store.account(message.senderId);
    QString senderName;
    if (sender)
        senderName = DisplayText::name(!sender->displayName.isEmpty() ? sender->displayName
                                                                      : sender->handle);

    MessageAlert alert;
    alert.conversationId = message.conversationId;
    alert.messageId = message.id;
    if (room && room->kind == ConversationKind::group) {
        const QString roomTitle = DisplayText::name(store.conversationTitle(*room));
        alert.title
            = senderName.isEmpty() ? roomTitle : roomTitle + QStringLiteral(" / ") + senderName;
    } else {
        alert.title = !senderName.isEmpty()
            ? senderName
            : (room ? DisplayText::name(store.conversationTitle(*room)) : QString());
    }
    if (alert.title.isEmpty())
        alert.title = QStringLiteral("Zumo");
    alert.title = shortenedText(alert.title, titleLimit);
    // One line, as the room list shows it: a line break would let a part of the text (an
    // address) stand on its own line as if it were the whole message. Cut first, so that the
    // cut never falls inside the isolate of an address.
    const QString shown = store.notificationPreview()
        ? DisplayText::oneLine(shortenedText(message.body, bodyLimit)).trimmed()
        : QString();
    alert.body = !shown.isEmpty() ? shown : genericBody();
    // In the active window the in-app sound is the store's business; the notification stays
    // quiet so that one message does not ring twice.
    alert.withSound = !windowActive && PushCenter::soundAllowed();
    return alert;
}

void MessageAlerts::consider(const ChatMessage &message)
{
    const bool active = m_windowActive && m_windowActive();
    const auto alert = alertFor(*m_store, message, active);
    if (!alert)
        return;
    const auto pace = m_paces.find(alert->conversationId);
    if (pace != m_paces.end()) {
        pace->waiting = message;
        return;
    }
    present(*alert);
    startInterval(alert->conversationId);
}

void MessageAlerts::present(const MessageAlert &alert)
{
    if (m_present)
        m_present(alert);
    emit presented(alert);
}

void MessageAlerts::startInterval(const QUuid &conversationId)
{
    const quint64 turn = ++m_turns;
    m_paces.insert(conversationId, RoomPace{turn, std::nullopt});
    QTimer::singleShot(m_interval, this,
                       [this, conversationId, turn] { intervalEnded(conversationId, turn); });
}

void MessageAlerts::intervalEnded(const QUuid &conversationId, quint64 turn)
{
    const auto pace = m_paces.find(conversationId);
    if (pace == m_paces.end() || pace->turn != turn)
        return;
    const std::optional<ChatMessage> waiting = std::move(pace->waiting);
    m_paces.erase(pace);
    if (!waiting)
        return;
    // Asked again as things are now: the room may have been opened, muted or the message
    // deleted while it waited.
    const MessageIndex::Entry *stored = m_store->messageIndex().find(waiting->id);
    const bool active = m_windowActive && m_windowActive();
    const auto alert = alertFor(*m_store, stored ? stored->message : *waiting, active);
    if (!alert)
        return;
    present(*alert);
    startInterval(conversationId);
}

void MessageAlerts::withdrawSeen()
{
    const std::optional<QUuid> room = m_store->visibleRoomID();
    if (!room || !m_windowActive || !m_windowActive())
        return;
    // What waits for the room's next update is read there now as well; the room's next
    // message is the first of a quiet room again.
    m_paces.remove(*room);
    if (m_withdraw)
        m_withdraw(*room);
}
