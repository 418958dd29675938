// Every text of every page and sheet is readable, in a light and in a dark appearance: the
// colour each text widget paints its text with, against the colour really drawn behind it,
// reaches a contrast of 4.5 (3 for disabled text). Texts the views paint themselves (room rows,
// the transcript, chips, the sidebar's "설정") are measured by the colours their painters pick
// over the colours laid under them.

#include "PanelTestSupport.h"
#include "WorkspaceTestSupport.h"

#include "ui/common/ChatColor.h"
#include "ui/common/UiMetrics.h"
#include "ui/common/WideButton.h"
#include "ui/workspace/Sidebar.h"
#include "ui/workspace/SidebarRows.h"
#include "ui/workspace/Workspace.h"

#include <QAbstractButton>
#include <QDialog>
#include <QHash>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleFactory>

using namespace Qt::StringLiterals;

namespace {

// A dark scheme as a desktop hands it over: its hint colour sits next to the window's.
QPalette desktopDark()
{
    QPalette palette(QColor(0x31363B), QColor(0x2A2E32));
    const std::pair<QPalette::ColorRole, QRgb> colours[]
        = {{QPalette::WindowText, 0xFCFCFC},      {QPalette::Text, 0xFCFCFC},
           {QPalette::ButtonText, 0xFCFCFC},      {QPalette::Base, 0x1B1E20},
           {QPalette::AlternateBase, 0x232629},   {QPalette::Highlight, 0x3DAEE9},
           {QPalette::HighlightedText, 0xFCFCFC}, {QPalette::Link, 0x1D99F3},
           {QPalette::PlaceholderText, 0x17191B}};
    for (const auto &[role, rgb] : colours) {
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, role, QColor(rgb));
    }
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x8C9094));
    return palette;
}

// The colour a field paints with: its text, or while empty its hint; invalid for no text.
template<typename Field>
QColor fieldInk(Field *field, const QString &text, QPalette::ColorGroup group)
{
    if (!text.isEmpty())
        return field->palette().color(group, QPalette::Text);
    if (field->placeholderText().isEmpty())
        return {};
    return field->palette().color(group, QPalette::PlaceholderText);
}

// The colour a text widget paints its text with; invalid for widgets that show no text.
QColor inkOf(QWidget *widget)
{
    const QPalette::ColorGroup group = widget->isEnabled() ? QPalette::Active : QPalette::Disabled;
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (label->text().trimmed().isEmpty())
            return {};
        return label->palette().color(group, label->foregroundRole());
    }
    if (auto *button = qobject_cast<WideButton *>(widget))
        return button->textColour();
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        if (button->text().trimmed().isEmpty())
            return {};
        return button->palette().color(group, button->foregroundRole());
    }
    if (auto *field = qobject_cast<QLineEdit *>(widget))
        return fieldInk(field, field->text(), group);
    if (auto *field = qobject_cast<QPlainTextEdit *>(widget))
        return fieldInk(field, field->toPlainText(), group);
    return {};
}

// The colour drawn most in `area` of `picture`: the background behind a line of text.
QColor backgroundIn(const QImage &picture, const QRect &area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area.intersected(picture.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[picture.pixel(x, y) | 0xFF000000u];
    }
    QRgb most = 0;
    int best = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > best) {
            best = it.value();
            most = it.key();
        }
    }
    return QColor::fromRgb(most);
}

QString describe(QWidget *widget)
{
    QString text;
    if (auto *label = qobject_cast<QLabel *>(widget))
        text = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        text = button->text();
    else if (auto *field = qobject_cast<QLineEdit *>(widget))
        text = field->text().isEmpty() ? field->placeholderText() : field->text();
    else if (auto *field = qobject_cast<QPlainTextEdit *>(widget))
        text = field->placeholderText();
    return u"%1 \"%2\" (%3)"_s.arg(QString::fromLatin1(widget->metaObject()->className()),
                                   text.left(30), widget->objectName());
}

