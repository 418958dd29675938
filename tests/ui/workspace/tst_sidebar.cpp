// The conversation list: order and search, what each row shows, the least change per store
// change, the row menu, selection and the other navigation it drives, the reveal of a room
// that arrives at the top, and what is on screen and what is painted after a room moves.

#include "../UiTestSupport.h"
#include "SidebarTestSupport.h"
#include "ui/common/AccountListModel.h"
#include "ui/common/KeyedListModel.h"
#include "ui/common/WideButton.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/RoomListModel.h"
#include "ui/workspace/Sidebar.h"

#include <QAbstractItemModelTester>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProxyStyle>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

class TestSidebar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void anyReorder();
    void accountRows_data();
    void accountRows();
    void search_data();
    void search();
    void searchFollowsComposition();
    void rowTexts_data();
    void rowTexts();
    void leastChange_data();
    void leastChange();
    void renamedAccountReachesRowsAndSearch();
    void rowMenu_data();
    void rowMenu();
    void selectionAndButtons();
    void aRowIsAskedForOnce_data();
    void aRowIsAskedForOnce();
    void reveal_data();
    void reveal();
    void movedRowPaintsAsFullRepaint_data();
    void movedRowPaintsAsFullRepaint();
    void movedRowIsPaintedInPlace();
};

// Letters as rows: the letter is the key, the case is the look.
class LetterModel : public KeyedListModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(rows.size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(rows.at(index.row())) : QVariant();
    }
    void sync(const QStringList &next)
    {
        syncRows(
            rows, next, [](const QString &r) { return r.toLower(); },
            [](const QString &a, const QString &b) { return a == b; });
    }
    void rebuild() override { }
    QStringList rows;
};

void TestSidebar::anyReorder()
{
    // Random lists of letters drawn from a few, in random order and case: the rows must end as
    // the list, through changes the tester accepts, with at most one move per row.
    LetterModel model;
    QAbstractItemModelTester tester(&model);
    QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
    QRandomGenerator random(20'240'531);
    for (int round = 0; round < 300; ++round) {
        QStringList next;
        for (QChar c : QStringLiteral("abcdefghij")) {
            if (random.bounded(4) != 0)
                next.insert(random.bounded(int(next.size()) + 1),
                            random.bounded(2) ? QString(c) : QString(c.toUpper()));
        }
        moves.clear();
        model.sync(next);
        QCOMPARE(model.rows, next);
        QVERIFY(moves.size() <= next.size());
    }
}

void TestSidebar::accountRows_data()
{
    // Accounts by letter; the second list is what the source gives next. A letter in upper case
    // is the same account with a changed name.
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("shown");
    QTest::newRow("risen to the top") << "abcd"
                                      << "dabc"
                                      << "dabc";
    QTest::newRow("swapped, one gone") << "abcd"
                                       << "dcb"
                                       << "dcb";
    QTest::newRow("renamed in place") << "abc"
                                      << "aBc"
                                      << "aBc";
    QTest::newRow("named twice") << "ab"
                                 << "bab"
                                 << "ba";
    QTest::newRow("emptied") << "abc"
                             << ""
                             << "";
}

void TestSidebar::accountRows()
{
    // The people lists follow their source by moves, never by a reset, so that the view keeps
    // its scroll position and its current row.
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, shown);
    const auto accounts = [](const QString &letters) {
        QList<Account> list;
        for (QChar letter : letters) {
            Account account;
            account.id = QUuid::createUuidV5(QUuid(), QString(letter.toLower()));
            account.displayName = letter;
            list.append(account);
        }
        return list;
    };
    QList<Account> source = accounts(before);
    AccountListModel model([&] { return source; });
    QAbstractItemModelTester tester(&model);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    source = accounts(after);
    model.refresh();
    QString rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows += model.index(row).data().toString();
    QCOMPARE(rows, shown);
    QCOMPARE(resets.size(), 0);
}

