#pragma once

#include "model/ChatMessage.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>

#include <chrono>
#include <functional>
#include <optional>

class LocalStore;

// One desktop notification for an incoming message.
struct MessageAlert
{
    QString title;
    QString body;
    QUuid conversationId;
    std::optional<QUuid> messageId;
    bool withSound = true;

    friend bool operator==(const MessageAlert &, const MessageAlert &) = default;
};

// Presents a desktop notification for each incoming message that the service would have
// pushed to this device: another user's message, in a room that is not muted, with
// notifications switched on, while the window is not active or shows another room. A room's
// notification is withdrawn once the room is on screen in the active window. A room's
// notification changes at most once an interval: in a flood each message would otherwise be a
// call to the notification server.
class MessageAlerts : public QObject
{
    Q_OBJECT
public:
    using Presenter = std::function<void(const MessageAlert &)>;
    using Withdrawer = std::function<void(const QUuid &conversationId)>;
    using WindowActive = std::function<bool()>;

    // The text shown instead of the message when previews are switched off.
    static QString genericBody() { return QStringLiteral("새 메시지"); }
    // Longer titles (a group's list of names) and bodies are cut short with "…".
    static constexpr int titleLimit = 64;
    static constexpr int bodyLimit = 200;
    // The first message of a quiet room shows at once; those that follow within this interval
    // wait, and the newest of them shows when it ends.
    static constexpr std::chrono::milliseconds updateInterval{1000};

    MessageAlerts(LocalStore *store, WindowActive windowActive, Presenter present,
                  Withdrawer withdraw = {}, QObject *parent = nullptr);

    // The notification for `message`, or none when it is not to be shown. `windowActive`: the
    // main window is visible and has the keyboard focus.
    static std::optional<MessageAlert> alertFor(const LocalStore &store, const ChatMessage &message,
                                                bool windowActive);

    // Considers one message that has just arrived.
    void consider(const ChatMessage &message);

    // Tests shorten the interval between two updates of a room's notification.
    void setUpdateInterval(std::chrono::milliseconds interval) { m_interval = interval; }

    // The room on screen is read there while the window is active: its notification goes. Runs
    // when the store's room on screen changes and when the application becomes active.
    void withdrawSeen();

signals:
    // A notification was handed to the presenter.
    void presented(const MessageAlert &alert);

private:
    // A room whose notification changed less than an interval ago.
    struct RoomPace
    {
        quint64 turn = 0; // tells the interval's own end from that of one forgotten since
        std::optional<ChatMessage> waiting; // the newest message that waits for the end
    };

    void present(const MessageAlert &alert);
    void startInterval(const QUuid &conversationId);
    void intervalEnded(const QUuid &conversationId, quint64 turn);

    LocalStore *m_store;
    WindowActive m_windowActive;
    Presenter m_present;
    Withdrawer m_withdraw;
    std::chrono::milliseconds m_interval = updateInterval;
    QHash<QUuid, RoomPace> m_paces;
    quint64 m_turns = 0;
};
