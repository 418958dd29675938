#include "platform/SystemWake.h"

#include <utility>

namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");

} // namespace

SystemWake::SystemWake(QDBusConnection bus, QObject *parent)
    : QObject(parent)
{
    // Only logind's own signal counts: the match names its service.
    if (bus.isConnected())
        m_watchesSleep
            = bus.connect(kLogin, QStringLiteral("/org/freedesktop/login1"),
                          QStringLiteral("org.freedesktop.login1.Manager"),
                          QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void SystemWake::watchNetwork()
{
    if (std::exchange(m_networkWatchStarted, true))
        return;
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        if (QNetworkInformation *info = QNetworkInformation::instance()) {
            m_watchesNetwork = true;
            m_reachability = info->reachability();
            connect(info, &QNetworkInformation::reachabilityChanged, this,
                    &SystemWake::reachabilityChanged);
        }
    }
}

void SystemWake::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit woke();
}

void SystemWake::reachabilityChanged(QNetworkInformation::Reachability reachability)
{
    using Reachability = QNetworkInformation::Reachability;
    const Reachability before = std::exchange(m_reachability, reachability);
    // Back online after having been cut off. A first answer after "unknown" (the backend
    // starting up) is no return of the network.
    if (reachability == Reachability::Online && before != Reachability::Online
        && before != Reachability::Unknown)
        emit woke();
}
