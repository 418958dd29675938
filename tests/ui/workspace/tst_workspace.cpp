#include "WorkspaceTestSupport.h"

#include "ui/workspace/MacBannerView.h"
#include "ui/workspace/MacPendingPanel.h"
#include "ui/workspace/MacRoomView.h"
#include "ui/workspace/MacWorkspace.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QTest>

// The workspace: navigation by the pages' and sheets' callbacks, the store's requests, the
// notice banner, the sheets and the leave alert.
class TestWorkspace : public QObject
{
    Q_OBJECT

    enum class Action {
        openProfile,
        leaveRoom,
        closeToPick,
        closeToSettings,
        openFromProfile,
        openFromNewChat,
        followPush,
        followInvite
    };

    struct Rig
    {
        Rig()
        {
            workspace.resize(960, 680);
            workspace.show();
        }
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        MacWorkspace workspace{store};
        MacNavigation &nav = workspace.navigation();
    };

private slots:
    void initTestCase() { privateFolders(); }

    void callbacksMoveTheNavigation_data()
    {
        QTest::addColumn<int>("startPage");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("section");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("roomInfo");
        // Every row starts on the friend list with the information panel flag up, so that
        // a callback that must leave them alone shows it.
        auto row = [](const char *name, MacPage::Kind start, Action action, MacSection section,
                      MacPage::Kind page, bool roomInfo) {
            QTest::newRow(name) << int(start) << int(action) << int(section) << int(page)
                                << roomInfo;
        };
        row("room: a member's profile", MacPage::room, Action::openProfile, MacSection::friends,
            MacPage::profile, false);
        row("room: left", MacPage::room, Action::leaveRoom, MacSection::friends, MacPage::pick,
            false);
        row("profile: its room", MacPage::profile, Action::openFromProfile, MacSection::chats,
            MacPage::room, false);
        row("settings: close", MacPage::settings, Action::closeToPick, MacSection::friends,
            MacPage::pick, true);
        row("password: close", MacPage::password, Action::closeToSettings, MacSection::friends,
            MacPage::settings, true);
        row("new chat: its room", MacPage::invite, Action::openFromNewChat, MacSection::chats,
            MacPage::room, false);
        row("notification click", MacPage::me, Action::followPush, MacSection::chats, MacPage::room,
            false);
        row("accepted invite", MacPage::blocked, Action::followInvite, MacSection::chats,
            MacPage::room, false);
    }
    void callbacksMoveTheNavigation()
    {
        QFETCH(int, startPage);
        QFETCH(int, action);
        Rig rig;
        const QUuid room = rig.seeded.group;
        rig.nav.setPage({MacPage::Kind(startPage), room});
        rig.nav.setSection(MacSection::friends);
        rig.nav.setRoomInfo(true);
        switch (Action(action)) {
        case Action::openProfile:
            rig.workspace.openProfile(SeedID::taeo());
            break;
        case Action::leaveRoom:
            rig.workspace.leaveRoom();
            break;
        case Action::closeToPick:
        case Action::closeToSettings:
            // The page's own "닫기".
            QTest::mouseClick(rig.workspace.detail()->findChild<QAbstractButton *>(
                                  QStringLiteral("pendingClose")),
                              Qt::LeftButton);
            break;
        case Action::openFromProfile:
            rig.nav.openRoom(room);
            break;
        case Action::openFromNewChat:
            rig.nav.setShowNewChat(true);
            rig.workspace.openFromNewChat(room);
            QVERIFY(!rig.nav.showNewChat());
            break;
        case Action::followPush:
            rig.store.setPushTarget(PushOpen{QUuid::createUuid(), room, std::nullopt});
            break;
        case Action::followInvite:
            rig.store.setInviteFollow(InviteFollow{QUuid::createUuid(), room});
            QVERIFY(!rig.store.inviteFollow());
            break;
        }
        QTEST(int(rig.nav.section()), "section");
        QTEST(int(rig.nav.page().kind), "page");
        QTEST(rig.nav.roomInfo(), "roomInfo");
        if (rig.nav.page().kind == MacPage::room) {
            QTRY_VERIFY(qobject_cast<MacRoomView *>(rig.workspace.detail()));
            QCOMPARE(qobject_cast<MacRoomView *>(rig.workspace.detail())->conversationId(), room);
        }
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
        QVERIFY(rig.store.pushTarget()); // the transcript clears it, not the workspace

        rig.nav.openRoom(rig.seeded.group);
        QVERIFY(rig.workspace.detail() != pane);
        QTRY_VERIFY(pane.isNull());
        rig.nav.setPage({MacPage::pick, {}});
        auto *empty = qobject_cast<QLabel *>(rig.workspace.detail());
        QVERIFY(empty);
        QCOMPARE(empty->text(), QStringLiteral("대화를 선택하세요."));
        const QList<int> widths = rig.workspace.findChild<QSplitter *>()->sizes();
        QVERIFY2(widths.first() >= 240 && widths.first() <= 320,
                 qPrintable(QString::number(widths.first())));
    }

