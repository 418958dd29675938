// The window by keyboard and screen reader: every way of flipping a switch or pressing a row
// makes one store change, pages and sheets open on their first field, and leaving a room or
// opening its panel leaves no stale load or notification behind.

#include "PanelTestSupport.h"
#include "WorkspaceTestSupport.h"

#include "ui/common/AccountListModel.h"
#include "ui/panels/InfoPanel.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/Composer.h"
#include "ui/workspace/FriendList.h"
#include "ui/workspace/FriendListModel.h"
#include "ui/workspace/RoomListModel.h"
#include "ui/workspace/Sidebar.h"
#include "ui/workspace/TranscriptView.h"

#include <QAccessible>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Rig : ActiveWorkspaceRig
{
    InfoPanel *openInfo(const QUuid &room)
    {
        nav.openRoom(room);
        nav.setRoomInfo(true);
        redraw();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return workspace.findChild<InfoPanel *>();
    }
};

QAccessibleActionInterface *actionsOf(QAccessibleInterface *item)
{
    return item ? item->actionInterface() : nullptr;
}

// Presses `button` by `way`: "mouse", "space", or a screen reader's "Press" or "Toggle".
void actOn(QAbstractButton *button, const QString &way)
{
    if (way == u"mouse"_s) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else if (way == u"space"_s) {
        QTest::keyClick(button, Qt::Key_Space);
    } else {
        QAccessibleActionInterface *actions
            = actionsOf(QAccessible::queryAccessibleInterface(button));
        QVERIFY(actions && actions->actionNames().contains(way));
        actions->doAction(way);
    }
    redraw();
}

// A screen reader's action on row `row` of `view`.
bool rowAction(QAbstractItemView *view, int row, const QString &action)
{
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view);
    QAccessibleActionInterface *actions = actionsOf(list ? list->child(row) : nullptr);
    if (!actions || !actions->actionNames().contains(action))
        return false;
    actions->doAction(action);
    redraw();
    return true;
}

int rowOf(QAbstractItemView *view, int role, const QVariant &value)
{
    const QModelIndexList found
        = view->model()->match(view->model()->index(0, 0), role, value, 1, Qt::MatchExactly);
    return found.isEmpty() ? -1 : found.first().row();
}

const QString press = QAccessibleActionInterface::pressAction();

} // namespace

class TestWindowAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void switchesMakeOneChange_data();
    void switchesMakeOneChange();
    void rowsActOnPress();
    void roomRowOpensToWrite_data();
    void roomRowOpensToWrite();
    void firstFieldHasTheKeyboard_data();
    void firstFieldHasTheKeyboard();
    void leavingThePanelBuildsNoTranscript_data();
    void leavingThePanelBuildsNoTranscript();
    void staleNotificationIsCleared_data();
    void staleNotificationIsCleared();
    void sidebarLists();
    void sheetsAreNamedAndShowTheirFocus_data();
    void sheetsAreNamedAndShowTheirFocus();
    void keyboardLandsWhereItBelongs_data();
    void keyboardLandsWhereItBelongs();
};

void TestWindowAccess::switchesMakeOneChange_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("way");
    for (const char *control : {"전체 알림", "소리", "알림", "고정", "친구", "friend row"}) {
        for (const char *way : {"mouse", "space", "Press", "Toggle"})
            QTest::addRow("%s, %s", control, way) << QString::fromUtf8(control) << way;
    }
}

