#include "PanelTestSupport.h"

#include "ui/common/UiMetrics.h"
#include "ui/panels/PageBase.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A page with a title bar whose sides are given as button texts (empty: no button there).
class BarPage : public PageBase
{
public:
    BarPage(const QString &leading, const QString &trailing, bool hideTrailing)
        : PageBase(u"barPage"_s)
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        QPushButton *last = button(trailing);
        layout->addWidget(titleBar(u"제목"_s, button(leading), last));
        layout->addStretch(1);
        if (last && hideTrailing)
            last->hide();
    }

private:
    QPushButton *button(const QString &text)
    {
        return text.isEmpty() ? nullptr : new QPushButton(text, this);
    }
};

} // namespace

class TestPageBase : public QObject
{
    Q_OBJECT
private slots:
    void titleStaysCentred_data();
    void titleStaysCentred();
    void sheetHostClosesOnRequest();
};

void TestPageBase::titleStaysCentred_data()
{
    QTest::addColumn<QString>("leading");
    QTest::addColumn<QString>("trailing");
    QTest::addColumn<bool>("hideTrailing");
    QTest::addColumn<int>("width");
    QTest::newRow("one side") << u"닫기"_s << QString() << false << 400;
    QTest::newRow("unequal sides") << u"취소"_s << u"아주 긴 다음 단계로"_s << false << 500;
    QTest::newRow("trailing hidden") << u"닫기"_s << u"완료"_s << true << 400;
    QTest::newRow("no buttons") << QString() << QString() << false << 300;
    QTest::newRow("narrow") << u"닫기"_s << u"완료"_s << false << 200;
}

void TestPageBase::titleStaysCentred()
{
    QFETCH(QString, leading);
    QFETCH(QString, trailing);
    QFETCH(bool, hideTrailing);
    QFETCH(int, width);
    BarPage page(leading, trailing, hideTrailing);
    page.resize(width, 200);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    auto *bar = page.findChild<QWidget *>(u"header"_s);
    auto *title = page.findChild<QLabel *>(u"title"_s);
    QVERIFY(bar && title);
    QVERIFY(bar->height() >= UiMetrics::controlHeight);
    const QRect shown = title->geometry();
    QVERIFY2(qAbs(shown.center().x() - bar->rect().center().x()) <= 1,
             qPrintable(u"title at %1 of %2"_s.arg(shown.center().x()).arg(bar->width())));
    // Each side keeps at least the clear 44-pixel box, button or not.
    QVERIFY(shown.left() >= UiMetrics::controlHeight);
    QVERIFY(bar->width() - shown.right() - 1 >= UiMetrics::controlHeight);
}

void TestPageBase::sheetHostClosesOnRequest()
{
    QWidget window;
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *sheet = new PageBase(u"sheet"_s);
    QPointer<QDialog> dialog = SheetHost::create(&window, sheet, QSize(420, 360));
    QPointer<PageBase> content = sheet;
    QSignalSpy finished(dialog.data(), &QDialog::finished);
    dialog->open();
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->width() >= 420 && dialog->height() >= 360);
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    emit sheet->closeRequested();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    QTRY_VERIFY(!dialog && !content);
}

QTEST_MAIN(TestPageBase)
#include "tst_pagebase.moc"
