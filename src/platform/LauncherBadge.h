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

    void setLabel(const QString &label) override;
    QString label() const { return m_label; }

    // The count a label stands for: "" -> 0, "7" -> 7, "99+" -> 100; a label that is not a
    // positive number (with an optional trailing "+") -> 0, which hides the badge.
    static qint64 countFor(const QString &label);

    static QString objectPath() { return QStringLiteral("/com/zumo/chat/launcher"); }

private:
    QDBusConnection m_bus;
    QString m_appUri;
    QString m_label;
};
