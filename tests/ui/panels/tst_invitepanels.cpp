// The invite link page and the invite request sheet.

#include "PanelTestSupport.h"

#include "ui/common/WideButton.h"
#include "ui/panels/InvitePanel.h"
#include "ui/panels/InviteRequest.h"

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
    void failedLoadAndPageLeftWhileLoading();
    void rotationsWithTheService();
    void requestAnswers_data();
    void requestAnswers();

private:
    UrlCatcher m_catcher;
};

void TestInvitePanels::copyShareAndRenew()
{
    auto store = memoryStore();
    signInWithProfile(*store);
    InvitePanel page(*store);
    page.show();
    const QString first = page.link();
    QVERIFY(first.endsWith(store->localInviteCode()));
    QCOMPARE(shownText(page, u"link"_s), first);
    QVERIFY(shownText(page, u"note"_s).isEmpty());

    for (int i = 0; i < 2; ++i) {
        part(page, u"copy"_s)->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), first);
        QCOMPARE(shownText(page, u"note"_s), InvitePanel::copiedText());
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
    QCOMPARE(shownText(page, u"note"_s), InvitePanel::copiedText());

    part(page, u"rotate"_s)->click();
    QVERIFY(answerConfirmation(page, u"새로 만들기"_s));
    QVERIFY(page.link() != first);
    QVERIFY(page.link().endsWith(store->localInviteCode()));
    QVERIFY(shownText(page, u"note"_s).isEmpty());

    // A link that is no URL is still shown and copied, but not offered to other programs.
    store->setLocalInviteCode(u"not a code"_s);
    InvitePanel odd(*store);
    QVERIFY(odd.link().endsWith(u"not a code"_s) && part(odd, u"share"_s)->isHidden());
    part(odd, u"copy"_s)->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), odd.link());
}

void TestInvitePanels::failedLoadAndPageLeftWhileLoading()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    // The first page goes before its link arrives; the second page's load fails after that.
    ops.service.delayNext(u"GET"_s, u"/v1/me/invite"_s, 1, 200);
    std::make_unique<InvitePanel>(*ops.store).reset();
    QVERIFY(QTest::qWaitFor([&] { return ops.countRequests(u"GET"_s, u"/v1/me/invite"_s) == 1; },
                            10000));
    ops.service.delayNext(u"GET"_s, u"/v1/me/invite"_s, 1, 400);
    ops.service.failNext(u"GET"_s, u"/v1/me/invite"_s, 1, 500, u"oops"_s, u"링크 오류"_s);
    InvitePanel page(*ops.store);
    page.show();
    QVERIFY(QTest::qWaitFor([&] { return ops.store->notice().has_value(); }, 10000));
    redraw();
    QVERIFY(page.link().isEmpty());
    QCOMPARE(shownText(page, u"link"_s), u" "_s);
    QVERIFY(part<WideButton>(page, u"copy"_s)->isDisabled());
    QVERIFY(part(page, u"share"_s)->isHidden());
}

// A refused rotation keeps the link and the note; there is no busy state, so a second rotation
// confirmed before the first answers is sent too, and the page shows what answers last.
void TestInvitePanels::rotationsWithTheService()
{
    LiveOps ops;
    QVERIFY(ops.startAs(u"me_user"_s));
    InvitePanel page(*ops.store);
    page.show();
    QTRY_VERIFY_WITH_TIMEOUT(!page.link().isEmpty(), 10000);
    const QString first = page.link();
    part(page, u"copy"_s)->click();
    const auto rotate = [&] {
        part(page, u"rotate"_s)->click();
        QVERIFY(answerConfirmation(page, u"새로 만들기"_s));
    };

    ops.service.failNext(u"POST"_s, u"/v1/me/invite"_s, 1, 500, u"oops"_s, u"만들 수 없음"_s);
    rotate();
    QTRY_COMPARE_WITH_TIMEOUT(ops.store->notice(), std::optional(u"만들 수 없음"_s), 10000);
    redraw();
    QCOMPARE(page.link(), first);
    QCOMPARE(shownText(page, u"note"_s), InvitePanel::copiedText());

    ops.service.delayNext(u"POST"_s, u"/v1/me/invite"_s, 1, 400);
    QStringList shown;
    rotate();
    rotate();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            if (shown.isEmpty() || shown.last() != page.link())
                shown.append(page.link());
            return shown.size() == 3;
        }(),
        10000);
    // The undelayed second answer shows first, then the first one's, which came last.
    QVERIFY(shown[1] != first && shown[2] != first && shown[1] != shown[2]);
    QCOMPARE(ops.countRequests(u"POST"_s, u"/v1/me/invite"_s), 3);
    QVERIFY(shownText(page, u"note"_s).isEmpty());
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
    InviteRequest sheet(*store);
    QSignalSpy closing(&sheet, &InviteRequest::closeRequested);
    QCOMPARE(shownText(sheet, u"title"_s), u"친구 요청"_s);
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