    // Each showing follows the store's requests again, while they are still set.
    void showingFollowsTheRequests()
    {
        SeededStore seeded;
        seeded.store->setPushTarget(PushOpen{QUuid::createUuid(), seeded.group, std::nullopt});
        seeded.store->setPendingInviteCode(QStringLiteral("ABCDEF0123456789ABCDEF0123456789"));
        MacWorkspace workspace(*seeded.store);
        QCOMPARE(workspace.navigation().page().kind, MacPage::pick);
        workspace.show();
        QVERIFY(workspace.navigation().page().isRoom(seeded.group));
        QVERIFY(!seeded.store->pendingInviteCode()); // redeemed

        workspace.navigation().setPage({MacPage::settings, {}});
        workspace.hide();
        seeded.store->setInviteFollow(InviteFollow{QUuid::createUuid(), seeded.direct});
        QVERIFY(workspace.navigation().page().isRoom(seeded.direct));
        workspace.navigation().setPage({MacPage::settings, {}});
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
        QTRY_COMPARE(rig.nav.page().kind, MacPage::pick);
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
        auto *banner = rig.workspace.findChild<MacBannerView *>();
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->text(), QStringLiteral("일시적인 오류입니다."));
        QCOMPARE(banner->geometry().bottom() + 1, rig.workspace.height() - 24);
        QVERIFY(qAbs(banner->geometry().center().x() - rig.workspace.rect().center().x()) <= 1);
        saveShot(&rig.workspace, QStringLiteral("workspace-banner"));

        // The same text again is taken from the store but is no new banner.
        rig.store.showNotice(QStringLiteral("일시적인 오류입니다."));
        QTRY_VERIFY(!rig.store.notice());
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
        QVERIFY(!rig.workspace.findChild<MacBannerView *>()->isVisible());
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
        buttonWithText(alert, answer)->click();

        QVERIFY(!rig.nav.leaveId());
        const bool left = answer == QStringLiteral("나가기");
        QCOMPARE(rig.store.composeBlock(group).has_value(), left);
        QCOMPARE(rig.nav.page().kind, left && openRoomIsLeft ? MacPage::pick : MacPage::room);
        QTRY_VERIFY(!rig.workspace.leaveAlert());
    }

    void sheetsFollowTheirValue_data()
    {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<QSize>("minimum");
        QTest::newRow("new conversation") << int(MacSheet::newChat) << QSize(0, 0);
        QTest::newRow("report") << int(MacSheet::report) << QSize(420, 360);
        QTest::newRow("photo viewer") << int(MacSheet::media) << QSize(640, 480);
        QTest::newRow("invite request") << int(MacSheet::inviteRequest) << QSize(360, 180);
    }
    void sheetsFollowTheirValue()
    {
        QFETCH(int, sheet);
        QFETCH(QSize, minimum);
        Rig rig;
        const auto raise = [&] {
            switch (MacSheet(sheet)) {
            case MacSheet::newChat:
                rig.nav.setShowNewChat(true);
                break;
            case MacSheet::report:
                rig.nav.setReport(ReportDraft{QUuid::createUuid(), SeedID::sora(), std::nullopt});
                break;
            case MacSheet::media:
                rig.nav.setMediaId(QUuid::createUuid());
                break;
            case MacSheet::inviteRequest:
                rig.store.setInviteOutcome(
                    InviteOutcome{QUuid::createUuid(), QUuid::createUuid(), std::nullopt});
                break;
            }
        };
        const auto isUp = [&] {
            return rig.nav.showNewChat() || rig.nav.report() || rig.nav.mediaId()
                || rig.store.inviteOutcome();
        };
        raise();
        QPointer<QDialog> dialog = rig.workspace.sheet(MacSheet(sheet));
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QVERIFY(dialog->minimumWidth() >= minimum.width()
                && dialog->minimumHeight() >= minimum.height());

        // A new item replaces the sheet (the new-conversation sheet has none: it stays).
        raise();
        QCOMPARE(rig.workspace.sheet(MacSheet(sheet)) == dialog,
                 MacSheet(sheet) == MacSheet::newChat);
        dialog = rig.workspace.sheet(MacSheet(sheet));

        // Dismissing it by the sheet's own means clears its value.
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(QStringLiteral("pendingClose")),
                          Qt::LeftButton);
        QVERIFY(!isUp());
        QTRY_VERIFY(dialog.isNull());

        // Cleared from outside, it goes as well.
        raise();
        dialog = rig.workspace.sheet(MacSheet(sheet));
        QVERIFY(dialog);
        rig.nav.setShowNewChat(false);
        rig.nav.setReport(std::nullopt);
        rig.nav.setMediaId(std::nullopt);
        rig.store.setInviteOutcome(std::nullopt);
        QTRY_VERIFY(dialog.isNull());
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
