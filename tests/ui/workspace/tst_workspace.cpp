#include "WorkspaceTestSupport.h"

#include "ui/common/UiMetrics.h"
#include "ui/workspace/FriendList.h"
#include "ui/workspace/RoomView.h"
#include "ui/workspace/Sidebar.h"
#include "ui/workspace/Workspace.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QTest>

using namespace Qt::StringLiterals;

// The workspace: navigation by the requests of the sidebar, the pages and the sheets, the
// store's requests, the notice banner, the sheets and the leave alert.
class TestWorkspace : public QObject
{
    Q_OBJECT

    using Rig = WorkspaceRig;

private slots:
    void initTestCase() { privateFolders(); }

    // Every row starts on the friend list with the information panel flag up, so that a
    // callback that must leave them alone shows it.
    void callbacksMoveTheNavigation_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("action");
        QTest::addColumn<Section>("section");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("roomInfo");
        const Section friends = Section::friends, chats = Section::chats;
        QTest::newRow("room: a profile") << 1 << "profile" << friends << 2 << false;
        QTest::newRow("room: left") << 1 << "leave" << friends << 0 << false;
        QTest::newRow("profile: its room") << 2 << "room" << chats << 1 << false;
        QTest::newRow("settings: 닫기") << 4 << "close" << friends << 0 << true;
        QTest::newRow("password: 닫기") << 5 << "close" << friends << 4 << true;
        QTest::newRow("new chat: its room") << 8 << "newChat" << chats << 1 << false;
        QTest::newRow("notification click") << 3 << "push" << chats << 1 << false;
        QTest::newRow("accepted invite") << 6 << "invite" << chats << 1 << false;
        QTest::newRow("room: information's 닫기") << 1 << "close" << friends << 1 << false;
        QTest::newRow("sidebar: settings") << 1 << "settings" << friends << 4 << false;
        QTest::newRow("sidebar: chats picked") << 0 << "chats" << chats << 0 << true;
        QTest::newRow("friends: own row") << 0 << "me" << friends << 3 << true;
        QTest::newRow("friends: invite link") << 0 << "inviteLink" << friends << 8 << true;
    }
    void callbacksMoveTheNavigation()
    {
        QFETCH(int, start);
        QFETCH(QString, action);
        Rig rig;
        const QUuid room = rig.seeded.group;
        rig.nav.setPage({Page::Kind(start), room});
        rig.nav.setSection(Section::friends);
        rig.nav.setRoomInfo(true);
        rig.nav.setShowNewChat(action == "newChat");
        Sidebar *sidebar = rig.workspace.findChild<Sidebar *>();
        const QHash<QString, std::function<void()>> actions{
            {"settings", [&] { sidebar->settingsButton()->click(); }},
            {"chats", [&] { sidebar->sectionPicker()->segment(Section::chats)->click(); }},
            {"me", [&] { sidebar->friendList()->ownRow()->click(); }},
            {"inviteLink", [&] { sidebar->friendList()->inviteButton()->click(); }},
            {"profile", [&] { rig.workspace.openProfile(SeedID::taeo()); }},
            {"leave", [&] { rig.workspace.leaveRoom(); }},
            {"room", [&] { rig.nav.openRoom(room); }},
            {"close", [&] { buttonWithText(rig.workspace.detail(), "닫기")->click(); }},
            {"newChat", [&] { rig.workspace.openFromNewChat(room); }},
            {"push",
             [&] {
                 rig.store.setPushTarget(PushOpen{QUuid::createUuid(), room, {}});
             }},
            {"invite",
             [&] {
                 rig.store.setInviteFollow(InviteFollow{QUuid::createUuid(), room});
             }},
        };
        actions.value(action)();
        QTEST(rig.nav.section(), "section");
        QTEST(int(rig.nav.page().kind), "page");
        QTEST(rig.nav.roomInfo(), "roomInfo");
        QVERIFY(!rig.nav.showNewChat());
        QVERIFY(!rig.store.inviteFollow());
        if (auto *pane = qobject_cast<RoomView *>(rig.workspace.detail()))
            QCOMPARE(pane->conversationId(), room);
        QCOMPARE(bool(qobject_cast<RoomView *>(rig.workspace.detail())),
                 rig.nav.page().kind == Page::room);
    }

    // A page lives while its value does: a room keeps its pane while the same room is asked
    // for again, another room or page discards it.
    void pagesLiveWithTheirValue()
    {
        Rig rig;
        rig.nav.openRoom(rig.seeded.direct);
        rig.nav.setRoomInfo(true);
        QPointer<QWidget> pane = rig.workspace.detail();
        rig.store.setPushTarget(PushOpen{QUuid::createUuid(), rig.seeded.direct, std::nullopt});
        QCOMPARE(rig.workspace.detail(), pane.data());
        QVERIFY(!rig.nav.roomInfo());
        QTRY_VERIFY(!rig.store.pushTarget()); // the room's transcript clears it

        rig.nav.openRoom(rig.seeded.group);
        QTRY_VERIFY(pane.isNull());
        rig.nav.setPage({Page::pick, {}});
        QCOMPARE(qobject_cast<QLabel *>(rig.workspace.detail())->text(),
                 QStringLiteral("대화를 선택하세요."));
        const int sidebar = rig.workspace.findChild<QSplitter *>()->sizes().first();
        QVERIFY(sidebar >= 240 && sidebar <= 320);
    }

    // Each showing follows the store's requests again, while they are still set.
    void showingFollowsTheRequests()
    {
        SeededStore seeded;
        seeded.store->setPushTarget(PushOpen{QUuid::createUuid(), seeded.group, std::nullopt});
        seeded.store->setPendingInviteCode(QStringLiteral("ABCDEF0123456789ABCDEF0123456789"));
        Workspace workspace(*seeded.store);
        QCOMPARE(workspace.navigation().page().kind, Page::pick);
        workspace.show();
        QVERIFY(workspace.navigation().page().isRoom(seeded.group));
        QVERIFY(!seeded.store->pendingInviteCode()); // redeemed

        workspace.navigation().setPage({Page::settings, {}});
        workspace.hide();
        seeded.store->setInviteFollow(InviteFollow{QUuid::createUuid(), seeded.direct});
        QVERIFY(workspace.navigation().page().isRoom(seeded.direct));
        // A request that no room on screen has taken yet is followed again on the next showing.
        seeded.store->setPushTarget(PushOpen{QUuid::createUuid(), seeded.group, std::nullopt});
        workspace.navigation().setPage({Page::settings, {}});
        workspace.show();
        QVERIFY(workspace.navigation().page().isRoom(seeded.group));
    }

    // The open room going from the store's rooms sends the column back to the placeholder; a
    // room only hidden from the list stays open.
    void aVanishedRoomLeavesThePage()
    {
        Rig rig;
        rig.nav.openRoom(rig.seeded.direct);
        rig.store.hideFromList(rig.seeded.direct);
        QTest::qWait(0);
        QVERIFY(rig.nav.page().isRoom(rig.seeded.direct));
        rig.store.editConversations([&](QList<Conversation> &rooms) {
            rooms.removeIf([&](const Conversation &c) { return c.id == rig.seeded.direct; });
        });
        QTRY_COMPARE(rig.nav.page().kind, Page::pick);
    }

    void noticesBecomeTheBanner_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("signed in") << true;
        QTest::newRow("signed out: the notice stays in the store") << false;
    }
    void noticesBecomeTheBanner()
    {
        QFETCH(bool, signedIn);
        Rig rig;
        if (!signedIn)
            rig.store.setSession(std::nullopt);
        rig.store.showNotice(QStringLiteral("일시적인 오류입니다."));
        // A page that waited for the operation may still read it as its own failure text.
        QCOMPARE(rig.store.notice(),
                 std::optional<QString>(QStringLiteral("일시적인 오류입니다.")));
        QTest::qWait(20);
        QCOMPARE(rig.store.notice().has_value(), !signedIn);
        QCOMPARE(rig.nav.banner().has_value(), signedIn);
        if (!signedIn)
            return;
        auto *banner = rig.workspace.findChild<BannerView *>();
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->text(), QStringLiteral("일시적인 오류입니다."));
        QCOMPARE(banner->geometry().bottom() + 1, rig.workspace.height() - 24);
        QVERIFY(qAbs(banner->geometry().center().x() - rig.workspace.rect().center().x()) <= 1);
    }

    // A notice told before the workspace came (signing in at start-up) shows once it is there.
    void noticeBeforeTheWorkspaceIsShown()
    {
        SeededStore seeded;
        seeded.store->showNotice(u"일시적인 오류입니다."_s);
        QTest::qWait(20);
        Workspace workspace(*seeded.store);
        workspace.resize(960, 680);
        workspace.show();
        QTRY_COMPARE(workspace.navigation().banner(), std::optional(u"일시적인 오류입니다."_s));
        QCOMPARE(seeded.store->notice(), std::nullopt);
    }

    // The capsule holds its whole text: on one line while the window has the room, on more
    // lines when it has not, never cut.
    void theBannerShowsTheWholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        for (const char *text : {"일시적인 오류입니다.", "친구 요청을 보냈습니다.",
                                 "신고를 접수했습니다.", "네트워크 연결을 확인해 주세요."})
            QTest::newRow(text) << QString::fromUtf8(text) << 960;
        QTest::newRow("longer than the window")
            << QStringLiteral("사진을 보낼 수 없습니다. ").repeated(6) << 640;
    }
    void theBannerShowsTheWholeText()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        Rig rig;
        rig.workspace.resize(width, 680);
        rig.nav.setBanner(text);
        auto *banner = rig.workspace.findChild<BannerView *>();
        QVERIFY(rig.workspace.rect().contains(banner->geometry()));
        const QRect area = banner->rect().adjusted(16, 10, -16, -10);
        const QRect needed
            = banner->fontMetrics().boundingRect(area, Qt::AlignCenter | Qt::TextWordWrap, text);
        QVERIFY(area.contains(needed));
        QCOMPARE(banner->geometry().bottom() + 1, rig.workspace.height() - 24);
        if (width < 960)
            saveShot(&rig.workspace, QStringLiteral("workspace-long-banner"));
    }

    // Each text gets its own wait, which clears the banner only while that text is still up.
    void theBannerClearsItself()
    {
        Rig rig;
        using namespace std::chrono_literals;
        rig.workspace.setBannerDuration(50ms);
        rig.nav.setBanner(QStringLiteral("첫째"));
        rig.workspace.setBannerDuration(1h);
        rig.nav.setBanner(QStringLiteral("둘째"));
        QTest::qWait(200); // the first text's wait has ended
        QCOMPARE(rig.nav.banner(), std::optional<QString>(QStringLiteral("둘째")));

        // The same text set again starts no wait of its own.
        rig.workspace.setBannerDuration(50ms);
        rig.nav.setBanner(QStringLiteral("둘째"));
        QTest::qWait(200);
        QCOMPARE(rig.nav.banner(), std::optional<QString>(QStringLiteral("둘째")));

        rig.workspace.finishReport(QStringLiteral("신고를 접수했습니다."));
        QTRY_VERIFY(!rig.nav.banner());
        QVERIFY(!rig.workspace.findChild<BannerView *>()->isVisible());
    }

    void leaveAlert_data()
    {
        QTest::addColumn<bool>("openRoomIsLeft");
        QTest::addColumn<QString>("answer");
        QTest::newRow("the open room") << true << "나가기";
        QTest::newRow("another room, the open one stays") << false << "나가기";
        QTest::newRow("cancelled") << true << "취소";
    }
    void leaveAlert()
    {
        QFETCH(bool, openRoomIsLeft);
        QFETCH(QString, answer);
        Rig rig;
        const QUuid group = rig.seeded.group;
        rig.nav.openRoom(openRoomIsLeft ? group : rig.seeded.direct);
        rig.nav.setLeaveId(group);
        QMessageBox *alert = rig.workspace.leaveAlert();
        QVERIFY(alert && alert->isVisible());
        QCOMPARE(alert->windowModality(), Qt::WindowModal);
        QCOMPARE(alert->text(), QStringLiteral("대화방에서 나갈까요?"));
        QCOMPARE(alert->buttonRole(buttonWithText(alert, QStringLiteral("나가기"))),
                 QMessageBox::DestructiveRole);
        for (QAbstractButton *button : alert->buttons())
            QVERIFY(button->height() >= 44);
        // Wide enough for the title and a window manager's buttons beside it in the title bar.
        QVERIFY(alert->width() > QFontMetrics(alert->font()).horizontalAdvance(alert->windowTitle())
                    + 3 * UiMetrics::controlHeight);
        saveShot(alert, QStringLiteral("leave-alert"));
        buttonWithText(alert, answer)->click();

        QVERIFY(!rig.nav.leaveId());
        const bool left = answer == QStringLiteral("나가기");
        QCOMPARE(rig.store.composeBlock(group).has_value(), left);
        QCOMPARE(rig.nav.page().kind, left && openRoomIsLeft ? Page::pick : Page::room);
        QTRY_VERIFY(!rig.workspace.leaveAlert());
    }

    void sheetsFollowTheirValue_data()
    {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<QSize>("minimum");
        QTest::newRow("new conversation") << int(Sheet::newChat) << QSize(0, 0);
        QTest::newRow("report") << int(Sheet::report) << QSize(420, 360);
        QTest::newRow("photo viewer") << int(Sheet::media) << QSize(640, 480);
        QTest::newRow("invite request") << int(Sheet::inviteRequest) << QSize(360, 180);
    }
    void sheetsFollowTheirValue()
    {
        QFETCH(int, sheet);
        QFETCH(QSize, minimum);
        Rig rig;
        const std::function<void()> raisers[] = {
            [&] { rig.nav.setShowNewChat(true); },
            [&] {
                rig.nav.setReport(ReportDraft{QUuid::createUuid(), SeedID::sora(), {}});
            },
            [&] { rig.nav.setMediaId(QUuid::createUuid()); },
            [&] {
                rig.store.setInviteOutcome(InviteOutcome{QUuid::createUuid(), {}, {}});
            },
        };
        const std::function<void()> raise = raisers[sheet];
        const auto isUp = [&] {
            return rig.nav.showNewChat() || rig.nav.report() || rig.nav.mediaId()
                || rig.store.inviteOutcome();
        };
        raise();
        QPointer<QDialog> dialog = rig.workspace.sheet(Sheet(sheet));
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QVERIFY(dialog->minimumWidth() >= minimum.width()
                && dialog->minimumHeight() >= minimum.height());

        // A new item replaces the sheet (the new-conversation sheet has none: it stays).
        raise();
        QCOMPARE(rig.workspace.sheet(Sheet(sheet)) == dialog, Sheet(sheet) == Sheet::newChat);
        dialog = rig.workspace.sheet(Sheet(sheet));

        // Dismissing it (Escape, as the window's own way out) clears its value.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!isUp());
        QTRY_VERIFY(dialog.isNull());
    }

    // While the service is away or a file cannot be saved, a thin line (one per unsaved file)
    // says so above the page, room or not, moving the page down, and goes when that ends.
    void statusLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("room");
        QTest::addColumn<bool>("dark");
        QTest::newRow("connecting, room, light") << "connectingLine" << true << false;
        QTest::newRow("connecting, room, dark") << "connectingLine" << true << true;
        QTest::newRow("connecting, no room") << "connectingLine" << false << false;
        QTest::newRow("not saved, room, light") << "saveFailureLine" << true << false;
        QTest::newRow("not saved, no room, dark") << "saveFailureLine" << false << true;
    }
    void statusLines()
    {
        QFETCH(QString, name);
        QFETCH(bool, room);
        QFETCH(bool, dark);
        const bool connecting = name == u"connectingLine";
        const QPalette light = QApplication::palette();
        if (dark)
            QApplication::setPalette(darkPalette());
        {
            Rig rig;
            if (room)
                rig.nav.openRoom(rig.seeded.group);
            auto *line = rig.workspace.findChild<QLabel *>(name);
            QVERIFY(line);
            QVERIFY(!line->isVisible());
            QWidget *page = rig.workspace.detail();
            QCoreApplication::processEvents();
            const QRect before = page->geometry();

            SaveFailures &failures = rig.store.saveFailures();
            const auto turn = [&](bool on) {
                if (connecting) {
                    rig.store.setConnecting(on);
                } else {
                    failures.setFailing(SaveFailures::File::session, on);
                    failures.setFailing(SaveFailures::File::settings, on);
                }
            };
            turn(true);
            QCoreApplication::processEvents();
            QVERIFY(line->isVisible());
            const QStringList texts = connecting
                ? QStringList{u"연결 중…"_s}
                : QStringList{
                    u"세션을 저장하지 못했습니다. 저장 공간을 확인해 주세요."_s,
                    u"설정을 저장하지 못했습니다. 저장 공간을 확인해 주세요."_s,
                };
            QCOMPARE(line->text(), texts.join(u'\n'));
            QCOMPARE(line->accessibleName(), line->text());
            QCOMPARE(line->parentWidget(), page->parentWidget());
            QVERIFY(!line->geometry().intersects(page->geometry()));
            // As high as its lines and their padding, never stretched by a page with room over.
            QVERIFY2(line->height() <= texts.size() * line->fontMetrics().lineSpacing() + 12,
                     qPrintable(QString::number(line->height())));
            QCOMPARE(page->geometry().bottom(), before.bottom());
            QCOMPARE(page->height(), before.height() - line->height());
            saveShot(&rig.workspace,
                     QStringLiteral("workspace-%1-").arg(name) + QTest::currentDataTag());

            turn(false);
            QVERIFY(!line->isVisible());
            QCoreApplication::processEvents();
            QCOMPARE(page->geometry(), before);
        }
        QApplication::setPalette(light);
    }

    // Both lines at once stack above the page, the service's first.
    void statusLinesStack()
    {
        Rig rig;
        rig.store.setConnecting(true);
        rig.store.saveFailures().setFailing(SaveFailures::File::settings, true);
        QCoreApplication::processEvents();
        auto *connecting = rig.workspace.findChild<QLabel *>(u"connectingLine"_s);
        auto *unsaved = rig.workspace.findChild<QLabel *>(u"saveFailureLine"_s);
        QVERIFY(connecting->isVisible() && unsaved->isVisible());
        QCOMPARE(unsaved->geometry().top(), connecting->geometry().bottom() + 1);
        QCOMPARE(rig.workspace.detail()->geometry().top(), unsaved->geometry().bottom() + 1);
    }

    void pictures_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("dark");
        QTest::newRow("960x680-light") << QSize(960, 680) << false;
        QTest::newRow("960x680-dark") << QSize(960, 680) << true;
        QTest::newRow("1400x900-light") << QSize(1400, 900) << false;
        QTest::newRow("1400x900-dark") << QSize(1400, 900) << true;
    }
    void pictures()
    {
        QFETCH(QSize, size);
        QFETCH(bool, dark);
        const QPalette light = QApplication::palette();
        if (dark)
            QApplication::setPalette(darkPalette());
        {
            Rig rig;
            rig.workspace.resize(size);
            saveShot(&rig.workspace, QStringLiteral("workspace-pick-") + QTest::currentDataTag());
            rig.nav.openRoom(rig.seeded.group);
            rig.nav.setBanner(QStringLiteral("친구 요청을 보냈습니다."));
            QTest::qWait(20);
            saveShot(&rig.workspace, QStringLiteral("workspace-room-") + QTest::currentDataTag());
        }
        QApplication::setPalette(light);
    }
};

QTEST_MAIN(TestWorkspace)
#include "tst_workspace.moc"
