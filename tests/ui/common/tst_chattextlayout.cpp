// The painted message text: wrapping of texts without blanks, link hit-testing on the laid-out
// lines, and the message text widget built on it.

#include "ui/common/ChatTextLayout.h"
#include "ui/common/MessageText.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QtTest>

namespace {

constexpr int canvasMargin = 300;

// The layout drawn in black on white, `canvasMargin` in from every side of the picture.
QImage drawn(ChatTextLayout &layout, int width)
{
    const QSizeF size = layout.layout(width);
    QImage canvas(width + 2 * canvasMargin, int(std::ceil(size.height())) + 2 * canvasMargin,
                  QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setPen(Qt::black);
    layout.draw(painter, QPointF(canvasMargin, canvasMargin));
    return canvas;
}

// Combining marks, `count` above and `count` below, on each of the letters.
QString stacked(const QString &letters, int count)
{
    QString text;
    for (const QChar letter : letters) {
        text += letter;
        for (int i = 0; i < count; ++i) {
            text += QChar(char16_t(0x0300 + i % 0x15));
            text += QChar(char16_t(0x0316 + i % 0x1A));
        }
    }
    return text;
}

} // namespace

class TestChatTextLayout : public QObject
{
    Q_OBJECT

private slots:
    void wraps_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("minLines");

        QTest::newRow("laughter") << QString(80, u'ㅋ') << 300 << 2;
        QTest::newRow("hangul without blanks")
            << QStringLiteral("가나다라마바사아자차카타파하").repeated(8) << 300 << 2;
        QTest::newRow("long link")
            << QStringLiteral("https://zumo.chat/") + QString(120, u'a') << 300 << 2;
        QTest::newRow("words") << QStringLiteral("오늘 저녁에 같이 밥 먹을래요? ").repeated(6)
                               << 300 << 2;
        QTest::newRow("line breaks") << QStringLiteral("하나\n둘\r\n셋") << 300 << 3;
        QTest::newRow("short") << QStringLiteral("안녕") << 300 << 1;
    }

