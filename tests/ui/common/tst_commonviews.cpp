// The shared widgets: the wide button's pressability, the avatar's fallback, link opening,
// the adaptive colours, the sound, and pictures of the views for a look by eye.

#include "TestShots.h"
#include "ui/common/AvatarView.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ImageShrink.h"
#include "ui/common/MessagePhoto.h"
#include "ui/common/MessageSound.h"
#include "ui/common/MessageText.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/PersonLabel.h"
#include "ui/common/SteadyScrollBar.h"
#include "ui/common/UiMetrics.h"
#include "ui/common/WideButton.h"

#include "../UiTestSupport.h"

#include <QApplication>
#include <QBoxLayout>
#include <QBuffer>
#include <QDesktopServices>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

// Receives the addresses QDesktopServices would have opened.
class LinkCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

// The largest difference of one colour channel between two pictures of one size.
int largestDifference(const QImage &one, const QImage &other)
{
    int worst = 0;
    for (int y = 0; y < one.height(); ++y)
        for (int x = 0; x < one.width(); ++x) {
            const QRgb a = one.pixel(x, y), b = other.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    return worst;
}

// Counts the events of one type a widget receives.
class EventCounter : public QObject
{
public:
    EventCounter(QObject *target, QEvent::Type type, int *count)
        : m_type(type)
        , m_count(count)
    {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            ++*m_count;
        return false;
    }

private:
    QEvent::Type m_type;
    int *m_count;
};

class TestCommonViews : public QObject
{
    Q_OBJECT

private slots:
    void fontsRenderHangul()
    {
        // Without a CJK font every syllable is the same box.
        QList<QImage> images;
        for (const QString &syllable :
             {QStringLiteral("가"), QStringLiteral("힣"), QStringLiteral("뷁")}) {
            QLabel label(syllable);
            label.setFont(ChatFont::title2());
            label.adjustSize();
            images << label.grab().toImage();
        }
        QVERIFY(images[0] != images[1]);
        QVERIFY(images[1] != images[2]);
        QVERIFY(images[0] != images[2]);
    }

    void wideButtonPressability()
    {
        QWidget page;
        auto *layout = new QVBoxLayout(&page);
        auto *button = new WideButton("변경");
        layout->addWidget(button);
        page.resize(400, 200);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QSignalSpy clicks(button, &QAbstractButton::clicked);

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);

        button->setDisabled(true);
        QTest::mouseClick(button, Qt::LeftButton);
        button->click();
        QCOMPARE(clicks.count(), 1);

        button->setDisabled(false);
        button->setBusy(true);
        QTest::mouseClick(button, Qt::LeftButton);
        button->click();
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        QCOMPARE(clicks.count(), 1);

        // Busy ends but the button is still disabled: still no press.
        button->setDisabled(true);
        button->setBusy(false);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        // The same when the caller disabled it through QWidget itself.
        button->setDisabled(false);
        static_cast<QWidget *>(button)->setEnabled(false);
        button->setBusy(true);
        button->setBusy(false);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(button->isDisabled());
        QCOMPARE(clicks.count(), 1);

        // A press that is under way when the work starts does not turn into a click.
        button->setDisabled(false);
        QTest::mousePress(button, Qt::LeftButton);
        button->setBusy(true);
        QTest::mouseRelease(button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);

        button->setBusy(false);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 2);

        QVERIFY(button->height() >= 44);
        QCOMPARE(button->width(),
                 page.contentsRect().width() - layout->contentsMargins().left()
                     - layout->contentsMargins().right());
    }

    void wideButtonBusyHidesTitle()
    {
        WideButton button("저장");
        button.resize(240, 44);
        const QImage idle = button.grab().toImage();
        button.setBusy(true);
        const QImage busy = button.grab().toImage();
        QVERIFY(idle != busy);
        // The spinner sits in the middle; the title's place at the left of centre is plain.
        WideButton blank("");
        blank.resize(240, 44);
        blank.setBusy(true);
        QCOMPARE(busy, blank.grab().toImage());
    }

    void wideButtonTitleFitsItsSizeHint_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("empty-list button") << QStringLiteral("대화 시작");
        QTest::newRow("short") << QStringLiteral("변경");
        QTest::newRow("long") << QStringLiteral("인증 코드 받기");
    }

    // At its size hint (where a fixed size policy keeps it) the title is drawn whole, exactly as
    // in a wider button, not elided.
    void wideButtonTitleFitsItsSizeHint()
    {
        QFETCH(QString, title);
        WideButton snug(title);
        snug.resize(snug.sizeHint());
        WideButton wide(title);
        const int extra = 40;
        wide.resize(snug.width() + extra, snug.height());
        const QRect titleArea(16, 0, snug.width() - 32, snug.height());
        const QImage snugTitle = snug.grab().toImage().copy(titleArea);
        const QImage wideTitle = wide.grab().toImage().copy(titleArea.translated(extra / 2, 0));
        QCOMPARE(snugTitle, wideTitle);
    }

    void avatarInitial_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initial");
        const auto row = [](const char *name, const char *text, const char *initial) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(initial);
        };
        row("hangul", "홍길동", "홍");
        row("latin", "alice", "a");
        row("leading blanks", "  Bob", "B");
        row("empty", "", "");
        row("blank", "   ", "");
        row("combining accent", "e\xCC\x81mile", "e\xCC\x81");
        row("decomposed hangul", "\xE1\x84\x92\xE1\x85\xA9\xE1\x86\xBC길동",
            "\xE1\x84\x92\xE1\x85\xA9\xE1\x86\xBC");
        row("emoji family", "👨‍👩‍👧 가족", "👨‍👩‍👧");
        row("flag", "🇰🇷 팀", "🇰🇷");
    }

    void avatarInitial()
    {
        QFETCH(QString, name);
        QFETCH(QString, initial);
        QCOMPARE(AvatarView::initial(name), initial);
    }

    void avatarFallsBackToInitial()
    {
        AvatarView broken("가나다", QByteArray("not a jpeg"), std::nullopt, 56);
        QCOMPARE(broken.content(), AvatarView::Content::Initial);
        AvatarView unsafe("가나다", std::nullopt, QStringLiteral("file:///etc/hostname"), 56);
        QCOMPARE(unsafe.content(), AvatarView::Content::Initial);
        AvatarView photo("가나다", jpegOf(Qt::darkGreen, {80, 60}), QStringLiteral("file:///x"),
                         56);
        // Decoded off the main thread: the initial shows until the picture is ready.
        QCOMPARE(photo.content(), AvatarView::Content::Initial);
        QTRY_COMPARE(photo.content(), AvatarView::Content::Local);
        QCOMPARE(photo.sizeHint(), QSize(56, 56));

        // The initial is what is drawn: two names with different first syllables differ, and
        // a name that differs only after its first syllable draws the same.
        AvatarView ga("가나다", std::nullopt, std::nullopt, 56);
        AvatarView gaToo("가을", std::nullopt, std::nullopt, 56);
        AvatarView na("나나", std::nullopt, std::nullopt, 56);
        QCOMPARE(ga.grab().toImage(), gaToo.grab().toImage());
        QVERIFY(ga.grab().toImage() != na.grab().toImage());
        QCOMPARE(broken.grab().toImage(), ga.grab().toImage());
        QVERIFY(photo.grab().toImage() != ga.grab().toImage());

        // A picture that arrives later replaces the initial; one that goes away brings it back.
        ga.setJpeg(jpegOf(Qt::darkRed, {60, 60}));
        QTRY_COMPARE(ga.content(), AvatarView::Content::Local);
        ga.setJpeg(std::nullopt);
        QCOMPARE(ga.content(), AvatarView::Content::Initial);
    }

    // Round pictures are cut once per picture, size and ratio, draw as the picture clipped to
    // the circle does, and stay within their bound.
    void roundPicturesAreKept()
    {
        QImage source(120, 80, QImage::Format_RGB32);
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x)
                source.setPixel(x, y, qRgb(x * 2, y * 3, 255 - x));
        const QPixmap picture = QPixmap::fromImage(source);
        const QPixmap other = QPixmap::fromImage(source.mirrored());
        RoundPictures discs(64 * 64 * 4 * 3);
        const QPixmap disc = discs.disc(picture, {32, 32}, 1);
        QCOMPARE(discs.disc(picture, {32, 32}, 1).cacheKey(), disc.cacheKey());
        const QPixmap sharp = discs.disc(picture, {32, 32}, 2);
        QCOMPARE(sharp.size(), QSize(64, 64));
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        QVERIFY(discs.disc(picture, {40, 40}, 1).cacheKey() != disc.cacheKey());
        QVERIFY(discs.disc(other, {32, 32}, 1).toImage() != disc.toImage());
        QCOMPARE(discs.count(), 4);

        // On a background, as the rows draw it, against a clip path over the picture.
        const QRectF place(4, 4, 32, 32);
        QPainterPath circle;
        circle.addEllipse(place);
        QImage kept(40, 40, QImage::Format_RGB32);
        kept.fill(Qt::white);
        QImage clipped = kept;
        QPainter(&kept).drawPixmap(QPointF(4, 4), disc);
        {
            QPainter painter(&clipped);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setClipPath(circle);
            painter.drawPixmap(place, picture,
                               AspectFill::sourceRect(picture.size(), QSizeF(32, 32)));
        }
        QVERIFY2(largestDifference(kept, clipped) <= 2,
                 qPrintable(QString::number(largestDifference(kept, clipped))));

        // Initials: one disc per letter, drawn as the letter on a plain disc is.
        const QPalette palette = QApplication::palette();
        QFont font = QApplication::font();
        const QPixmap ga = discs.initialDisc(u"가나다"_s, {32, 32}, 1, palette, font);
        QCOMPARE(discs.initialDisc(u"가을"_s, {32, 32}, 1, palette, font).cacheKey(),
                 ga.cacheKey());
        QVERIFY(discs.initialDisc(u"나나"_s, {32, 32}, 1, palette, font).toImage() != ga.toImage());
        QImage letter(40, 40, QImage::Format_RGB32);
        letter.fill(palette.color(QPalette::Window));
        QImage direct = letter;
        QPainter(&letter).drawPixmap(QPointF(4, 4), ga);
        {
            QPainter painter(&direct);
            painter.setRenderHint(QPainter::Antialiasing);
            QColor disc = palette.color(QPalette::WindowText);
            disc.setAlphaF(0.14f);
            painter.fillPath(circle, disc);
            font.setPixelSize(qRound(32 * 0.42));
            font.setWeight(QFont::DemiBold);
            painter.setFont(font);
            QColor ink = palette.color(QPalette::WindowText);
            ink.setAlphaF(0.75f);
            painter.setPen(ink);
            painter.drawText(place, Qt::AlignCenter, u"가"_s);
        }
        QVERIFY2(largestDifference(letter, direct) <= 2,
                 qPrintable(QString::number(largestDifference(letter, direct))));

        // Past the bound the oldest go; a disc larger than the bound is drawn, not kept.
        for (int size = 20; size < 60; ++size)
            discs.disc(picture, {size, size}, 1);
        QVERIFY(discs.bytes() <= 64 * 64 * 4 * 3);
        QVERIFY(discs.count() < 40);
        QCOMPARE(discs.disc(picture, {200, 200}, 1).size(), QSize(200, 200));
        QVERIFY(discs.bytes() <= 64 * 64 * 4 * 3);
    }

    // A change the bar does not show paints nothing; any other is painted, and the screen then
    // holds what a full paint of the bar gives.
    void steadyScrollBarPaintsOnlyWhatShows_data()
    {
        QTest::addColumn<int>("maximum"); // before; the value starts at the end
        QTest::addColumn<int>("newMaximum");
        QTest::addColumn<int>("newValue"); // -1: the new end
        QTest::addColumn<bool>("painted");
        QTest::newRow("long list grows at the end") << 1'000'000 << 1'000'060 << -1 << false;
        QTest::newRow("long list grows, reader stays")
            << 1'000'000 << 1'000'060 << 1'000'000 << true;
        QTest::newRow("short list grows at the end") << 100 << 160 << -1 << true;
        QTest::newRow("to the middle") << 1'000'000 << 1'000'000 << 500'000 << true;
        QTest::newRow("list empties") << 1'000 << 0 << -1 << true;
    }

    void steadyScrollBarPaintsOnlyWhatShows()
    {
        QFETCH(int, maximum);
        QFETCH(int, newMaximum);
        QFETCH(int, newValue);
        QFETCH(bool, painted);
        QWidget window;
        auto *bar = new SteadyScrollBar(Qt::Vertical, &window);
        bar->setGeometry(0, 0, 14, 400);
        window.resize(14, 400);
        bar->setAll(0, maximum, 400, 20, maximum);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(20);
        int paints = 0;
        EventCounter counter(bar, QEvent::Paint, &paints);
        bar->setAll(0, newMaximum, 400, 20, newValue < 0 ? newMaximum : newValue);
        QTest::qWait(20);
        QCOMPARE(paints > 0, painted);
        const QImage shown = window.screen()
                                 ->grabWindow(window.winId(), 0, 0, 14, 400)
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        QVERIFY(shown == bar->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    void personLabel()
    {
        PersonLabel official("Zumo 팀", "", std::nullopt, std::nullopt, true);
        QCOMPARE(official.nameText(), QStringLiteral("Zumo 팀"));
        QVERIFY(official.isOfficial());
        QCOMPARE(official.handleText(), QString());

        PersonLabel person("김하늘", "sky_kim", std::nullopt, std::nullopt, false);
        QVERIFY(!person.isOfficial());
        QCOMPARE(person.handleText(), QStringLiteral("@sky_kim"));
        QVERIFY(person.sizeHint().height() >= UiMetrics::avatarSize);
    }

    // A long name gives way to its column: it ends in "…", the mark and the handle stay in
    // view, and the label asks for no more than the column has.
    void personLabelInANarrowColumn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("handle");
        QTest::addColumn<bool>("official");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("elided");
        const QString twenty = QString("가나다라마바사아자차카타파하거너더러머버");
        QTest::newRow("short name") << "김하늘"
                                    << "sky_kim" << false << 240 << false;
        QTest::newRow("20 characters and the mark in the sidebar")
            << twenty << "zumo_official_team" << true << 240 << true;
        QTest::newRow("narrower still") << twenty << "somebody" << false << 150 << true;
    }
    void personLabelInANarrowColumn()
    {
        QFETCH(QString, name);
        QFETCH(QString, handle);
        QFETCH(bool, official);
        QFETCH(int, width);
        QFETCH(bool, elided);
        PersonLabel person(name, handle, std::nullopt, std::nullopt, official);
        QVERIFY(person.minimumSizeHint().width() <= width);
        person.resize(width, person.sizeHint().height());
        person.show();
        QVERIFY(QTest::qWaitForWindowExposed(&person));

        const QString shown = person.findChild<ElidedLabel *>("name")->shownText();
        QCOMPARE(shown.endsWith(QChar(0x2026)), elided);
        QCOMPARE(shown == name, !elided);
        QCOMPARE(person.nameText(), name);
        const auto *mark = person.findChild<OfficialMark *>();
        const auto *handleLabel = person.findChild<ElidedLabel *>("handle");
        QVERIFY(mark->isHidden() || (mark->width() > 0 && mark->geometry().right() < width));
        QVERIFY(handleLabel->isVisible() && handleLabel->geometry().right() < width);
        QVERIFY(handleLabel->shownText().startsWith(u'@'));
    }

    void linksOpenOnlyOnTheWeb()
    {
        LinkCatcher catcher;
        const auto schemes = {"http", "https", "javascript", "file", "ftp", "mailto"};
        for (const char *scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");

        QVERIFY(MessageText::openLink(QUrl("https://zumo.chat/a")));
        QVERIFY(MessageText::openLink(QUrl("http://example.com")));
        QVERIFY(!MessageText::openLink(QUrl("javascript:alert(1)")));
        QVERIFY(!MessageText::openLink(QUrl("file:///etc/passwd")));
        QVERIFY(!MessageText::openLink(QUrl("ftp://example.com/x")));
        QVERIFY(!MessageText::openLink(QUrl("mailto:a@b.c")));
        QVERIFY(!MessageText::openLink(QUrl("http:/no-host")));

        // An activation from the label itself, even with an address that is not one of its
        // links, goes through the same check.
        MessageText text("보기 https://zumo.chat/b 그리고 <a href=\"file:///etc/passwd\">x</a>");
        emit text.linkActivated(QStringLiteral("file:///etc/passwd"));
        emit text.linkActivated(QStringLiteral("javascript:alert(1)"));
        emit text.linkActivated(QStringLiteral("https://zumo.chat/b"));
        QCOMPARE(catcher.opened,
                 (QList<QUrl>{QUrl("https://zumo.chat/a"), QUrl("http://example.com"),
                              QUrl("https://zumo.chat/b")}));
        QCOMPARE(
            text.text(),
            QStringLiteral("보기 https://zumo.chat/b 그리고 <a href=\"file:///etc/passwd\">x</a>"));

        for (const char *scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }

    void colorsFollowTheAppearance()
    {
        const QPalette light = QApplication::palette();
        QVERIFY(!ChatColor::isDark(light));
        QVERIFY(ChatColor::isDark(darkPalette()));
        QVERIFY(ChatColor::officialMark(light) != ChatColor::officialMark(darkPalette()));
        QVERIFY(ChatColor::mineBubble(light) != ChatColor::mineBubble(darkPalette()));

        // A mark on screen repaints in the other variant when the application palette changes.
        QWidget window;
        auto *mark = new OfficialMark(&window);
        mark->resize(mark->sizeHint());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage before = mark->grab().toImage();
        QApplication::setPalette(darkPalette());
        QCOMPARE(ChatColor::officialMark(), ChatColor::officialMark(darkPalette()));
        QCoreApplication::processEvents(); // the widgets learn of the change by a posted event
        const QImage after = mark->grab().toImage();
        QApplication::setPalette(light);
        QCoreApplication::processEvents();
        QVERIFY(before != after);
        QCOMPARE(mark->grab().toImage(), before);
    }

    void linkColourFollowsThePalette()
    {
        // Anchors take their colour when the text is parsed; a later palette must still apply.
        QWidget window;
        auto *text = new MessageText("https://zumo.chat/abcdefghijklmnop", &window);
        text->resize(text->sizeHint());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto hasRed = [&] {
            const QImage image = text->grab().toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb c = image.pixel(x, y);
                    if (qRed(c) > 150 && qGreen(c) < 60 && qBlue(c) < 60)
                        return true;
                }
            return false;
        };
        QVERIFY(!hasRed());
        const QPalette original = QApplication::palette();
        QPalette red = original;
        // Dark enough to be read on every background, so the palette's own link colour is taken.
        red.setColor(QPalette::Link, QColor(0xC0, 0, 0));
        QApplication::setPalette(red);
        QCoreApplication::processEvents();
        const bool followed = hasRed();
        QApplication::setPalette(original);
        QCoreApplication::processEvents();
        QVERIFY(followed);
        QCOMPARE(text->text(), QStringLiteral("https://zumo.chat/abcdefghijklmnop"));
    }

    void badgeShape()
    {
        UnreadBadge one(1);
        UnreadBadge many(100);
        QCOMPARE(one.sizeHint().width(), one.sizeHint().height()); // a circle
        QVERIFY(many.sizeHint().width() > one.sizeHint().width());
        one.setCount(250);
        QCOMPARE(one.sizeHint(), many.sizeHint());
    }

    void soundResourceAndGap()
    {
        QFile wav(":/sounds/message.wav");
        // The resource must be reachable through the library's own URL.
        QCOMPARE(MessageSound::source(), QUrl("qrc:/sounds/message.wav"));
        QVERIFY(wav.open(QIODevice::ReadOnly));
        const QByteArray data = wav.readAll();
        QVERIFY(data.size() < 30 * 1024);
        QVERIFY(data.startsWith("RIFF"));
        QCOMPARE(data.mid(8, 4), QByteArray("WAVE"));

        // Two sounds in quick succession: the second is dropped, and neither call waits.
        QVERIFY(MessageSound::play());
        QVERIFY(!MessageSound::play());
    }

    void shots()
    {
        // Pictures for a look by eye: Hangul drawn, nothing cut off.
        QWidget page;
        page.setWindowTitle("공용 화면");
        auto *column = new QVBoxLayout(&page);
        auto *title = new QHBoxLayout;
        auto *zumo = new QLabel("Zumo");
        zumo->setFont(ChatFont::headline());
        title->addWidget(zumo);
        title->addWidget(new BetaMark);
        title->addStretch(1);
        column->addLayout(title);
        column->addWidget(new PersonLabel("Zumo 팀", "zumo", std::nullopt, std::nullopt, true));
        column->addWidget(new PersonLabel(
            "김하늘", "sky_kim", jpegOf(QColor(0x33, 0x88, 0xcc), {90, 60}), std::nullopt, false));
        column->addWidget(
            new PersonLabel("이름이 조금 긴 사용자", "", std::nullopt, std::nullopt, false));
        auto *badges = new QHBoxLayout;
        for (int count : {1, 9, 42, 99, 100, 1000})
            badges->addWidget(new UnreadBadge(count));
        badges->addWidget(new OfficialMark);
        badges->addStretch(1);
        column->addLayout(badges);
        column->addWidget(
            new MessageText("안녕하세요! 자세한 내용은 https://zumo.chat/help 를 보세요.\n"
                            "두 번째 줄: www.example.com, <b>굵게 아님</b> & 끝."));
        auto *photos = new QHBoxLayout;
        auto *photo = new MessagePhoto(jpegOf(QColor(0xcc, 0x66, 0x33), {400, 300}), std::nullopt);
        photo->setFixedSize(160, 120);
        auto *loading
            = new MessagePhoto(std::nullopt, QStringLiteral("https://127.0.0.1:1/none.jpg"));
        loading->setFixedSize(160, 120);
        auto *preview = new JPEGImage(jpegOf(QColor(0x55, 0xaa, 0x55), {300, 100}));
        preview->setFixedSize(56, 56);
        photos->addWidget(photo);
        photos->addWidget(loading);
        photos->addWidget(preview);
        photos->addStretch(1);
        column->addLayout(photos);
        column->addWidget(new WideButton("변경"));
        column->addWidget(new WideButton("계정 삭제", WideButton::Role::Destructive));
        auto *disabled = new WideButton("복사");
        disabled->setDisabled(true);
        column->addWidget(disabled);
        auto *busy = new WideButton("저장");
        busy->setBusy(true);
        column->addWidget(busy);
        page.resize(420, page.sizeHint().height());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        saveShot(&page, "common-light");

        // Every child fits inside the page.
        for (QWidget *child : page.findChildren<QWidget *>()) {
            if (!child->isVisible())
                continue;
            QVERIFY2(page.rect().contains(QRect(child->mapTo(&page, QPoint(0, 0)), child->size())),
                     qPrintable(child->metaObject()->className()));
            QVERIFY2(child->width() >= child->minimumSizeHint().width()
                         || child->minimumSizeHint().width() <= 0,
                     qPrintable(child->metaObject()->className()));
        }

        const QPalette light = QApplication::palette();
        QApplication::setPalette(darkPalette());
        QApplication::processEvents();
        saveShot(&page, "common-dark");
        QApplication::setPalette(light);

        AvatarView big("홍길동", std::nullopt, std::nullopt, 96);
        saveShot(&big, "avatar-initial");
    }
};

QTEST_MAIN(TestCommonViews)
#include "tst_commonviews.moc"
