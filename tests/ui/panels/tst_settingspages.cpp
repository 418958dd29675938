// The settings page and the pages it leads to: password change, block list, account deletion.

#include "PanelTestSupport.h"

#include "ui/common/WideButton.h"
#include "ui/panels/BlockedList.h"
#include "ui/panels/DeleteAccount.h"
#include "ui/panels/PasswordView.h"
#include "ui/panels/PersonRows.h"
#include "ui/panels/SettingsView.h"

#include <QAbstractItemModelTester>
#include <QListView>

using namespace Qt::StringLiterals;

namespace {

const QStringList switchNames{u"notificationsEnabled"_s, u"notificationPreview"_s,
                              u"notificationSound"_s};

// The three switches as "1"/"0" for on/off, in the page's order; with `enabled`, whether each
// can be pressed.
QString shown(QWidget &page, bool enabled = false)
{
    QString text;
    for (const QString &name : switchNames)
        text += (enabled ? part(page, name)->isEnabled() : part(page, name)->isChecked()) ? u'1'
                                                                                          : u'0';
    return text;
}

QString stored(const LocalStore &store)
{
    return QString::number(int(store.notificationsEnabled()))
        + QString::number(int(store.notificationPreview()))
        + QString::number(int(store.notificationSound()));
}

QUuid addPerson(LocalStore &store, const QString &handle, const QString &name,
                AccountKind kind = AccountKind::person)
{
    Account account = person(handle, name);
    account.kind = kind;
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

class TestSettingsPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }

    void switchesSetOnlyTheirOwnValue_data();
    void switchesSetOnlyTheirOwnValue();
    void buttonsOnlyAskTheWorkspace();
    void logoutAsksFirst_data();
    void logoutAsksFirst();

    void passwordChecks_data();
    void passwordChecks();
    void passwordRefusedByTheService();

    void blockListLiftsAtOnce();
    void deleteNeedsTheExactWord_data();
    void deleteNeedsTheExactWord();
    void deleteRefusedStaysBusy();
};

void TestSettingsPages::switchesSetOnlyTheirOwnValue_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("flipped");
    QTest::addColumn<QString>("after");

    QTest::newRow("all off keeps the others") << u"111"_s << u"notificationsEnabled"_s << u"011"_s;
    QTest::newRow("all on keeps the others") << u"000"_s << u"notificationsEnabled"_s << u"100"_s;
    QTest::newRow("preview") << u"100"_s << u"notificationPreview"_s << u"110"_s;
    QTest::newRow("sound") << u"111"_s << u"notificationSound"_s << u"110"_s;
}

void TestSettingsPages::switchesSetOnlyTheirOwnValue()
{
    QFETCH(QString, before);
    QFETCH(QString, flipped);
    QFETCH(QString, after);

    auto store = memoryStore();
    store->setNotifications(before[0] == u'1', before[1] == u'1', before[2] == u'1');
    SettingsView page(*store);
    QCOMPARE(shown(page), before);

    SignalCount enabled(store.get(), &LocalStore::notificationsEnabledChanged);
    SignalCount preview(store.get(), &LocalStore::notificationPreviewChanged);
    SignalCount sound(store.get(), &LocalStore::notificationSoundChanged);
    part(page, flipped)->click();
    QCOMPARE(stored(*store), after);
    QCOMPARE(enabled.count + preview.count + sound.count, 1);
    QCOMPARE(shown(page), after);
    // Off, preview and sound keep their values but cannot be changed.
    QCOMPARE(shown(page, true), after[0] == u'1' ? u"111"_s : u"100"_s);

    // The page keeps no copy: a change made elsewhere shows on the next redraw.
    store->setNotifications(std::nullopt, std::nullopt, after[2] != u'1');
    redraw();
    QCOMPARE(shown(page), stored(*store));
    if (QTest::currentDataTag() == "all off keeps the others"_L1)
        savePictures(page, u"settings-off"_s, {QSize(720, 680)});
}

