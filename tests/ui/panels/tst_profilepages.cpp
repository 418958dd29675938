// Another user's profile, the own profile editor and the report sheet.

#include "PanelTestSupport.h"
#include "model/Account.h"

#include "ui/common/AvatarView.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/ImageFile.h"
#include "ui/common/WideButton.h"
#include "ui/panels/MeEdit.h"
#include "ui/panels/ProfileView.h"
#include "ui/panels/ReportSheet.h"
#include "ui/workspace/Workspace.h"

#include <QBuffer>
#include <QPlainTextEdit>
#include <QScrollArea>

using namespace Qt::StringLiterals;

namespace {

QStringList shownButtons(QWidget &page)
{
    QStringList titles;
    for (WideButton *button : page.findChildren<WideButton *>()) {
        if (button->isVisibleTo(&page))
            titles.append(button->title());
    }
    return titles;
}

void editMe(LocalStore &store, const std::function<void(Account &)> &change)
{
    Account mine = *store.me();
    change(mine);
    store.replaceAccount(mine);
}

void chooseReasons(ReportSheet &sheet, const QStringList &labels)
{
    for (const QString &label : labels)
        part(sheet, label)->click();
}

// The report sheet as the window raises it for `userId`: the workspace files what it sends and
// shows the answer in its banner.
struct ReportRig
{
    ReportRig(LocalStore &store, const QUuid &userId)
        : workspace(store)
    {
        workspace.setBannerDuration(std::chrono::hours(1));
        workspace.show();
        workspace.navigation().setReport(ReportDraft{QUuid::createUuid(), userId, {}});
    }
    QDialog *dialog() const { return workspace.sheet(Sheet::report); }
    ReportSheet &sheet() const { return *dialog()->findChild<ReportSheet *>(); }
    std::optional<QString> banner() { return workspace.navigation().banner(); }

    Workspace workspace;
};

} // namespace

class TestProfilePages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void init() { resetFolders(); }
    void cleanup() { ImageFile::setTestAnswer({}); }

    void profileOffersWhatFits_data();
    void profileOffersWhatFits();
    void profileActsThroughTheStore();
    void profileAvatarDecodesInTheBackground();
    void meEditCutsAsTyped_data();
    void meEditCutsAsTyped();
    void meEditFinishesOnlyAChange_data();
    void meEditFinishesOnlyAChange();
    void meEditHandleOnceAndTaken();
    void meEditSlowSave_data();
    void meEditSlowSave();
    void meEditServiceRefusal();
    void reportCanSend_data();
    void reportCanSend();
    void reportSendsTheChosenReason_data();
    void reportSendsTheChosenReason();
    void reportRefusedThenAccepted();
    void answersAfterThePageIsGone();
};

void TestProfilePages::profileOffersWhatFits_data()
{
    QTest::addColumn<bool>("official");
    QTest::addColumn<bool>("blocked");
    QTest::addColumn<int>("state"); // -1: no friend link, else a FriendState
    QTest::addColumn<QStringList>("buttons");
    const int none = -1;
    const int incoming = int(FriendState::incoming);
    const int outgoing = int(FriendState::outgoing);
    const int friends = int(FriendState::friends);
    QTest::newRow("official") << true << false << friends << QStringList{u"대화"_s, u"신고"_s};
    QTest::newRow("official, blocked")
        << true << true << none << QStringList{u"차단 해제"_s, u"신고"_s};
    QTest::newRow("asking me") << false << false << incoming
                               << QStringList{u"수락"_s, u"거절"_s, u"차단"_s, u"신고"_s};
    QTest::newRow("asked by me") << false << false << outgoing
                                 << QStringList{u"요청함"_s, u"차단"_s, u"신고"_s};
    QTest::newRow("friend") << false << false << friends
                            << QStringList{u"대화"_s, u"차단"_s, u"신고"_s};
    QTest::newRow("stranger") << false << false << none
                              << QStringList{u"친구 요청"_s, u"차단"_s, u"신고"_s};
    QTest::newRow("blocked friend")
        << false << true << friends << QStringList{u"대화"_s, u"차단 해제"_s, u"신고"_s};
    QTest::newRow("blocked, asking me")
        << false << true << incoming << QStringList{u"차단 해제"_s, u"신고"_s};
}