// Rooms: "모임" (pinned group, no title: named by its members), "하늘" (direct, newest),
// "산책 모임" (group with Alice and a member who left), and a hidden room.
struct SearchRooms : SidebarFixture
{
    SearchRooms()
    {
        const Account minsu = addPerson(QStringLiteral("민수"));
        const Account sky = addPerson(QStringLiteral("하늘"), QStringLiteral("sky_blue"));
        const Account alice = addPerson(QStringLiteral("Alice"));
        const Account gone = addPerson(QStringLiteral("지영"));
        addRoom(ConversationKind::group, {minsu.id, sky.id}, {}, 300, true);
        addRoom(ConversationKind::direct, {sky.id}, {}, 10);
        addRoom(ConversationKind::group, {alice.id, minsu.id}, QStringLiteral("산책 모임"), 100);
        store->editConversations([&](QList<Conversation> &list) {
            Membership left = member(gone.id);
            left.leftAt = QDateTime::currentDateTimeUtc();
            list.last().memberships.append(left);
        });
        store->hideFromList(addRoom(ConversationKind::direct, {minsu.id}, {}, 0).id);
    }
};

void TestSidebar::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<bool>("noMatchShown");

    const QString group = QStringLiteral("민수, 하늘");
    const QString sky = QStringLiteral("하늘");
    const QString walk = QStringLiteral("산책 모임");
    QTest::newRow("empty: pinned first, then newest")
        << QString() << QStringList{group, sky, walk} << false;
    QTest::newRow("only spaces lists everything")
        << QStringLiteral("  \n ") << QStringList{group, sky, walk} << false;
    QTest::newRow("title") << QStringLiteral("산책") << QStringList{walk} << false;
    QTest::newRow("member name keeps list order")
        << QStringLiteral("민수") << QStringList{group, walk} << false;
    QTest::newRow("case-insensitive") << QStringLiteral("aLiCe") << QStringList{walk} << false;
    QTest::newRow("member who left") << QStringLiteral("지영") << QStringList{walk} << false;
    QTest::newRow("handles are not searched")
        << QStringLiteral("sky_blue") << QStringList{} << true;
}

void TestSidebar::search()
{
    QFETCH(QString, query);
    QFETCH(QStringList, titles);
    QFETCH(bool, noMatchShown);
    SearchRooms f;
    ChatList list(*f.store, f.navigation);
    f.follow(list);
    QAbstractItemModelTester tester(list.model());
    list.searchField()->setText(query);
    emit list.searchField()->textEdited(query);
    QCOMPARE(f.navigation.query(), query);
    QCOMPARE(displayTexts(*list.model()), titles);
    QCOMPARE(list.noMatchLabel()->isVisibleTo(&list), noMatchShown);
    QVERIFY(!list.startButton()->isVisibleTo(&list));
}

// The filter follows what the field shows, the syllable an input method is still composing
// included, so that a Korean search does not lag a syllable behind; the field keeps it open.
void TestSidebar::searchFollowsComposition()
{
    SearchRooms f;
    ChatList list(*f.store, f.navigation);
    f.follow(list);
    QLineEdit *field = list.searchField();
    const QString group = QStringLiteral("민수, 하늘");
    const QString walk = QStringLiteral("산책 모임");
    struct Step
    {
        QString preedit, commit, query, text;
        QStringList rows; // empty: not looked at
    };
    const QList<Step> steps{
        {"ㅅ", {}, "ㅅ", {}, {}},       {"산", {}, "산", {}, {walk}},
        {"ㅊ", "산", "산ㅊ", "산", {}}, {"책", {}, "산책", "산", {walk}},
        {{}, "책", "산책", "산책", {}}, {"하", {}, "하늘", "늘", {group, QStringLiteral("하늘")}},
        {{}, {}, "늘", "늘", {}},
    };
    for (int i = 0; i < steps.size(); ++i) {
        if (i == 5) { // a syllable composed in the middle counts where it stands; given up, it goes
            field->setText(QStringLiteral("늘"));
            emit field->textEdited(field->text());
            field->setCursorPosition(0);
        }
        QInputMethodEvent event(steps[i].preedit, {});
        event.setCommitString(steps[i].commit);
        QCoreApplication::sendEvent(field, &event);
        settleViews();
        QCOMPARE(f.navigation.query(), steps[i].query);
        QCOMPARE(field->text(), steps[i].text); // a syllable being composed is not set into it
        if (!steps[i].rows.isEmpty())
            QCOMPARE(displayTexts(*list.model()), steps[i].rows);
    }
}

