// The panels inside the window: what their buttons do to the workspace's navigation, how the
// member-invite sheet is raised, and pictures of each page and sheet in a 960 × 680 window,
// light and dark.

#include "PanelTestSupport.h"
#include "WorkspaceTestSupport.h"

#include "ui/common/WideButton.h"
#include "ui/panels/InfoPanel.h"
#include "ui/panels/NewChat.h"
#include "ui/workspace/Workspace.h"

#include <QDialog>
#include <QListView>
#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace {

struct Rig : WorkspaceRig
{
    // The room's information panel, as the room pane's own button shows it.
    InfoPanel *openInfo(const QUuid &room)
    {
        nav.openRoom(room);
        nav.setRoomInfo(true);
        redraw();
        return workspace.findChild<InfoPanel *>();
    }
};

void clickFirstRow(QListView *list)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
}

// The window with its sheet over it, as one picture.
QImage windowWithSheet(QWidget &window, QDialog *sheet)
{
    QImage picture = window.grab().toImage();
    if (sheet) {
        QPainter painter(&picture);
        const QPixmap face = sheet->grab();
        const QRect place((picture.width() - face.width()) / 2, 0, face.width(), face.height());
        painter.drawPixmap(place.topLeft(), face);
        painter.setPen(Qt::gray);
        painter.drawRect(place.adjusted(0, -1, -1, -1));
    }
    return picture;
}

} // namespace

class TestPanelsInWorkspace : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void buttonsMoveTheNavigation_data();
    void buttonsMoveTheNavigation();
    void memberInviteIsASheetOfTheWindow();
    void roomAnsweredAfterTheWorkspaceWent();
    void groupMadeThroughTheSheet();
    void reportFromTheInfoPanelEndsInTheBanner();
    void sizesKeepEverythingUsable();
    void ownProfileKeepsTheRefusal();
    void namesCannotTurnALine();
    void pictures_data();
    void pictures();
};

void TestPanelsInWorkspace::buttonsMoveTheNavigation_data()
{
    QTest::addColumn<QString>("from");
    QTest::newRow("profile: 대화") << u"profile"_s;
    QTest::newRow("new conversation: 대화") << u"newChat"_s;
}

// A room opened from a page or sheet shows the chat list and the room's transcript.
void TestPanelsInWorkspace::buttonsMoveTheNavigation()
{
    QFETCH(QString, from);
    Rig rig;
    rig.nav.setSection(Section::friends);
    rig.nav.setRoomInfo(true);
    if (from == u"profile"_s) {
        rig.nav.setPage(Page::profilePage(SeedID::sora()));
        part(*rig.workspace.detail(), u"talk"_s)->click();
    } else {
        rig.nav.setShowNewChat(true);
        auto *sheet = rig.workspace.sheet(Sheet::newChat)->findChild<NewChat *>();
        typeInto(part<QLineEdit>(*sheet, u"query"_s), u"소라"_s);
        clickFirstRow(part<QListView>(*sheet, u"friends"_s));
        part(*sheet, u"talk"_s)->click();
    }
    QTRY_COMPARE(rig.nav.page(), Page::roomPage(rig.seeded.direct));
    QCOMPARE(rig.nav.section(), Section::chats);
    QVERIFY(!rig.nav.roomInfo());
    QVERIFY(!rig.nav.showNewChat());
    QTRY_VERIFY(!rig.workspace.sheet(Sheet::newChat));
}

// "멤버 초대" raises its sheet over the workspace's window, window-modal.
void TestPanelsInWorkspace::memberInviteIsASheetOfTheWindow()
{
    Rig rig;
    InfoPanel *panel = rig.openInfo(rig.seeded.group);
    part(*panel, u"invite"_s)->click();
    QDialog *dialog = panel->inviteDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QCOMPARE(dialog->parentWidget()->window(), &rig.workspace);
    QVERIFY(dialog->minimumWidth() >= 420 && dialog->minimumHeight() >= 360);
}