void TestProfilePages::profileOffersWhatFits()
{
    QFETCH(bool, official);
    QFETCH(bool, blocked);
    QFETCH(int, state);
    auto store = memoryStore();
    signInWithProfile(*store);
    const QUuid id = addAccount(*store, u"someone"_s, u"누군가"_s,
                                official ? AccountKind::official : AccountKind::person);
    if (state >= 0)
        store->editFriends([&](QList<FriendLink> &l) { l.append({id, FriendState(state)}); });
    if (blocked)
        store->block(id);
    ProfileView page(*store, id);
    QTEST(shownButtons(page), "buttons");
    QVERIFY(part<WideButton>(page, u"requested"_s)->isDisabled());
}

// A large avatar is decoded off the main thread: the page opens with the initial and the
// picture follows.
void TestProfilePages::profileAvatarDecodesInTheBackground()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    QImage picture(2400, 2400, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(picture.save(&buffer, "jpeg"));
    const QUuid id = addAccount(*store, u"photo"_s, u"사진있음"_s);
    store->editAccounts([&](QList<Account> &list) {
        for (Account &account : list) {
            if (account.id == id)
                account.avatarJPEG = jpeg;
        }
    });

    ProfileView page(*store, id);
    auto *avatar = page.findChild<AvatarView *>(u"avatar"_s);
    QCOMPARE(avatar->content(), AvatarView::Content::Initial);
    QVERIFY(DecodedImageCache::shared()->pendingCount() > 0);
    QTRY_COMPARE(avatar->content(), AvatarView::Content::Local);
    const QImage shown = avatar->grab().toImage();
    const QColor centre = shown.pixelColor(shown.rect().center());
    QVERIFY(centre.red() > 200 && centre.green() < 60);
    savePictures(page, u"profile-avatar"_s, {QSize(720, 680)});
}

void TestProfilePages::profileActsThroughTheStore()
{
    auto store = memoryStore();
    const QUuid me = signInWithProfile(*store);
    const QUuid id = addAccount(*store, QString(), u"이름만"_s);
    QList<ReportDraft> reports;
    QList<QUuid> opened;
    ProfileView page(*store, id);
    QObject::connect(&page, &ProfileView::chatRequested,
                     [&](const QUuid &userId) { opened.append(userId); });
    QObject::connect(&page, &ProfileView::reportRequested,
                     [&](const ReportDraft &draft) { reports.append(draft); });
    page.show();
    QVERIFY(part<QWidget>(page, u"handle"_s)->isHidden());
    QVERIFY(part<QWidget>(page, u"bio"_s)->isHidden());

    part(page, u"request"_s)->click();
    redraw();
    QCOMPARE(shownButtons(page), (QStringList{u"요청함"_s, u"차단"_s, u"신고"_s}));

    // Blocking asks first; lifting a block does not.
    part(page, u"block"_s)->click();
    QCOMPARE(openConfirmation(page)->text(), u"차단할까요?"_s);
    QVERIFY(answerConfirmation(page, u"취소"_s));
    QVERIFY(store->blocks().isEmpty());
    part(page, u"block"_s)->click();
    QVERIFY(answerConfirmation(page, u"차단"_s));
    QCOMPARE(store->blocks(), QList<QUuid>{id});
    redraw();
    part(page, u"unblock"_s)->click();
    QVERIFY(store->blocks().isEmpty());

    part(page, u"report"_s)->click();
    part(page, u"report"_s)->click();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[0].id != reports[1].id);
    QCOMPARE(reports[0].userId, id);
    QCOMPARE(reports[0].messageId, std::nullopt);

    store->editFriends([&](QList<FriendLink> &list) { list.last().state = FriendState::friends; });
    redraw();
    part(page, u"talk"_s)->click();
    QCOMPARE(opened, QList<QUuid>{id});

    // One's own profile has no actions; an unknown account shows nothing at all.
    ProfileView own(*store, me);
    QVERIFY(shownButtons(own).isEmpty());
    ProfileView unknown(*store, QUuid::createUuid());
    QVERIFY(unknown.findChild<QScrollArea *>()->isHidden());

    ProfileView house(*store, SeedID::quillo());
    Account quillo = *store->account(SeedID::quillo());
    quillo.acceptsUserMessages = false;
    store->replaceAccount(quillo);
    redraw();
    QCOMPARE(shownText(house, u"closedInbox"_s), kClosedInboxText);
    QCOMPARE(shownText(house, u"handle"_s), u"@quillo"_s);
    QCOMPARE(shownButtons(house), (QStringList{u"대화"_s, u"신고"_s}));
    savePictures(house, u"profile-official"_s);
}

