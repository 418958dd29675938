#pragma once

#include "platform/LauncherBadge.h"

#include <QDBusConnection>
#include <QString>

// The launcher badge of Linux desktops (their launchers, task bars and panels): the
// com.canonical.Unity.LauncherEntry signal "Update", addressed to the installed .desktop file
// (which must match the application's desktop file name). Launchers only listen for it, so nothing
// needs to answer; without a bus the badge is simply not shown.
class UnityLauncherBadge final : public LauncherBadge
{
public:
    explicit UnityLauncherBadge(const QString &desktopFile = QStringLiteral("zumo.desktop"),
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
