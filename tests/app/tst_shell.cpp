#include "AppTestSupport.h"

#include "api/ChatAPI.h"
#include "app/MainWindow.h"
#include "app/MessageAlerts.h"
#include "app/RootView.h"
#include "app/ZumoApp.h"
#include "platform/DesktopNotifier.h"
#include "platform/SingleInstance.h"
#include "platform/SystemWake.h"
#include "ui/common/RemoteImageCache.h"
#include "ui/workspace/Workspace.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkDiskCache>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

QString inviteLink(const QString &code)
{
    return QStringLiteral("https://") + ChatAPI::serviceHost() + QStringLiteral("/i/") + code;
}

bool postedTo(const StandInService &service, const QString &method, const QString &path)
{
    const auto requests = service.requests();
    return std::any_of(requests.begin(), requests.end(), [&](const RecordedRequest &r) {
        return r.method == method.toUtf8() && r.target.startsWith(path);
    });
}

} // namespace

// The application object: its window, notification taps, links from later launches and the
// desktop notifications for incoming messages.
class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        privateFolders();
        QStandardPaths::setTestModeEnabled(true);
    }
    void cleanup() { PushCenter::reset(); }

    void windowAndStartUp()
    {
        StandInService service;
        QVERIFY(service.listen());
        ZumoApp app(clientFor(service), std::make_unique<NoBadge>());
        MainWindow *window = app.window();
        QCOMPARE(window->windowTitle(), QStringLiteral("Zumo Beta"));
        QCOMPARE(window->size(), QSize(960, 680));
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("zumo"));
        // The icon is built in (a static library's resource is easily lost at link time) and is
        // every window's; drawing it takes Qt's SVG plugin.
        QVERIFY(QFile::exists(QStringLiteral(":/icons/zumo.svg")));
        if (QImageReader::supportedImageFormats().contains("svg"))
            QVERIFY(!window->windowIcon().pixmap(32).isNull());
        auto *quit = window->findChild<QAction *>(QStringLiteral("quit"));
        QVERIFY(quit);
        QCOMPARE(quit->text(), QStringLiteral("종료"));
        QCOMPARE(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

        QVERIFY(!app.bootstrapStarted());
        // The network's state is followed from the window's first paint on, not before.
        QSignalSpy painted(window, &MainWindow::firstPainted);
        app.showWindow();
        QVERIFY(!app.systemWake()->networkWatchStarted());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(app.bootstrapStarted());
        QTRY_COMPARE(painted.size(), 1);
        QVERIFY(app.systemWake()->networkWatchStarted());
        QTRY_VERIFY(app.bootstrapFinished());
        // Nothing is stored yet: start-up ends signed out without asking the service.
        QCOMPARE(window->rootView()->screen(), RootView::Screen::signIn);
        QVERIFY(service.requests().isEmpty());

        // Never smaller than what the screen needs.
        const QSize needed = window->rootView()->content()->minimumSizeHint();
        window->resize(100, 100);
        QVERIFY(window->width() >= needed.width());
        QVERIFY(window->height() >= needed.height());
        saveShot(window, QStringLiteral("10-window"));

        // Closing only hides; a notification click brings the window back.
        window->close();
        QVERIFY(!window->isVisible());
        emit app.notifier()->activated();
        QVERIFY(window->isVisible());
        QTest::qWait(50);
        QCOMPARE(painted.size(), 1);
    }

    // Qt's own texts follow the program's language once the application is set up.
    void qtTextsAreKorean()
    {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(folder + QStringLiteral("/qtbase_ko.qm")))
            QSKIP("Qt's Korean catalogue is not installed (qt6-translations-l10n)");
        StandInService service;
        QVERIFY(service.listen());
        ZumoApp app(clientFor(service), std::make_unique<NoBadge>());
        QVERIFY(ZumoApp::loadQtTranslations());
        const auto korean = [](const QString &text) {
            return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
                return c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3;
            });
        };
        QLineEdit field;
        std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        QStringList texts;
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text();
        }
        QVERIFY(!texts.isEmpty());
        QVERIFY2(std::all_of(texts.cbegin(), texts.cend(), korean), qPrintable(texts.join(u'|')));
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto *lookIn = dialog.findChild<QLabel *>(QStringLiteral("lookInLabel"));
        QVERIFY(lookIn);
        QVERIFY2(korean(lookIn->text()), qPrintable(lookIn->text()));
    }

    void startUpRestoresTheStoredSession()
    {
        StandInService service;
        QVERIFY(service.listen());
        service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                             QStringLiteral("sora"), QStringLiteral("한소라")));
        const ChatClientOptions options = isolatedOptions();
        {
            LocalStore first(true, 250ms, std::make_unique<ChatClient>(service.baseUrl(), options));
            QVERIFY(signIn(&first, QStringLiteral("sora@example.com"), QStringLiteral("abcd1234")));
        }
        PushCenter::reset();
        ZumoApp app(std::make_unique<ChatClient>(service.baseUrl(), options),
                    std::make_unique<NoBadge>());
        app.showWindow();
        QTRY_COMPARE(app.window()->rootView()->screen(), RootView::Screen::workspace);
        QTRY_VERIFY(app.bootstrapFinished());
    }

    // The pictures of a user's rooms kept on disk go when the session ends.
    void signOutForgetsThePictures()
    {
        StandInService service;
        QVERIFY(service.listen());
        service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                             QStringLiteral("sora"), QStringLiteral("한소라")));
        ZumoApp app(clientFor(service), std::make_unique<NoBadge>());
        QVERIFY(
            signIn(app.store(), QStringLiteral("sora@example.com"), QStringLiteral("abcd1234")));
        // A picture as the shared loader keeps it, in its folder.
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
            + QStringLiteral("/pictures");
        const QUrl photo(QStringLiteral("https://files.example/photo.jpg"));
        RemoteImageCache::shared(); // made, with its folder
        {
            QNetworkDiskCache disk;
            disk.setCacheDirectory(folder);
            QNetworkCacheMetaData meta;
            meta.setUrl(photo);
            meta.setSaveToDisk(true);
            QIODevice *device = disk.prepare(meta);
            QVERIFY(device);
            device->write("picture");
            disk.insert(device);
        }
        const auto kept = [&] {
            QNetworkDiskCache disk;
            disk.setCacheDirectory(folder);
            return std::unique_ptr<QIODevice>(disk.data(photo)) != nullptr;
        };
        QVERIFY(kept());
        app.store()->logout();
        QTRY_COMPARE(app.window()->rootView()->screen(), RootView::Screen::signIn);
        QVERIFY(!kept());
    }

    // The application becoming active again sends a socket that waits out a long pause back to
    // the service at once.
    void activationRetriesTheSocket()
    {
        StandInService service;
        QVERIFY(service.listen());
        service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                             QStringLiteral("sora"), QStringLiteral("한소라")));
        ChatClientOptions options = isolatedOptions();
        options.reconnectBackoff = 10min;
        ZumoApp app(std::make_unique<ChatClient>(service.baseUrl(), options),
                    std::make_unique<NoBadge>());
        QVERIFY(
            signIn(app.store(), QStringLiteral("sora@example.com"), QStringLiteral("abcd1234")));
        ChatClient *client = app.store()->client();
        QTRY_VERIFY(client->socketReady());

        service.setCloseAfterAuth(true);
        service.dropAllSockets();
        QTRY_COMPARE(client->reconnects(), ChatClient::kQuickReconnects + 1);
        QVERIFY(client->reconnectPending());
        service.setCloseAfterAuth(false);
        // The reload that activation starts fails: the socket goes back on its own account.
        service.failNext(QString(), QStringLiteral("/v1/"), 10, 503, QStringLiteral("away"),
                         QStringLiteral("잠시 후에"));
        emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        QTRY_VERIFY(client->socketReady());
    }

    void notificationTapsReachTheStore()
    {
        StandInService service;
        QVERIFY(service.listen());
        const QUuid sora
            = service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                   QStringLiteral("sora"), QStringLiteral("한소라")));
        const QUuid taeo
            = service.addUser(seed(QStringLiteral("taeo@example.com"), QStringLiteral("abcd1234"),
                                   QStringLiteral("taeo"), QStringLiteral("정태오")));
        service.makeFriends(sora, taeo);
        const QUuid room = service.addDirectRoom(sora, taeo);

        // A tap before the application exists waits in the slot and is handed over when the
        // store fills the hooks; nobody is signed in then, so it opens nothing.
        PushCenter::handleTap(room, std::nullopt);
        QVERIFY(PushCenter::hasWaitingTap());
        ZumoApp app(clientFor(service), std::make_unique<NoBadge>());
        QVERIFY(!PushCenter::hasWaitingTap());
        QTest::qWait(50);
        QVERIFY(!app.store()->pushTarget());

        QVERIFY(
            signIn(app.store(), QStringLiteral("taeo@example.com"), QStringLiteral("abcd1234")));
        const QUuid message = QUuid::createUuid();
        PushCenter::handleTap(QVariantMap{
            {QStringLiteral("conversation_id"), room.toString(QUuid::WithoutBraces)},
            {QStringLiteral("message_id"), message.toString(QUuid::WithoutBraces).toUpper()}});
        QTRY_VERIFY(app.store()->pushTarget().has_value());
        QCOMPARE(app.store()->pushTarget()->conversationId, room);
        QCOMPARE(app.store()->pushTarget()->messageId, std::optional<QUuid>(message));

        // A second tap on the same room is a new request.
        const PushOpen firstTarget = *app.store()->pushTarget();
        PushCenter::handleTap(room, std::nullopt);
        QTRY_VERIFY(app.store()->pushTarget() != std::optional<PushOpen>(firstTarget));
        QCOMPARE(app.store()->pushTarget()->conversationId, room);
    }

    void aSecondLaunchHandsOverItsInviteLink()
    {
        StandInService service;
        QVERIFY(service.listen());
        const QUuid sora
            = service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                   QStringLiteral("sora"), QStringLiteral("한소라")));
        service.addUser(seed(QStringLiteral("taeo@example.com"), QStringLiteral("abcd1234"),
                             QStringLiteral("taeo"), QStringLiteral("정태오")));
        const QString code = service.inviteCode(sora);
        QVERIFY(!code.isEmpty());

        ZumoApp app(clientFor(service), std::make_unique<NoBadge>());
        const QString name
            = QStringLiteral("zumo-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        SingleInstance first;
        QVERIFY(first.tryBecomePrimary(name));
        app.listen(&first);

        SingleInstance second;
        QVERIFY(!second.tryBecomePrimary(name, inviteLink(code)));
        QTRY_COMPARE(app.store()->pendingInviteCode(), std::optional<QString>(code));
        QVERIFY(app.window()->isVisible());

        // The code waits for a signed-in, complete profile, then goes to the service.
        QVERIFY(!postedTo(service, QStringLiteral("POST"), QStringLiteral("/v1/invites/")));
        QVERIFY(
            signIn(app.store(), QStringLiteral("taeo@example.com"), QStringLiteral("abcd1234")));
        QTRY_VERIFY(
            postedTo(service, QStringLiteral("POST"), QStringLiteral("/v1/invites/") + code));
        QVERIFY(!app.store()->pendingInviteCode());
        // The answer's notice becomes the workspace's banner.
        auto *workspace = qobject_cast<Workspace *>(app.window()->rootView()->content());
        QVERIFY(workspace);
        QTRY_COMPARE(workspace->navigation().banner(),
                     std::optional<QString>(QStringLiteral("친구 요청을 보냈습니다.")));
        QVERIFY(!app.store()->notice());

        // A launch without a link only brings the window forward.
        app.window()->hide();
        SingleInstance third;
        QVERIFY(!third.tryBecomePrimary(name));
        QTRY_VERIFY(app.window()->isVisible());
        QVERIFY(!app.store()->pendingInviteCode());
        QTRY_VERIFY(app.bootstrapFinished());
    }

    void incomingMessagesBecomeNotifications()
    {
        StandInService service;
        QVERIFY(service.listen());
        const QUuid sora
            = service.addUser(seed(QStringLiteral("sora@example.com"), QStringLiteral("abcd1234"),
                                   QStringLiteral("sora"), QStringLiteral("한소라")));
        const QUuid taeo
            = service.addUser(seed(QStringLiteral("taeo@example.com"), QStringLiteral("abcd1234"),
                                   QStringLiteral("taeo"), QStringLiteral("정태오")));
        service.makeFriends(sora, taeo);
        const QUuid room = service.addDirectRoom(sora, taeo);

        ZumoApp app(clientFor(service), std::make_unique<NoBadge>());
        QSignalSpy presented(app.alerts(), &MessageAlerts::presented);
        QVERIFY(
            signIn(app.store(), QStringLiteral("taeo@example.com"), QStringLiteral("abcd1234")));
        QTRY_COMPARE(service.authenticatedSocketCount(), 1);

        const QJsonObject wire = service.addMessage(room, sora, QStringLiteral("오늘 저녁 어때?"));
        QTRY_COMPARE(presented.size(), 1);
        const auto alert = presented.first().first().value<MessageAlert>();
        QCOMPARE(alert.title, QStringLiteral("한소라"));
        QCOMPARE(alert.body, QStringLiteral("오늘 저녁 어때?"));
        QCOMPARE(alert.conversationId, room);
        QVERIFY(alert.withSound); // the window is not active

        // The same message delivered again is not a new arrival.
        service.pushFrame(taeo,
                          QJsonObject{{QStringLiteral("type"), QStringLiteral("message.created")},
                                      {QStringLiteral("message"), wire}});
        // My own message, echoed back by the service, is not announced either.
        app.store()->sendText(room, QStringLiteral("좋아요"));
        QTRY_VERIFY(std::any_of(service.requests().cbegin(), service.requests().cend(),
                                [](const RecordedRequest &r) {
                                    return r.method == "POST" && r.target.endsWith("/messages");
                                }));
        // A later message from the peer shows that the ones before were all handled.
        service.addMessage(room, sora, QStringLiteral("그럼 7시에"));
        QTRY_COMPARE(presented.size(), 2);
        QCOMPARE(presented.at(1).first().value<MessageAlert>().body, QStringLiteral("그럼 7시에"));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