void TestProfilePages::meEditCutsAsTyped_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("name of 21") << u"name"_s << QString(21, u'가') << QString(20, u'가');
    QTest::newRow("name of 20") << u"name"_s << QString(20, u'가') << QString(20, u'가');
    QTest::newRow("handle, capitals and @") << u"handle"_s << u"@Sora_Kim"_s << u"sora_kim"_s;
    QTest::newRow("handle of 25") << u"handle"_s << u"abcdefghijklmnopqrstuvwxy"_s
                                  << u"abcdefghijklmnopqrst"_s;
}

void TestProfilePages::meEditCutsAsTyped()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    auto store = memoryStore();
    signInWithProfile(*store);
    MeEdit page(*store);
    page.show();
    auto *edit = part<QLineEdit>(page, field);
    typeInto(edit, typed);
    QTEST(edit->text(), "kept");
}

void TestProfilePages::meEditFinishesOnlyAChange_data()
{
    QTest::addColumn<QString>("name"); // null: left as filled in
    QTest::addColumn<QString>("handle");
    QTest::addColumn<bool>("cancelFile");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("untouched") << QString() << QString() << false << false;
    QTest::newRow("blanks around the name") << u" 나 "_s << QString() << false << true;
    QTest::newRow("the name in decomposed form")
        << u"\u1102\u1161"_s << QString() << false << false;
    QTest::newRow("name of blanks") << u"   "_s << QString() << false << false;
    QTest::newRow("new handle") << QString() << u"new_me"_s << false << true;
    QTest::newRow("handle too short") << QString() << u"ab"_s << false << false;
    QTest::newRow("file dialog cancelled") << QString() << QString() << true << true;
}

void TestProfilePages::meEditFinishesOnlyAChange()
{
    QFETCH(QString, name);
    QFETCH(QString, handle);
    QFETCH(bool, cancelFile);
    auto store = memoryStore();
    signInWithProfile(*store);
    editMe(*store, [](Account &a) { a.avatarJPEG = QByteArray("jpeg"); });
    MeEdit page(*store);
    page.show();
    QCOMPARE(part<QLineEdit>(page, u"name"_s)->text(), u"나"_s);
    QCOMPARE(part<QLineEdit>(page, u"handle"_s)->text(), u"me_handle"_s);
    QCOMPARE(page.photo(), std::optional<QByteArray>("jpeg"));
    QVERIFY(!part(page, u"done"_s)->isEnabled());
    if (!name.isNull())
        typeInto(part<QLineEdit>(page, u"name"_s), name);
    if (!handle.isNull())
        typeInto(part<QLineEdit>(page, u"handle"_s), handle);
    if (cancelFile) {
        ImageFile::setTestAnswer([] { return QString(); });
        part(page, u"file"_s)->click();
        QTRY_VERIFY(!page.photo());
    }
    QTEST(part(page, u"done"_s)->isEnabled(), "enabled");
}

void TestProfilePages::meEditHandleOnceAndTaken()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    addAccount(*store, u"taken_one"_s, u"주인"_s);
    int closed = 0;
    MeEdit page(*store);
    QObject::connect(&page, &MeEdit::closeRequested, [&] { ++closed; });
    page.show();
    auto *handle = part<QLineEdit>(page, u"handle"_s);

    typeInto(handle, u"taken_one"_s);
    part(page, u"done"_s)->click();
    QCOMPARE(shownText(page, u"taken"_s), MeEdit::takenText());
    typeInto(handle, u"taken_on"_s);
    QVERIFY(part<QWidget>(page, u"taken"_s)->isHidden());
    savePictures(page, u"me-edit"_s);

    part(page, u"done"_s)->click();
    QCOMPARE(closed, 1);
    QCOMPARE(store->me()->handle, u"taken_on"_s);

    // Changed once: the field is locked and no longer counts.
    redraw();
    QVERIFY(!handle->isEnabled());
    QCOMPARE(shownText(page, u"handleOnce"_s), MeEdit::handleOnceText());
    handle->setText(u"x"_s);
    typeInto(part<QLineEdit>(page, u"name"_s), u"새 이름"_s);
    QVERIFY(part(page, u"done"_s)->isEnabled());
}

