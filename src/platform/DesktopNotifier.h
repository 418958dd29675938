#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

// Presents desktop notifications through org.freedesktop.Notifications, one per room, and turns
// a click on one into a notification tap for PushCenter. Every call is asynchronous with a short
// timeout: with no bus or no notification server nothing is shown and nothing fails.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject *parent = nullptr);
    explicit DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);
    ~DesktopNotifier() override;

    // Shows the notification of a room's newest message. A room has one notification at most:
    // a new one replaces the one the room still has on screen. A click on it hands
    // "conversation_id" (and "message_id" when given) to PushCenter::handleTap and emits
    // activated().
    void present(const QString &title, const QString &body, const QUuid &conversationId,
                 std::optional<QUuid> messageId, bool withSound);

    // Takes the room's notification off the screen, also one still on its way to the server.
    void withdraw(const QUuid &conversationId);

    // Notify calls still waiting for the server's answer.
    int pendingCount() const { return m_pending; }
    // Notifications shown and not yet closed.
    int shownCount() const { return int(m_shown.size()); }

    static constexpr int callTimeoutMs = 3000;

signals:
    // A notification of ours was clicked: the shell raises its window.
    void activated();

private slots:
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Target
    {
        QUuid conversationId;
        std::optional<QUuid> messageId;
    };
    struct Request
    {
        QString title;
        QString body;
        std::optional<QUuid> messageId;
        bool withSound = true;
    };
    // One room's notification. While a Notify call for the room waits for its answer, a newer
    // notification waits here, so that it can replace the one the answer names; in a burst the
    // ones between are never sent.
    struct RoomNotice
    {
        uint id = 0; // the server's id of the notification on screen; 0: none
        bool asking = false;
        std::optional<Request> next;
        bool withdrawn = false; // withdraw() came while the call was under way
    };

    void connectSignals();
    void queryCapabilities();
    void send(const QUuid &conversationId, const Request &request);
    void answered(const Target &target, std::optional<uint> id);
    void close(uint id);

    QDBusConnection m_bus;
    QHash<uint, Target> m_shown;
    QHash<QUuid, RoomNotice> m_rooms;
    int m_pending = 0;
    // Most servers render a subset of HTML in the body; until the server says otherwise the
    // body is escaped, so that "<" and "&" in a message show as typed.
    bool m_bodyMarkup = true;
    bool m_capabilitiesKnown = false;
    bool m_capabilitiesAsked = false;
};
