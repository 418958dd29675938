// The transcript through the keyboard and a screen reader: links, what is named on entering the
// list or opening a menu, and the announcement of others' new messages.

#include "TranscriptTestSupport.h"

#include "api/ChatEvent.h"
#include "ui/workspace/Composer.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/RoomView.h"
#include "ui/workspace/TranscriptAnnouncer.h"
#include "ui/workspace/TranscriptListView.h"
#include "ui/workspace/TranscriptModel.h"
#include "ui/workspace/TranscriptView.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QtTest>

namespace {

// An event of a kind a screen reader speaks from, with its object's role and name at the time.
struct Heard
{
    QAccessible::Event type;
    QAccessible::Role role;
    QString name;
};
QList<Heard> heard;

struct Listener
{
    Listener()
    {
        heard.clear();
        QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            QAccessibleInterface *face = event->accessibleInterface();
            if (event->type() == QAccessible::Focus || event->type() == QAccessible::ObjectShow)
                heard.append({event->type(), face ? face->role() : QAccessible::NoRole,
                              face ? face->text(QAccessible::Name) : QString()});
        });
    }
    ~Listener() { QAccessible::installUpdateHandler(nullptr); }
    static Heard lastFocus()
    {
        for (auto it = heard.crbegin(); it != heard.crend(); ++it) {
            if (it->type == QAccessible::Focus)
                return *it;
        }
        return {QAccessible::InvalidEvent, QAccessible::NoRole, {}};
    }
    static QStringList announced() // the names of the notifications that appeared
    {
        QStringList names;
        for (const Heard &h : std::as_const(heard)) {
            if (h.type == QAccessible::ObjectShow && h.role == QAccessible::Notification)
                names.append(h.name);
        }
        return names;
    }
};

struct Screen
{
    explicit Screen(TranscriptRig &rig)
        : room(rig.roomId)
        , view(*rig.store, room)
    {
        view.resize(720, 560);
        view.show();
        view.activateWindow();
        active = QTest::qWaitForWindowActive(&view);
    }
    RoomState room;
    TranscriptView view;
    bool active = false;
};

// Catches the web addresses handed to the desktop.
struct UrlCatcher : QObject
{
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const QString &scheme : {QStringLiteral("http"), QStringLiteral("https")})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlCatcher() override
    {
        for (const QString &scheme : {QStringLiteral("http"), QStringLiteral("https")})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

QStringList spokenItems(QMenu *menu)
{
    QStringList names;
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; face && i < face->childCount(); ++i)
        names.append(face->child(i)->text(QAccessible::Name));
    return names;
}

QMenu *openPopup()
{
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

} // namespace

