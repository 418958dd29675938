// The settings page and the password change page.

#include "PanelTestSupport.h"

#include "ui/common/WideButton.h"
#include "ui/panels/MacPasswordView.h"
#include "ui/panels/MacSettingsView.h"
#include "ui/panels/SettingsRows.h"

using namespace Qt::StringLiterals;

namespace {

struct Calls
{
    QStringList made;
    std::function<void()> note(const QString &name)
    {
        return [this, name] { made.append(name); };
    }
};

struct Switches
{
    bool enabled, preview, sound;
};

Switches storeSwitches(const LocalStore &store)
{
    return {store.notificationsEnabled(), store.notificationPreview(), store.notificationSound()};
}

Switches shownSwitches(QWidget &page)
{
    return {part(page, u"notificationsEnabled"_s)->isChecked(),
            part(page, u"notificationPreview"_s)->isChecked(),
            part(page, u"notificationSound"_s)->isChecked()};
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
    void switchesFollowTheStore();
    void buttonsOnlyAskTheWorkspace_data();
    void buttonsOnlyAskTheWorkspace();
    void logoutAsksFirst_data();
    void logoutAsksFirst();
    void footerShowsTheVersion_data();
    void footerShowsTheVersion();

    void passwordChecks_data();
    void passwordChecks();
    void passwordRefusedByTheService();
    void passwordPageLeftWhileWaiting();
};

void TestSettingsPages::switchesSetOnlyTheirOwnValue_data()
{
    QTest::addColumn<bool>("enabledBefore");
    QTest::addColumn<QString>("flipped");
    QTest::addColumn<bool>("enabledAfter");
    QTest::addColumn<bool>("previewAfter");
    QTest::addColumn<bool>("soundAfter");

    // Preview and sound start off, so that turning all notifications on can be seen to keep them.
    QTest::newRow("all off") << true << u"notificationsEnabled"_s << false << false << false;
    QTest::newRow("all on keeps the others")
        << false << u"notificationsEnabled"_s << true << false << false;
    QTest::newRow("preview") << true << u"notificationPreview"_s << true << true << false;
    QTest::newRow("sound") << true << u"notificationSound"_s << true << false << true;
}

void TestSettingsPages::switchesSetOnlyTheirOwnValue()
{
    QFETCH(bool, enabledBefore);
    QFETCH(QString, flipped);
    QFETCH(bool, enabledAfter);
    QFETCH(bool, previewAfter);
    QFETCH(bool, soundAfter);

    auto store = memoryStore();
    store->setNotifications(enabledBefore, false, false);
    MacSettingsView page(*store, {}, {}, {}, {});
    QCOMPARE(part(page, u"notificationPreview"_s)->isEnabled(), enabledBefore);

    SignalCount enabled(store.get(), &LocalStore::notificationsEnabledChanged);
    SignalCount preview(store.get(), &LocalStore::notificationPreviewChanged);
    SignalCount sound(store.get(), &LocalStore::notificationSoundChanged);
    part(page, flipped)->click();
    redraw();

    const Switches now = storeSwitches(*store);
    QCOMPARE(now.enabled, enabledAfter);
    QCOMPARE(now.preview, previewAfter);
    QCOMPARE(now.sound, soundAfter);
    QCOMPARE(enabled.count + preview.count + sound.count, 1);
    const Switches shown = shownSwitches(page);
    QCOMPARE(shown.enabled, now.enabled);
    QCOMPARE(shown.preview, now.preview);
    QCOMPARE(shown.sound, now.sound);
    QCOMPARE(part(page, u"notificationPreview"_s)->isEnabled(), enabledAfter);
    QCOMPARE(part(page, u"notificationSound"_s)->isEnabled(), enabledAfter);
}

void TestSettingsPages::switchesFollowTheStore()
{
    auto store = memoryStore();
    MacSettingsView page(*store, {}, {}, {}, {});
    store->setNotifications(false, false, std::nullopt);
    redraw();
    const Switches shown = shownSwitches(page);
    QVERIFY(!shown.enabled && !shown.preview && shown.sound);
    QVERIFY(!part(page, u"notificationSound"_s)->isEnabled());
    savePictures(page, u"settings-off"_s, {QSize(720, 680)});
}

void TestSettingsPages::buttonsOnlyAskTheWorkspace_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("callback");
    QTest::newRow("차단 목록") << u"blocked"_s << u"blocked"_s;
    QTest::newRow("비밀번호") << u"password"_s << u"password"_s;
    QTest::newRow("계정 삭제") << u"deleteAccount"_s << u"delete"_s;
    QTest::newRow("닫기") << u"close"_s << u"close"_s;
}