void TestSettingsPages::buttonsOnlyAskTheWorkspace()
{
    auto store = memoryStore();
    signInLocally(*store);
    QStringList calls;
    const auto note = [&](const QString &name) { return [&calls, name] { calls.append(name); }; };
    SettingsView page(*store);
    QObject::connect(&page, &SettingsView::passwordRequested, note(u"password"_s));
    QObject::connect(&page, &SettingsView::blockedRequested, note(u"blocked"_s));
    QObject::connect(&page, &SettingsView::deleteAccountRequested, note(u"deleteAccount"_s));
    QObject::connect(&page, &SettingsView::closeRequested, note(u"close"_s));
    const QStringList buttons{u"blocked"_s, u"password"_s, u"deleteAccount"_s, u"close"_s};
    for (const QString &button : buttons)
        part(page, button)->click();
    QCOMPARE(calls, buttons);
    QVERIFY(store->session());
    QVERIFY(!openConfirmation(page));
}

void TestSettingsPages::logoutAsksFirst_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("version");
    QTest::newRow("취소") << u"취소"_s << QString();
    QTest::newRow("로그아웃") << u"로그아웃"_s << u"0.1.0"_s;
}

void TestSettingsPages::logoutAsksFirst()
{
    QFETCH(QString, answer);
    QFETCH(QString, version);
    auto store = memoryStore();
    signInLocally(*store);
    QCoreApplication::setApplicationVersion(version);
    SettingsView page(*store);
    QCoreApplication::setApplicationVersion(QString());
    QCOMPARE(shownText(page, u"version"_s),
             u"Beta · 버전 "_s + (version.isEmpty() ? u"0.1.2"_s : version));
    if (!version.isEmpty())
        savePictures(page, u"settings"_s);

    page.show();
    part(page, u"logout"_s)->click();
    QMessageBox *box = openConfirmation(page);
    QVERIFY(box);
    QCOMPARE(box->text(), u"로그아웃할까요?"_s);
    QCOMPARE(box->buttons().size(), 2);
    for (QAbstractButton *button : box->buttons()) {
        QCOMPARE(box->buttonRole(button),
                 button->text() == u"취소"_s ? QMessageBox::RejectRole
                                             : QMessageBox::DestructiveRole);
        QVERIFY(button->height() >= 44);
    }
    QVERIFY(store->session());
    if (answer == u"취소"_s)
        savePictures(*box, u"logout-confirmation"_s, {box->sizeHint()});
    QVERIFY(answerConfirmation(page, answer));
    QCOMPARE(store->session().has_value(), answer == u"취소"_s);
    QVERIFY(!openConfirmation(page));
}

void TestSettingsPages::passwordChecks_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("error");

    const QString ok;
    const QString rule = PasswordView::ruleText();
    const QString hangul = u"가나다라마바a1"_s;
    QTest::newRow("8 characters") << u"abcdef12"_s << u"abcdef12"_s << ok;
    QTest::newRow("7 characters") << u"abcde12"_s << u"abcde12"_s << rule;
    QTest::newRow("64 characters") << u"a1"_s.repeated(32) << u"a1"_s.repeated(32) << ok;
    QTest::newRow("65 characters")
        << u"a1"_s.repeated(32) + u'x' << u"a1"_s.repeated(32) + u'x' << rule;
    QTest::newRow("Hangul counts once") << hangul << hangul << ok;
    QTest::newRow("decomposed Hangul is the same")
        << hangul << hangul.normalized(QString::NormalizationForm_D) << ok;
    QTest::newRow("letters only") << u"abcdefgh"_s << u"abcdefgh"_s << rule;
    QTest::newRow("digits only") << u"12345678"_s << u"12345678"_s << rule;
    QTest::newRow("full-width digits") << u"abcdefg１"_s << u"abcdefg１"_s << rule;
    QTest::newRow("blanks") << u"        "_s << u"        "_s << rule;
    QTest::newRow("mismatch before rule") << u"abc"_s << u"abd"_s << PasswordView::mismatchText();
}

void TestSettingsPages::passwordChecks()
{
    QFETCH(QString, password);
    QFETCH(QString, confirm);
    QFETCH(QString, error);

    auto store = memoryStore();
    signInLocally(*store);
    PasswordView page(*store);
    auto *save = part<WideButton>(page, u"save"_s);
    typeInto(part<QLineEdit>(page, u"current"_s), u" "_s);
    typeInto(part<QLineEdit>(page, u"password"_s), password);
    QVERIFY(save->isDisabled());
    typeInto(part<QLineEdit>(page, u"confirm"_s), confirm);
    QVERIFY(!save->isDisabled());
    // Return in a field is "변경".
    QTest::keyClick(part<QLineEdit>(page, u"confirm"_s), Qt::Key_Return);

    // Without a server a change succeeds at once: the fields empty and the success line shows.
    QCOMPARE(shownText(page, u"error"_s), error);
    QCOMPARE(shownText(page, u"info"_s), error.isEmpty() ? PasswordView::changedText() : QString());
    QCOMPARE(part<QLineEdit>(page, u"password"_s)->text().isEmpty(), error.isEmpty());
    QCOMPARE(save->isDisabled(), error.isEmpty());
    QVERIFY(!save->isBusy());
    if (QTest::currentDataTag() == "mismatch before rule"_L1)
        savePictures(page, u"password"_s);
}

