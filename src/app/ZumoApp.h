#pragma once

#include "api/ChatClient.h"
#include "platform/LauncherBadge.h"

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class DesktopNotifier;
class LocalStore;
class MainWindow;
class MessageAlerts;
class SingleInstance;
class SystemWake;
struct ChatMessage;

// The application: one store for the life of the process (live, against the built-in service
// address), the one main window, desktop notifications for incoming messages, the launcher
// badge and the incoming sound. Closing the window does not quit; a notification click or a
// second launch brings the window back.
class ZumoApp : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds deliveryDelay{250};

    // `client`: the service client; none builds one with the built-in address. `badge`: the
    // launcher badge; none uses the desktop's (UnityLauncherBadge).
    explicit ZumoApp(std::unique_ptr<ChatClient> client = nullptr,
                     std::unique_ptr<LauncherBadge> badge = nullptr, QObject *parent = nullptr);
    ~ZumoApp() override;

    LocalStore *store() const { return m_store.get(); }
    MainWindow *window() const { return m_window.get(); }
    DesktopNotifier *notifier() const { return m_notifier; }
    MessageAlerts *alerts() const { return m_alerts; }
    SystemWake *systemWake() const { return m_wake; }

    // Shows the window (again), raised and activated.
    void showWindow();
    // A link handed to the program (first argument, or from a later launch): an invite link
    // goes to the root view; in any case the window comes forward.
    void openLink(const QString &link);
    // Takes links from later launches from now on, including those that arrived early.
    void listen(SingleInstance *instance);

    // The window is on screen and has the focus.
    bool windowIsActive() const;

    // Qt's own texts (file dialogs, the text fields' context menus) in Korean: loads qtbase's
    // Korean catalogue from Qt's translations folder, once per process. False when the catalogue
    // is not installed (the texts then stay English).
    static bool loadQtTranslations();

    // Whether start-up (the store's bootstrap) has begun. It runs once, when the window is
    // first shown; the application object is made once per process.
    bool bootstrapStarted() const { return m_bootstrapStarted; }
    bool bootstrapFinished() const { return m_bootstrapFinished; }

private:
    void startBootstrap();
    void runBootstrap();
    void watchIncoming();
    void incoming(const ChatMessage &message);

    std::unique_ptr<LauncherBadge> m_badge;
    std::unique_ptr<LocalStore> m_store;
    DesktopNotifier *m_notifier;
    MessageAlerts *m_alerts;
    std::unique_ptr<MainWindow> m_window;
    SystemWake *m_wake = nullptr;
    bool m_bootstrapStarted = false;
    bool m_bootstrapFinished = false;
};