// Each way of flipping a switch or a segment, or choosing a friend in the new-conversation
// sheet, makes exactly one change, and the drawing then shows the store's (or the
// navigation's, or the sheet's) value.
void TestWindowAccess::switchesMakeOneChange()
{
    QFETCH(QString, control);
    QFETCH(QString, way);
    Rig rig;
    LocalStore &store = rig.store;
    const QUuid room = rig.seeded.direct;
    QAbstractButton *button = nullptr;
    std::function<bool()> value;
    if (control == u"전체 알림"_s || control == u"소리"_s) {
        rig.nav.setPage(Page{Page::settings, {}});
        const bool all = control == u"전체 알림"_s;
        button = part(*rig.workspace.detail(),
                      all ? u"notificationsEnabled"_s : u"notificationSound"_s);
        value = [&store, all] {
            return all ? store.notificationsEnabled() : store.notificationSound();
        };
    } else if (control == u"친구"_s) {
        button = rig.sidebar().sectionPicker()->segment(Section::friends);
        value = [&rig] { return rig.nav.section() == Section::friends; };
    } else if (control == u"friend row"_s) {
        rig.nav.setShowNewChat(true);
        auto *list = part<QListView>(*rig.workspace.sheet(Sheet::newChat), u"friends"_s);
        const QModelIndex first = list->model()->index(0, 0);
        value = [first] { return first.data(Qt::CheckStateRole).toInt() == Qt::Checked; };
        if (way == u"mouse"_s) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(first).center());
        } else if (way == u"space"_s) {
            list->setCurrentIndex(first);
            QTest::keyClick(list, Qt::Key_Space);
        } else {
            QVERIFY(rowAction(list, 0, way));
        }
        QVERIFY(value());
        return;
    } else {
        InfoPanel *panel = rig.openInfo(room);
        const bool notify = control == u"알림"_s;
        button = part(*panel, notify ? u"notify"_s : u"pin"_s);
        value = [&store, room, notify] {
            return notify ? !store.conversation(room)->muted : store.conversation(room)->pinned;
        };
    }
    QVERIFY(button && button->isEnabled());
    const bool before = value();
    QCOMPARE(button->isChecked(), before);
    actOn(button, way);
    QCOMPARE(value(), !before);
    QCOMPARE(button->isChecked(), !before);
}

// Rows that act on a click act on "Press"; a row's painted buttons are actions by their text.
void TestWindowAccess::rowsActOnPress()
{
    Rig rig;
    LocalStore &store = rig.store;

    // A received request in the friend list: "수락".
    const QUuid asker = addAccount(store, u"asker"_s, u"묻는이"_s);
    store.editFriends([&](QList<FriendLink> &l) { l.append({asker, FriendState::incoming}); });
    rig.nav.setSection(Section::friends);
    QListView *friends = rig.sidebar().friendList()->view();
    QTRY_VERIFY(rowOf(friends, FriendListModel::AccountIdRole, asker) >= 0);
    const int askerRow = rowOf(friends, FriendListModel::AccountIdRole, asker);
    QVERIFY(!rowAction(friends, 0, press)); // the "받은 요청" header does nothing
    QVERIFY(rowAction(friends, askerRow, u"수락"_s));
    QCOMPARE(store.friendState(asker), std::optional(FriendState::friends));
    QVERIFY(rowAction(friends, rowOf(friends, FriendListModel::AccountIdRole, asker), press));
    QCOMPARE(rig.nav.page(), Page::profilePage(asker));

    // A member of a group in its information panel: the profile, the panel closed.
    InfoPanel *panel = rig.openInfo(rig.seeded.group);
    auto *members = part<QListView>(*panel, u"memberList"_s);
    QVERIFY(rowAction(members, rowOf(members, AccountListModel::IdRole, SeedID::taeo()), press));
    QCOMPARE(rig.nav.page(), Page::profilePage(SeedID::taeo()));
    QVERIFY(!rig.nav.roomInfo());

    // The block list: "해제".
    store.block(SeedID::taeo());
    rig.nav.setPage(Page{Page::blocked, {}});
    redraw();
    auto *blocked = part<QListView>(*rig.workspace.detail(), u"list"_s);
    QVERIFY(rowAction(blocked, 0, u"해제"_s));
    QVERIFY(!store.blocks().contains(SeedID::taeo()));
}

void TestWindowAccess::roomRowOpensToWrite_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Return") << u"return"_s;
    QTest::newRow("Press") << press;
    QTest::newRow("click") << u"click"_s;
}

