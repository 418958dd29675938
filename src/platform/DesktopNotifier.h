#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

// Presents desktop notifications through org.freedesktop.Notifications and turns a click on
// one into a notification tap for PushCenter. Every call is asynchronous with a short
// timeout: with no bus or no notification server nothing is shown and nothing fails.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject *parent = nullptr);
    explicit DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);
    ~DesktopNotifier() override;

    // Shows one notification for a message. A click on it hands "conversation_id" (and
    // "message_id" when given) to PushCenter::handleTap and emits activated().
    void present(const QString &title, const QString &body, const QUuid &conversationId,
                 std::optional<QUuid> messageId, bool withSound);

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

    void connectSignals();
    void queryCapabilities();

    QDBusConnection m_bus;
    QHash<uint, Target> m_shown;
    int m_pending = 0;
    // Most servers render a subset of HTML in the body; until the server says otherwise the
    // body is escaped, so that "<" and "&" in a message show as typed.
    bool m_bodyMarkup = true;
    bool m_capabilitiesKnown = false;
    bool m_capabilitiesAsked = false;
};
