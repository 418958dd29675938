// The block list page and the account deletion page.

#include "PanelTestSupport.h"

#include "ui/common/WideButton.h"
#include "ui/panels/BlockedListModel.h"
#include "ui/panels/BlockedRowDelegate.h"
#include "ui/panels/MacBlockedList.h"
#include "ui/panels/MacDeleteAccount.h"

#include <QAbstractItemModelTester>
#include <QListView>

using namespace Qt::StringLiterals;

namespace {

QUuid addPerson(LocalStore &store, const QString &handle, const QString &name,
                AccountKind kind = AccountKind::person, std::optional<QUuid> id = {})
{
    Account account = person(handle, name);
    account.kind = kind;
    if (id)
        account.id = *id;
    store.editAccounts([&](QList<Account> &list) { list.append(account); });
    return account.id;
}

QStringList rowNames(QListView *list)
{
    QStringList names;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        names.append(list->model()->index(row, 0).data().toString());
    return names;
}

void pressUnblock(QListView *list, int row)
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      BlockedRowDelegate::buttonRect(rect).center());
}

} // namespace

class TestAccountPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void blockListLiftsAtOnce();
    void blockListShowsARefusedLiftAgain();
    void deleteNeedsTheExactWord_data();
    void deleteNeedsTheExactWord();
    void deleteRefusedStaysBusy();
};

void TestAccountPages::blockListLiftsAtOnce()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    const QUuid a = addPerson(*store, u"ann"_s, u"앤"_s);
    const QUuid b = addPerson(*store, u"news"_s, u"소식"_s, AccountKind::official);
    const QUuid c = addPerson(*store, QString(), u"이름만"_s);
    QStringList closed;
    MacBlockedList page(*store, [&] { closed.append(u"close"_s); });
    auto *list = part<QListView>(page, u"list"_s);
    QAbstractItemModelTester tester(list->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    page.resize(720, 680);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(shownText(page, u"empty"_s), MacBlockedList::emptyText());

    store->block(b);
    store->block(a);
    store->block(c);
    redraw();
    QVERIFY(list->isVisible());
    QCOMPARE(rowNames(list), (QStringList{u"소식"_s, u"앤"_s, u"이름만"_s}));
    QCOMPARE(list->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
             u"소식, 공식, @news"_s);
    savePictures(page, u"blocked"_s);
    page.resize(720, 680);
    redraw();

    // The row itself is no button; its "해제" lifts the block before the list redraws.
    const QRect first = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(store->blocks().size(), 3);
    pressUnblock(list, 1);
    QCOMPARE(store->blocks(), (QList<QUuid>{b, c}));
    redraw();
    QCOMPARE(rowNames(list), (QStringList{u"소식"_s, u"이름만"_s}));

    // From the keyboard: Return on the current row.
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Return);
    pressUnblock(list, 1);
    redraw();
    QVERIFY(store->blocks().isEmpty());
    QVERIFY(!list->isVisible());
    QCOMPARE(shownText(page, u"empty"_s), MacBlockedList::emptyText());

    part(page, u"close"_s)->click();
    QCOMPARE(closed, QStringList{u"close"_s});
    savePictures(page, u"blocked-empty"_s);
}

void TestAccountPages::blockListShowsARefusedLiftAgain()
{
    LiveOps ops;
    const QUuid peer = ops.addUser(u"peer_user"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me_user"_s));
    addPerson(*ops.store, u"peer_user"_s, u"상대"_s, AccountKind::person, peer);
    ops.store->block(peer);
    ops.barrier();
    MacBlockedList page(*ops.store, {});
    auto *list = part<QListView>(page, u"list"_s);
    page.resize(720, 680);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(list->model()->rowCount(), 1);

    ops.service.failNext(u"DELETE"_s, u"/v1/blocks/"_s, 1, 500, u"oops"_s, u"잠시 후 다시"_s);
    pressUnblock(list, 0);
    redraw();
    QCOMPARE(list->model()->rowCount(), 0);
    QVERIFY(QTest::qWaitFor([&] { return list->model()->rowCount() == 1; }, 10000));
    QCOMPARE(ops.store->notice(), std::optional<QString>(u"잠시 후 다시"_s));
}

void TestAccountPages::deleteNeedsTheExactWord_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("the word") << u"삭제"_s << true;
    QTest::newRow("blank before") << u" 삭제"_s << false;
    QTest::newRow("blank after") << u"삭제 "_s << false;
    QTest::newRow("part of it") << u"삭"_s << false;
    QTest::newRow("twice") << u"삭제삭제"_s << false;
    QTest::newRow("other") << u"delete"_s << false;
}

void TestAccountPages::deleteNeedsTheExactWord()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    auto store = memoryStore();
    signInWithProfile(*store);
    MacDeleteAccount page(*store, {});
    auto *remove = part<WideButton>(page, u"delete"_s);
    QVERIFY(remove->isDisabled());
    QCOMPARE(remove->role(), WideButton::Role::Destructive);
    typeInto(part<QLineEdit>(page, u"phrase"_s), typed);
    QCOMPARE(remove->isEnabled(), enabled);

    // Without a server the account goes at once, session and all.
    remove->click();
    QCOMPARE(store->session().has_value(), !enabled);
    QCOMPARE(remove->isBusy(), enabled);
    if (!enabled && typed == u"삭"_s)
        savePictures(page, u"delete-account"_s);
}

void TestAccountPages::deleteRefusedStaysBusy()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    ops.service.failNext(u"DELETE"_s, u"/v1/me"_s, 1, 500, u"oops"_s,
                         u"지금은 삭제할 수 없습니다"_s);
    QStringList closed;
    MacDeleteAccount page(*ops.store, [&] { closed.append(u"close"_s); });
    typeInto(part<QLineEdit>(page, u"phrase"_s), u"삭제"_s);
    auto *remove = part<WideButton>(page, u"delete"_s);
    remove->click();
    QVERIFY(QTest::qWaitFor([&] { return ops.store->notice().has_value(); }, 10000));
    QCOMPARE(*ops.store->notice(), u"지금은 삭제할 수 없습니다"_s);
    QVERIFY(ops.store->session());
    QVERIFY(remove->isBusy());
    part(page, u"close"_s)->click();
    QCOMPARE(closed, QStringList{u"close"_s});
}

QTEST_MAIN(TestAccountPages)
#include "tst_accountpages.moc"
