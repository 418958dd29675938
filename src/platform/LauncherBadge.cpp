#include "platform/LauncherBadge.h"

#include <QDBusMessage>
#include <QVariantMap>

LauncherBadge::LauncherBadge(const QString &desktopFile, const QDBusConnection &bus)
    : m_bus(bus)
    , m_appUri(QStringLiteral("application://") + desktopFile)
{ }

qint64 LauncherBadge::countFor(const QString &label)
{
    QString digits = label.trimmed();
    if (digits.endsWith(u'+'))
        digits.chop(1);
    bool ok = false;
    const qint64 n = digits.toLongLong(&ok);
    if (!ok || n <= 0)
        return 0;
    // "99+" means more than 99.
    return label.trimmed().endsWith(u'+') ? n + 1 : n;
}

void LauncherBadge::setLabel(const QString &label)
{
    m_label = label;
    const qint64 count = countFor(label);
    QDBusMessage signal = QDBusMessage::createSignal(
        objectPath(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    QVariantMap properties;
    // The dock reads "count" as a 64-bit integer: a plain int would be marshalled as 'i'.
    properties.insert(QStringLiteral("count"), QVariant::fromValue<qint64>(count));
    properties.insert(QStringLiteral("count-visible"), count > 0);
    signal << m_appUri << properties;
    // Sent without waiting; with no bus there is no dock to tell.
    if (m_bus.isConnected())
        m_bus.send(signal);
}