class TestTranscriptReader : public QObject
{
    Q_OBJECT

private slots:
    // Qt passes accessibility events on only while its bridge to a bus is up (a11y-session.sh).
    void initTestCase()
    {
        QVERIFY2(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000),
                 "no accessibility bus");
    }

    // Each link of a message is an item of its menu and an action of its row, named by the
    // address it opens; Return picks none of several. The Menu key opens the menu on its first
    // item and names it; a menu opened by the mouse waits for the pointer.
    void linksAndMenus()
    {
        TranscriptRig r;
        const QString body
            = QStringLiteral("셋: https://a.example/x, www.b.example/?q=1&r=2 그리고 "
                             "https://c.example/\u202Egpj.exe");
        r.add(r.peer, 0, body);
        Screen s(r);
        QVERIFY(s.active);
        const QStringList links{
            QStringLiteral("링크 열기: https://a.example/x"),
            QStringLiteral("링크 열기: http://www.b.example/?q=1&r=2"),
            // The override that would turn the address around is shown as what it is.
            QStringLiteral("링크 열기: https://c.example/%E2%80%AEgpj.exe"),
        };
        const QStringList items = QStringList{"답장", "복사", "삭제", "신고"} + links;
        TranscriptListView &list = s.view.list();
        list.ensureLayout();
        QAccessibleActionInterface *row
            = QAccessible::queryAccessibleInterface(list.viewport())->child(0)->actionInterface();
        QCOMPARE(row->actionNames(), items);

        UrlCatcher catcher;
        row->doAction(links.at(1));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl("http://www.b.example/?q=1&r=2")});

        list.setFocus(Qt::TabFocusReason);
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(catcher.opened.size(), 1);

        Listener listener;
        QTest::keyClick(&list, Qt::Key_Menu);
        QMenu *menu = openPopup();
        QVERIFY(menu);
        QCOMPARE(spokenItems(menu), items);
        QCOMPARE(menu->activeAction(), menu->actions().constFirst());
        QCOMPARE(Listener::lastFocus().role, QAccessible::MenuItem);
        QCOMPARE(Listener::lastFocus().name, QStringLiteral("답장"));
        for (int i = 0; i < 6; ++i) // from "답장" down to the last link
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        QTRY_COMPARE(catcher.opened.size(), 2);
        QCOMPARE(catcher.opened.last().toString(QUrl::FullyEncoded),
                 QStringLiteral("https://c.example/%E2%80%AEgpj.exe"));

        QTest::keyClick(&list, Qt::Key_Menu);
        QVERIFY(openPopup());
        QTest::keyClick(openPopup(), Qt::Key_Return);
        QCOMPARE(s.room.reply()->body, body);
        const QPoint at = list.bubbleRect(0).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &click);
        menu = openPopup();
        QVERIFY(menu);
        QCOMPARE(menu->activeAction(), nullptr);
        menu->close();
    }

    // Shift+Tab from the message field names the current message last, not the list.
    void enteringNamesTheMessage()
    {
        TranscriptRig r;
        r.add(r.peer, 0, QStringLiteral("첫째"));
        r.add(r.peer, 10, QStringLiteral("마지막"));
        Navigation navigation;
        RoomView pane(*r.store, navigation, r.roomId);
        pane.resize(720, 560);
        pane.show();
        pane.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pane));
        auto *transcript = pane.findChild<TranscriptListView *>();
        QVERIFY(transcript);
        QWidget *field = pane.composer()->field();
        field->setFocus(Qt::OtherFocusReason);
        QVERIFY(field->hasFocus());

        Listener listener;
        for (int i = 0; i < 5 && !transcript->hasFocus(); ++i) {
            heard.clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        }
        QVERIFY(transcript->hasFocus());
        const QString sentence = transcript->model().row(1).accessibleText();
        QTRY_COMPARE(Listener::lastFocus().name, sentence);
        QCOMPARE(Listener::lastFocus().role, QAccessible::ListItem);
    }

    // Others' new messages in the room on screen are announced, a burst as its first and newest;
    // not one's own, other rooms', nor any while another window is in use.
    void newMessagesAreAnnounced()
    {
        TranscriptRig r;
        const QUuid elsewhere = QUuid::createUuid();
        Screen s(r);
        QVERIFY(s.active);
        s.view.announcer().setInterval(std::chrono::milliseconds(300));
        qint64 seq = 0;
        const auto arrive = [&](const QUuid &roomId, const QUuid &sender, const QString &body) {
            APIMessage wire = wireText(roomId, sender, ++seq, body);
            wire.createdAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
            r.store->apply(ChatEvent::makeMessage(wire));
            return wire.id;
        };
        const auto sentence = [&](const QUuid &id) {
            return s.view.model().row(s.view.model().rowOf(id)).accessibleText();
        };
        Listener listener;

        const QUuid first = arrive(r.roomId, r.peer, QStringLiteral("첫 소식"));
        QCOMPARE(Listener::announced(), QStringList{sentence(first)});
        QVERIFY(sentence(first).startsWith(QStringLiteral("상대, ")));
        QVERIFY(sentence(first).contains(QStringLiteral("첫 소식")));

        // A burst: one announcement, of the newest, once the interval is over.
        arrive(r.roomId, r.peer, QStringLiteral("둘"));
        arrive(r.roomId, r.peer, QStringLiteral("셋"));
        const QUuid newest = arrive(r.roomId, r.peer, QStringLiteral("넷"));
        QCOMPARE(Listener::announced().size(), 1);
        QTRY_COMPARE(Listener::announced().size(), 2);
        QCOMPARE(Listener::announced().last(), sentence(newest));
        QTest::qWait(400);
        QCOMPARE(Listener::announced().size(), 2);

        // Not one's own (from here or another device), nor another room's.
        r.store->sendText(r.roomId, QStringLiteral("내 글"));
        arrive(r.roomId, r.me, QStringLiteral("다른 기기에서"));
        arrive(elsewhere, r.peer, QStringLiteral("다른 방"));
        QTest::qWait(400);
        QCOMPARE(Listener::announced().size(), 2);

        // With another window in use the desktop notification speaks instead.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        arrive(r.roomId, r.peer, QStringLiteral("창 밖"));
        QTest::qWait(400);
        QCOMPARE(Listener::announced().size(), 2);
    }
};

QTEST_MAIN(TestTranscriptReader)
#include "tst_transcript_reader.moc"
