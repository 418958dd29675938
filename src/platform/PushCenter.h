#pragma once

#include <QString>
#include <QUuid>
#include <QVariantMap>

#include <functional>
#include <optional>

// The process-wide hand-over point between the desktop's notifications and whoever owns the
// application state. It holds no reference to that owner: the owner fills the four hooks with
// closures of its own and then calls flush(), which delivers a tap that came in before the
// hooks existed. Everything here runs on the main thread.
class PushCenter
{
public:
    PushCenter() = delete;

    // Called with the device token (lower-case hex) whenever the system hands one out. The
    // Linux desktop has no remote-notification service, so no token is ever handed out.
    static inline std::function<void(QString)> onToken;
    // Called for a tapped notification; while it is empty the latest tap waits in one slot.
    static inline std::function<void(QUuid, std::optional<QUuid>)> onOpen;
    // Filled by the owner for the shell's use; PushCenter itself never calls it.
    static inline std::function<bool(QUuid)> isRoomOpen;
    // Asked before a notification is presented while the window is not active; empty = true.
    static inline std::function<bool()> allowsSound;

    // When onOpen is set and a tap is waiting, empties the slot and calls onOpen with it.
    static void flush();

    // Asks for permission to notify and registers for remote notifications. Returns at once.
    static void registerForNotifications();

    // A tapped notification's user info: "conversation_id" and optionally "message_id", as
    // UUID texts. A tap without a valid "conversation_id" is ignored; a "message_id" that is
    // not a UUID is treated as absent, so the room still opens.
    static void handleTap(const QVariantMap &userInfo);
    static void handleTap(const QUuid &conversationId, std::optional<QUuid> messageId);

    // allowsSound's answer, with an empty hook counting as true.
    static bool soundAllowed();

    static bool hasWaitingTap();
    // Empties the hooks and the waiting slot (tests share one process-wide state).
    static void reset();

private:
    struct Tap
    {
        QUuid conversationId;
        std::optional<QUuid> messageId;
    };
    static inline std::optional<Tap> s_waiting;
};
