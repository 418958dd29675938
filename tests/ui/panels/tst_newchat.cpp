// The new-conversation sheet: search, choosing, the handle lookup, the two stages, and
// creating a group once however often "만들기" is pressed.

#include "PanelTestSupport.h"

#include "ui/common/WideButton.h"
#include "ui/panels/FriendPick.h"
#include "ui/panels/NewChat.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QGraphicsEffect>
#include <QListView>

using namespace Qt::StringLiterals;

namespace {

// A local store signed in, with the three seed people as friends (오세린, 정태오, 한소라).
std::unique_ptr<LocalStore> storeWithFriends()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    for (const QUuid &id : {SeedID::sora(), SeedID::taeo(), SeedID::rian()})
        befriend(*store, id);
    return store;
}

QStringList listed(NewChat &sheet)
{
    auto *list = part<QListView>(sheet, u"friends"_s);
    QStringList names;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        names.append(list->model()->index(row, 0).data().toString());
    return names;
}

void clickRow(NewChat &sheet, int row)
{
    auto *list = part<QListView>(sheet, u"friends"_s);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 0)).center());
}

void search(NewChat &sheet, const QString &text)
{
    typeInto(part<QLineEdit>(sheet, u"query"_s), text);
}

// What the lookup row offers, by object name, as far as it is shown.
QStringList offered(NewChat &sheet)
{
    QStringList shown;
    auto *row = part<QWidget>(sheet, u"lookupResult"_s);
    if (row->isHidden())
        return shown;
    for (const QString &name : {u"resultOpen"_s, u"resultUnblock"_s, u"resultRequested"_s,
                                u"resultRequest"_s, u"resultAccept"_s}) {
        if (!part<QWidget>(*row, name)->isHidden())
            shown.append(name);
    }
    return shown;
}

} // namespace

class TestNewChat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void searchKeepsTheStoreOrder_data();
    void searchKeepsTheStoreOrder();
    void choosesAtMostNineteen();
    void nextNamesTheGroup_data();
    void nextNamesTheGroup();
    void lookupOffersWhatFits_data();
    void lookupOffersWhatFits();
    void lookupFollowsTheStore();
    void lookupRowReadsAsWhatItOffers();
    void createsOneGroupPerPress();
    void readsAndTabsAsShown();
    void sheetGoneBeforeTheAnswer();
};

void TestNewChat::searchKeepsTheStoreOrder_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("find");
    const QStringList all{u"오세린"_s, u"정태오"_s, u"한소라"_s};
    QTest::newRow("empty") << QString() << all << false;
    QTest::newRow("blanks") << u"   "_s << all << false;
    QTest::newRow("name part") << u"세린"_s << QStringList{u"오세린"_s} << true;
    QTest::newRow("handle with @") << u"@so"_s << QStringList{u"한소라"_s} << true;
    QTest::newRow("handle in capitals") << u"TAE"_s << QStringList{u"정태오"_s} << true;
    QTest::newRow("@ alone") << u"@"_s << QStringList{} << true;
    QTest::newRow("nobody") << u"zzz"_s << QStringList{} << true;
}