void TestSettingsPages::passwordRefusedByTheService()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    const auto fill = [&](PasswordView &page, const QString &current) {
        typeInto(part<QLineEdit>(page, u"current"_s), current);
        typeInto(part<QLineEdit>(page, u"password"_s), u"newpass99"_s);
        typeInto(part<QLineEdit>(page, u"confirm"_s), u"newpass99"_s);
        part(page, u"save"_s)->click();
    };
    PasswordView page(*ops.store);
    fill(page, u"wrong-one"_s);
    auto *save = part<WideButton>(page, u"save"_s);
    QVERIFY(save->isBusy());
    QVERIFY(QTest::qWaitFor([&] { return !save->isBusy(); }, 10000));
    QCOMPARE(shownText(page, u"error"_s), u"현재 비밀번호가 올바르지 않습니다."_s);
    QCOMPARE(part<QLineEdit>(page, u"current"_s)->text(), u"wrong-one"_s);
    QVERIFY(!ops.store->notice());

    // A page left while the service answers: the password still changes (a new sign-in with
    // it works once the answer has been sent), and the answer finds no page.
    ops.service.delayNext(u"PATCH"_s, u"/v1/me/password"_s, 1, 300);
    auto left = std::make_unique<PasswordView>(*ops.store);
    fill(*left, ops.password);
    left.reset();
    auto other = ops.makeClient();
    QVERIFY(QTest::qWaitFor(
        [&] { return finish(other->login(u"me_user@example.com"_s, u"newpass99"_s)).has_value(); },
        10000));
    ops.barrier();
}

void TestSettingsPages::blockListLiftsAtOnce()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    const QUuid a = addPerson(*store, u"ann"_s, u"앤"_s);
    const QUuid b = addPerson(*store, u"news"_s, u"소식"_s, AccountKind::official);
    const QUuid c = addPerson(*store, QString(), u"이름만"_s);
    BlockedList page(*store);
    auto *list = part<QListView>(page, u"list"_s);
    QAbstractItemModelTester tester(list->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    page.show();
    QCOMPARE(shownText(page, u"empty"_s), BlockedList::emptyText());

    store->block(b);
    store->block(a);
    store->block(c);
    redraw();
    QVERIFY(list->isVisible());
    QCOMPARE(rowNames(list), (QStringList{u"소식"_s, u"앤"_s, u"이름만"_s}));
    QCOMPARE(list->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
             u"소식, 공식, @news"_s);
    savePictures(page, u"blocked"_s);

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
    QCOMPARE(shownText(page, u"empty"_s), BlockedList::emptyText());
    savePictures(page, u"blocked-empty"_s);
}

void TestSettingsPages::deleteNeedsTheExactWord_data()
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

void TestSettingsPages::deleteNeedsTheExactWord()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    auto store = memoryStore();
    signInWithProfile(*store);
    DeleteAccount page(*store);
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

// A refusal reaches the user only as the store's notice; the page stays, its button busy.
void TestSettingsPages::deleteRefusedStaysBusy()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    DeleteAccount page(*ops.store);
    typeInto(part<QLineEdit>(page, u"phrase"_s), DeleteAccount::confirmationWord());
    ops.service.failNext(u"DELETE"_s, u"/v1/me"_s, 1, 500, u"oops"_s, u"지금은 안 됩니다."_s);
    auto *remove = part<WideButton>(page, u"delete"_s);
    remove->click();
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), std::optional(u"지금은 안 됩니다."_s), 10000);
    QVERIFY(ops.store->session());
    QVERIFY(remove->isBusy());
    QVERIFY(!part(page, u"delete"_s)->isEnabled());
}

QTEST_MAIN(TestSettingsPages)
#include "tst_settingspages.moc"