// "대화" on a profile, then the workspace goes (a sign-out) before the service answers: the
// answer has no navigation left to move, and nothing is touched.
void TestPanelsInWorkspace::roomAnsweredAfterTheWorkspaceWent()
{
    LiveOps ops;
    const QUuid peer = ops.addUser(u"peer_user"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me_user"_s));
    ops.service.makeFriends(ops.meId, peer);
    QVERIFY(finish(ops.store->lookup(u"peer_user"_s)).value_or(std::nullopt));
    ops.store->editFriends([&](QList<FriendLink> &l) { l.append({peer, FriendState::friends}); });
    auto workspace = std::make_unique<Workspace>(*ops.store);
    workspace->show();
    workspace->navigation().setPage(Page::profilePage(peer));
    ops.service.delayNext(u"POST"_s, u"/v1/conversations"_s, 1, 300);
    part(*workspace->detail(), u"talk"_s)->click();
    workspace.reset();
    QVERIFY(
        QTest::qWaitFor([&] { return ops.store->directConversation(peer).has_value(); }, 10000));
    ops.settle();
}

// "만들기": a refusal comes back to the sheet; a slow answer makes one group however often it is
// pressed, and the group opens even when the sheet was cancelled meanwhile.
void TestPanelsInWorkspace::groupMadeThroughTheSheet()
{
    LiveOps ops;
    const QUuid peer = ops.addUser(u"peer_user"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me_user"_s));
    ops.service.makeFriends(ops.meId, peer);
    await(ops.store->reloadRemote());
    Workspace workspace(*ops.store);
    workspace.show();
    workspace.navigation().setShowNewChat(true);
    auto *sheet = workspace.sheet(Sheet::newChat)->findChild<NewChat *>();
    clickFirstRow(part<QListView>(*sheet, u"friends"_s));
    part(*sheet, u"next"_s)->click();
    auto *create = part<WideButton>(*sheet, u"create"_s);

    ops.service.failNext(u"POST"_s, u"/v1/conversations"_s, 1, 500, u"oops"_s, u"실패"_s);
    create->click();
    QVERIFY(QTest::qWaitFor([&] { return !create->isBusy(); }, 10000));
    QCOMPARE(shownText(*sheet, u"failed"_s), NewChat::failedText());

    ops.service.clearRecords();
    ops.service.delayNext(u"POST"_s, u"/v1/conversations"_s, 1, 500);
    create->click();
    create->click();
    QTest::mouseClick(create, Qt::LeftButton);
    part(*sheet, u"cancel"_s)->click();
    QTRY_VERIFY(!workspace.sheet(Sheet::newChat));
    QTRY_VERIFY_WITH_TIMEOUT(workspace.navigation().page().kind == Page::room, 10000);
    ops.settle();
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/conversations"_s), 1);
    const std::optional<Conversation> room
        = ops.store->conversation(workspace.navigation().page().id);
    QVERIFY(room && room->kind == ConversationKind::group);
    QCOMPARE(room->memberships.size(), 2);
}

// "신고" in the information panel raises the report sheet for the peer; its completion text
// goes to the banner and the sheet goes.
void TestPanelsInWorkspace::reportFromTheInfoPanelEndsInTheBanner()
{
    Rig rig;
    part(*rig.openInfo(rig.seeded.direct), u"report"_s)->click();
    QCOMPARE(rig.nav.report()->userId, SeedID::sora());
    QDialog *sheet = rig.workspace.sheet(Sheet::report);
    QVERIFY(sheet && sheet->isVisible());
    part(*sheet, u"스팸"_s)->click();
    part(*sheet, u"send"_s)->click();
    QCOMPARE(rig.nav.banner(), std::optional<QString>(u"신고를 접수했습니다."_s));
    QVERIFY(!rig.nav.report());
    QTRY_VERIFY(!rig.workspace.sheet(Sheet::report));
}

// The window never gets so small that a room's transcript is narrower than 360; the report
// sheet grows with its note rather than squeezing its 44-point reason rows.
void TestPanelsInWorkspace::sizesKeepEverythingUsable()
{
    Rig rig;
    rig.nav.openRoom(rig.seeded.group);
    redraw();
    rig.workspace.resize(rig.workspace.minimumSizeHint());
    redraw();
    QWidget *transcript = rig.workspace.findChild<QWidget *>(u"roomTranscript"_s);
    QVERIFY(transcript && transcript->isVisible());
    QVERIFY2(transcript->width() >= 360, qPrintable(QString::number(transcript->width())));
    QVERIFY2(transcript->height() >= 240, qPrintable(QString::number(transcript->height())));
    saveShot(&rig.workspace, u"smallest-window"_s);

    rig.workspace.resize(960, 680);
    rig.nav.setReport(ReportDraft{QUuid::createUuid(), SeedID::sora(), std::nullopt});
    QDialog *sheet = rig.workspace.sheet(Sheet::report);
    part(*sheet, u"기타"_s)->click();
    part<QPlainTextEdit>(*sheet, u"note"_s)
        ->setPlainText(u"한 줄\n두 줄\n셋\n넷\n다섯\n여섯\n일곱"_s);
    QTest::qWait(20);
    QVERIFY(sheet->minimumHeight() >= 360);
    int previousBottom = -1;
    for (const QString &reason : {u"스팸"_s, u"사칭"_s, u"혐오"_s, u"기타"_s}) {
        QWidget *row = part<QWidget>(*sheet, reason);
        QVERIFY2(row->height() >= 44, qPrintable(reason));
        QVERIFY(row->geometry().top() >= previousBottom);
        previousBottom = row->geometry().bottom();
    }
    QVERIFY(sheet->height() >= sheet->minimumSizeHint().height());
    saveShot(sheet, u"report-long-note"_s);
}

// The service refuses a profile save: the banner takes the store's notice at once, while the
// page keeps its own copy under the handle until the next edit.
void TestPanelsInWorkspace::ownProfileKeepsTheRefusal()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    Workspace workspace(*ops.store);
    workspace.resize(960, 680);
    workspace.show();
    workspace.navigation().setPage(Page{Page::me, {}});
    QWidget &page = *workspace.detail();
    typeInto(part<QLineEdit>(page, u"handle"_s), u"taken_one"_s);
    ops.service.failNext(u"PATCH"_s, u"/v1/me"_s, 1, 409, u"handle_taken"_s,
                         u"이미 사용 중인 아이디입니다."_s);
    part(page, u"done"_s)->click();
    QTRY_COMPARE(workspace.navigation().banner(),
                 std::optional<QString>(u"이미 사용 중인 아이디입니다."_s));
    QTest::qWait(50);
    QVERIFY(!ops.store->notice());
    QCOMPARE(shownText(page, u"notice"_s), u"이미 사용 중인 아이디입니다."_s);
    QCOMPARE(workspace.navigation().page().kind, Page::me);
    typeInto(part<QLineEdit>(page, u"handle"_s), u"other_one"_s);
    QCOMPARE(shownText(page, u"notice"_s), QString());
    ops.settle();
}

// A name with an override and a line break shows its letters in order, on one line, on the
// profile page and in the information panel.
void TestPanelsInWorkspace::namesCannotTurnALine()
{
    Rig rig;
    rig.store.editAccounts([](QList<Account> &accounts) {
        for (Account &a : accounts) {
            if (a.id == SeedID::sora())
                a.displayName = u"\u202Eevil\n둘"_s;
        }
    });
    rig.nav.setPage(Page::profilePage(SeedID::sora()));
    redraw();
    QCOMPARE(shownText(*rig.workspace.detail(), u"name"_s), u"evil 둘"_s);
    InfoPanel *panel = rig.openInfo(rig.seeded.direct);
    QCOMPARE(shownText(*panel, u"name"_s), u"evil 둘"_s);
    QCOMPARE(rig.store.account(SeedID::sora())->displayName, u"\u202Eevil\n둘"_s);
    saveShot(&rig.workspace, u"name-with-controls"_s);
}

void TestPanelsInWorkspace::pictures_data()
{
    QTest::addColumn<QString>("view");
    for (const char *view : {"info-group", "info-group-editing", "info-person", "info-official",
                             "member-invite", "profile", "me", "new-chat"})
        QTest::newRow(view) << QString::fromLatin1(view);
}

void TestPanelsInWorkspace::pictures()
{
    QFETCH(QString, view);
    const QPalette light = QApplication::palette();
    QDir().mkpath(QStringLiteral(PANEL_SHOT_DIR));
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : light);
        Rig rig;
        QDialog *sheet = nullptr;
        if (view.startsWith(u"info-group"_s) || view == u"member-invite"_s) {
            InfoPanel *panel = rig.openInfo(rig.seeded.group);
            if (view.endsWith(u"editing"_s))
                typeInto(part<QLineEdit>(*panel, u"titleField"_s), u"주말 등산 모임"_s);
            if (view == u"member-invite"_s) {
                part(*panel, u"invite"_s)->click();
                sheet = panel->inviteDialog();
            }
        } else if (view == u"info-person"_s) {
            rig.openInfo(rig.seeded.direct);
        } else if (view == u"info-official"_s) {
            rig.openInfo(rig.seeded.house);
        } else if (view == u"profile"_s) {
            rig.nav.setPage(Page::profilePage(SeedID::sora()));
        } else if (view == u"me"_s) {
            rig.nav.setPage(Page{Page::me, {}});
        } else {
            rig.nav.setShowNewChat(true);
            sheet = rig.workspace.sheet(Sheet::newChat);
            clickFirstRow(sheet->findChild<QListView *>(u"friends"_s));
        }
        QTest::qWait(20);
        QVERIFY(windowWithSheet(rig.workspace, sheet)
                    .save(QStringLiteral(PANEL_SHOT_DIR "/workspace-%1-%2.png")
                              .arg(view, dark ? u"dark"_s : u"light"_s)));
    }
    QApplication::setPalette(light);
}

QTEST_MAIN(TestPanelsInWorkspace)
#include "tst_panelsinworkspace.moc"
