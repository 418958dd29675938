#include "AppTestSupport.h"
#include "FileSizeLimit.h"

#include "app/RootView.h"

#include <QLabel>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kEmail = u"sora@example.com"_s;
const QString kPassword = u"abcd1234"_s;
const QString kSessionLine = u"세션을 저장하지 못했습니다. 저장 공간을 확인해 주세요."_s;
const QString kSettingsLine = u"설정을 저장하지 못했습니다. 저장 공간을 확인해 주세요."_s;

QCoro::Task<bool> refresh(ChatClient *client)
{
    try {
        co_await client->performRefresh();
        co_return true;
    } catch (...) {
        co_return false;
    }
}

// The one line naming the unsaved files on the screen shown (the root's, or the workspace's
// beside "연결 중…"); null when none shows, or two do.
QLabel *shownSaveLine(RootView &root)
{
    QList<QLabel *> shown;
    for (QLabel *line : root.findChildren<QLabel *>(u"saveFailureLine"_s)) {
        if (line->isVisibleTo(&root))
            shown.append(line);
    }
    if (shown.size() > 1)
        qWarning("%d lines name the unsaved files", int(shown.size()));
    return shown.size() == 1 ? shown.first() : nullptr;
}

} // namespace

// A session or settings file that cannot be saved is told by a lasting line on every screen
// until a save lands. CTest points the session bus nowhere, so the session goes to its file.
class TestSaveFailures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        privateFolders();
        if (!qgetenv("DBUS_SESSION_BUS_ADDRESS").startsWith("unix:path=/nonexistent"))
            QSKIP("run through CTest: the keychain must refuse the session");
    }
    void cleanup() { PushCenter::reset(); }

    // A full disk when the stored session is refreshed at start: the line comes during start-up,
    // stays with the workspace and goes once a save lands; the next start is then signed in.
    void fullDiskAtStartUp()
    {
        StandInService service;
        QVERIFY(service.listen());
        service.addUser(seed(kEmail, kPassword, u"sora"_s, u"한소라"_s));
        service.setAccessTokenLifetime(60); // within restore()'s refresh margin
        const ChatClientOptions options = isolatedOptions();
        {
            LocalStore first(true, 250ms, std::make_unique<ChatClient>(service.baseUrl(), options));
            QVERIFY(signIn(&first, kEmail, kPassword));
            QVERIFY(!first.saveFailures().any());
        }
        PushCenter::reset();
        service.setAccessTokenLifetime(3600);

        LocalStore store(true, 250ms, std::make_unique<ChatClient>(service.baseUrl(), options));
        RootView root(&store);
        root.resize(960, 680);
        root.show();
        std::optional<RootView::Screen> toldOn;
        bool lineShown = false;
        connect(&store.saveFailures(), &SaveFailures::changed, this, [&] {
            if (toldOn)
                return;
            toldOn = root.screen();
            const QLabel *line = shownSaveLine(root);
            lineShown = line && line->text() == kSessionLine;
        });
        std::optional<FileSizeLimit> full(std::in_place, 16);
        QVERIFY(full->active());
        store.bootstrap(); // runs on its own and catches everything
        QTRY_VERIFY(toldOn.has_value());
        QCOMPARE(*toldOn, RootView::Screen::startUp);
        QVERIFY(lineShown);
        // Pictures are taken now and written once the disk takes files again.
        const QPixmap startUpShot = root.grab();

        QTRY_COMPARE(root.screen(), RootView::Screen::workspace);
        QLabel *line = shownSaveLine(root);
        QVERIFY(line);
        QCOMPARE(line->text(), kSessionLine);
        QVERIFY(root.content()->isAncestorOf(line)); // the workspace's own, beside "연결 중…"
        QTest::qWait(300);
        QCOMPARE(shownSaveLine(root), line); // it stays
        const QPixmap workspaceShot = root.grab();

        full.reset();
        saveShot(startUpShot, u"start-up-not-saved"_s);
        saveShot(workspaceShot, u"workspace-not-saved"_s);
        QVERIFY(QCoro::waitFor(refresh(store.client())));
        QTRY_VERIFY(!shownSaveLine(root));
        QVERIFY(!store.saveFailures().any());
        QCOMPARE(store.notice(), std::nullopt);

        ChatClient again(service.baseUrl(), options);
        QCOMPARE(QCoro::waitFor(again.restore()), true);
        QCOMPARE(again.tokens()->refreshToken, store.client()->tokens()->refreshToken);
    }

    // Signed out, the settings that cannot be saved are told above the sign-in form.
    void settingsOnTheSignInScreen()
    {
        StandInService service;
        QVERIFY(service.listen());
        auto store = liveStore(service);
        RootView root(store.get());
        root.resize(960, 680);
        root.show();
        QCOMPARE(root.screen(), RootView::Screen::signIn);
        QVERIFY(!shownSaveLine(root));

        // A folder in the settings file's place: no write can land.
        const QString path = QSettings().fileName();
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path));
        store->setBlocks({QUuid::createUuid()});
        store->saveBlocks();
        QLabel *line = shownSaveLine(root);
        QVERIFY(line);
        QCOMPARE(line->text(), kSettingsLine);
        const QRect shown(line->mapTo(&root, QPoint(0, 0)), line->size());
        QVERIFY(shown.bottom() < root.content()->geometry().top());
        saveShot(&root, u"sign-in-not-saved"_s);

        QVERIFY(QDir().rmdir(path));
        store->saveBlocks();
        QVERIFY(!shownSaveLine(root));
    }
};

QTEST_MAIN(TestSaveFailures)
#include "tst_savefailures.moc"
