#include "app/ZumoApp.h"

#include "api/ChatClient.h"
#include "app/MainWindow.h"
#include "app/MessageAlerts.h"
#include "app/RootView.h"
#include "platform/DesktopNotifier.h"
#include "platform/SingleInstance.h"
#include "platform/SystemWake.h"
#include "platform/UnityLauncherBadge.h"
#include "store/LocalStore.h"
#include "ui/common/MessageSound.h"
#include "ui/common/RemoteImageCache.h"
#include "ui/common/StoreTask.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

// The resources of a static library are linked in only through this reference; it must be made
// outside any namespace.
static void initIconResource()
{
    Q_INIT_RESOURCE(zumo);
}

ZumoApp::ZumoApp(std::unique_ptr<ChatClient> client, std::unique_ptr<LauncherBadge> badge,
                 QObject *parent)
    : QObject(parent)
    , m_badge(badge ? std::move(badge) : std::make_unique<UnityLauncherBadge>())
{
    // The launcher badge and the desktop's notion of this program follow the desktop file.
    QGuiApplication::setDesktopFileName(QStringLiteral("zumo"));
    initIconResource();
    // Drawn from the SVG by Qt's SVG plugin (libqt6svg6); the installed copy in the icon theme
    // serves the desktop file and the notifications.
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zumo.svg")));
    QApplication::setQuitOnLastWindowClosed(false);
    loadQtTranslations();

    if (!client)
        client = std::make_unique<ChatClient>();
    // Building the store binds the client and fills PushCenter's hooks, then delivers a
    // notification tap that came in before.
    m_store = std::make_unique<LocalStore>(true, deliveryDelay, std::move(client), m_badge.get());
    // A view's store operation that fails in a way nobody expected tells the user as any
    // passing failure does.
    StoreTask::setFaultNotice([store = QPointer<LocalStore>(m_store.get())] {
        if (store)
            store->showNotice(kTemporaryErrorText);
    });

    m_notifier = new DesktopNotifier(this);
    connect(m_notifier, &DesktopNotifier::activated, this, &ZumoApp::showWindow);
    QPointer<DesktopNotifier> notifier = m_notifier;
    m_alerts = new MessageAlerts(
        m_store.get(), [this] { return windowIsActive(); },
        [notifier](const MessageAlert &alert) {
            if (notifier)
                notifier->present(alert.title, alert.body, alert.conversationId, alert.messageId,
                                  alert.withSound);
        },
        [notifier](const QUuid &conversationId) {
            if (notifier)
                notifier->withdraw(conversationId);
        },
        this);
    watchIncoming();

    // The store decides whether an incoming message may ring (settings, sender, room, the
    // half-second gap); in the focused window the sound is ours to play, elsewhere the
    // notification carries it.
    connect(m_store.get(), &LocalStore::incomingSound, this, [this] {
        if (windowIsActive())
            MessageSound::play();
    });

    // The pictures of the signed-in user's rooms stay on disk from one run to the next and go
    // with the session: at a sign-out, a lost session, and a start-up that ends signed out
    // (the stored session refused while the program was closed).
    const auto forgetPictures = [store = m_store.get()] {
        if (!store->session() && !store->startingUp())
            RemoteImageCache::shared()->clear();
    };
    connect(m_store.get(), &LocalStore::sessionChanged, this, forgetPictures);
    connect(m_store.get(), &LocalStore::startingUpChanged, this, forgetPictures);

    m_window = std::make_unique<MainWindow>(m_store.get());
    connect(m_window.get(), &MainWindow::firstShown, this, &ZumoApp::startBootstrap);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && m_window)
                    m_window->rootView()->applicationBecameActive();
            });
    // After a resume or a network that came back the socket is replaced at once rather than
    // when its keep-alive notices that it died. The network's state is followed from the
    // window's first paint on: loading it is start-up work the window need not wait for.
    m_wake = new SystemWake(QDBusConnection::systemBus(), this);
    connect(m_wake, &SystemWake::woke, this, [this] {
        if (ChatClient *client = m_store->client())
            client->wakeSocket();
    });
    connect(m_window.get(), &MainWindow::firstPainted, m_wake, &SystemWake::watchNetwork);
}

bool ZumoApp::loadQtTranslations()
{
    // The program is Korean whatever the system's language, so the catalogue is named, not
    // chosen by the locale. The translator lives as long as the application.
    static const bool loaded = [] {
        auto *translator = new QTranslator(qApp);
        if (!translator->load(QStringLiteral("qtbase_ko"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            delete translator;
            return false;
        }
        QCoreApplication::installTranslator(translator);
        return true;
    }();
    return loaded;
}

ZumoApp::~ZumoApp()
{
    // The views go before the store they read; the badge after the store that drives it.
    m_window.reset();
    delete m_alerts;
    m_alerts = nullptr;
    StoreTask::setFaultNotice({});
    m_store.reset();
}

void ZumoApp::startBootstrap()
{
    if (m_bootstrapStarted)
        return;
    m_bootstrapStarted = true;
    runBootstrap();
}

void ZumoApp::runBootstrap()
{
    StoreTask::whenDone(m_store->bootstrap(), this, [this] { m_bootstrapFinished = true; });
}

void ZumoApp::showWindow()
{
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void ZumoApp::openLink(const QString &link)
{
    if (!link.trimmed().isEmpty())
        m_window->rootView()->openLink(link);
    showWindow();
}

void ZumoApp::listen(SingleInstance *instance)
{
    connect(instance, &SingleInstance::messageReceived, this, &ZumoApp::openLink);
    instance->setReady();
}

bool ZumoApp::windowIsActive() const
{
    return m_window && m_window->isVisible() && !m_window->isMinimized()
        && m_window->isActiveWindow();
}

void ZumoApp::incoming(const ChatMessage &message)
{
    if (m_alerts)
        m_alerts->consider(message);
}

void ZumoApp::watchIncoming()
{
    // The store announces each message that a live event brought in from someone else; copies
    // that replace a local echo or repeat a known message are not announced.
    connect(m_store.get(), &LocalStore::messageArrived, this, &ZumoApp::incoming);
}
