#include "platform/DesktopNotifier.h"

#include "platform/PushCenter.h"

#include "files/LogCategories.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString defaultAction = QStringLiteral("default");
// The program's icon as installed in the icon theme beside its desktop file.
const QString appIcon = QStringLiteral("zumo");

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent)
{ }

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    connectSignals();
}

DesktopNotifier::~DesktopNotifier()
{
    if (!m_bus.isConnected())
        return;
    m_bus.disconnect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                     SLOT(onActionInvoked(uint, QString)));
    m_bus.disconnect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                     SLOT(onNotificationClosed(uint, uint)));
}

void DesktopNotifier::connectSignals()
{
    if (!m_bus.isConnected())
        return;
    // Matched on the well-known name: the bus follows the server when it restarts, and other
    // programs on the bus cannot click our notifications for us.
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

void DesktopNotifier::queryCapabilities()
{
    if (m_capabilitiesKnown || m_capabilitiesAsked)
        return;
    m_capabilitiesAsked = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface,
                                                             QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_capabilitiesAsked = false;
        const QDBusPendingReply<QStringList> reply = *w;
        // No answer: ask again with the next notification, the server may have started since.
        if (reply.isError()) {
            qCDebug(lcNotify, "no notification server answered: %s",
                    qPrintable(reply.error().message()));
            return;
        }
        qCDebug(lcNotify, "notification server capabilities: %s",
                qPrintable(reply.value().join(QStringLiteral(", "))));
        m_capabilitiesKnown = true;
        m_bodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
    });
}

void DesktopNotifier::present(const QString &title, const QString &body,
                              const QUuid &conversationId, std::optional<QUuid> messageId,
                              bool withSound)
{
    if (!m_bus.isConnected())
        return;
    queryCapabilities();
    const Request request{title, body, messageId, withSound};
    RoomNotice &notice = m_rooms[conversationId];
    notice.withdrawn = false;
    if (notice.asking) {
        notice.next = request;
        return;
    }
    send(conversationId, request);
}

void DesktopNotifier::send(const QUuid &conversationId, const Request &request)
{
    RoomNotice &notice = m_rooms[conversationId];
    notice.asking = true;

    QVariantMap hints;
    if (request.withSound)
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    else
        hints.insert(QStringLiteral("suppress-sound"), true);
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zumo"));

    QDBusMessage call
        = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    // The default action is what a click on the notification's body invokes; servers do not
    // show its label.
    call << QStringLiteral("Zumo") << notice.id << appIcon << request.title
         << (m_bodyMarkup ? request.body.toHtmlEscaped() : request.body)
         << QStringList{defaultAction, QString()} << hints << int(-1);

    const Target target{conversationId, request.messageId};
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    ++m_pending;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, target](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                --m_pending;
                const QDBusPendingReply<uint> reply = *w;
                // No server, a timeout or a refusal: the notification is simply not shown.
                answered(target, reply.isError() ? std::nullopt : std::optional(reply.value()));
            });
}

void DesktopNotifier::answered(const Target &target, std::optional<uint> id)
{
    const QUuid &conversationId = target.conversationId;
    const auto it = m_rooms.find(conversationId);
    if (it == m_rooms.end())
        return;
    RoomNotice &notice = *it;
    notice.asking = false;
    if (id) {
        // A server that could not replace the old notification (it was closed meanwhile) makes
        // a new one under a new id.
        if (notice.id != 0 && notice.id != *id)
            m_shown.remove(notice.id);
        notice.id = *id;
        m_shown.insert(*id, target);
    }
    if (notice.withdrawn) {
        notice.next.reset();
        withdraw(conversationId);
        return;
    }
    if (notice.next) {
        const Request next = *std::exchange(notice.next, std::nullopt);
        send(conversationId, next);
        return;
    }
    if (notice.id == 0)
        m_rooms.erase(it);
}

void DesktopNotifier::withdraw(const QUuid &conversationId)
{
    const auto it = m_rooms.find(conversationId);
    if (it == m_rooms.end())
        return;
    if (it->asking) {
        // The answer brings the id to close.
        it->withdrawn = true;
        it->next.reset();
        return;
    }
    const uint id = it->id;
    m_rooms.erase(it);
    if (id != 0)
        close(id);
}

void DesktopNotifier::close(uint id)
{
    m_shown.remove(id);
    if (!m_bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    // Nothing waits for the answer: a notification the server has closed already is gone too.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}

void DesktopNotifier::onActionInvoked(uint id, const QString &actionKey)
{
    // The signal goes to every client of the server: only our own ids count.
    if (actionKey != defaultAction)
        return;
    const auto it = m_shown.constFind(id);
    if (it == m_shown.constEnd())
        return;
    const Target target = *it;
    PushCenter::handleTap(target.conversationId, target.messageId);
    emit activated();
}

void DesktopNotifier::onNotificationClosed(uint id, uint)
{
    const auto shown = m_shown.constFind(id);
    if (shown == m_shown.constEnd())
        return;
    // Closed by the user, by expiry or by us: the room's next notification is a new one.
    const auto room = m_rooms.find(shown->conversationId);
    if (room != m_rooms.end() && room->id == id) {
        room->id = 0;
        if (!room->asking)
            m_rooms.erase(room);
    }
    m_shown.remove(id);
}
