// The invite link page and the invite request sheet.

#include "PanelTestSupport.h"

#include "ui/common/WideButton.h"
#include "ui/panels/MacInvitePanel.h"
#include "ui/panels/MacInviteRequest.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QSignalSpy>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

// Takes the addresses that the page hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class TestInvitePanels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        privateFolders();
        QDesktopServices::setUrlHandler(u"mailto"_s, &m_catcher, "open");
    }
    void init()
    {
        resetFolders();
        m_catcher.opened.clear();
        QGuiApplication::clipboard()->clear();
    }

    void copyShareAndRenew();
    void linkThatIsNoUrl();
    void failedLoadLeavesNothingToCopy();
    void pageLeftWhileLoading();
    void requestAnswers_data();
    void requestAnswers();

private:
    UrlCatcher m_catcher;
};

void TestInvitePanels::copyShareAndRenew()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    QStringList closed;
    MacInvitePanel page(*store, [&] { closed.append(u"close"_s); });
    page.show();
    const QString first = page.link();
    QVERIFY(first.endsWith(store->localInviteCode()));
    QCOMPARE(shownText(page, u"link"_s), first);
    QVERIFY(shownText(page, u"note"_s).isEmpty());

    for (int i = 0; i < 2; ++i) {
        part(page, u"copy"_s)->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), first);
        QCOMPARE(shownText(page, u"note"_s), MacInvitePanel::copiedText());
    }
    QGuiApplication::clipboard()->clear();
    part(page, u"share"_s)->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), first);
    QCOMPARE(m_catcher.opened.size(), 1);
    QCOMPARE(QUrlQuery(m_catcher.opened.constFirst()).queryItemValue(u"body"_s, QUrl::FullyDecoded),
             first);
    savePictures(page, u"invite"_s);

    part(page, u"rotate"_s)->click();
    QCOMPARE(openConfirmation(page)->text(), u"이전 링크는 바로 사용할 수 없게 됩니다."_s);
    QVERIFY(answerConfirmation(page, u"취소"_s));
    QCOMPARE(page.link(), first);
    QCOMPARE(shownText(page, u"note"_s), MacInvitePanel::copiedText());

    part(page, u"rotate"_s)->click();
    QVERIFY(answerConfirmation(page, u"새로 만들기"_s));
    QVERIFY(page.link() != first);
    QVERIFY(page.link().endsWith(store->localInviteCode()));
    QVERIFY(shownText(page, u"note"_s).isEmpty());

    part(page, u"close"_s)->click();
    QCOMPARE(closed, QStringList{u"close"_s});
}

void TestInvitePanels::linkThatIsNoUrl()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    store->setLocalInviteCode(u"not a code"_s);
    MacInvitePanel page(*store, {});
    page.show();
    QVERIFY(page.link().endsWith(u"not a code"_s));
    QVERIFY(part(page, u"share"_s)->isHidden());
    part(page, u"copy"_s)->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), page.link());
}

void TestInvitePanels::failedLoadLeavesNothingToCopy()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    ops.service.failNext(u"GET"_s, u"/v1/me/invite"_s, 1, 500, u"oops"_s, u"링크 오류"_s);
    MacInvitePanel page(*ops.store, {});
    page.show();
    QVERIFY(QTest::qWaitFor([&] { return ops.store->notice().has_value(); }, 10000));
    redraw();
    QVERIFY(page.link().isEmpty());
    QCOMPARE(shownText(page, u"link"_s), u" "_s);
    QVERIFY(part<WideButton>(page, u"copy"_s)->isDisabled());
    QVERIFY(part(page, u"share"_s)->isHidden());

    // A failed renewal keeps what is shown; a good one brings the service's new link.
    ops.service.failNext(u"POST"_s, u"/v1/me/invite"_s, 1, 500, u"oops"_s, u"다시"_s);
    part(page, u"rotate"_s)->click();
    QVERIFY(answerConfirmation(page, u"새로 만들기"_s));
    QVERIFY(QTest::qWaitFor([&] { return ops.store->notice() == u"다시"_s; }, 10000));
    QVERIFY(page.link().isEmpty());
    part(page, u"rotate"_s)->click();
    QVERIFY(answerConfirmation(page, u"새로 만들기"_s));
    QVERIFY(QTest::qWaitFor([&] { return !page.link().isEmpty(); }, 10000));
    QVERIFY(page.link().endsWith(u"/i/"_s + ops.service.inviteCode(ops.meId)));
    QVERIFY(!part(page, u"share"_s)->isHidden());
}

void TestInvitePanels::pageLeftWhileLoading()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    ops.service.delayNext(u"GET"_s, u"/v1/me/invite"_s, 1, 200);
    auto page = std::make_unique<MacInvitePanel>(*ops.store, std::function<void()>{});
    page.reset();
    // A second page's load is answered after the first one's; by then the first answer has
    // come back to a page that is gone.
    ops.service.delayNext(u"GET"_s, u"/v1/me/invite"_s, 1, 400);
    MacInvitePanel again(*ops.store, {});
    QVERIFY(QTest::qWaitFor([&] { return !again.link().isEmpty(); }, 10000));
    QCOMPARE(ops.countRequests(u"GET"_s, u"/v1/me/invite"_s), 2);
}

void TestInvitePanels::requestAnswers_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("수락") << u"accept"_s;
    QTest::newRow("거절") << u"reject"_s;
    QTest::newRow("닫기") << u"close"_s;
}

void TestInvitePanels::requestAnswers()
{
    QFETCH(QString, button);
    auto store = memoryStore();
    signInWithProfile(*store);
    const InviteOutcome outcome{QUuid::createUuid(), QUuid::createUuid(), std::nullopt};
    store->setInviteOutcome(outcome);
    MacInviteRequest sheet(*store, outcome);
    QSignalSpy closing(&sheet, &MacInviteRequest::closeRequested);
    QCOMPARE(shownText(sheet, u"title"_s), u"친구 요청"_s);
    QCOMPARE(part<WideButton>(sheet, u"reject"_s)->role(), WideButton::Role::Destructive);
    if (button == u"accept"_s) {
        const QSize least = sheet.sizeHint().expandedTo(QSize(360, 180));
        savePictures(sheet, u"invite-request"_s, {least, least + QSize(200, 100)});
    }
    part(sheet, button)->click();
    QVERIFY(!store->inviteOutcome());
    QCOMPARE(closing.count(), 1);
}

QTEST_MAIN(TestInvitePanels)
#include "tst_invitepanels.moc"