// Return on a room's row, "Press" or a click opens the room with the keyboard in its message
// field, even from the open room's information panel (a click, from the open room too); the
// arrow keys move through the rooms with the keyboard staying in the list.
void TestWindowAccess::roomRowOpensToWrite()
{
    QFETCH(QString, way);
    Rig rig;
    QVERIFY(rig.active);
    rig.openInfo(rig.seeded.group);
    QListView *rooms = rig.sidebar().chatList()->view();
    const int row = rowOf(rooms, RoomListModel::RoomIdRole, rig.seeded.group);
    const auto typing
        = [&rig] { return qobject_cast<ComposerField *>(rig.workspace.focusWidget()); };
    const auto click = [&] {
        rooms->setFocus(Qt::TabFocusReason);
        QTest::mouseClick(rooms->viewport(), Qt::LeftButton, {},
                          rooms->visualRect(rooms->model()->index(row, 0)).center());
    };
    if (way == u"return"_s) {
        rooms->setFocus(Qt::TabFocusReason);
        QTest::keyClick(rooms, Qt::Key_Return);
    } else if (way == press) {
        QVERIFY(rowAction(rooms, row, press));
    } else {
        click();
    }
    QCOMPARE(rig.nav.page(), Page::roomPage(rig.seeded.group));
    QVERIFY(!rig.nav.roomInfo());
    QTRY_VERIFY(typing());
    QTest::keyClicks(typing(), "hello");
    QCOMPARE(typing()->toPlainText(), u"hello"_s);
    if (way == u"click"_s) {
        click();
        QTRY_VERIFY(typing());
    }

    rooms->setFocus(Qt::TabFocusReason);
    const int current = rooms->currentIndex().row();
    const int next = current + 1 < rooms->model()->rowCount() ? current + 1 : current - 1;
    QTest::keyClick(rooms, next > current ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(
        rig.nav.page(),
        Page::roomPage(rooms->model()->index(next, 0).data(RoomListModel::RoomIdRole).toUuid()));
    redraw();
    QCOMPARE(rig.workspace.focusWidget(), rooms);
}

void TestWindowAccess::firstFieldHasTheKeyboard_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("first");
    QTest::newRow("password") << u"password"_s << u"current"_s;
    QTest::newRow("account deletion") << u"deleteAccount"_s << u"phrase"_s;
    QTest::newRow("own profile") << u"me"_s << u"name"_s;
    QTest::newRow("new conversation") << u"newChat"_s << u"query"_s;
    QTest::newRow("member invite") << u"memberInvite"_s << u"list"_s;
}

// Pages and sheets open with the keyboard on their first field or list, not on "닫기"/"취소".
void TestWindowAccess::firstFieldHasTheKeyboard()
{
    QFETCH(QString, where);
    QFETCH(QString, first);
    Rig rig;
    QVERIFY(rig.active);
    QWidget *window = &rig.workspace;
    if (where == u"newChat"_s) {
        rig.nav.setShowNewChat(true);
        window = rig.workspace.sheet(Sheet::newChat);
    } else if (where == u"memberInvite"_s) {
        // A friend who is not yet a member, so that the list has a row.
        befriend(rig.store, addAccount(rig.store, u"friend3"_s, u"셋째"_s));
        InfoPanel *panel = rig.openInfo(rig.seeded.group);
        part(*panel, u"invite"_s)->click();
        window = panel->inviteDialog();
    } else {
        rig.nav.setPage(Page{where == u"password"_s ? Page::password
                                 : where == u"me"_s ? Page::me
                                                    : Page::deleteAccount,
                             {}});
    }
    QVERIFY(window);
    QTRY_VERIFY(window->focusWidget());
    QCOMPARE(window->focusWidget()->objectName(), first);
}

void TestWindowAccess::leavingThePanelBuildsNoTranscript_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("나가기") << u"leave"_s;
    QTest::newRow("member row") << u"member"_s;
}

