// The window by keyboard, part two: Return on buttons, and the settings and block list taking
// the keyboard and giving it back.

#include "PanelTestSupport.h"
#include "WorkspaceTestSupport.h"

#include "ui/panels/ReportSheet.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/Composer.h"
#include "ui/workspace/RoomView.h"
#include "ui/workspace/Sidebar.h"

#include <QDialog>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

struct Rig : ActiveWorkspaceRig
{
    // The window's focus: the keyboard's (offscreen, no window is activated again after a dialog).
    QWidget *typing() { return workspace.focusWidget(); }
};

} // namespace

class TestWindowKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void returnPressesTheFocusedButton_data();
    void returnPressesTheFocusedButton();
    void returnIsEveryButtonsOwn();
    void settingsAndBlockListTakeTheKeyboard_data();
    void settingsAndBlockListTakeTheKeyboard();
};

void TestWindowKeys::returnPressesTheFocusedButton_data()
{
    // One button of each kind: a tool button, a push button outside any dialog, a segment of our
    // own, a sheet's button (the report sheet's, which once ignored Return) and an alert's button
    // that is not its default.
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    for (const char *button : {"새 대화", "설정", "친구", "보내기", "나가기 (alert)"})
        QTest::addRow("%s", button) << QString::fromUtf8(button) << int(Qt::Key_Return);
    QTest::newRow("새 대화, Enter") << u"새 대화"_s << int(Qt::Key_Enter);
}

// Return (or the keypad's Enter) presses the focused button once, of any kind and anywhere
// (sidebar, sheet, alert), and does what a click does; a key held down does not press it again.
void TestWindowKeys::returnPressesTheFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    Rig rig;
    QVERIFY(rig.active);
    const Qt::KeyboardModifiers keypad = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QAbstractButton *target = nullptr;
    std::function<bool()> done;
    if (button == u"새 대화"_s) {
        target = rig.sidebar().chatList()->newChatButton();
        done = [&rig] { return rig.nav.showNewChat(); };
    } else if (button == u"설정"_s) {
        target = rig.sidebar().settingsButton();
        done = [&rig] { return rig.nav.page().kind == Page::settings; };
    } else if (button == u"친구"_s) {
        target = rig.sidebar().sectionPicker()->segment(Section::friends);
        done = [&rig] { return rig.nav.section() == Section::friends; };
    } else if (button == u"보내기"_s) {
        rig.nav.setReport(ReportDraft{QUuid::createUuid(), SeedID::sora(), std::nullopt});
        QDialog *sheet = rig.workspace.sheet(Sheet::report);
        QTRY_VERIFY(sheet->focusWidget());
        QAbstractButton *reason = part(*sheet, u"스팸"_s);
        QCOMPARE(sheet->focusWidget(), reason);
        QSignalSpy chosen(reason, &QAbstractButton::clicked);
        QTest::keyClick(reason, Qt::Key(key), keypad);
        QCOMPARE(chosen.size(), 1);
        target = part(*sheet, u"send"_s);
        QVERIFY(target->isEnabled());
        done = [&rig] { return !rig.nav.report() && rig.nav.banner(); };
    } else {
        // The open room left: the page goes; "취소", the alert's default, would keep it.
        rig.nav.openRoom(rig.seeded.group);
        rig.nav.setLeaveId(rig.seeded.group);
        QMessageBox *alert = rig.workspace.leaveAlert();
        QVERIFY(alert);
        target = buttonWithText(alert, u"나가기"_s);
        done = [&rig] { return !rig.nav.leaveId() && rig.nav.page().kind == Page::pick; };
    }
    QVERIFY(target && target->isVisibleTo(target->window()) && target->isEnabled());
    QPointer<QAbstractButton> guard(target);
    QSignalSpy pressed(target, &QAbstractButton::clicked);
    target->setFocus(Qt::TabFocusReason);
    QKeyEvent held(QEvent::KeyPress, key, keypad, QString(), true);
    QApplication::sendEvent(target, &held);
    QCOMPARE(pressed.size(), 0);
    QTest::keyClick(target, Qt::Key(key), keypad);
    // The button may be gone with what it closed; what it did is there all the same.
    QVERIFY(!guard || pressed.size() == 1);
    QTRY_VERIFY(done());
}