// Every visible text widget in `top` that reads below its threshold.
QStringList unreadable(QWidget *top)
{
    QCoreApplication::processEvents();
    const QImage picture = top->grab().toImage();
    QStringList faults;
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (widget->window() != top || !widget->isVisibleTo(top)
            || widget->visibleRegion().isEmpty())
            continue;
        const QColor ink = inkOf(widget);
        if (!ink.isValid())
            continue;
        const QRect area(widget->mapTo(top, QPoint(0, 0)), widget->size());
        const QColor ground = backgroundIn(picture, area);
        const qreal needed = widget->isEnabled() ? 4.5 : 3.0;
        const qreal ratio = ChatColor::contrast(ink, ground);
        if (ratio < needed) {
            faults << u"%1: %2 on %3 = %4"_s.arg(describe(widget), ink.name(), ground.name())
                          .arg(ratio, 0, 'f', 2);
        }
    }
    return faults;
}

struct Rig : WorkspaceRig
{
    // The window and whatever sheet or alert is up over it.
    QList<QWidget *> shown()
    {
        QList<QWidget *> tops{&workspace};
        for (const Sheet sheet :
             {Sheet::newChat, Sheet::report, Sheet::media, Sheet::inviteRequest}) {
            if (QDialog *dialog = workspace.sheet(sheet); dialog && dialog->isVisible())
                tops << dialog;
        }
        for (QDialog *dialog : workspace.findChildren<QDialog *>()) {
            if (dialog->isVisible() && !tops.contains(dialog))
                tops << dialog;
        }
        return tops;
    }
};

} // namespace

class TestReadability : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        privateFolders();
        QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
        m_light = QApplication::style()->standardPalette();
    }
    void cleanup() { QApplication::setPalette(m_light); }

    void everyTextReads_data();
    void everyTextReads();
    void paintedTextReads_data();
    void paintedTextReads();

private:
    QPalette m_light;
};

void TestReadability::everyTextReads_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<bool>("dark");
    for (const char *view :
         {"pick",          "room",          "group",          "info-group", "info-person",
          "info-official", "member-invite", "profile",        "me",         "settings",
          "password",      "blocked",       "delete",         "invite",     "new-chat",
          "report",        "media",         "invite-request", "friends",    "connecting"}) {
        QTest::addRow("%s light", view) << QString::fromLatin1(view) << false;
        QTest::addRow("%s dark", view) << QString::fromLatin1(view) << true;
    }
}