void TestProfilePages::meEditSlowSave_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<int>("closes");
    QTest::newRow("still shown") << u"stay"_s << 1;
    QTest::newRow("left for another page") << u"hide"_s << 0;
    QTest::newRow("page gone") << u"delete"_s << 0;
}

void TestProfilePages::meEditSlowSave()
{
    QFETCH(QString, meanwhile);
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    int closes = 0;
    auto page = std::make_unique<MeEdit>(*ops.store);
    QObject::connect(page.get(), &MeEdit::closeRequested, [&] { ++closes; });
    page->show();
    typeInto(part<QLineEdit>(*page, u"name"_s), u"느린 저장"_s);
    ops.service.delayNext(u"PATCH"_s, u"/v1/me"_s, 1, 400);
    part(*page, u"done"_s)->click();
    QVERIFY(!part(*page, u"done"_s)->isEnabled());
    if (meanwhile == u"hide")
        page->hide();
    else if (meanwhile == u"delete")
        page.reset();
    QVERIFY(QTest::qWaitFor([&] { return ops.store->me()->displayName == u"느린 저장"_s; }, 10000));
    redraw();
    QTEST(closes, "closes");
}

void TestProfilePages::meEditServiceRefusal()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    int closes = 0;
    MeEdit page(*ops.store);
    QObject::connect(&page, &MeEdit::closeRequested, [&] { ++closes; });
    page.show();
    typeInto(part<QLineEdit>(page, u"name"_s), u"거절될 이름"_s);
    ops.service.failNext(u"PATCH"_s, u"/v1/me"_s, 1, 500, u"boom"_s, u"지금은 바꿀 수 없습니다."_s);
    part(page, u"done"_s)->click();
    QTRY_COMPARE(shownText(page, u"notice"_s), u"지금은 바꿀 수 없습니다."_s);
    QVERIFY(part(page, u"done"_s)->isEnabled());
    QCOMPARE(part<QLineEdit>(page, u"name"_s)->text(), u"거절될 이름"_s);
    QCOMPARE(closes, 0);
    savePictures(page, u"me-edit-refused"_s);
}

void TestProfilePages::reportCanSend_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("kept");
    QTest::newRow("nothing chosen") << QString() << QString() << false << QString();
    QTest::newRow("spam") << u"스팸"_s << QString() << true << QString();
    QTest::newRow("other, no note") << u"기타"_s << QString() << false << QString();
    QTest::newRow("other, blanks") << u"기타"_s << u" \n\t "_s << false << u" \n\t "_s;
    QTest::newRow("other, one letter") << u"기타"_s << u"a"_s << true << u"a"_s;
    QTest::newRow("other, 201") << u"기타"_s << QString(201, u'가') << true << QString(200, u'가');
    QTest::newRow("other, 200") << u"기타"_s << QString(200, u'가') << true << QString(200, u'가');
}

void TestProfilePages::reportCanSend()
{
    QFETCH(QString, reason);
    QFETCH(QString, note);
    auto store = memoryStore();
    signInWithProfile(*store);
    ReportSheet sheet(ReportDraft{QUuid::createUuid(), SeedID::sora(), {}});
    if (!reason.isEmpty())
        chooseReasons(sheet, {reason});
    auto *field = part<QPlainTextEdit>(sheet, u"note"_s);
    field->insertPlainText(note);
    QTEST(part(sheet, u"send"_s)->isEnabled(), "enabled");
    QTEST(field->toPlainText(), "kept");
}

void TestProfilePages::reportSendsTheChosenReason_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("sent");
    QTest::newRow("spam") << QStringList{u"스팸"_s} << QString() << u"스팸"_s;
    QTest::newRow("other with a note")
        << QStringList{u"기타"_s} << u"  광고 계정  "_s << u"기타 광고 계정"_s;
    QTest::newRow("note left behind")
        << QStringList{u"기타"_s, u"사칭"_s} << u"메모"_s << u"사칭"_s;
    QTest::newRow("chosen twice") << QStringList{u"혐오"_s, u"혐오"_s} << QString() << u"혐오"_s;
}