// Every button the keyboard can reach on the window's screens, sheets and alerts takes Return.
void TestWindowKeys::returnIsEveryButtonsOwn()
{
    Rig rig;
    QVERIFY(rig.active);
    LocalStore &store = rig.store;
    QStringList missed;
    const auto check = [&missed](QWidget *root, const QString &where) {
        QVERIFY(root);
        redraw();
        int reachable = 0;
        for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
            if (!button->isVisibleTo(root->window()) || !button->isEnabled()
                || !(button->focusPolicy() & Qt::TabFocus))
                continue;
            ++reachable;
            if (!takesReturn(button))
                missed.append(
                    where + u": "_s + button->metaObject()->className() + u" "_s
                    + (button->text().isEmpty() ? button->accessibleName() : button->text()));
        }
        QVERIFY2(reachable > 0, qPrintable(where));
    };

    // The room with a reply and a photo in the composer, then its information.
    rig.nav.openRoom(rig.seeded.direct);
    redraw();
    auto *room = rig.workspace.findChild<RoomState *>();
    QTest::keyClicks(rig.workspace.findChild<Composer *>()->field(), "hi");
    room->setReply(store.visibleMessages(rig.seeded.direct).first());
    room->setImage(jpegOf(Qt::red, QSize(40, 30)));
    check(&rig.workspace, u"room"_s);
    rig.nav.openRoom(rig.seeded.group);
    rig.nav.setRoomInfo(true);
    check(rig.workspace.detail(), u"information"_s);

    rig.nav.setSection(Section::friends);
    check(&rig.sidebar(), u"friends"_s);
    store.block(SeedID::taeo());
    for (const Page &page :
         {Page{Page::settings, {}}, Page{Page::password, {}}, Page{Page::blocked, {}},
          Page{Page::deleteAccount, {}}, Page{Page::me, {}}, Page::profilePage(SeedID::sora()),
          Page{Page::invite, {}}}) {
        rig.nav.setPage(page);
        check(rig.workspace.detail(), u"page %1"_s.arg(int(page.kind)));
    }

    rig.nav.setShowNewChat(true);
    QDialog *newChat = rig.workspace.sheet(Sheet::newChat);
    auto *friends = part<QListView>(*newChat, u"friends"_s);
    friends->setCurrentIndex(friends->model()->index(0, 0));
    QTest::keyClick(friends, Qt::Key_Space);
    check(newChat, u"new conversation"_s);
    rig.nav.setShowNewChat(false);
    rig.nav.setReport(ReportDraft{QUuid::createUuid(), SeedID::sora(), std::nullopt});
    check(rig.workspace.sheet(Sheet::report), u"report"_s);
    rig.nav.setReport(std::nullopt);
    rig.nav.setMediaId(QUuid::createUuid());
    check(rig.workspace.sheet(Sheet::media), u"photo"_s);
    rig.nav.setMediaId(std::nullopt);

    rig.nav.setLeaveId(rig.seeded.group);
    check(rig.workspace.leaveAlert(), u"leave alert"_s);
    rig.nav.setLeaveId(std::nullopt);

    QVERIFY2(missed.isEmpty(), qPrintable(missed.join(u"; "_s)));
}

void TestWindowKeys::settingsAndBlockListTakeTheKeyboard_data()
{
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<QString>("blockFocus");
    QTest::newRow("somebody blocked: the list") << true << u"list"_s;
    QTest::newRow("nobody blocked: 닫기") << false << u"close"_s;
}

// "설정" from the keyboard puts it on the first switch, ringed; "차단 목록" on its list (on "닫기"
// while empty), and Escape back on the settings' row; the settings' "닫기" back on "설정".
void TestWindowKeys::settingsAndBlockListTakeTheKeyboard()
{
    QFETCH(bool, blocked);
    QFETCH(QString, blockFocus);
    Rig rig;
    QVERIFY(rig.active);
    if (blocked)
        rig.store.block(SeedID::taeo());
    QAbstractButton *settings = rig.sidebar().settingsButton();
    settings->setFocus(Qt::TabFocusReason);
    QTest::keyClick(settings, Qt::Key_Space);
    QCOMPARE(rig.nav.page().kind, Page::settings);
    QVERIFY(rig.typing());
    QCOMPARE(rig.typing()->objectName(), u"notificationsEnabled"_s);
    QVERIFY(drawsFocusRing(rig.typing()));

    QAbstractButton *row = part(*rig.workspace.detail(), u"blocked"_s);
    row->setFocus(Qt::TabFocusReason);
    QTest::keyClick(row, Qt::Key_Space);
    QCOMPARE(rig.nav.page().kind, Page::blocked);
    QWidget *page = rig.workspace.detail();
    QVERIFY(page->isAncestorOf(rig.typing()));
    QCOMPARE(rig.typing()->objectName(), blockFocus);
    if (!blocked)
        QVERIFY(drawsFocusRing(rig.typing()));
    QTest::keyClick(rig.typing(), Qt::Key_Escape);
    QCOMPARE(rig.nav.page().kind, Page::settings);
    QCOMPARE(rig.typing()->objectName(), u"blocked"_s);

    QAbstractButton *close = part(*rig.workspace.detail(), u"close"_s);
    close->setFocus(Qt::TabFocusReason);
    QTest::keyClick(close, Qt::Key_Space);
    QCOMPARE(rig.nav.page().kind, Page::pick);
    QCOMPARE(rig.typing(), settings);
    QVERIFY(drawsFocusRing(settings));
}

QTEST_MAIN(TestWindowKeys)
#include "tst_windowkeys.moc"