void TestSettingsPages::buttonsOnlyAskTheWorkspace()
{
    QFETCH(QString, button);
    QFETCH(QString, callback);
    auto store = memoryStore();
    signInLocally(*store);
    Calls calls;
    MacSettingsView page(*store, calls.note(u"password"_s), calls.note(u"blocked"_s),
                         calls.note(u"delete"_s), calls.note(u"close"_s));
    part(page, button)->click();
    QCOMPARE(calls.made, QStringList{callback});
    QVERIFY(store->session());
    QVERIFY(!openConfirmation(page));
}

void TestSettingsPages::logoutAsksFirst_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("signedIn");
    QTest::newRow("취소") << u"취소"_s << true;
    QTest::newRow("로그아웃") << u"로그아웃"_s << false;
}

void TestSettingsPages::logoutAsksFirst()
{
    QFETCH(QString, answer);
    QFETCH(bool, signedIn);
    auto store = memoryStore();
    signInLocally(*store);
    MacSettingsView page(*store, {}, {}, {}, {});
    page.show();
    auto *logout = part<ActionRow>(page, u"logout"_s);
    QVERIFY(logout->isDestructive());
    logout->click();
    QMessageBox *box = openConfirmation(page);
    QVERIFY(box);
    QCOMPARE(box->text(), u"로그아웃할까요?"_s);
    QStringList roles;
    for (QAbstractButton *button : box->buttons())
        roles.append(button->text() + u':' + QString::number(box->buttonRole(button)));
    roles.sort();
    QCOMPARE(roles,
             (QStringList{u"로그아웃:%1"_s.arg(QMessageBox::DestructiveRole),
                          u"취소:%1"_s.arg(QMessageBox::RejectRole)}));
    QVERIFY(store->session());
    QVERIFY(answerConfirmation(page, answer));
    QCOMPARE(store->session().has_value(), signedIn);
    QVERIFY(!openConfirmation(page));
}

void TestSettingsPages::footerShowsTheVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("footer");
    QTest::newRow("none") << QString() << u"Beta · 버전 0.1.2"_s;
    QTest::newRow("set") << u"0.1.0"_s << u"Beta · 버전 0.1.0"_s;
}

void TestSettingsPages::footerShowsTheVersion()
{
    QFETCH(QString, version);
    QFETCH(QString, footer);
    const QString before = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(version);
    auto store = memoryStore();
    MacSettingsView page(*store, {}, {}, {}, {});
    QCoreApplication::setApplicationVersion(before);
    QCOMPARE(shownText(page, u"version"_s), footer);
    if (!version.isEmpty())
        savePictures(page, u"settings"_s);
}

void TestSettingsPages::passwordChecks_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("error");

    const QString ok;
    const QString rule = MacPasswordView::ruleText();
    const QString hangul = u"가나다라마바a1"_s;
    QTest::newRow("8 characters") << u"old"_s << u"abcdef12"_s << u"abcdef12"_s << ok;
    QTest::newRow("7 characters") << u"old"_s << u"abcde12"_s << u"abcde12"_s << rule;
    QTest::newRow("64 characters")
        << u"old"_s << u"a1"_s.repeated(32) << u"a1"_s.repeated(32) << ok;
    QTest::newRow("65 characters")
        << u"old"_s << u"a1"_s.repeated(32) + u'x' << u"a1"_s.repeated(32) + u'x' << rule;
    QTest::newRow("Hangul counts once") << u"old"_s << hangul << hangul << ok;
    QTest::newRow("decomposed Hangul is the same")
        << u"old"_s << hangul << hangul.normalized(QString::NormalizationForm_D) << ok;
    QTest::newRow("letters only") << u"old"_s << u"abcdefgh"_s << u"abcdefgh"_s << rule;
    QTest::newRow("digits only") << u"old"_s << u"12345678"_s << u"12345678"_s << rule;
    QTest::newRow("full-width digits") << u"old"_s << u"abcdefg１"_s << u"abcdefg１"_s << rule;
    QTest::newRow("blanks") << u" "_s << u"        "_s << u"        "_s << rule;
    QTest::newRow("mismatch before rule")
        << u"old"_s << u"abc"_s << u"abd"_s << MacPasswordView::mismatchText();
}

