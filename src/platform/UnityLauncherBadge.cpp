#include "platform/UnityLauncherBadge.h"

#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>

UnityLauncherBadge::UnityLauncherBadge(const QString &desktopFile, const QDBusConnection &bus)
    : m_bus(bus)
    , m_appUri(QStringLiteral("application://") + desktopFile)
{ }

void UnityLauncherBadge::setCount(qint64 total)
{
    const qint64 count = std::max<qint64>(total, 0);
    m_count = count;
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    QVariantMap properties;
    // The launcher reads "count" as a 64-bit integer: a plain int would be marshalled as 'i'.
    properties.insert(QStringLiteral("count"), QVariant::fromValue<qint64>(count));
    properties.insert(QStringLiteral("count-visible"), count > 0);
    signal << m_appUri << properties;
    // Sent without waiting; with no bus there is no launcher to tell.
    if (m_bus.isConnected())
        m_bus.send(signal);
}
