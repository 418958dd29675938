#include "model/TextLimits.h"

#include <QTest>

class TstTextLimits : public QObject
{
    Q_OBJECT

private slots:
    void graphemes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");

        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("ascii") << QStringLiteral("hello") << 5;
        QTest::newRow("hangul") << QStringLiteral("한소라") << 3;
        // 한 as three conjoining jamo is one character to the reader.
        QTest::newRow("decomposed hangul") << QStringLiteral("\u1112\u1161\u11AB") << 1;
        QTest::newRow("combining accent") << QStringLiteral("e\u0301") << 1;
        QTest::newRow("astral emoji") << QStringLiteral("\U0001F600") << 1;
        QTest::newRow("skin tone") << QStringLiteral("\U0001F44D\U0001F3FD") << 1;
        QTest::newRow("family zwj")
            << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467") << 1;
        QTest::newRow("flag") << QStringLiteral("\U0001F1F0\U0001F1F7") << 1;
        QTest::newRow("crlf") << QStringLiteral("a\r\nb") << 3;
    }

    void graphemes()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QCOMPARE(graphemeCount(text), count);
    }

    void firstGraphemes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");

        QTest::newRow("shorter than n") << QStringLiteral("abc") << 5 << QStringLiteral("abc");
        QTest::newRow("exactly n") << QStringLiteral("abc") << 3 << QStringLiteral("abc");
        QTest::newRow("cut") << QStringLiteral("abcdef") << 2 << QStringLiteral("ab");
        QTest::newRow("zero") << QStringLiteral("abc") << 0 << QString();
        QTest::newRow("negative") << QStringLiteral("abc") << -1 << QString();
        QTest::newRow("keeps emoji whole") << QStringLiteral("a\U0001F44D\U0001F3FDb") << 2
                                           << QStringLiteral("a\U0001F44D\U0001F3FD");
        QTest::newRow("keeps accent")
            << QStringLiteral("e\u0301x") << 1 << QStringLiteral("e\u0301");
        QTest::newRow("zwj family")
            << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467!") << 1
            << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    }

    void firstGraphemes()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, expected);
        QCOMPARE(::firstGraphemes(text, n), expected);
    }

    void trimmed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QStringLiteral("  hi  ") << QStringLiteral("hi");
        QTest::newRow("newlines and tabs") << QStringLiteral("\n\t hi\r\n") << QStringLiteral("hi");
        QTest::newRow("inner kept") << QStringLiteral(" a \n b ") << QStringLiteral("a \n b");
        QTest::newRow("ideographic space")
            << QStringLiteral("\u3000안녕\u3000") << QStringLiteral("안녕");
        QTest::newRow("no-break space") << QStringLiteral("\u00A0x\u00A0") << QStringLiteral("x");
        QTest::newRow("line separator and NEL")
            << QStringLiteral("\u2028x\u0085") << QStringLiteral("x");
        QTest::newRow("only space") << QStringLiteral(" \n\u3000 ") << QString();
        QTest::newRow("emoji at edge")
            << QStringLiteral(" \U0001F600 ") << QStringLiteral("\U0001F600");
    }

    void trimmed()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(trimmedText(text), expected);
    }
};

QTEST_GUILESS_MAIN(TstTextLimits)
#include "tst_textlimits.moc"