void TestSidebar::rowTexts_data()
{
    QTest::addColumn<QStringList>("bodies"); // "kind:body", "hidden:body"; oldest first
    QTest::addColumn<int>("fromPeer"); // unread messages from the peer, after the bodies
    QTest::addColumn<bool>("officialMuted");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<QString>("spoken");

    QTest::newRow("no message") << QStringList{} << 0 << false << QString()
                                << QStringLiteral("상대");
    QTest::newRow("text") << QStringList{QStringLiteral("text:안녕\n잘 지내?")} << 0 << false
                          << QStringLiteral("안녕\n잘 지내?")
                          << QStringLiteral("상대, %t, 안녕\n잘 지내?, 안 읽음");
    QTest::newRow("photo with caption")
        << QStringList{QStringLiteral("image:바다")} << 0 << false << QStringLiteral("사진")
        << QStringLiteral("상대, %t, 사진, 안 읽음");
    QTest::newRow("deleted") << QStringList{QStringLiteral("deleted:")} << 0 << false
                             << QStringLiteral("삭제된 메시지")
                             << QStringLiteral("상대, %t, 삭제된 메시지");
    QTest::newRow("hidden last is skipped")
        << QStringList{QStringLiteral("text:첫째"), QStringLiteral("hidden:둘째")} << 0 << false
        << QStringLiteral("첫째") << QStringLiteral("상대, %t, 첫째, 안 읽음");
    QTest::newRow("unread count") << QStringList{} << 3 << false << QStringLiteral("p3")
                                  << QStringLiteral("상대, %t, p3, 3");
    QTest::newRow("99+") << QStringList{} << 120 << false << QStringLiteral("p120")
                         << QStringLiteral("상대, %t, p120, 99+");
    QTest::newRow("official and muted") << QStringList{} << 1 << true << QStringLiteral("p1")
                                        << QStringLiteral("Zumo, 공식, 알림 끔, %t, p1, 1");
    QTest::newRow("disguised address")
        << QStringList{QStringLiteral("text:확인: \u202Ehttps://evil.example/moc.knab//:sptth")}
        << 0 << false << QStringLiteral("확인: https://evil.example/moc.knab//:sptth")
        << QStringLiteral("상대, %t, 확인: https://evil.example/moc.knab//:sptth, 안 읽음");
}

void TestSidebar::rowTexts()
{
    QFETCH(QStringList, bodies);
    QFETCH(int, fromPeer);
    QFETCH(bool, officialMuted);
    QFETCH(QString, preview);
    QFETCH(QString, spoken);
    SidebarFixture f;
    const QUuid peer = officialMuted ? SeedID::quillo() : f.addPerson(QStringLiteral("상대")).id;
    const Conversation room = f.addRoom(ConversationKind::direct, {peer});
    if (officialMuted)
        f.store->setMuted(room.id, true);
    QDateTime last;
    for (const QString &entry : bodies) {
        const QString kind = entry.section(u':', 0, 0);
        const QString body = entry.section(u':', 1);
        const MessageKind k = kind == u"image" ? MessageKind::image
            : kind == u"deleted"               ? MessageKind::deleted
                                               : MessageKind::text;
        const ChatMessage m = f.say(room.id, f.me, body, k, kind == u"hidden");
        if (kind != u"hidden")
            last = m.createdAt;
    }
    for (int i = 1; i <= fromPeer; ++i)
        last = f.say(room.id, peer, QStringLiteral("p%1").arg(i)).createdAt;

    RoomListModel model(*f.store);
    QCOMPARE(model.rowCount(), 1);
    const RoomRow &row = model.row(0);
    QCOMPARE(row.preview, preview);
    QCOMPARE(row.unread, fromPeer);
    QCOMPARE(row.official, officialMuted);
    const QString time = RoomListModel::timeText(row, QDateTime::currentDateTime());
    QCOMPARE(time.isEmpty(), !last.isValid());
    QCOMPARE(model.index(0).data(Qt::AccessibleTextRole).toString(),
             QString(spoken).replace(QStringLiteral("%t"), time));
}