    void wraps()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(int, minLines);
        ChatTextLayout layout(text, QApplication::font());
        const QSizeF size = layout.layout(width);
        QVERIFY2(layout.lineCount() >= minLines, qPrintable(QString::number(layout.lineCount())));
        QVERIFY(layout.naturalWidth() <= width);
        const qreal lineHeight = QFontMetricsF(QApplication::font()).height();
        QVERIFY(size.height() >= layout.lineCount() * lineHeight - 1);
        if (minLines == 1)
            QCOMPARE(layout.lineCount(), 1);
    }

    void cutsToMaximumLines()
    {
        ChatTextLayout layout(QString(300, u'ㅋ'), QApplication::font());
        layout.setMaximumLines(2);
        layout.layout(200);
        QCOMPARE(layout.lineCount(), 2);
        QVERIFY(layout.naturalWidth() <= 200);
        ChatTextLayout shortOne(QStringLiteral("짧은 답장"), QApplication::font());
        shortOne.setMaximumLines(2);
        shortOne.layout(200);
        QCOMPARE(shortOne.lineCount(), 1);
    }

    void findsLinks_data()
    {
        QTest::addColumn<QString>("before"); // text left of the point, on the point's line
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("expected"); // empty: no link there

        QTest::newRow("first link")
            << QStringLiteral("보기 https://zu") << 0 << QStringLiteral("https://zumo.chat/b");
        QTest::newRow("bare www") << QStringLiteral("보기 https://zumo.chat/b 그리고 www.ex") << 0
                                  << QStringLiteral("http://www.example.com");
        QTest::newRow("plain word") << QStringLiteral("보") << 0 << QString();
        QTest::newRow("blank between")
            << QStringLiteral("보기 https://zumo.chat/b 그") << 0 << QString();
        QTest::newRow("second line")
            << QStringLiteral("다음 https://a.") << 1 << QStringLiteral("https://a.kr/x");
        QTest::newRow("below the text") << QStringLiteral("보") << 3 << QString();
    }

    void findsLinks()
    {
        QFETCH(QString, before);
        QFETCH(int, line);
        QFETCH(QString, expected);
        const QString text = QStringLiteral(
            "보기 https://zumo.chat/b 그리고 www.example.com 끝\n다음 https://a.kr/x");
        const QFont font = QApplication::font();
        ChatTextLayout layout(text, font);
        layout.setLinkColor(Qt::blue);
        layout.layout(2000);
        QCOMPARE(layout.lineCount(), 2);
        const QFontMetricsF metrics(font);
        const QPointF point(metrics.horizontalAdvance(before) - 2,
                            (line + 0.5) * layout.size().height() / 2);
        const std::optional<MessageLink> link = layout.linkAt(point);
        if (expected.isEmpty())
            QVERIFY(!link);
        else
            QCOMPARE(link ? link->url : QUrl(), QUrl(expected));
    }

    void wrappedLinkIsHitOnEveryLine()
    {
        const QString text = QStringLiteral("https://zumo.chat/") + QString(100, u'b');
        ChatTextLayout layout(text, QApplication::font());
        layout.layout(150);
        QVERIFY(layout.lineCount() >= 3);
        const qreal lineHeight = layout.size().height() / layout.lineCount();
        for (int line = 0; line < layout.lineCount(); ++line)
            QVERIFY(layout.linkAt(QPointF(10, (line + 0.5) * lineHeight)));
    }

    // A link reads in the order of the address it opens, whatever bidi controls are in it or
    // around it: it looks exactly like the same body with the address written out.
    void linksCannotBeDisguised_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("looksLike");
        QTest::addColumn<QString>("opens");
        QTest::newRow("override inside") << u"링크 https://a.example/\u202Egpj.exe 끝"_qs
                                         << u"링크 https://a.example/%E2%80%AEgpj.exe 끝"_qs
                                         << u"https://a.example/%E2%80%AEgpj.exe"_qs;
        QTest::newRow("override around")
            << u"링크 \u202Ehttps://a.example/gpj.exe"_qs << u"링크 https://a.example/gpj.exe"_qs
            << u"https://a.example/gpj.exe"_qs;
        QTest::newRow("isolate and mark inside")
            << u"링크 https://a.example/\u2067x\u2069\u200F.exe"_qs
            << u"링크 https://a.example/%E2%81%A7x%E2%81%A9%E2%80%8F.exe"_qs
            << u"https://a.example/%E2%81%A7x%E2%81%A9%E2%80%8F.exe"_qs;
    }
    void linksCannotBeDisguised()
    {
        QFETCH(QString, text);
        QFETCH(QString, looksLike);
        QFETCH(QString, opens);
        const QFont font = QApplication::font();
        ChatTextLayout layout(text, font);
        layout.setLinkColor(Qt::blue);
        ChatTextLayout plain(looksLike, font);
        plain.setLinkColor(Qt::blue);
        QCOMPARE(drawn(layout, 600), drawn(plain, 600));

        const QString shown = layout.shownText();
        const qsizetype start = shown.indexOf(u"https://");
        const QString link = shown.mid(start, opens.size());
        QCOMPARE(link, opens);
        // The address's last character is the link's too.
        const qreal end = QFontMetricsF(font).horizontalAdvance(
                              looksLike.left(looksLike.indexOf(u"https://") + opens.size()))
            - 2;
        const std::optional<MessageLink> hit = layout.linkAt(QPointF(end, 5));
        QCOMPARE(hit ? QString::fromLatin1(hit->url.toEncoded()) : QString(), opens);
        // Outside links the text is drawn as it is.
        ChatTextLayout noLink(u"\u202E링크 없음"_qs, font);
        QCOMPARE(noLink.shownText(), u"\u202E링크 없음"_qs);
    }

    // Stacked combining marks get the room they take, and never draw outside the text's own
    // height, however many there are.
    void stackedMarksStayInside_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("grows");
        QTest::newRow("a few") << stacked(u"zalgo"_qs, 6) << true;
        QTest::newRow("wrapped") << stacked(u"zalgo text "_qs.repeated(6), 8) << true;
        QTest::newRow("past the limit") << stacked(u"ab"_qs, 120) << true;
        QTest::newRow("one accent") << u"cafe\u0301"_qs << false;
    }
    void stackedMarksStayInside()
    {
        QFETCH(QString, text);
        QFETCH(bool, grows);
        const QFont font = QApplication::font();
        ChatTextLayout layout(text, font);
        const QImage canvas = drawn(layout, 300);
        const qreal height = layout.size().height();
        const qreal plainHeight = QFontMetricsF(font).lineSpacing() * layout.lineCount();
        QCOMPARE(height > plainHeight + 2, grows);
        int inked = 0;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                if (qGray(canvas.pixel(x, y)) > 128)
                    continue;
                ++inked;
                QVERIFY2(y >= canvasMargin && y < canvasMargin + height,
                         qPrintable(u"ink at %1, %2"_qs.arg(x).arg(y)));
            }
        }
        QVERIFY(inked > 0);
    }

    void messageTextWrapsInsteadOfClipping()
    {
        // In a 300-wide bubble, eighty "ㅋ" used to stay one clipped line.
        MessageText text(QString(80, u'ㅋ'));
        const int oneLine = QFontMetrics(text.font()).height();
        QVERIFY(text.heightForWidth(300) >= 2 * oneLine);
        text.resize(300, text.heightForWidth(300));
        QVERIFY(!text.grab().isNull());
        QCOMPARE(text.text(), QString(80, u'ㅋ'));
        // Markup stays text.
        text.setText(QStringLiteral("<b>굵게 아님</b>"));
        QCOMPARE(text.accessibleName(), QStringLiteral("<b>굵게 아님</b>"));
    }
};

QTEST_MAIN(TestChatTextLayout)
#include "tst_chattextlayout.moc"