void TestReadability::everyTextReads()
{
    QFETCH(QString, view);
    QFETCH(bool, dark);
    QApplication::setPalette(dark ? desktopDark() : m_light);
    Rig rig;
    const QHash<QString, Page::Kind> plainPages{{u"me"_s, Page::me},
                                                {u"settings"_s, Page::settings},
                                                {u"password"_s, Page::password},
                                                {u"blocked"_s, Page::blocked},
                                                {u"delete"_s, Page::deleteAccount}};
    const auto openInfo = [&](const QUuid &room) {
        rig.nav.openRoom(room);
        rig.nav.setRoomInfo(true);
    };
    if (view == u"room"_s) {
        rig.nav.openRoom(rig.seeded.direct);
    } else if (view == u"group"_s) {
        rig.nav.openRoom(rig.seeded.group);
    } else if (view == u"info-group"_s) {
        openInfo(rig.seeded.group);
    } else if (view == u"info-person"_s) {
        openInfo(rig.seeded.direct);
    } else if (view == u"info-official"_s) {
        openInfo(rig.seeded.house);
    } else if (view == u"member-invite"_s) {
        openInfo(rig.seeded.group);
        redraw();
        part(*rig.workspace.detail(), u"invite"_s)->click();
    } else if (view == u"profile"_s) {
        rig.nav.setPage(Page::profilePage(SeedID::sora()));
    } else if (plainPages.contains(view)) {
        rig.nav.setPage(Page{plainPages.value(view), {}});
    } else if (view == u"invite"_s) {
        rig.nav.setPage(Page{Page::invite, {}});
        redraw();
        if (auto *copy = buttonWithText(rig.workspace.detail(), u"복사"_s);
            copy && copy->isEnabled())
            copy->click();
    } else if (view == u"new-chat"_s) {
        rig.nav.setShowNewChat(true);
    } else if (view == u"report"_s) {
        rig.nav.setReport(ReportDraft{QUuid::createUuid(), SeedID::sora(), std::nullopt});
        redraw();
        part(*rig.workspace.sheet(Sheet::report), u"기타"_s)->click();
    } else if (view == u"media"_s) {
        rig.nav.setMediaId(QUuid::createUuid());
    } else if (view == u"invite-request"_s) {
        rig.store.setInviteOutcome(
            InviteOutcome{QUuid::createUuid(), QUuid::createUuid(), std::nullopt});
    } else if (view == u"friends"_s) {
        rig.nav.setSection(Section::friends);
    } else if (view == u"connecting"_s) {
        rig.nav.openRoom(rig.seeded.direct);
        rig.store.setConnecting(true);
    }
    QTest::qWait(20);
    QStringList faults;
    for (QWidget *top : rig.shown()) {
        faults << unreadable(top);
        saveShot(top,
                 u"%1-%2-%3"_s.arg(view, top == &rig.workspace ? u"window"_s : u"sheet"_s,
                                   dark ? u"dark"_s : u"light"_s));
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"\n"_s)));
}

void TestReadability::paintedTextReads_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestReadability::paintedTextReads()
{
    QFETCH(bool, dark);
    const QPalette p = dark ? desktopDark() : m_light;
    const QColor window = p.color(QPalette::Window);
    const QColor base = p.color(QPalette::Base);
    const QColor secondary = ChatColor::secondaryText(p);
    const QColor mine = ChatColor::mineBubble(p);
    const QColor hover = UiMetrics::shade(p, UiMetrics::Shade::hover);
    const QColor pressed = UiMetrics::shade(p, UiMetrics::Shade::pressed);

    // What each painter draws its texts with, over what it lays under them.
    QStyleOptionViewItem plain;
    plain.palette = p;
    plain.state = QStyle::State_Enabled | QStyle::State_Active;
    QStyleOptionViewItem hovered = plain;
    hovered.state |= QStyle::State_MouseOver;
    QStyleOptionViewItem chosen = plain;
    chosen.state |= QStyle::State_Selected;
    const QColor plate = SidebarRowPaint::plateColor(chosen);
    const QColor settings = Sidebar::settingsInk(p);
    const std::tuple<const char *, QColor, QColor> pairs[]
        = {{"room preview", SidebarRowPaint::textColor(plain, true), window},
           {"room preview, hovered", SidebarRowPaint::textColor(hovered, true),
            ChatColor::over(hover, window)},
           {"room title, chosen", SidebarRowPaint::textColor(chosen, false), plate},
           {"room preview, chosen", SidebarRowPaint::textColor(chosen, true), plate},
           {"안내", ChatColor::officialMark(p), window},
           {"their quote", secondary, base},
           {"my quote", ChatColor::faintOnMine(p), mine},
           {"chip, hovered", p.color(QPalette::Text), ChatColor::over(hover, base)},
           {"설정", settings, window},
           {"설정, pressed", settings, ChatColor::over(pressed, window)}};
    QStringList faults;
    for (const auto &[what, ink, ground] : pairs) {
        if (const qreal ratio = ChatColor::contrast(ink, ground); ratio < 4.5) {
            faults << u"%1: %2 on %3 = %4"_s.arg(QString::fromUtf8(what), ink.name(), ground.name())
                          .arg(ratio, 0, 'f', 2);
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"\n"_s)));
}

QTEST_MAIN(TestReadability)
#include "tst_readability.moc"