// Leaving the room, or a member's profile, from the information panel changes the page without
// showing the room's transcript again, which would start a load that races the leave.
void TestWindowAccess::leavingThePanelBuildsNoTranscript()
{
    QFETCH(QString, action);
    Rig rig;
    InfoPanel *panel = rig.openInfo(rig.seeded.group);
    QVERIFY(rig.workspace.findChildren<TranscriptView *>().isEmpty());
    if (action == u"leave"_s) {
        part(*panel, u"leave"_s)->click();
        QVERIFY(answerConfirmation(*panel, u"나가기"_s));
        QCOMPARE(rig.nav.page(), Page{});
    } else {
        auto *members = part<QListView>(*panel, u"memberList"_s);
        const int row = rowOf(members, AccountListModel::IdRole, SeedID::sora());
        QTest::mouseClick(members->viewport(), Qt::LeftButton, {},
                          members->visualRect(members->model()->index(row, 0)).center());
        QCOMPARE(rig.nav.page(), Page::profilePage(SeedID::sora()));
    }
    QVERIFY(!rig.nav.roomInfo());
    QVERIFY(rig.workspace.findChildren<TranscriptView *>().isEmpty());
}

void TestWindowAccess::staleNotificationIsCleared_data()
{
    QTest::addColumn<bool>("openPanel");
    QTest::newRow("room left") << false;
    QTest::newRow("panel opened") << true;
}

// A notification whose room is left, or whose panel is opened, while the room loads is
// forgotten when the load ends: it cannot open the room again later.
void TestWindowAccess::staleNotificationIsCleared()
{
    QFETCH(bool, openPanel);
    LivePair pair(3);
    LocalStore *store = pair.open();
    QVERIFY(store);
    Workspace workspace(*store);
    workspace.resize(960, 680);
    workspace.show();
    pair.service.delayNext(
        u"GET"_s, u"/v1/conversations/"_s + LiveRig::id(pair.room) + u"/messages"_s, 1, 400);
    store->openFromPush(pair.room, QUuid::createUuid());
    QCOMPARE(workspace.navigation().page(), Page::roomPage(pair.room));
    QVERIFY(store->pushTarget());
    if (openPanel)
        workspace.navigation().setRoomInfo(true);
    else
        workspace.navigation().setPage(Page{});
    QTRY_VERIFY_WITH_TIMEOUT(!store->pushTarget(), 5000);
    QTest::qWait(50);
}

// The window starts with the keyboard on the room list, its first row current and ringed before
// any arrow key; Escape empties a search; the list of the section not shown is not on screen
// for a screen reader either.
void TestWindowAccess::sidebarLists()
{
    Rig rig;
    QVERIFY(rig.active);
    QListView *rooms = rig.sidebar().chatList()->view();
    QTRY_COMPARE(QApplication::focusWidget(), rooms);
    QCOMPARE(rooms->currentIndex().row(), 0);
    QVERIFY(drawsFocusRing(rooms->viewport(), rooms->visualRect(rooms->currentIndex())));

    auto *search = rig.sidebar().chatList()->findChild<QLineEdit *>();
    search->setFocus();
    QTest::keyClicks(search, "zzz");
    QTest::keyClick(search, Qt::Key_Escape);
    QCOMPARE(search->text(), QString());
    QCOMPARE(rig.nav.query(), QString());

    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(rooms);
    QVERIFY(list->childCount() > 0);
    for (const Section section : {Section::friends, Section::chats}) {
        rig.nav.setSection(section);
        for (int row = 0; row < list->childCount(); ++row)
            QCOMPARE(list->child(row)->state().invisible, section == Section::friends);
    }
}

void TestWindowAccess::sheetsAreNamedAndShowTheirFocus_data()
{
    QTest::addColumn<int>("sheet");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("first");
    QTest::newRow("new conversation") << int(Sheet::newChat) << u"새 대화"_s << u"query"_s;
    QTest::newRow("report") << int(Sheet::report) << u"신고"_s << u"스팸"_s;
    QTest::newRow("photo") << int(Sheet::media) << u"사진"_s << u"close"_s;
}

