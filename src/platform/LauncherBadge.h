#pragma once

#include "platform/DockBadge.h"

#include <QDBusConnection>
#include <QString>

// The launcher badge of Linux docks and panels: the com.canonical.Unity.LauncherEntry signal
// "Update", addressed to the installed .desktop file (which must match the application's
// desktop file name). Docks only listen for it, so nothing needs to answer; without a bus the
// badge is simply not shown.
class LauncherBadge final : public DockBadge
{
public:
    explicit LauncherBadge(const QString &desktopFile = QStringLiteral("zumo.desktop"),
                           const QDBusConnection &bus = QDBusConnection::sessionBus());

    // A total below 1 hides the badge.
    void setCount(qint64 total) override;
    qint64 count() const { return m_count; }

    static QString objectPath() { return QStringLiteral("/com/zumo/chat/launcher"); }

private:
    QDBusConnection m_bus;
    QString m_appUri;
    qint64 m_count = 0;
};
