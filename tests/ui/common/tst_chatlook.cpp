// Symbols and colours in light and dark: every symbol the window names shows something
// distinct and visible on the window, and text colours keep a readable contrast.

#include "ui/common/ChatColor.h"
#include "ui/common/ChatIcon.h"

#include "../UiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QStyle>
#include <QtTest>

namespace {

const QStringList symbolNames{
    "bell",
    "bell.slash",
    "gearshape",
    "square.and.pencil",
    "person.badge.plus",
    "person.crop.circle",
    "photo",
    "folder",
    "paperplane.fill",
    "arrow.up.circle.fill",
    "xmark",
    "xmark.circle.fill",
    "arrow.down",
    "magnifyingglass",
    "link",
    "pin",
    "pin.slash",
    "plus",
    "checkmark",
    "checkmark.circle.fill",
    "circle",
    "ellipsis",
};

QPalette lightPalette()
{
    return QApplication::style()->standardPalette();
}

// A dark palette made from two colours, as some desktops do: its link stays dark blue.
QPalette generatedDarkPalette()
{
    QPalette palette(QColor(0x35, 0x35, 0x35), QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    return palette;
}

QImage rendered(const QIcon &icon, int side)
{
    return icon.pixmap(QSize(side, side), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestChatLook : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QApplication::setPalette(lightPalette()); }

    void symbolsShowOnBothAppearances_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << lightPalette();
        QTest::newRow("dark") << darkPalette();
    }
    void symbolsShowOnBothAppearances()
    {
        QFETCH(QPalette, palette);
        QApplication::setPalette(palette);
        const QColor window = palette.color(QPalette::Window);
        QList<QImage> seen;
        QImage sheet(symbolNames.size() * 52, 52, QImage::Format_ARGB32);
        sheet.fill(window);
        QPainter painter(&sheet);
        for (const QString &name : symbolNames) {
            const QIcon icon = ChatIcon::symbol(name);
            QVERIFY2(!icon.isNull(), qPrintable(name));
            const QImage image = rendered(icon, 24);
            int ink = 0;
            QColor strongest = window;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel.alpha() > 200) {
                        ++ink;
                        strongest = pixel;
                    }
                }
            }
            QVERIFY2(ink >= 16, qPrintable(name)); // more than a speck of solid pixels
            strongest.setAlpha(255);
            QVERIFY2(ChatColor::contrast(strongest, window) >= 4.5, qPrintable(name));
            QVERIFY2(!seen.contains(image), qPrintable(name + " looks like another symbol"));
            seen << image;
            icon.paint(&painter, QRect(int(seen.size() - 1) * 52 + 4, 4, 44, 44));
        }
        painter.end();
        const QString folder = QDir::currentPath() + "/shots";
        QDir().mkpath(folder);
        sheet.save(folder + "/symbols-" + QTest::currentDataTag() + ".png");
    }

    void colouredSymbols()
    {
        const QImage red = rendered(ChatIcon::symbol("bell.slash", Qt::red), 24);
        bool found = false;
        for (int y = 0; y < red.height() && !found; ++y)
            for (int x = 0; x < red.width() && !found; ++x)
                found = red.pixelColor(x, y) == QColor(Qt::red);
        QVERIFY(found);
        QVERIFY(ChatIcon::symbol("no.such.symbol").isNull());
        QVERIFY(ChatIcon::symbol("no.such.symbol", Qt::red).isNull());
    }

    void readableText_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << lightPalette();
        QTest::newRow("dark") << darkPalette();
        QTest::newRow("dark, generated") << generatedDarkPalette();
    }
    void readableText()
    {
        QFETCH(QPalette, palette);
        const QColor window = palette.color(QPalette::Window);
        const QColor base = palette.color(QPalette::Base);
        const QColor theirs = ChatColor::theirsBubble(palette);
        const QColor mine = ChatColor::mineBubble(palette);
        const struct
        {
            const char *what;
            QColor ink;
            QColor background;
            qreal least;
        } pairs[] = {
            {"text on theirs", palette.color(QPalette::Text), theirs, 4.5},
            {"white text on mine", Qt::white, mine, 4.5},
            {"link on mine", ChatColor::linkOnMine(palette), mine, 4.5},
            {"link on window", ChatColor::link(palette), window, 4.5},
            {"link on base", ChatColor::link(palette), base, 4.5},
            {"link on theirs", ChatColor::link(palette), theirs, 4.5},
            {"secondary on window", ChatColor::secondaryText(palette), window, 3},
            {"secondary on base", ChatColor::secondaryText(palette), base, 3},
            {"secondary on theirs", ChatColor::secondaryText(palette), theirs, 3},
            {"accent text on window", ChatColor::readableAccent(mine, palette), window, 4.5},
            {"accent text on base", ChatColor::readableAccent(mine, palette), base, 4.5},
            {"alert on window", ChatColor::alert(palette), window, 4.5},
        };
        for (const auto &pair : pairs) {
            const qreal ratio = ChatColor::contrast(pair.ink, pair.background);
            QVERIFY2(ratio >= pair.least,
                     qPrintable(QStringLiteral("%1: %2").arg(pair.what).arg(ratio, 0, 'f', 2)));
        }
        // Secondary text is set apart from the body text, not the same colour.
        QVERIFY(ChatColor::secondaryText(palette) != palette.color(QPalette::WindowText));
    }

    void contrastRatio_data()
    {
        QTest::addColumn<QColor>("a");
        QTest::addColumn<QColor>("b");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
        QTest::newRow("white on #767676") << QColor(Qt::white) << QColor(0x76, 0x76, 0x76) << 4.54;
    }
    void contrastRatio()
    {
        QFETCH(QColor, a);
        QFETCH(QColor, b);
        QFETCH(qreal, ratio);
        QCOMPARE(qRound(ChatColor::contrast(a, b) * 100), qRound(ratio * 100));
    }
};

QTEST_MAIN(TestChatLook)
#include "tst_chatlook.moc"
