#pragma once

#include <QDBusConnection>
#include <QNetworkInformation>
#include <QObject>

// Tells when the machine has woken from sleep (logind's PrepareForSleep(false) on the given
// bus, normally the system bus) or, once watchNetwork() was called, the network has come back
// (Qt's reachability information turning online after it was not). Connections held across
// either may be dead without having said so. Where neither source is available, nothing is ever
// reported.
class SystemWake : public QObject
{
    Q_OBJECT
public:
    explicit SystemWake(QDBusConnection bus = QDBusConnection::systemBus(),
                        QObject *parent = nullptr);

    // Loads Qt's network-information backend and follows its reachability. The loading takes a
    // few milliseconds, so the program asks for it after its window has painted rather than
    // before. Once; later calls do nothing.
    void watchNetwork();

    bool watchesSleep() const { return m_watchesSleep; }
    // watchNetwork() was called; whether a backend answered is watchesNetwork().
    bool networkWatchStarted() const { return m_networkWatchStarted; }
    bool watchesNetwork() const { return m_watchesNetwork; }

signals:
    void woke();

public slots:
    // Fed by the system; callable on their own for the same effect.
    void prepareForSleep(bool sleeping);
    void reachabilityChanged(QNetworkInformation::Reachability reachability);

private:
    bool m_watchesSleep = false;
    bool m_networkWatchStarted = false;
    bool m_watchesNetwork = false;
    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
};