void TestNewChat::searchKeepsTheStoreOrder()
{
    QFETCH(QString, query);
    auto store = storeWithFriends();
    NewChat sheet(*store);
    QAbstractItemModelTester tester(part<QListView>(sheet, u"friends"_s)->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    search(sheet, query);
    QTEST(listed(sheet), "names");
    QTEST(!part(sheet, u"find"_s)->isHidden(), "find");
}

void TestNewChat::choosesAtMostNineteen()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    for (int i = 0; i < 21; ++i)
        befriend(*store,
                 addAccount(*store, u"friend_%1"_s.arg(i, 2, 10, QChar(u'0')),
                            u"친구 %1"_s.arg(i, 2, 10, QChar(u'0'))));
    NewChat sheet(*store);
    auto *list = part<QListView>(sheet, u"friends"_s);
    QAbstractItemModelTester tester(list->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    sheet.resize(460, 2400); // every row on screen
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    auto chips = [&] {
        redraw(); // new chips show on the next turn of the event loop
        qsizetype shown = 0;
        for (QAbstractButton *chip : sheet.findChildren<QAbstractButton *>(u"chip"_s))
            shown += chip->isHidden() ? 0 : 1;
        return shown;
    };

    clickRow(sheet, 0);
    QVERIFY(!part(sheet, u"talk"_s)->isHidden());
    QVERIFY(!part(sheet, u"next"_s)->isHidden());
    clickRow(sheet, 1);
    QVERIFY(part(sheet, u"talk"_s)->isHidden());
    for (int row = 2; row < 21; ++row)
        clickRow(sheet, row);
    QCOMPARE(sheet.chosen().size(), NewChat::maxChosen);
    QCOMPARE(list->model()->index(19, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(),
             Qt::Unchecked);
    QCOMPARE(list->model()->index(18, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(),
             Qt::Checked);
    QCOMPARE(chips(), qsizetype(NewChat::maxChosen));

    // Dropping through the row and through the chip; the last one takes the chips and the
    // header's buttons with it.
    clickRow(sheet, 0);
    redraw();
    QCOMPARE(chips(), qsizetype(NewChat::maxChosen - 1));
    while (!sheet.chosen().isEmpty()) {
        redraw();
        const auto all = sheet.findChildren<QAbstractButton *>(u"chip"_s);
        (*std::find_if(all.begin(), all.end(), [](auto *chip) {
            return !chip->isHidden();
        }))->click();
    }
    QCOMPARE(chips(), 0);
    QVERIFY(part<QWidget>(sheet, u"chips"_s)->isHidden());
    QVERIFY(part(sheet, u"next"_s)->isHidden());
}

void TestNewChat::nextNamesTheGroup_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("title");
    QTest::newRow("nothing typed") << QString() << u"나, 한소라, 정태오"_s;
    QTest::newRow("blanks") << u"  "_s << u"나, 한소라, 정태오"_s;
    QTest::newRow("typed, blanks kept") << u" 우리 방 "_s << u" 우리 방 "_s;
    QTest::newRow("41 characters") << QString(41, u'가') << QString(40, u'가');
}

void TestNewChat::nextNamesTheGroup()
{
    QFETCH(QString, typed);
    auto store = storeWithFriends();
    QList<std::pair<QList<QUuid>, QString>> requested;
    NewChat sheet(*store);
    QObject::connect(&sheet, &NewChat::groupRequested,
                     [&](const QList<QUuid> &ids, const QString &title) {
                         requested.append({ids, title});
                     });
    search(sheet, u"소라"_s);
    clickRow(sheet, 0);
    search(sheet, u"태오"_s);
    clickRow(sheet, 0);
    typeInto(part<QLineEdit>(sheet, u"groupTitle"_s), typed);
    part(sheet, u"next"_s)->click();
    QVERIFY(sheet.isNaming());
    QTEST(part<QLineEdit>(sheet, u"groupTitle"_s)->text(), "title");
    QVERIFY(part(sheet, u"next"_s)->isHidden());
    QVERIFY(part(sheet, u"talk"_s)->isHidden());

    // The title goes as the field shows it: the store trims it and fills in the suggestion.
    part(sheet, u"create"_s)->click();
    QCOMPARE(requested.size(), 1);
    QCOMPARE(requested.first().first, (QList<QUuid>{SeedID::sora(), SeedID::taeo()}));
    QTEST(requested.first().second, "title");
}

void TestNewChat::lookupOffersWhatFits_data()
{
    QTest::addColumn<bool>("official");
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<int>("state"); // -1: no friend link, else a FriendState
    QTest::addColumn<bool>("choosing"); // somebody is chosen already
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<bool>("faded");
    const int none = -1;
    QTest::newRow("official") << true << false << none << false << QStringList{u"resultOpen"_s}
                              << false;
    QTest::newRow("official, blocked") << true << true << none << false
                                       << QStringList{u"resultOpen"_s, u"resultUnblock"_s} << false;
    QTest::newRow("official while choosing")
        << true << false << none << true << QStringList{} << true;
    QTest::newRow("stranger") << false << false << none << false << QStringList{u"resultRequest"_s}
                              << false;
    QTest::newRow("asked by me") << false << false << int(FriendState::outgoing) << false
                                 << QStringList{u"resultRequested"_s} << false;
    QTest::newRow("asking me") << false << false << int(FriendState::incoming) << true
                               << QStringList{u"resultAccept"_s} << false;
    QTest::newRow("blocked, asking me") << false << true << int(FriendState::incoming) << false
                                        << QStringList{u"resultUnblock"_s} << false;
}

void TestNewChat::lookupOffersWhatFits()
{
    QFETCH(bool, official);
    QFETCH(bool, blocked);
    QFETCH(int, state);
    QFETCH(bool, choosing);
    auto store = storeWithFriends();
    const QUuid found = addAccount(*store, u"found_one"_s, u"찾은 사람"_s,
                                   official ? AccountKind::official : AccountKind::person);
    if (state >= 0) {
        store->editFriends([&](QList<FriendLink> &list) {
            list.append(FriendLink{found, FriendState(state)});
        });
    }
    if (blocked)
        store->block(found);
    NewChat sheet(*store);
    if (choosing)
        clickRow(sheet, 0);
    search(sheet, u"@Found_One"_s);
    part(sheet, u"find"_s)->click();
    redraw();
    QTEST(offered(sheet), "offers");
    QTEST(part<QWidget>(sheet, u"lookupResult"_s)->graphicsEffect()->isEnabled(), "faded");
    QVERIFY(part<QWidget>(sheet, u"miss"_s)->isHidden());
}

// A screen reader hears a choosable lookup row as a check box, and one whose person cannot be
// chosen as that person, with nothing to check or press.
void TestNewChat::lookupRowReadsAsWhatItOffers()
{
    auto store = storeWithFriends();
    LookupResultRow row(*store);
    QAccessibleInterface *choice
        = QAccessible::queryAccessibleInterface(part(row, u"resultChoice"_s));
    const auto present = [&](const QUuid &id, bool chosen) {
        row.present(*store->account(id), chosen ? QList<QUuid>{id} : QList<QUuid>{});
        const bool choosable = id == SeedID::sora();
        const QStringList actions
            = choice->actionInterface() ? choice->actionInterface()->actionNames() : QStringList();
        QCOMPARE(choice->role(), choosable ? QAccessible::CheckBox : QAccessible::StaticText);
        QCOMPARE(choice->state().checkable, choosable);
        QCOMPARE(choice->state().checked, chosen);
        QCOMPARE(actions.contains(QAccessibleActionInterface::toggleAction()), choosable);
        QVERIFY(choosable || !actions.contains(QAccessibleActionInterface::pressAction()));
        QVERIFY(choice->text(QAccessible::Name).startsWith(store->account(id)->displayName));
    };
    present(SeedID::sora(), true);
    present(addAccount(*store, u"stranger"_s, u"낯선 사람"_s), false);
    present(addAccount(*store, u"house"_s, u"공식 계정"_s, AccountKind::official), false);
    present(SeedID::sora(), false); // a check box again
}

void TestNewChat::lookupFollowsTheStore()
{
    auto store = storeWithFriends();
    const QUuid stranger = addAccount(*store, u"stranger"_s, u"낯선 이"_s);
    store->block(stranger);
    QList<QUuid> opened;
    NewChat sheet(*store);
    QObject::connect(&sheet, &NewChat::chatRequested,
                     [&](const QUuid &userId) { opened.append(userId); });

    // A friend found by handle is listed already: no second row for them.
    search(sheet, u"sora"_s);
    part(sheet, u"find"_s)->click();
    QVERIFY(part<QWidget>(sheet, u"lookupResult"_s)->isHidden());

    search(sheet, u"stranger"_s);
    part(sheet, u"find"_s)->click();
    QCOMPARE(offered(sheet), QStringList{u"resultUnblock"_s});
    part(sheet, u"resultUnblock"_s)->click();
    redraw();
    QCOMPARE(offered(sheet), QStringList{u"resultRequest"_s});
    part(sheet, u"resultRequest"_s)->click();
    redraw();
    QCOMPARE(offered(sheet), QStringList{u"resultRequested"_s});

    // Editing the search forgets the result, and the miss likewise.
    search(sheet, u"strangers"_s);
    QVERIFY(part<QWidget>(sheet, u"lookupResult"_s)->isHidden());
    part(sheet, u"find"_s)->click();
    QCOMPARE(shownText(sheet, u"miss"_s), NewChat::missText());
    search(sheet, u"stranger"_s);
    QVERIFY(part<QWidget>(sheet, u"miss"_s)->isHidden());

    // An official account asks for its room from the row.
    search(sheet, u"quillo"_s);
    part(sheet, u"find"_s)->click();
    part(sheet, u"resultOpen"_s)->click();
    QCOMPARE(opened, QList<QUuid>{SeedID::quillo()});

    // For a look: a chosen friend, the lookup row, then the second stage after a failure.
    search(sheet, u"stranger"_s);
    part(sheet, u"find"_s)->click();
    search(sheet, QString());
    clickRow(sheet, 2);
    clickRow(sheet, 0);
    savePictures(sheet, u"newchat"_s, {QSize(460, 420), QSize(640, 600)});
    search(sheet, u"stranger"_s);
    part(sheet, u"find"_s)->click();
    savePictures(sheet, u"newchat-lookup"_s, {QSize(460, 420)});
}

void TestNewChat::createsOneGroupPerPress()
{
    auto store = storeWithFriends();
    int requested = 0;
    NewChat sheet(*store);
    QObject::connect(&sheet, &NewChat::groupRequested, [&] { ++requested; });
    clickRow(sheet, 0);
    part(sheet, u"next"_s)->click();
    auto *create = part<WideButton>(sheet, u"create"_s);

    // Pressing again while the request is on its way asks for no second group.
    create->click();
    QVERIFY(create->isBusy());
    create->click();
    QTest::mouseClick(create, Qt::LeftButton);
    QCOMPARE(requested, 1);

    // Refused: the red line, and the button ready again.
    sheet.createFailed();
    QVERIFY(!create->isBusy());
    QCOMPARE(shownText(sheet, u"failed"_s), NewChat::failedText());
    savePictures(sheet, u"newchat-naming"_s, {QSize(460, 420)});
    create->click();
    QCOMPARE(requested, 2);
}

// A screen reader hears a friend row as the person, cleaned as the screen shows names, with the
// choice as its checked state; the chip says the same. Tab runs down the sheet as it is drawn.
void TestNewChat::readsAndTabsAsShown()
{
    auto store = storeWithFriends();
    const QUuid hostile = addAccount(*store, u"hostile"_s, u"\u202E라소\n\n한"_s);
    befriend(*store, hostile);
    NewChat sheet(*store);
    sheet.resize(460, 420);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));

    auto *list = part<QListView>(sheet, u"friends"_s);
    const int row = listed(sheet).indexOf(u"\u202E라소\n\n한"_s);
    QVERIFY(row >= 0);
    QAccessibleInterface *item = QAccessible::queryAccessibleInterface(list)->child(row);
    QCOMPARE(item->text(QAccessible::Name), u"라소 한, @hostile"_s);
    QVERIFY(item->state().checkable && !item->state().checked);
    item->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(item->state().checked);
    QCOMPARE(sheet.chosen(), QList<QUuid>{hostile});
    QCOMPARE(part(sheet, u"chip"_s)->accessibleName(), u"라소 한"_s);

    // The widgets Tab stops at, in their order, once the new chip is up.
    redraw();
    QStringList stops;
    QWidget *at = part(sheet, u"cancel"_s);
    do {
        if ((at->focusPolicy() & Qt::TabFocus) && at->isVisible() && at->isEnabled())
            stops.append(at->objectName());
        at = at->nextInFocusChain();
    } while (at != part(sheet, u"cancel"_s));
    QCOMPARE(stops.join(u", "_s), u"cancel, talk, next, query, chip, friends"_s);
}

void TestNewChat::sheetGoneBeforeTheAnswer()
{
    LiveOps ops;
    ops.addUser(u"other_user"_s, u"다른 이"_s);
    QVERIFY(ops.startAs(u"me_user"_s));
    auto sheet = std::make_unique<NewChat>(*ops.store);
    search(*sheet, u"other_user"_s);
    ops.service.delayNext(u"GET"_s, u"/v1/users"_s, 1, 300);
    part(*sheet, u"find"_s)->click();
    sheet.reset();
    // The lookup's answer has nowhere to go.
    QTest::qWait(600);
    ops.settle();
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/users"_s), 1);
}

QTEST_MAIN(TestNewChat)
#include "tst_newchat.moc"