void TestSettingsPages::passwordChecks()
{
    QFETCH(QString, current);
    QFETCH(QString, password);
    QFETCH(QString, confirm);
    QFETCH(QString, error);

    auto store = memoryStore();
    signInLocally(*store);
    Calls calls;
    MacPasswordView page(*store, calls.note(u"close"_s));
    auto *save = part<WideButton>(page, u"save"_s);
    QVERIFY(save->isDisabled());
    typeInto(part<QLineEdit>(page, u"current"_s), current);
    typeInto(part<QLineEdit>(page, u"password"_s), password);
    QVERIFY(save->isDisabled());
    typeInto(part<QLineEdit>(page, u"confirm"_s), confirm);
    QVERIFY(!save->isDisabled());
    save->click();

    QCOMPARE(shownText(page, u"error"_s), error);
    // Success without a server is immediate: the fields empty and the success line shows.
    QCOMPARE(shownText(page, u"info"_s),
             error.isEmpty() ? MacPasswordView::changedText() : QString());
    QCOMPARE(part<QLineEdit>(page, u"password"_s)->text().isEmpty(), error.isEmpty());
    QCOMPARE(save->isDisabled(), error.isEmpty());
    QVERIFY(!save->isBusy());
    QVERIFY(calls.made.isEmpty());
    if (QTest::currentDataTag() == "mismatch before rule"_L1)
        savePictures(page, u"password"_s);
}

void TestSettingsPages::passwordRefusedByTheService()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    MacPasswordView page(*ops.store, {});
    typeInto(part<QLineEdit>(page, u"current"_s), u"wrong-one"_s);
    typeInto(part<QLineEdit>(page, u"password"_s), u"newpass99"_s);
    typeInto(part<QLineEdit>(page, u"confirm"_s), u"newpass99"_s);
    auto *save = part<WideButton>(page, u"save"_s);
    save->click();
    QVERIFY(save->isBusy());
    QVERIFY(QTest::qWaitFor([&] { return !save->isBusy(); }, 10000));
    QCOMPARE(shownText(page, u"error"_s), u"현재 비밀번호가 올바르지 않습니다."_s);
    QCOMPARE(part<QLineEdit>(page, u"current"_s)->text(), u"wrong-one"_s);
    QCOMPARE(part<QLineEdit>(page, u"confirm"_s)->text(), u"newpass99"_s);
    QVERIFY(!ops.store->notice());
}

void TestSettingsPages::passwordPageLeftWhileWaiting()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    ops.service.delayNext(u"PATCH"_s, u"/v1/me/password"_s, 1, 300);
    auto page = std::make_unique<MacPasswordView>(*ops.store, std::function<void()>{});
    typeInto(part<QLineEdit>(*page, u"current"_s), ops.password);
    typeInto(part<QLineEdit>(*page, u"password"_s), u"newpass99"_s);
    typeInto(part<QLineEdit>(*page, u"confirm"_s), u"newpass99"_s);
    part(*page, u"save"_s)->click();
    page.reset();
    // The service still changes the password (a new sign-in with it works once the answer has
    // been sent); the answer then reaches the store and finds no page.
    auto other = ops.makeClient();
    QVERIFY(QTest::qWaitFor(
        [&] { return finish(other->login(u"me_user@example.com"_s, u"newpass99"_s)).has_value(); },
        10000));
    ops.barrier();
}

QTEST_MAIN(TestSettingsPages)
#include "tst_settingspages.moc"
