// The friend list: its sections by what the user has, the buttons and rows and what each opens
// or calls, and a sidebar that never asks for more than its narrowest width.

#include "SidebarTestSupport.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/FriendList.h"
#include "ui/workspace/FriendListModel.h"
#include "ui/workspace/Sidebar.h"
#include "ui/workspace/SidebarRows.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QtTest>

class TestSidebarFriends : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }

    void sections_data();
    void sections();
    void actions_data();
    void actions();
    void narrowest();
};

// Friends "가람" and "나래", a request from "다솜", the house account followed, as asked.
struct People : SidebarFixture
{
    People(int friends, int requests, bool official)
    {
        const QStringList names{QStringLiteral("나래"), QStringLiteral("가람")};
        for (int i = 0; i < friends; ++i)
            befriend(*store, addPerson(names.at(i)).id);
        for (int i = 0; i < requests; ++i) {
            asking = addPerson(QStringLiteral("다솜"), QStringLiteral("dasom")).id;
            store->editFriends([&](QList<FriendLink> &list) {
                list.append(FriendLink{asking, FriendState::incoming});
            });
        }
        if (official)
            store->followOfficial(SeedID::quillo());
    }
    QUuid asking;
};

void TestSidebarFriends::sections_data()
{
    QTest::addColumn<int>("friends");
    QTest::addColumn<int>("requests");
    QTest::addColumn<bool>("official");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<bool>("hint");

    QTest::newRow("nobody") << 0 << 0 << false << QStringList{} << true;
    QTest::newRow("only a request") << 0 << 1 << false << QStringList{"받은 요청", "다솜"} << true;
    QTest::newRow("only an official account")
        << 0 << 0 << true << QStringList{"친구 0", "공식 계정", "Zumo"} << false;
    QTest::newRow("everything, friends by name")
        << 2 << 1 << true
        << QStringList{"받은 요청", "다솜", "친구 2", "가람", "나래", "공식 계정", "Zumo"} << false;
}

void TestSidebarFriends::sections()
{
    QFETCH(int, friends);
    QFETCH(int, requests);
    QFETCH(bool, official);
    QFETCH(QStringList, rows);
    QFETCH(bool, hint);
    // Made while shown, and made while the rooms are shown, then shown.
    for (const Section first : {Section::friends, Section::chats}) {
        People f(0, 0, false);
        f.navigation.setSection(first);
        FriendList list(*f.store, f.navigation);
        f.follow(list);
        QAbstractItemModelTester tester(list.model());
        // The people come after the list is up, as a sync would bring them.
        People more(friends, requests, official);
        f.store->setAccounts(more.store->accounts());
        f.store->setFriends(more.store->friends());
        f.store->setOfficialLinks(more.store->officialLinks());
        f.store->setSession(more.store->session());
        settleViews();
        f.navigation.setSection(Section::friends);

        QCOMPARE(displayTexts(*list.model()), rows);
        QCOMPARE(list.hint()->isVisibleTo(&list), hint);
        QVERIFY(list.ownRow()->isVisibleTo(&list));
        QCOMPARE(list.ownRow()->accessibleName(), QStringLiteral("나, @me_handle"));
        QCOMPARE(list.addFriendButton()->text(), QStringLiteral("친구 추가"));
        QCOMPARE(list.inviteButton()->text(), QStringLiteral("초대 링크"));
    }
}

void TestSidebarFriends::actions_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("part"); // SidebarPersonDelegate::Part, or -1 for a button above the list
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("friendState"); // of the asking user afterwards; -1: no link

    const int accept = int(SidebarPersonDelegate::Part::accept);
    const int decline = int(SidebarPersonDelegate::Part::decline);
    const int person = int(SidebarPersonDelegate::Part::person);
    QTest::newRow("수락") << "다솜" << accept << "pick" << int(FriendState::friends);
    QTest::newRow("거절") << "다솜" << decline << "pick" << -1;
    QTest::newRow("the requesting person")
        << "다솜" << person << "profile" << int(FriendState::incoming);
    QTest::newRow("a friend") << "나래" << person << "profile" << int(FriendState::incoming);
    QTest::newRow("an official account")
        << "Zumo" << person << "profile" << int(FriendState::incoming);
    QTest::newRow("a header") << "친구 1" << person << "pick" << int(FriendState::incoming);
    QTest::newRow("own row") << "own" << -1 << "me" << int(FriendState::incoming);
    QTest::newRow("초대 링크") << "invite" << -1 << "invite" << int(FriendState::incoming);
    QTest::newRow("친구 추가") << "add" << -1 << "pick" << int(FriendState::incoming);
}

void TestSidebarFriends::actions()
{
    QFETCH(QString, target);
    QFETCH(int, part);
    QFETCH(QString, page);
    QFETCH(int, friendState);
    People f(1, 1, true);
    f.navigation.setSection(Section::friends);
    FriendList list(*f.store, f.navigation);
    f.follow(list);
    list.resize(300, 600);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    if (target == u"own") {
        list.ownRow()->click();
    } else if (target == u"invite") {
        list.inviteButton()->click();
    } else if (target == u"add") {
        list.addFriendButton()->click();
    } else {
        const int row = int(displayTexts(*list.model()).indexOf(target));
        QVERIFY(row >= 0);
        const QModelIndex index = list.model()->index(row);
        const QRect rect = list.view()->visualRect(index);
        const int kind = index.data(FriendListModel::KindRole).toInt();
        QPoint point(-1, rect.center().y());
        for (int x = rect.right(); x >= rect.left() && point.x() < 0; --x) {
            if (int(SidebarPersonDelegate::partAt(rect, kind, QPoint(x, point.y()))) == part
                || kind == FriendRow::header)
                point.setX(x - 4);
        }
        QTest::mouseClick(list.view()->viewport(), Qt::LeftButton, {}, point);
    }
    settleViews();

    const QHash<QString, Page::Kind> kinds{{"pick", Page::pick},
                                           {"profile", Page::profile},
                                           {"me", Page::me},
                                           {"invite", Page::invite}};
    QCOMPARE(f.navigation.page().kind, kinds.value(page));
    QCOMPARE(f.navigation.showNewChat(), target == u"add");
    const std::optional<FriendState> state = f.store->friendState(f.asking);
    QCOMPARE(state ? int(*state) : -1, friendState);
    if (friendState != int(FriendState::incoming))
        QVERIFY(!displayTexts(*list.model()).contains(QStringLiteral("받은 요청")));
}

void TestSidebarFriends::narrowest()
{
    // Long names everywhere: a room title, my name, a friend's and a request's.
    People f(0, 0, true);
    const QString longName = QStringLiteral("아주아주 긴 이름을 가진 사람의 대화방 제목입니다");
    Account me = *f.store->me();
    me.displayName = longName;
    f.store->replaceAccount(me);
    const Account friendly = f.addPerson(longName);
    befriend(*f.store, friendly.id);
    f.addRoom(ConversationKind::group, {friendly.id}, longName + longName);
    for (Section section : {Section::chats, Section::friends}) {
        f.navigation.setSection(section);
        Sidebar sidebar(*f.store, f.navigation);
        f.follow(sidebar);
        QVERIFY2(sidebar.minimumSizeHint().width() <= 240,
                 qPrintable(QString::number(sidebar.minimumSizeHint().width())));
        sidebar.resize(240, 680);
        sidebar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sidebar));
        QCOMPARE(sidebar.width(), 240);
    }
}

QTEST_MAIN(TestSidebarFriends)
#include "tst_sidebar_friends.moc"