void TestSidebar::leastChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("moved");
    QTest::addColumn<int>("inserted");
    QTest::addColumn<int>("removed");
    QTest::addColumn<int>("changed");

    QTest::newRow("a message arrives in the lowest room") << "arrive" << 1 << 0 << 0 << 1;
    QTest::newRow("the service's copy replaces an echo") << "replace" << 0 << 0 << 0 << 1;
    QTest::newRow("a new room") << "add" << 0 << 1 << 0 << 0;
    QTest::newRow("a room hidden") << "hide" << 0 << 0 << 1 << 0;
    QTest::newRow("muted") << "mute" << 0 << 0 << 0 << 1;
    QTest::newRow("another room unpinned") << "unpin" << 1 << 0 << 0 << 1;
    QTest::newRow("a change nobody sees") << "nothing" << 0 << 0 << 0 << 0;
}

void TestSidebar::leastChange()
{
    QFETCH(QString, change);
    QFETCH(int, moved);
    QFETCH(int, inserted);
    QFETCH(int, removed);
    QFETCH(int, changed);
    SidebarFixture f;
    const Account peer = f.addPerson(QStringLiteral("상대"));
    QList<Conversation> rooms;
    for (int i = 0; i < 6; ++i)
        rooms.append(f.addRoom(ConversationKind::direct, {peer.id}, {}, 10 * i, i == 5));
    const ChatMessage echo = f.say(rooms.at(2).id, f.me, QStringLiteral("보냄"));
    RoomListModel model(*f.store);
    QAbstractItemModelTester tester(&model);
    QSignalSpy moves(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removes(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    if (change == u"arrive") {
        f.arrive(rooms.at(4).id, peer.id, QStringLiteral("새 소식"));
    } else if (change == u"replace") {
        ChatMessage copy = echo;
        copy.id = QUuid::createUuid();
        copy.body = QStringLiteral("보냄 (확인)");
        f.store->merge(copy, false);
    } else if (change == u"add") {
        f.addRoom(ConversationKind::direct, {peer.id}, {}, 25);
    } else if (change == u"hide") {
        f.store->hideFromList(rooms.at(3).id);
    } else if (change == u"mute") {
        f.store->setMuted(rooms.at(4).id, true);
    } else if (change == u"unpin") {
        f.store->setPinned(rooms.last().id, false);
    } else {
        f.store->setNotificationSound(false);
        f.store->editConversations([](QList<Conversation> &) {});
    }
    settleViews();

    QCOMPARE(moves.size(), moved);
    QCOMPARE(inserts.size(), inserted);
    QCOMPARE(removes.size(), removed);
    QCOMPARE(changes.size(), changed);
    QCOMPARE(resets.size(), 0);
    QList<QUuid> order;
    for (const Conversation &c : f.store->sortedList())
        order.append(c.id);
    QCOMPARE(model.listedIds(), order);
    for (int i = 0; i < model.rowCount(); ++i)
        QCOMPARE(model.row(i).room.id, order.at(i));
}

void TestSidebar::renamedAccountReachesRowsAndSearch()
{
    // A rename of one account reaches the rows that show it, in titles and in the search,
    // rows already made and search forms already kept included.
    SidebarFixture f;
    const Account minsu = f.addPerson(QStringLiteral("민수"));
    const Account sky = f.addPerson(QStringLiteral("하늘"));
    f.addRoom(ConversationKind::direct, {minsu.id}, {}, 10);
    f.addRoom(ConversationKind::group, {minsu.id, sky.id}, {}, 20);
    f.addRoom(ConversationKind::direct, {sky.id}, {}, 30);
    RoomListModel model(*f.store);
    QCOMPARE(model.row(0).title, QStringLiteral("민수"));
    model.setQuery(QStringLiteral("민수"));
    QCOMPARE(model.rowCount(), 2);

    Account renamed = minsu;
    renamed.displayName = QStringLiteral("철수");
    f.store->replaceAccount(renamed);
    settleViews();
    QCOMPARE(model.rowCount(), 0);
    model.setQuery(QStringLiteral("철수"));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.row(0).title, QStringLiteral("철수"));
    QCOMPARE(model.row(1).title, QStringLiteral("철수, 하늘"));
    model.setQuery(QString());
    QCOMPARE(model.rowCount(), 3);
}

void TestSidebar::rowMenu_data()
{
    QTest::addColumn<bool>("official");
    QTest::addColumn<bool>("flags"); // pinned and muted before
    QTest::addColumn<bool>("open"); // the room's page is the open one
    QTest::addColumn<QStringList>("texts");

    const QStringList plain{"고정", "알림 끄기", "나가기"};
    const QStringList flipped{"고정 해제", "알림 켜기", "나가기"};
    const QStringList official{"고정", "알림 끄기", "대화 삭제"};
    QTest::newRow("person") << false << false << false << plain;
    QTest::newRow("pinned and muted") << false << true << true << flipped;
    QTest::newRow("official, open") << true << false << true << official;
    QTest::newRow("official, another page open") << true << false << false << official;
}

void TestSidebar::rowMenu()
{
    QFETCH(bool, official);
    QFETCH(bool, flags);
    QFETCH(bool, open);
    QFETCH(QStringList, texts);
    SidebarFixture f;
    const QUuid peer = official ? SeedID::quillo() : f.addPerson(QStringLiteral("상대")).id;
    const Conversation room = f.addRoom(ConversationKind::direct, {peer}, {}, 0, flags);
    f.store->setMuted(room.id, flags);
    const Page other = Page::profilePage(peer);
    f.navigation.setPage(open ? Page::roomPage(room.id) : other);
    f.navigation.setRoomInfo(true);
    ChatList list(*f.store, f.navigation);
    f.follow(list);

    std::unique_ptr<QMenu> menu(list.rowMenu(room.id, nullptr));
    QVERIFY(menu);
    QStringList shown;
    for (QAction *action : menu->actions())
        shown.append(action->text());
    QCOMPARE(shown, texts);
    for (QAction *action : menu->actions())
        action->trigger();

    const Conversation after = *f.store->conversation(room.id);
    QCOMPARE(after.pinned, !flags);
    QCOMPARE(after.muted, !flags);
    QCOMPARE(after.hiddenFromList, official);
    QCOMPARE(f.navigation.leaveId(), official ? std::nullopt : std::optional<QUuid>(room.id));
    QCOMPARE(f.navigation.page(),
             official && open ? Page{} : (open ? Page::roomPage(room.id) : other));
    QCOMPARE(f.navigation.roomInfo(), true);
    QCOMPARE(f.navigation.section(), Section::chats);
}

void TestSidebar::selectionAndButtons()
{
    SidebarFixture f;
    const Account peer = f.addPerson(QStringLiteral("상대"));
    const Conversation a = f.addRoom(ConversationKind::direct, {peer.id}, {}, 0);
    const Conversation b
        = f.addRoom(ConversationKind::group, {peer.id}, QStringLiteral("모임"), 10);
    f.navigation.setSection(Section::friends);
    Sidebar sidebar(*f.store, f.navigation);
    f.follow(sidebar);
    ChatList &list = *sidebar.chatList();
    QItemSelectionModel *selection = list.view()->selectionModel();

    // Choosing a row opens the room on its transcript, in the chat section.
    f.navigation.setRoomInfo(true);
    selection->setCurrentIndex(list.model()->index(1), QItemSelectionModel::ClearAndSelect);
    QCOMPARE(f.navigation.page(), Page::roomPage(b.id));
    QCOMPARE(f.navigation.section(), Section::chats);
    QCOMPARE(f.navigation.roomInfo(), false);
    // Only the section shown is the chosen segment.
    QVERIFY(sidebar.sectionPicker()->segment(Section::chats)->isChecked());
    QVERIFY(!sidebar.sectionPicker()->segment(Section::friends)->isChecked());

    // Clearing the selection keeps the room open and shows its row again; an open info panel
    // stays open when the list follows the page.
    f.navigation.setRoomInfo(true);
    selection->clearSelection();
    QCOMPARE(f.navigation.page(), Page::roomPage(b.id));
    QVERIFY(selection->isSelected(list.model()->index(1)));
    f.store->setPinned(b.id, false); // any refresh
    settleViews();
    QCOMPARE(f.navigation.roomInfo(), true);

    // Another road into a room selects its row; any other page selects none.
    f.navigation.openRoom(a.id);
    QCOMPARE(selection->selectedIndexes(), QModelIndexList{list.model()->index(0)});
    QAbstractButton *settings = sidebar.settingsButton();
    f.navigation.setRoomInfo(true);
    settings->click();
    QCOMPARE(f.navigation.page(), (Page{Page::settings, {}}));
    QCOMPARE(f.navigation.roomInfo(), false);
    QVERIFY(!selection->hasSelection());

    list.newChatButton()->click();
    QVERIFY(f.navigation.showNewChat());

    // With no rooms at all, the list offers to start one.
    f.navigation.setShowNewChat(false);
    SidebarFixture empty;
    ChatList none(*empty.store, empty.navigation);
    empty.follow(none);
    QVERIFY(none.startButton()->isVisibleTo(&none));
    QCOMPARE(none.startButton()->title(), QStringLiteral("대화 시작"));
    none.startButton()->click();
    QVERIFY(empty.navigation.showNewChat());
}

// A desktop set to open items with one click, as some desktops offer.
class SingleClickStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *answer) const override
    {
        return hint == SH_ItemView_ActivateItemOnSingleClick
            ? 1
            : QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

void TestSidebar::aRowIsAskedForOnce_data()
{
    QTest::addColumn<bool>("singleClick"); // the style activates items with one click
    QTest::addColumn<QString>("how");
    for (const char *how : {"click", "double", "return"}) {
        QTest::addRow("%s", how) << false << QString::fromLatin1(how);
        QTest::addRow("%s, one click activates", how) << true << QString::fromLatin1(how);
    }
}

// A click, a double click or Return on a row asks once to write in its room, whether or not
// the style activates items with a single click.
void TestSidebar::aRowIsAskedForOnce()
{
    QFETCH(bool, singleClick);
    QFETCH(QString, how);
    SidebarFixture f;
    const Account peer = f.addPerson(QStringLiteral("상대"));
    f.addRoom(ConversationKind::direct, {peer.id}, {}, 0);
    const Conversation b
        = f.addRoom(ConversationKind::group, {peer.id}, QStringLiteral("모임"), 10);
    SingleClickStyle style;
    ChatList list(*f.store, f.navigation);
    if (singleClick)
        list.view()->setStyle(&style);
    QCOMPARE(list.view()->style()->styleHint(QStyle::SH_ItemView_ActivateItemOnSingleClick, nullptr,
                                             list.view()),
             int(singleClick));
    list.resize(280, 400);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QList<QUuid> asked;
    connect(&list, &ChatList::writeRequested, &list, [&](const QUuid &id) { asked.append(id); });

    QWidget *rows = list.view()->viewport();
    const QPoint at = list.view()->visualRect(list.model()->index(1)).center();
    if (how == QLatin1String("return")) {
        list.view()->setFocus();
        list.view()->setCurrentIndex(list.model()->index(1));
        QTest::keyClick(list.view(), Qt::Key_Return);
    } else {
        QTest::mouseClick(rows, Qt::LeftButton, {}, at);
        if (how == QLatin1String("double")) {
            QTest::mouseDClick(rows, Qt::LeftButton, {}, at);
            QTest::mouseRelease(rows, Qt::LeftButton, {}, at);
        }
    }
    QCOMPARE(asked, QList<QUuid>{b.id});
}

// Shows `sidebar` at its width in the window, following `f`'s navigation; false when it never
// showed.
static bool showSidebar(SidebarFixture &f, Sidebar &sidebar)
{
    f.follow(sidebar);
    sidebar.resize(280, 680);
    sidebar.show();
    return QTest::qWaitForWindowExposed(&sidebar);
}

// Thirty direct rooms, each with a person of its own who wrote one message, the first the most
// recently active; the one at `pinned` (none by default) is pinned.
static QList<Conversation> thirtyRooms(SidebarFixture &f, int pinned = -1)
{
    QList<Conversation> rooms;
    for (int i = 0; i < 30; ++i) {
        const Account peer = f.addPerson(QStringLiteral("사람 %1").arg(i));
        rooms.append(f.addRoom(ConversationKind::direct, {peer.id}, {}, 100 + i, i == pinned));
        f.say(rooms.last().id, peer.id, QStringLiteral("메시지 %1").arg(i));
    }
    return rooms;
}

void TestSidebar::reveal_data()
{
    QTest::addColumn<QString>("arrival");
    QTest::addColumn<bool>("revealed");

    QTest::newRow("a new room at the top") << "new" << true;
    QTest::newRow("a new room below a pinned one") << "belowPinned" << false;
    QTest::newRow("a known room rising") << "known" << false;
    QTest::newRow("while searching") << "searching" << false;
    QTest::newRow("while the friends are shown, revealed on return") << "meanwhile" << true;
    QTest::newRow("the first rooms ever") << "first" << false;
    QTest::newRow("the room at the top edge, gone and back") << "returning" << true;
}

void TestSidebar::reveal()
{
    QFETCH(QString, arrival);
    QFETCH(bool, revealed);
    SidebarFixture f;
    const Account peer = f.addPerson(QStringLiteral("상대"));
    QList<Conversation> rooms;
    if (arrival != u"first") {
        for (int i = 0; i < 30; ++i)
            rooms.append(f.addRoom(ConversationKind::direct, {peer.id}, {}, 100 + i,
                                   arrival == u"belowPinned" && i == 0));
    }
    Sidebar sidebar(*f.store, f.navigation);
    QVERIFY(showSidebar(f, sidebar));
    QListView *view = sidebar.chatList()->view();
    QCOMPARE(sidebar.chatList()->knownRoomIDs().size(), rooms.size());
    QVERIFY(!sidebar.chatList()->chatScroll()); // nothing scrolls on first showing
    if (!rooms.isEmpty()) {
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QVERIFY(sidebar.chatList()->chatScroll()); // scrolling moves the position
    }
    const std::optional<QUuid> before = sidebar.chatList()->chatScroll();

    if (arrival == u"searching")
        f.navigation.setQuery(QStringLiteral("상대"));
    if (arrival == u"meanwhile")
        f.navigation.setSection(Section::friends);
    Conversation fresh;
    if (arrival == u"known") {
        f.arrive(rooms.at(20).id, peer.id, QStringLiteral("안녕"));
    } else if (arrival == u"returning") {
        fresh = *f.store->conversation(*before);
        f.store->hideFromList(fresh.id);
        settleViews();
        f.store->editConversations([&](QList<Conversation> &list) {
            for (Conversation &c : list) {
                if (c.id == fresh.id)
                    c.hiddenFromList = false;
            }
        });
        f.arrive(fresh.id, peer.id, QStringLiteral("다시 왔어요"));
    } else {
        fresh = f.addRoom(ConversationKind::direct, {peer.id}, {}, 0);
    }
    settleViews();
    if (arrival == u"meanwhile") {
        QCOMPARE(sidebar.chatList()->chatScroll(), before);
        f.navigation.setSection(Section::chats);
    }

    QCOMPARE(sidebar.chatList()->chatScroll() == std::optional<QUuid>(fresh.id), revealed);
    if (revealed) {
        QCOMPARE(view->verticalScrollBar()->value(), 0);
        QCOMPARE(view->indexAt(QPoint(0, 0)).data(RoomListModel::RoomIdRole).toUuid(), fresh.id);
    }
    QCOMPARE(sidebar.chatList()->knownRoomIDs().size(), f.store->sortedList().size());
}

void TestSidebar::movedRowPaintsAsFullRepaint_data()
{
    QTest::addColumn<int>("row"); // the room that moves, by its place in time
    QTest::addColumn<int>("scroll"); // pixels scrolled down first
    QTest::addColumn<bool>("unpin"); // the room sinks (unpinned) rather than rises

    QTest::newRow("rising from a visible row") << 5 << 0 << false;
    QTest::newRow("rising from below the visible rows") << 20 << 0 << false;
    QTest::newRow("rising in a list scrolled part of a row") << 6 << 30 << false;
    QTest::newRow("rising to a top scrolled away") << 14 << 400 << false;
    QTest::newRow("the top row rising in place") << 0 << 0 << false;
    QTest::newRow("sinking from the top") << 10 << 0 << true;
}

void TestSidebar::movedRowPaintsAsFullRepaint()
{
    QFETCH(int, row);
    QFETCH(int, scroll);
    QFETCH(bool, unpin);
    SidebarFixture f;
    const QList<Conversation> rooms = thirtyRooms(f, unpin ? row : -1);
    Sidebar sidebar(*f.store, f.navigation);
    QVERIFY(showSidebar(f, sidebar));
    QListView *view = sidebar.chatList()->view();
    // A selected room among those that shift, so that its plate moves with it.
    f.navigation.openRoom(rooms.at(2).id);
    view->verticalScrollBar()->setValue(scroll);
    settleViews();
    view->viewport()->repaint();

    const QUuid moved = rooms.at(row).id;
    if (unpin)
        f.store->setPinned(moved, false);
    else
        f.arrive(moved, f.store->conversation(moved)->memberships.at(1).userId,
                 QStringLiteral("새 메시지"));
    settleViews();
    QCOMPARE(view->model()->index(0, 0).data(RoomListModel::RoomIdRole).toUuid() == moved, !unpin);

    // What the window shows of the list, as left by the move and as painted in full.
    const QRect area(view->viewport()->mapTo(&sidebar, QPoint()), view->viewport()->size());
    const auto shown = [&] {
        return sidebar.screen()
            ->grabWindow(sidebar.winId(), area.x(), area.y(), area.width(), area.height())
            .toImage();
    };
    const QImage afterMove = shown();
    view->viewport()->repaint();
    const QImage repainted = shown();
    QVERIFY(!afterMove.isNull());
    QCOMPARE(afterMove, repainted);
}

// A room rising to the top paints only the rows down to its old place: Qt's own answer to a
// move, which paints the whole list, is taken away (a later Qt connecting it otherwise fails here).
void TestSidebar::movedRowIsPaintedInPlace()
{
    SidebarFixture f;
    const QList<Conversation> rooms = thirtyRooms(f);
    Sidebar sidebar(*f.store, f.navigation);
    QVERIFY(showSidebar(f, sidebar));
    QListView *view = sidebar.chatList()->view();
    settleViews();
    const QUuid moved = rooms.at(3).id; // the fourth row
    QCOMPARE(view->model()->index(3, 0).data(RoomListModel::RoomIdRole).toUuid(), moved);
    const QRect fourth = view->visualRect(view->model()->index(3, 0));

    PaintedAreas painted(view->viewport());
    f.arrive(moved, f.store->conversation(moved)->memberships.at(1).userId,
             QStringLiteral("새 메시지"));
    settleViews();
    QCOMPARE(view->model()->index(0, 0).data(RoomListModel::RoomIdRole).toUuid(), moved);
    QVERIFY(!painted.painted.isEmpty());
    QVERIFY2(painted.painted.boundingRect().bottom() <= fourth.bottom(),
             qPrintable(QStringLiteral("painted down to %1 of %2")
                            .arg(painted.painted.boundingRect().bottom())
                            .arg(view->viewport()->height())));
}

QTEST_MAIN(TestSidebar)
#include "tst_sidebar.moc"
