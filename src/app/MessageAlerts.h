#pragma once

#include "model/ChatMessage.h"

#include <QObject>
#include <QString>
#include <QUuid>

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
// notification is withdrawn once the room is on screen in the active window.
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

    MessageAlerts(LocalStore *store, WindowActive windowActive, Presenter present,
                  Withdrawer withdraw = {}, QObject *parent = nullptr);

    // The notification for `message`, or none when it is not to be shown. `windowActive`: the
    // main window is visible and has the keyboard focus.
    static std::optional<MessageAlert> alertFor(const LocalStore &store, const ChatMessage &message,
                                                bool windowActive);

    // Considers one message that has just arrived.
    void consider(const ChatMessage &message);

    // The room on screen is read there while the window is active: its notification goes. Runs
    // when the store's room on screen changes and when the application becomes active.
    void withdrawSeen();

signals:
    // A notification was handed to the presenter.
    void presented(const MessageAlert &alert);

private:
    LocalStore *m_store;
    WindowActive m_windowActive;
    Presenter m_present;
    Withdrawer m_withdraw;
};