void TestProfilePages::reportSendsTheChosenReason()
{
    QFETCH(QStringList, chosen);
    QFETCH(QString, note);
    auto store = memoryStore();
    signInWithProfile(*store);
    ReportRig rig(*store, SeedID::sora());
    ReportSheet &sheet = rig.sheet();
    part(sheet, chosen.first())->click();
    part<QPlainTextEdit>(sheet, u"note"_s)->setPlainText(note);
    chooseReasons(sheet, chosen.mid(1));
    QCOMPARE(sheet.reason(), fromRawText<ReportReason>(chosen.last()));
    part(sheet, u"send"_s)->click();
    QCOMPARE(rig.banner(), ReportSheet::doneText());
    QVERIFY(!rig.workspace.navigation().report());
    QCOMPARE(store->reports().size(), 1);
    const ReportRecord record = store->reports().first();
    QTEST(QStringList({record.reason, record.note}).join(u' ').trimmed(), "sent");
    QCOMPARE(store->reports().first().messageId, std::nullopt);
}

void TestProfilePages::reportRefusedThenAccepted()
{
    LiveOps ops;
    const QUuid peer = ops.addUser(u"peer_user"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me_user"_s));
    ReportRig rig(*ops.store, peer);
    ReportSheet &sheet = rig.sheet();
    chooseReasons(sheet, {u"기타"_s});
    part<QPlainTextEdit>(sheet, u"note"_s)->setPlainText(u"메모"_s);
    auto *send = part(sheet, u"send"_s);
    for (const QString &refusal : {u"첫 번째 실패"_s, u"두 번째 실패"_s}) {
        ops.service.failNext(u"POST"_s, u"/v1/reports"_s, 1, 400, u"bad"_s, refusal);
        send->click();
        QVERIFY(!send->isEnabled());
        QTRY_COMPARE(shownText(sheet, u"error"_s), refusal);
        QVERIFY(send->isEnabled());
    }
    QCOMPARE(part<QPlainTextEdit>(sheet, u"note"_s)->toPlainText(), u"메모"_s);
    savePictures(*rig.dialog(), u"report"_s, {QSize(420, 360), QSize(560, 560)});
    send->click();
    QTRY_COMPARE(rig.banner(), ReportSheet::doneText());
    QCOMPARE(ops.service.reports().size(), 1);
}

// "대화" on a profile and "보내기" on the report sheet, then both go before the service answers:
// the room still opens and the report is still announced.
void TestProfilePages::answersAfterThePageIsGone()
{
    LiveOps ops;
    const QUuid peer = ops.addUser(u"peer_user"_s, u"상대"_s);
    QVERIFY(ops.startAs(u"me_user"_s));
    ops.service.makeFriends(ops.meId, peer);
    QVERIFY(finish(ops.store->lookup(u"peer_user"_s)).value_or(std::nullopt));
    ops.store->editFriends([&](QList<FriendLink> &l) { l.append({peer, FriendState::friends}); });
    ReportRig rig(*ops.store, peer);
    Navigation &nav = rig.workspace.navigation();
    nav.setReport(std::nullopt);
    nav.setPage(Page::profilePage(peer));
    ops.service.delayNext(QString(), u"/v1/"_s, 2, 300);
    part(*rig.workspace.detail(), u"talk"_s)->click();
    nav.setReport(ReportDraft{QUuid::createUuid(), peer, {}});
    chooseReasons(rig.sheet(), {u"스팸"_s});
    part(rig.sheet(), u"send"_s)->click();
    QPointer<QWidget> profile = rig.workspace.detail();
    nav.setPage(Page{Page::pick, {}});
    rig.dialog()->reject();
    QTRY_VERIFY(!profile && !rig.dialog());
    QTest::qWait(500);
    ops.settle();
    QCOMPARE(ops.service.reports().size(), 1);
    QCOMPARE(rig.banner(), ReportSheet::doneText());
    QCOMPARE(nav.page(), Page::roomPage(ops.store->directConversation(peer)->id));
}

QTEST_MAIN(TestProfilePages)
#include "tst_profilepages.moc"
