// Korean time texts, the unread badge's text, link detection in message text and how names and
// bodies from the service are shown.

#include "ui/common/ChatTime.h"
#include "ui/common/DisplayText.h"
#include "ui/common/MessageLinks.h"
#include "ui/common/PaintedMarks.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTimeZone>
#include <QtTest>

#include <ctime>

using namespace Qt::StringLiterals;

class TestUiFormatting : public QObject
{
    Q_OBJECT

private:
    static QDateTime seoul(int y, int mo, int d, int h, int mi, int s = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
    }
    static QDateTime utc(int y, int mo, int d, int h, int mi)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
    }

private slots:
    void initTestCase()
    {
        // main() set the zone before anything read it; make sure it took.
        QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("Asia/Seoul"));
    }

    // Names lose the controls that could turn them around and their line breaks; right-to-left
    // text is kept inside an isolate. Bodies lose the same controls, and their addresses read
    // in the order of what they open; a body on a line of its own has its breaks folded too.
    void shownFromTheService_data()
    {
        QTest::addColumn<QString>("kind"); // name, body or line
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString fsi(DisplayText::firstStrongIsolate);
        const QString lri(DisplayText::leftToRightIsolate);
        const QString pdi(DisplayText::popDirectionalIsolate);
        QTest::newRow("name: Korean") << "name" << u"한소라"_s << u"한소라"_s;
        QTest::newRow("name: override dropped") << "name" << u"\u202Eevil"_s << u"evil"_s;
        QTest::newRow("name: every control dropped")
            << "name" << u"\u202Aa\u202Bb\u202Cc\u202Dd\u2066e\u2067f\u2068g\u2069"_s
            << u"abcdefg"_s;
        QTest::newRow("name: line breaks as spaces")
            << "name" << u"첫 줄\n둘\r\n셋\u2028넷\r다섯"_s << u"첫 줄 둘 셋 넷 다섯"_s;
        QTest::newRow("name: a run of breaks is one space")
            << "name" << u"\n한 \r\n\n\t 소라\n"_s << u"한 소라"_s;
        QTest::newRow("name: controls between breaks") << "name" << u"a\n\u202E\nb"_s << u"a b"_s;
        QTest::newRow("name: Hebrew isolated")
            << "name" << u"שלום 12"_s << fsi + u"שלום 12"_s + pdi;
        QTest::newRow("name: override around Hebrew")
            << "name" << u"\u202Eשלום\u202C"_s << fsi + u"שלום"_s + pdi;
        QTest::newRow("name: an address is a name like any") // a name is no body: no links
            << "name" << u"https://a.example/\u202Ex"_s << u"https://a.example/x"_s;

        QTest::newRow("body: plain") << "body" << u"abc 안녕"_s << u"abc 안녕"_s;
        QTest::newRow("body: override dropped")
            << "body" << u"abc \u202Egnp.exe"_s << u"abc gnp.exe"_s;
        QTest::newRow("body: isolates dropped, nothing else")
            << "body" << u"x\u2067y\u2069z\u2068"_s << u"xyz"_s;
        QTest::newRow("body: line breaks kept") << "body" << u"첫\n\u202E둘"_s << u"첫\n둘"_s;
        QTest::newRow("body: stray closing isolate left out")
            << "body" << u"a\u2069ב"_s << fsi + u"aב"_s + pdi;
        QTest::newRow("body: disguised address")
            << "body" << u"1 은행 확인: \u202Ehttps://evil.example/moc.knab//:sptth"_s
            << u"1 은행 확인: https://evil.example/moc.knab//:sptth"_s;
        QTest::newRow("body: override inside an address, written out")
            << "body" << u"링크 https://a.example/\u202Egpj.exe 끝"_s
            << u"링크 https://a.example/%E2%80%AEgpj.exe 끝"_s;
        QTest::newRow("body: address among Hebrew, isolated left to right")
            << "body" << u"ראה \u202Bhttps://a.example/שלום/x\u200F עכשיו"_s
            << fsi + u"ראה "_s + lri + u"https://a.example/שלום/x%E2%80%8F"_s + pdi + u" עכשיו"_s
                + pdi;
        QTest::newRow("body: marks and joiners outside addresses kept")
            << "body" << u"می\u200Cخواهم\u200F! 👩\u200D💻"_s
            << fsi + u"می\u200Cخواهم\u200F! 👩\u200D💻"_s + pdi;

        QTest::newRow("line: breaks folded") << "line" << u"첫 줄\n\n https://a.example \r\n끝\n"_s
                                             << u"첫 줄 https://a.example 끝"_s;
        QTest::newRow("line: disguised address on a line of its own")
            << "line" << u"확인\n\u202Ehttps://evil.example/moc.knab//:sptth"_s
            << u"확인 https://evil.example/moc.knab//:sptth"_s;
        QTest::newRow("line: Hebrew keeps its own direction, the address isolated")
            << "line" << u"שלום\n\u202Ehttps://a.example/x"_s
            << u"שלום "_s + lri + u"https://a.example/x"_s + pdi;
        QTest::newRow("line: controls alone") << "line" << u"\u202E\n\u2066"_s << QString();
    }
    void shownFromTheService()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        const QString result = kind == u"name" ? DisplayText::name(text)
            : kind == u"body"                  ? DisplayText::isolated(text)
                                               : DisplayText::oneLine(text);
        QCOMPARE(result, shown);
    }

    void badgeText_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "0";
        QTest::newRow("one") << 1 << "1";
        QTest::newRow("99") << 99 << "99";
        QTest::newRow("100") << 100 << "99+";
        QTest::newRow("1000") << 1000 << "99+";
        QTest::newRow("negative") << -3 << "0";
    }
    void badgeText()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(UnreadBadge::text(count), text);
    }

    void fixedTexts_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<QString>("spoken");
        const auto row = [](const char *name, const QDateTime &date, const char *day,
                            const char *clock, const char *spoken) {
            QTest::newRow(name) << date << QString(day) << QString(clock) << QString(spoken);
        };
        row("midnight", seoul(2024, 1, 1, 0, 0), "2024년 1월 1일", "00:00", "오전 12시 0분");
        row("after midnight", seoul(2024, 1, 5, 0, 7), "2024년 1월 5일", "00:07", "오전 12시 7분");
        row("morning", seoul(2024, 3, 9, 9, 5), "2024년 3월 9일", "09:05", "오전 9시 5분");
        row("before noon", seoul(2024, 11, 30, 11, 59), "2024년 11월 30일", "11:59",
            "오전 11시 59분");
        row("noon", seoul(2024, 6, 15, 12, 0), "2024년 6월 15일", "12:00", "오후 12시 0분");
        row("afternoon", seoul(2024, 6, 15, 13, 5), "2024년 6월 15일", "13:05", "오후 1시 5분");
        row("last minute of the year", seoul(2023, 12, 31, 23, 59, 59), "2023년 12월 31일", "23:59",
            "오후 11시 59분");
        // Texts are local: 15:30 UTC on New Year's Eve is already New Year's Day in Seoul.
        row("utc input", utc(2023, 12, 31, 15, 30), "2024년 1월 1일", "00:30", "오전 12시 30분");
        row("invalid", QDateTime(), "", "", "");
    }

    void fixedTexts()
    {
        QFETCH(QDateTime, date);
        QFETCH(QString, day);
        QFETCH(QString, clock);
        QFETCH(QString, spoken);
        QCOMPARE(ChatTime::dayHeader(date), day);
        QCOMPARE(ChatTime::clock(date), clock);
        QCOMPARE(ChatTime::spoken(date), spoken);
    }

    void listText_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("text");
        const QDateTime afternoon = seoul(2024, 3, 10, 14, 0);
        QTest::newRow("same day, midnight") << seoul(2024, 3, 10, 0, 0) << afternoon << "00:00";
        QTest::newRow("same day, later than now")
            << seoul(2024, 3, 10, 23, 59) << afternoon << "23:59";
        QTest::newRow("yesterday, last minute")
            << seoul(2024, 3, 9, 23, 59) << afternoon << "3월 9일";
        QTest::newRow("new year's day") << seoul(2024, 1, 1, 0, 0) << afternoon << "1월 1일";
        QTest::newRow("last year") << seoul(2023, 12, 31, 23, 59) << afternoon << "2023년";
        QTest::newRow("next year") << seoul(2025, 1, 1, 0, 0) << afternoon << "2025년";
        QTest::newRow("across the year boundary")
            << seoul(2023, 12, 31, 23, 59) << seoul(2024, 1, 1, 0, 1) << "2023년";
        QTest::newRow("now is midnight")
            << seoul(2024, 1, 1, 0, 0) << seoul(2024, 1, 1, 0, 0) << "00:00";
        // 15:30 UTC on 9 March is 00:30 on 10 March in Seoul: the local day decides.
        QTest::newRow("utc, same local day") << utc(2024, 3, 9, 15, 30) << afternoon << "00:30";
        QTest::newRow("utc now") << seoul(2024, 3, 10, 8, 0) << utc(2024, 3, 9, 15, 30) << "08:00";
        QTest::newRow("invalid date") << QDateTime() << afternoon << "";
    }
    void listText()
    {
        QFETCH(QDateTime, date);
        QFETCH(QDateTime, now);
        QFETCH(QString, text);
        QCOMPARE(ChatTime::list(date, now), text);
    }

    // The kept local times follow the day of `now` and a change of the system's zone.
    void keptTimesFollowTheDayAndTheZone()
    {
        const QDateTime late = utc(2024, 3, 9, 14, 59); // 23:59 in Seoul
        QCOMPARE(ChatTime::list(late, seoul(2024, 3, 9, 23, 59, 59)), u"23:59"_s);
        QCOMPARE(ChatTime::list(late, seoul(2024, 3, 10, 0, 0)), u"3월 9일"_s);
        QCOMPARE(ChatTime::localDay(late), QDate(2024, 3, 9));

        qputenv("TZ", "UTC");
        tzset();
        QTRY_COMPARE(ChatTime::clock(late), u"14:59"_s);
        QCOMPARE(ChatTime::dayHeader(utc(2024, 3, 9, 15, 30)), u"2024년 3월 9일"_s);
        QCOMPARE(ChatTime::spoken(late), u"오후 2시 59분"_s);
        qputenv("TZ", "Asia/Seoul");
        tzset();
        QTRY_COMPARE(ChatTime::clock(late), u"23:59"_s);
        QCOMPARE(ChatTime::dayHeader(utc(2024, 3, 9, 15, 30)), u"2024년 3월 10일"_s);
    }

    void links_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("spans"); // the linked text
        QTest::addColumn<QStringList>("urls"); // what each link opens

        // `urls` empty: each link opens its own text.
        const auto row = [](const char *name, const char *text, const QStringList &spans,
                            QStringList urls = {}) {
            QTest::newRow(name) << QString(text) << spans << (urls.isEmpty() ? spans : urls);
        };
        row("no link", "그냥 텍스트 example.com", {});
        row("https alone", "https://example.com", {"https://example.com"});
        row("path, query, fragment, full stop", "see http://example.com/a/b?q=1&r=2#top.",
            {"http://example.com/a/b?q=1&r=2#top"});
        row("www", "www.example.com, 확인", {"www.example.com"}, {"http://www.example.com"});
        row("www with port and path", "www.example.co.kr:8080/x!", {"www.example.co.kr:8080/x"},
            {"http://www.example.co.kr:8080/x"});
        row("in parentheses", "(https://example.com/a)", {"https://example.com/a"});
        row("balanced parentheses kept", "https://en.wikipedia.org/wiki/Foo_(bar))",
            {"https://en.wikipedia.org/wiki/Foo_(bar)"});
        row("quoted", "\"https://a.com\"?", {"https://a.com"});
        row("korean around, spaced", "링크는 https://zumo.chat/i/abc 입니다",
            {"https://zumo.chat/i/abc"});
        row("korean attached to host", "여기https://zumo.chat에서 확인", {"https://zumo.chat"});
        row("korean path", "https://ko.wikipedia.org/wiki/서울 참고",
            {"https://ko.wikipedia.org/wiki/서울"},
            {"https://ko.wikipedia.org/wiki/%EC%84%9C%EC%9A%B8"});
        row("korean full stop", "주소: https://a.kr/x。", {"https://a.kr/x"});
        row("upper-case scheme", "HTTPS://EXAMPLE.COM/Path", {"HTTPS://EXAMPLE.COM/Path"},
            {"https://example.com/Path"});
        row("two links", "https://a.com 그리고 www.b.org!", {"https://a.com", "www.b.org"},
            {"https://a.com", "http://www.b.org"});
        row("javascript", "javascript:alert(1)", {});
        row("file", "file:///etc/passwd", {});
        row("ftp and mailto", "ftp://a.com mailto:x@y.com", {});
        row("www inside e-mail", "me@www.example.com", {});
        row("scheme glued to a word", "xhttps://a.com", {});
        row("scheme without host", "http:// 와 https://.", {});
        row("http inside javascript", "javascript:location='http://evil.com'", {"http://evil.com"});
        row("markup stops a link", "https://a.com/<script>", {"https://a.com/"});
    }

    void links()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, spans);
        QFETCH(QStringList, urls);
        QStringList foundSpans;
        QStringList foundUrls;
        for (const MessageLink &link : MessageLinks::find(text)) {
            foundSpans << text.mid(link.start, link.length);
            foundUrls << QString::fromLatin1(link.url.toEncoded());
            QVERIFY(MessageLinks::isWebLink(link.url));
        }
        QCOMPARE(foundSpans, spans);
        QCOMPARE(foundUrls, urls);
    }

    void html_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("markup") << "<b>굵게</b> & <a href=\"javascript:x\">x</a>";
        QTest::newRow("link with query") << "보기: https://a.com/?q=\"x\"&y=<1> 끝";
        QTest::newRow("lines and spaces") << "첫 줄\n둘째   줄\r\nwww.a.com\n";
        QTest::newRow("empty") << "";
    }
    void html()
    {
        // The rich text must read back as exactly the typed text, with exactly the detected
        // links as anchors: nothing typed may become markup.
        QFETCH(QString, text);
        QTextDocument document;
        document.setHtml(MessageLinks::html(text));
        QString expected = text;
        expected.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QCOMPARE(document.toPlainText(), expected);

        QStringList anchors;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.charFormat().isAnchor())
                    anchors << fragment.charFormat().anchorHref();
            }
        }
        QStringList urls;
        for (const MessageLink &link : MessageLinks::find(text))
            urls << QString::fromLatin1(link.url.toEncoded());
        QCOMPARE(anchors, urls);
    }
};

int main(int argc, char **argv)
{
    // Every expectation above is a Seoul wall-clock time.
    qputenv("TZ", "Asia/Seoul");
    tzset();
    QCoreApplication app(argc, argv);
    TestUiFormatting test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uiformatting.moc"