// Every sheet's window has a name, and a sheet that opens on a button rings it at once.
void TestWindowAccess::sheetsAreNamedAndShowTheirFocus()
{
    QFETCH(int, sheet);
    QFETCH(QString, name);
    QFETCH(QString, first);
    Rig rig;
    QVERIFY(rig.active);
    if (Sheet(sheet) == Sheet::newChat)
        rig.nav.setShowNewChat(true);
    else if (Sheet(sheet) == Sheet::report)
        rig.nav.setReport(ReportDraft{QUuid::createUuid(), SeedID::sora(), std::nullopt});
    else
        rig.nav.setMediaId(QUuid::createUuid());
    QDialog *dialog = rig.workspace.sheet(Sheet(sheet));
    QCOMPARE(QAccessible::queryAccessibleInterface(dialog)->text(QAccessible::Name), name);
    QTRY_VERIFY(dialog->focusWidget());
    QCOMPARE(dialog->focusWidget()->objectName(), first);
    if (qobject_cast<QAbstractButton *>(dialog->focusWidget()))
        QTRY_VERIFY(drawsFocusRing(dialog->focusWidget()));
}

void TestWindowAccess::keyboardLandsWhereItBelongs_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("landing");
    QTest::newRow("대화") << u"talk"_s << u"composerField"_s;
    QTest::newRow("만들기 by Return") << u"create"_s << u"composerField"_s;
    QTest::newRow("invite page, 닫기") << u"invite"_s << u"list"_s;
    QTest::newRow("password page, 닫기") << u"password"_s << u"password"_s;
    QTest::newRow("block list, Escape") << u"blocked"_s << u"blocked"_s;
}

// The room the new-conversation sheet opens has the keyboard in its message field; leaving a
// page puts it back where the page was opened from (the settings row) or on the list.
void TestWindowAccess::keyboardLandsWhereItBelongs()
{
    QFETCH(QString, way);
    QFETCH(QString, landing);
    Rig rig;
    QVERIFY(rig.active);
    if (way == u"talk"_s || way == u"create"_s) {
        rig.nav.setShowNewChat(true);
        QDialog *dialog = rig.workspace.sheet(Sheet::newChat);
        QVERIFY(rowAction(part<QListView>(*dialog, u"friends"_s), 0,
                          QAccessibleActionInterface::toggleAction()));
        part(*dialog, way == u"talk"_s ? u"talk"_s : u"next"_s)->click();
        if (way == u"create"_s)
            QTest::keyClick(part<QLineEdit>(*dialog, u"groupTitle"_s), Qt::Key_Return);
        QTRY_COMPARE(rig.nav.page().kind, Page::room);
    } else {
        const Page::Kind kind = way == u"invite"_s ? Page::invite
            : way == u"password"_s                 ? Page::password
                                                   : Page::blocked;
        rig.nav.setPage(Page{kind, {}});
        auto *close = part<QAbstractButton>(*rig.workspace.detail(), u"close"_s);
        close->setFocus(Qt::TabFocusReason);
        QTest::keyClick(close, kind == Page::blocked ? Qt::Key_Escape : Qt::Key_Space);
        QTRY_COMPARE(rig.nav.page().kind, kind == Page::invite ? Page::pick : Page::settings);
    }
    // The window's own focus, which is the keyboard's whenever the window is active (the
    // offscreen platform activates none again after a dialog).
    QWidget *typing = rig.workspace.focusWidget();
    QVERIFY(typing);
    if (landing == u"list"_s)
        QCOMPARE(typing, rig.sidebar().chatList()->view());
    else
        QCOMPARE(typing->objectName(), landing);
}

QTEST_MAIN(TestWindowAccess)
#include "tst_windowaccess.moc"
