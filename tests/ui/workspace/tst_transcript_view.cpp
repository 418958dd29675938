// The transcript on screen: opening at the end, following arrivals, the "새 메시지" button,
// older messages, notifications, the visible room, menus, copying, resending, clicks on painted
// parts, a large room laid out only near the screen, and pictures for a look by eye.

#include "TestShots.h"
#include "TranscriptTestSupport.h"
#include "common/TestImages.h"

#include "ui/common/AccessibleActions.h"
#include "ui/common/ChatColor.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/RoomView.h"
#include "ui/workspace/TranscriptDelegate.h"
#include "ui/workspace/TranscriptListView.h"
#include "ui/workspace/TranscriptModel.h"
#include "ui/workspace/TranscriptView.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <functional>

namespace {

struct Screen
{
    explicit Screen(TranscriptRig &rig, QSize size = {720, 560})
        : room(rig.roomId)
        , view(*rig.store, room)
    {
        // The workspace's answers to the transcript's requests.
        QObject::connect(&view, &TranscriptView::reportRequested, &navigation,
                         &Navigation::setReport);
        QObject::connect(&view, &TranscriptView::mediaRequested, &navigation,
                         [this](const QUuid &id) { navigation.setMediaId(id); });
        view.resize(size);
        view.show();
        visible = QTest::qWaitForWindowExposed(&view);
    }
    // The pins of opening the room have run their course: the reader may scroll.
    bool settle() const
    {
        return QTest::qWaitFor([this] { return !view.followState().pinInFlight(); });
    }
    qreal distance() const
    {
        const TranscriptAnchor a = view.list().anchor();
        return a.maxY - a.viewport;
    }
    QScrollBar *bar() const { return view.list().verticalScrollBar(); }
    // The message shown at the top of the visible area.
    QUuid topMessage() const { return view.model().message(view.list().visibleRows().first).id; }
    // Tab brings the keyboard to the transcript.
    TranscriptListView &tabIn()
    {
        view.list().setFocus(Qt::TabFocusReason);
        return view.list();
    }

    Navigation navigation;
    RoomState room;
    TranscriptView view;
    bool visible = false;
};

using Operation = std::function<void(TranscriptRig &)>;

qint64 readMark(LocalStore &store, const QUuid &roomId, const QUuid &user)
{
    const Conversation room = *store.conversation(roomId);
    for (const Membership &m : room.memberships) {
        if (m.userId == user)
            return m.lastReadSeq;
    }
    return -1;
}

QStringList actionTexts(QMenu *menu)
{
    QStringList texts;
    if (menu) {
        for (QAction *action : menu->actions())
            texts.append(action->text());
    }
    return texts;
}

// Catches the web addresses handed to the desktop.
struct UrlCatcher : QObject
{
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QUrl opened;
public slots:
    void open(const QUrl &url) { opened = url; }
};

// What the screen shows of a widget: the window's pixels as composed from every paint so far.
QImage onScreen(QWidget *widget)
{
    QWidget *top = widget->window();
    const QPoint at = widget->mapTo(top, QPoint(0, 0));
    return top->screen()
        ->grabWindow(top->winId(), at.x(), at.y(), widget->width(), widget->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QAction *action(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

} // namespace

class TestTranscriptView : public QObject
{
    Q_OBJECT

private slots:
    void opensAtTheEndAndLaysOutOnlyNearIt()
    {
        TranscriptRig r;
        r.addMany(3000);
        Screen s(r);
        QVERIFY(s.visible);
        QCOMPARE(s.distance(), 0.0);
        const auto [first, last] = s.view.list().visibleRows();
        QCOMPARE(last, 2999);
        QVERIFY(first > 2950);
        QVERIFY(s.view.list().measuredRows() < 100);
    }

    void screenReadersSeeTheRows()
    {
        TranscriptRig r;
        r.add(r.peer, 0, QStringLiteral("첫 번째"));
        r.add(r.me, 10, QStringLiteral("두 번째"));
        Screen s(r);
        TranscriptListView &list = s.view.list();
        list.ensureLayout();
        QAccessibleInterface *viewport = QAccessible::queryAccessibleInterface(list.viewport());
        QVERIFY(viewport);
        QCOMPARE(viewport->childCount(), 2);
        QAccessibleInterface *second = viewport->child(1);
        QCOMPARE(second->role(), QAccessible::ListItem);
        QCOMPARE(second->text(QAccessible::Name), QStringLiteral("나, 오전 9시 5분, 두 번째"));
        QCOMPARE(viewport->indexOfChild(second), 1);
        const QPoint middle = list.viewport()->mapToGlobal(list.rowRect(1).center());
        QCOMPARE(viewport->childAt(middle.x(), middle.y()), second);
    }

    void arrivalAtTheEndIsFollowed()
    {
        TranscriptRig r;
        r.addMany(100);
        Screen s(r);
        r.store->merge(r.message(r.peer, 90000, QStringLiteral("새 소식")), true);
        QTRY_COMPARE(s.view.list().visibleRows().second, 100);
        QTRY_COMPARE(s.distance(), 0.0);
        QVERIFY(!s.room.pendingNew());
        QCOMPARE(readMark(*r.store, r.roomId, r.me), 101);
    }

    void arrivalWhileReadingHistoryRaisesTheButton()
    {
        TranscriptRig r;
        r.addMany(100);
        Screen s(r);
        QVERIFY(s.settle());
        s.bar()->setValue(s.bar()->maximum() / 2);
        QVERIFY(!s.view.followState().stick);
        const QUuid top = s.topMessage();
        const int value = s.bar()->value();
        r.store->merge(r.message(r.peer, 90000), true);
        QTRY_VERIFY(s.room.pendingNew());
        QVERIFY(s.view.newMessageButton()->isVisible());
        QCOMPARE(s.bar()->value(), value);
        QCOMPARE(s.topMessage(), top);
        // The capsule, in the blue of one's own bubbles, has a ring that sets it off from them,
        // light and dark.
        const QPalette light = QApplication::palette();
        for (const QPalette &colours : {light, darkPalette()}) {
            QApplication::setPalette(colours);
            QCoreApplication::processEvents();
            QAbstractButton *capsule = s.view.newMessageButton();
            const QImage face = capsule->grab().toImage();
            const QColor mine = ChatColor::mineBubble(colours);
            const QColor ring = face.pixelColor(face.width() / 2, 6);
            QCOMPARE(face.pixelColor(face.width() / 2, face.height() - 12).rgb(), mine.rgb());
            QVERIFY2(ChatColor::contrast(ring, mine) >= 3, qPrintable(ring.name()));
        }
        QApplication::setPalette(light);
        QCOMPARE(readMark(*r.store, r.roomId, r.me), 0); // nothing read while away

        QTest::mouseClick(s.view.newMessageButton(), Qt::LeftButton);
        QTRY_COMPARE(s.distance(), 0.0);
        QVERIFY(!s.room.pendingNew());
        QVERIFY(!s.view.newMessageButton()->isVisible());
        QCOMPARE(readMark(*r.store, r.roomId, r.me), 101);
    }

    void olderMessagesAboveMoveNothing()
    {
        TranscriptRig r;
        r.addMany(60);
        Screen s(r);
        QVERIFY(s.settle());
        s.bar()->setValue(40);
        const QUuid top = s.topMessage();
        r.store->editMessages([&](MessageIndex &index) {
            for (int seq = -30; seq < 0; ++seq)
                index.append(textMessage(r.roomId, r.peer, seq, QStringLiteral("예전 글")));
        });
        QTest::qWait(20);
        QCOMPARE(s.topMessage(), top);
        QVERIFY(!s.room.pendingNew());

        // At the end, the end stays in view and nothing is asked of the reader either.
        TranscriptRig r2;
        r2.addMany(60);
        Screen at(r2);
        r2.store->editMessages(
            [&](MessageIndex &index) { index.append(textMessage(r2.roomId, r2.peer, -1)); });
        QTest::qWait(20);
        QCOMPARE(at.distance(), 0.0);
        QVERIFY(!at.room.pendingNew());
    }

    void roomChangesUnderTheReader_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<int>("rowsLeft"); // -1: as many as the store shows
        QTest::newRow("room cleared")
            << Operation([](TranscriptRig &r) { r.store->clearMessages(r.roomId); }) << 0;
        QTest::newRow("every message gone")
            << Operation([](TranscriptRig &r) { r.store->setMessages({}); }) << 0;
        QTest::newRow("signed out") << Operation([](TranscriptRig &r) { r.store->logout(); }) << -1;
        QTest::newRow("account deleted")
            << Operation([](TranscriptRig &r) { r.store->deleteAccount(); }) << 0;
        QTest::newRow("room gone from the store")
            << Operation([](TranscriptRig &r) { r.store->setConversations({}); }) << -1;
        QTest::newRow("middle hidden and deleted") << Operation([](TranscriptRig &r) {
            const QList<QUuid> ids = r.visibleIds();
            for (int i = 40; i < 60; ++i)
                r.store->hideForMe(ids.at(i));
            r.store->editMessages([&](MessageIndex &index) {
                for (int i = 60; i < 70; ++i)
                    index.remove(index.find(ids.at(i)));
            });
        }) << 70;
        QTest::newRow("room read again") << Operation([](TranscriptRig &r) {
            r.store->editMessages([&](MessageIndex &index) {
                const QList<ChatMessage> all = index.takeRoom(r.roomId);
                for (const ChatMessage &m : all.mid(50))
                    index.append(m);
            });
        }) << 50;
    }

    // The room's messages change or go while the reader looks at the middle of the room: the
    // view shows what is left, paints, and follows the end again.
    void roomChangesUnderTheReader()
    {
        QFETCH(Operation, operation);
        QFETCH(int, rowsLeft);
        TranscriptRig r;
        r.addMany(100);
        Screen s(r);
        QVERIFY(s.settle());
        s.bar()->setValue(s.bar()->maximum() / 2);
        operation(r);
        QCOMPARE(s.view.model().count(), rowsLeft < 0 ? int(r.visibleIds().size()) : rowsLeft);
        QVERIFY(!s.view.grab().isNull());
        QTest::qWait(20);
        QVERIFY(s.bar()->value() <= s.bar()->maximum());
        QVERIFY(!s.view.grab().isNull());
        r.store->merge(r.message(r.peer, 90000), true);
        QTest::mouseClick(s.view.newMessageButton(), Qt::LeftButton);
        QTRY_COMPARE(s.distance(), 0.0);
        QVERIFY(!s.view.grab().isNull());
    }

    void notificationRevealsItsMessage_data()
    {
        QTest::addColumn<bool>("alreadyOpen");
        QTest::newRow("room opened by the click") << false;
        QTest::newRow("room already open") << true;
    }

    void notificationRevealsItsMessage()
    {
        QFETCH(bool, alreadyOpen);
        TranscriptRig r;
        r.addMany(200);
        const QUuid target = r.visibleIds().at(50);
        std::optional<Screen> s;
        if (alreadyOpen)
            s.emplace(r);
        r.store->openFromPush(r.roomId, target);
        if (!alreadyOpen)
            s.emplace(r);
        QTRY_VERIFY(!r.store->pushTarget());
        const auto [first, last] = s->view.list().visibleRows();
        QVERIFY(first <= 50 && 50 <= last);
        QVERIFY(!s->view.followState().stick);
        QTest::qWait(400); // the room's load and any pin have run
        QVERIFY(s->view.list().visibleRows().first <= 50);

        // A later arrival does not pull the reader away from the revealed message.
        r.store->merge(r.message(r.peer, 99999), true);
        QTRY_VERIFY(s->room.pendingNew());
        QVERIFY(s->view.list().visibleRows().first <= 50);

        // A notification whose message is not loaded is dropped; the room stays as it is.
        r.store->openFromPush(r.roomId, QUuid::createUuid());
        QTRY_VERIFY(!r.store->pushTarget());
    }

    void menus_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("items");

        const QStringList own{"답장", "복사", "삭제"};
        const QStringList theirs{"답장", "복사", "삭제", "신고"};
        QTest::newRow("mine") << "me" << int(MessageKind::text) << own;
        QTest::newRow("mine, failed")
            << "failed" << int(MessageKind::text) << own + QStringList{"재전송"};
        QTest::newRow("theirs") << "peer" << int(MessageKind::text) << theirs;
        QTest::newRow("their photo") << "peer" << int(MessageKind::image) << theirs;
        QTest::newRow("system line") << "peer" << int(MessageKind::system) << QStringList();
        QTest::newRow("deleted") << "peer" << int(MessageKind::deleted) << QStringList();
    }

    void menus()
    {
        QFETCH(QString, sender);
        QFETCH(int, kind);
        QFETCH(QStringList, items);
        TranscriptRig r;
        ChatMessage m = r.message(sender == u"peer" ? r.peer : r.me, 0, {}, MessageKind(kind));
        if (sender == u"failed")
            m.delivery = DeliveryState::failed;
        r.store->editMessages([&](MessageIndex &index) { index.append(m); });
        Screen s(r);
        QMenu *menu = s.view.menuFor(m, &s.view);
        QCOMPARE(actionTexts(menu), items);
        if (!menu)
            return;
        action(menu, "답장")->trigger();
        QCOMPARE(s.room.reply(), std::optional(m));
        action(menu, "삭제")->trigger();
        QCOMPARE(s.room.deleteTarget(), std::optional(m));
        if (QAction *report = action(menu, "신고")) {
            report->trigger();
            const std::optional<ReportDraft> draft = s.navigation.report();
            QVERIFY(draft && !draft->id.isNull());
            QCOMPARE(draft->userId, r.peer);
            QCOMPARE(draft->messageId, std::optional(m.id));
        }
        if (QAction *resend = action(menu, "재전송")) {
            resend->trigger(); // a new message; the failed one stays
            const QList<ChatMessage> now = r.store->visibleMessages(r.roomId);
            QCOMPARE(now.size(), 2);
            QCOMPARE(now.last().body, m.body);
            QCOMPARE(now.first().delivery, DeliveryState::failed);
            QTRY_VERIFY(r.store->visibleMessages(r.roomId).last().delivery
                        != DeliveryState::sending);
        }
        delete menu;
    }

    void copies()
    {
        ChatMessage photo;
        photo.kind = MessageKind::image;
        photo.body = QStringLiteral("캡션");
        photo.imageJPEG = jpegOf(Qt::red, {40, 30});
        TranscriptView::copy(photo);
        QTRY_VERIFY(!QGuiApplication::clipboard()->image().isNull());
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(40, 30));
        photo.imageJPEG = QByteArray("not a picture");
        TranscriptView::copy(photo);
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("캡션"));
        QVERIFY(QGuiApplication::clipboard()->image().isNull());
        // The copy that follows a slow decode (a 5000 × 3000 photo, decoded off the main
        // thread) is the one that stays, although it ends first.
        photo.imageJPEG = blackPng(5000, 3000, 8);
        TranscriptView::copy(photo);
        photo.imageJPEG = jpegOf(Qt::blue, {20, 10});
        TranscriptView::copy(photo);
        QTRY_VERIFY(!QGuiApplication::clipboard()->image().isNull());
        QTest::qWait(50);
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(20, 10));
    }

    void resends_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("withBytes");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("sentKind"); // -1: nothing is sent

        QTest::newRow("text") << int(MessageKind::text) << false << "다시"
                              << int(MessageKind::text);
        QTest::newRow("photo with caption")
            << int(MessageKind::image) << true << "캡션" << int(MessageKind::image);
        QTest::newRow("photo without caption")
            << int(MessageKind::image) << true << "" << int(MessageKind::image);
        QTest::newRow("photo held only by address")
            << int(MessageKind::image) << false << "캡션" << int(MessageKind::text);
        QTest::newRow("photo by address, no caption")
            << int(MessageKind::image) << false << "" << -1;
    }

    void resends()
    {
        QFETCH(int, kind);
        QFETCH(bool, withBytes);
        QFETCH(QString, body);
        QFETCH(int, sentKind);
        TranscriptRig r;
        // Recent, so that the new copy joins the failed one's group.
        r.start = QDateTime::currentDateTime().addSecs(-60);
        const ChatMessage answered = r.add(r.peer, 0, QStringLiteral("질문"));
        ChatMessage failed = r.message(r.me, 10, body, MessageKind(kind));
        failed.body = body;
        failed.delivery = DeliveryState::failed;
        failed.replyToId = answered.id;
        const QByteArray jpeg = jpegOf(Qt::blue, {40, 30});
        if (withBytes)
            failed.imageJPEG = jpeg;
        else if (kind == int(MessageKind::image))
            failed.imageURL = QStringLiteral("https://127.0.0.1:1/p.jpg");
        r.store->editMessages([&](MessageIndex &index) { index.append(failed); });
        Screen s(r);

        // The painted "재전송" of the row is what the reader clicks.
        TranscriptListView &list = s.view.list();
        const auto resendPoint = [&] {
            list.ensureLayout();
            const QRect rect = list.rowRect(s.view.model().rowOf(failed.id));
            for (int y = rect.top(); y < rect.bottom(); ++y)
                for (int x = rect.left(); x < rect.right(); x += 2)
                    if (list.hitAt({x, y}).part == TranscriptHit::Part::resend)
                        return QPoint(x, y);
            return QPoint();
        };
        const QPoint target = resendPoint();
        QVERIFY(!target.isNull());
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, target);

        const QList<ChatMessage> now = r.store->visibleMessages(r.roomId);
        if (sentKind < 0) {
            QCOMPARE(now.size(), 2);
            return;
        }
        QCOMPARE(now.size(), 3);
        const ChatMessage &sent = now.last();
        QVERIFY(sent.id != failed.id);
        QCOMPARE(int(sent.kind), sentKind);
        QCOMPARE(sent.body, body);
        QCOMPARE(sent.replyToId, std::optional(answered.id));
        if (sentKind == int(MessageKind::image))
            QCOMPARE(sent.imageJPEG, std::optional(jpeg));
        QCOMPARE(now.at(1).delivery, DeliveryState::failed); // the failed one stays
        QVERIFY(!resendPoint().isNull()); // and still says so
    }

    void clickingAPhotoOpensTheViewer()
    {
        TranscriptRig r;
        ChatMessage photo = r.message(r.peer, 0, QStringLiteral("사진"), MessageKind::image);
        photo.imageJPEG = jpegOf(Qt::green, {400, 300});
        r.store->editMessages([&](MessageIndex &index) { index.append(photo); });
        Screen s(r);
        TranscriptListView &list = s.view.list();
        list.ensureLayout();
        const QRect rect = list.rowRect(0);
        // Somebody else's photo stands right of the avatar, under the name.
        const QPoint inside = rect.topLeft() + QPoint(40 + 12 + 100, rect.height() / 2);
        QCOMPARE(list.hitAt(inside).part, TranscriptHit::Part::photo);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, inside);
        QCOMPARE(s.navigation.mediaId(), std::optional(photo.id));
    }

    // A sender the store does not know is drawn as one named "알 수 없음", avatar included.
    void unknownSenderLooksUnknown()
    {
        TranscriptRig r;
        r.add(QUuid::createUuid(), 0, QStringLiteral("누구게"));
        TranscriptModel model(*r.store, r.roomId);
        const TranscriptRow unknown = model.row(0);
        TranscriptRow named = unknown;
        named.senderKnown = true;
        TranscriptDelegate delegate;
        const auto picture = [&](const TranscriptRow &row) {
            const auto layout = delegate.layoutFor(row, 400, QApplication::palette());
            QImage image(400, layout->height, QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            delegate.paintRow(painter, {}, row, *layout, QApplication::palette());
            return image;
        };
        QCOMPARE(unknown.senderName, QStringLiteral("알 수 없음"));
        QCOMPARE(picture(unknown), picture(named));
    }

    // A full cache of row layouts lets go of the least recently used one for each it makes, so
    // that no single scroll step frees hundreds of them at once.
    void fullLayoutCacheLetsOneGoPerNewOne()
    {
        TranscriptRig r;
        for (int i = 0; i < 10; ++i)
            r.add(r.peer, i * 600, QStringLiteral("메시지 %1").arg(i));
        const TranscriptModel model(*r.store, r.roomId);
        TranscriptDelegate delegate;
        delegate.setCacheLimit(5);
        const QPalette palette = QApplication::palette();
        QList<std::weak_ptr<const TranscriptRowLayout>> made;
        const auto layOut = [&](int i) { return delegate.layoutFor(model.row(i), 300, palette); };
        const auto freed = [&] {
            QList<int> gone;
            for (int i = 0; i < made.size(); ++i) {
                if (made.at(i).expired())
                    gone.append(i);
            }
            return gone;
        };
        for (int i = 0; i < 5; ++i)
            made.append(layOut(i));
        QCOMPARE(delegate.cachedCount(), 5);
        QVERIFY(freed().isEmpty());
        // Asked for again: the same layout, now the most recently used.
        QCOMPARE(layOut(1).get(), made.at(1).lock().get());

        const QList<QList<int>> expected{{0}, {0, 2}, {0, 2, 3}, {0, 2, 3, 4}, {0, 1, 2, 3, 4}};
        for (int i = 5; i < 10; ++i) {
            made.append(layOut(i));
            QCOMPARE(delegate.cachedCount(), 5);
            QCOMPARE(freed(), expected.at(i - 5));
        }

        // A row that looks different gets a new layout in its place; nothing else goes.
        TranscriptRow failed = model.row(9);
        failed.message.delivery = DeliveryState::failed;
        const auto before = made.at(9).lock();
        QVERIFY(delegate.layoutFor(failed, 300, palette).get() != before.get());
        QCOMPARE(delegate.cachedCount(), 5);
        QCOMPARE(freed(), expected.last());
    }

    // The keyboard's current message: focus lands on the newest, keys move it and keep it in
    // view, and the view follows the end only while it is on the newest.
    void keysMoveTheCurrentMessage()
    {
        TranscriptRig r;
        r.addMany(60);
        Screen s(r);
        QVERIFY(s.settle());
        TranscriptListView &list = s.tabIn();
        QCOMPARE(list.currentRow(), 59);
        const auto shown = [&](int row) {
            const auto [first, last] = list.visibleRows();
            return row >= first && row <= last;
        };
        QTest::keyClick(&list, Qt::Key_Up);
        QCOMPARE(list.currentRow(), 58);
        // Away from the newest an arrival is announced, not followed.
        r.store->merge(r.message(r.peer, 90000, QStringLiteral("새 소식")), true);
        QTRY_VERIFY(s.room.pendingNew());
        QCOMPARE(list.currentRow(), 58);
        QVERIFY(shown(58));

        QTest::keyClick(&list, Qt::Key_Home);
        QCOMPARE(list.visibleRows().first, 0);
        QTest::keyClick(&list, Qt::Key_PageDown);
        const int page = list.currentRow();
        QVERIFY(page > 1 && shown(page));
        QTest::keyClick(&list, Qt::Key_PageUp);
        QCOMPARE(list.currentRow(), 0);

        // On the newest the view follows again, and takes the current message along.
        QTest::keyClick(&list, Qt::Key_End);
        QVERIFY(!s.room.pendingNew());
        r.store->merge(r.message(r.peer, 90100, QStringLiteral("또 소식")), true);
        QTRY_COMPARE(list.currentRow(), 61);
        QTRY_COMPARE(s.distance(), 0.0);

        // The Menu key and Shift+F10 open the message's menu at its bubble.
        QTest::keyClick(&list, Qt::Key_Up);
        for (const auto &[key, modifiers] :
             {std::pair(Qt::Key_Menu, Qt::NoModifier), std::pair(Qt::Key_F10, Qt::ShiftModifier)}) {
            QTest::keyClick(&list, key, modifiers);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QCOMPARE(actionTexts(menu).size(), 4);
            QVERIFY(list.bubbleRect(60)
                        .translated(list.viewport()->mapToGlobal(QPoint()))
                        .contains(menu->pos()));
            menu->close();
        }
        QTest::keyClick(&list, Qt::Key_F10); // F10 alone is no menu key
        QVERIFY(!QApplication::activePopupWidget());
    }

    // What a row offers a screen reader, and what Return does on it: resend, else the photo,
    // else the only link.
    void rowActions_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("onReturn");
        const QStringList own{"답장", "복사", "삭제"};
        const QStringList theirs = own + QStringList{"신고"};
        const QString link = "링크 열기: https://a.example/n";
        QTest::newRow("one link") << "mine" << own + QStringList{link} << "link";
        QTest::newRow("two links")
            << "mine two"
            << own + QStringList{"링크 열기: https://a.example", "링크 열기: https://b.example"}
            << "";
        QTest::newRow("photo") << "photo" << theirs + QStringList{link, "사진 보기"} << "photo";
        QTest::newRow("failed") << "failed" << own + QStringList{"재전송", link} << "resend";
        QTest::newRow("system line") << "system" << QStringList{link} << "link";
        QTest::newRow("deleted") << "deleted" << QStringList() << "";
    }

    void rowActions()
    {
        QFETCH(QString, row);
        QFETCH(QStringList, actions);
        QFETCH(QString, onReturn);
        TranscriptRig r;
        r.start = QDateTime::currentDateTime().addSecs(-60);
        const QMap<QString, MessageKind> kinds{{"photo", MessageKind::image},
                                               {"system", MessageKind::system},
                                               {"deleted", MessageKind::deleted}};
        ChatMessage m = r.message(row.startsWith("mine") || row == "failed" ? r.me : r.peer, 0,
                                  row == "mine two" ? "https://a.example https://b.example"
                                                    : "https://a.example/n",
                                  kinds.value(row, MessageKind::text));
        if (row == "photo")
            m.imageJPEG = jpegOf(Qt::green, {40, 30});
        if (row == "failed")
            m.delivery = DeliveryState::failed;
        r.store->editMessages([&](MessageIndex &index) { index.append(m); });
        Screen s(r);
        TranscriptListView &list = s.view.list();
        list.ensureLayout();
        QAccessibleInterface *viewport = QAccessible::queryAccessibleInterface(list.viewport());
        QCOMPARE(viewport->text(QAccessible::Name), QStringLiteral("메시지"));
        QAccessibleActionInterface *doer = viewport->child(0)->actionInterface();
        QCOMPARE(doer->actionNames(), actions);
        if (actions.contains("신고")) {
            doer->doAction("신고");
            QCOMPARE(s.navigation.report()->messageId, std::optional(m.id));
        }

        UrlCatcher links;
        s.tabIn();
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(s.navigation.mediaId().has_value(), onReturn == "photo");
        QCOMPARE(links.opened.isValid(), onReturn == "link");
        QCOMPARE(r.store->visibleMessages(r.roomId).size(), onReturn == "resend" ? 2 : 1);
        QTRY_VERIFY(r.store->visibleMessages(r.roomId).last().delivery != DeliveryState::sending);
    }

    // An open popup menu stands among the application's windows for a screen reader.
    void openMenusAreInTheTree()
    {
        AccessibleActions::listPopups();
        TranscriptRig r;
        Screen s(r);
        QAccessibleInterface *app = QAccessible::queryAccessibleInterface(qApp);
        QMenu *menu = s.view.menuFor(r.add(r.peer, 0), &s.view);
        menu->popup(s.view.mapToGlobal(QPoint(20, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(menu);
        QCOMPARE(app->child(app->indexOfChild(face)), face);
        menu->close();
        QCOMPARE(app->indexOfChild(face), -1);
    }

    // The current message is ringed while the transcript has focus, light and dark.
    void currentMessageIsRinged_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void currentMessageIsRinged()
    {
        QFETCH(bool, dark);
        const QPalette original = QApplication::palette();
        if (dark)
            QApplication::setPalette(darkPalette());
        TranscriptRig r;
        r.add(r.peer, 0, QStringLiteral("안녕하세요"));
        r.add(r.me, 10, QStringLiteral("반가워요"));
        r.add(r.peer, 20, QStringLiteral("오늘 저녁에 같이 밥 먹을래요?"));
        Screen s(r, {480, 360});
        QVERIFY(s.settle());
        TranscriptListView &list = s.view.list();
        const QImage before = list.viewport()->grab().toImage();
        s.tabIn();
        QTest::keyClick(&list, Qt::Key_Up);
        const QImage focused = list.viewport()->grab().toImage();
        QVERIFY(focused.save(QStringLiteral("%1/transcript-ring-%2.png")
                                 .arg(testShotFolder(), dark ? "dark" : "light")));
        // New pixels of the highlight colour, all around the current bubble, none on its face.
        const QRect bubble = list.bubbleRect(1);
        const QRgb ring = QApplication::palette().color(QPalette::Highlight).rgb();
        int ringed = 0;
        for (int y = 0; y < focused.height(); ++y)
            for (int x = 0; x < focused.width(); ++x) {
                if (focused.pixel(x, y) == before.pixel(x, y) || focused.pixel(x, y) != ring)
                    continue;
                ++ringed;
                QVERIFY(bubble.adjusted(-6, -6, 6, 6).contains(x, y));
                QVERIFY(!bubble.adjusted(16, 2, -16, -2).contains(x, y));
                QVERIFY(!bubble.adjusted(2, 16, -2, -16).contains(x, y));
            }
        QVERIFY(ringed > bubble.width());
        QApplication::setPalette(original);
    }

    // Changes paint only what changed, and the screen then shows what painting everything
    // shows.
    void changesPaintAsAFullRepaint_data()
    {
        QTest::addColumn<Operation>("change");
        // "away": scrolled up; "ringed": the newest is current; "wheel": no change, a scroll;
        // "theirs": the newest is theirs, the focus out of the list
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("partial"); // only a part of the screen is painted again
        QTest::addColumn<bool>("newestOnly"); // of the rows, only the newest is painted again
        // The last of addMany(100) is mine, 99 * 400 s after the start.
        constexpr qint64 last = 99 * 400;
        const auto arrival = [](bool mine, qint64 at, const QString &body = {}) {
            return Operation([=](TranscriptRig &r) {
                r.store->merge(r.message(mine ? r.me : r.peer, at, body), true);
            });
        };
        QTest::newRow("mine continues my group") << arrival(true, last + 30) << "" << true << false;
        // Their message tells that they have read mine: my row changes too.
        QTest::newRow("theirs after mine") << arrival(false, last + 30) << "" << true << false;
        QTest::newRow("theirs continues their group")
            << arrival(false, last + 60) << "theirs" << true << false;
        QTest::newRow("theirs minutes later")
            << arrival(false, last + 900) << "theirs" << true << true;
        QTest::newRow("the next day") << arrival(false, last + 86'400) << "theirs" << true << true;
        QTest::newRow("a tall message")
            << arrival(false, last + 900, QStringLiteral("긴 메시지입니다. ").repeated(40))
            << "theirs" << true << true;
        QTest::newRow("a photo") << Operation([](TranscriptRig &r) {
            ChatMessage photo = r.message(r.peer, last + 30, {}, MessageKind::image);
            photo.body = QStringLiteral("사진");
            photo.imageJPEG = jpegOf(Qt::darkCyan, {320, 240});
            r.store->merge(photo, true);
        }) << "" << false << false;
        QTest::newRow("the newest is ringed")
            << arrival(true, last + 30) << "ringed" << true << false;
        QTest::newRow("reading history") << arrival(false, last + 30) << "away" << true << false;
        QTest::newRow("the reader scrolls a little") << Operation() << "wheel" << true << false;
        QTest::newRow("read by the other") << Operation([](TranscriptRig &r) {
            Conversation room = *r.store->conversation(r.roomId);
            room.memberships[1].lastReadSeq = 100;
            r.store->replaceConversation(room);
        }) << "" << false << false;
    }

    void changesPaintAsAFullRepaint()
    {
        QFETCH(Operation, change);
        QFETCH(QString, before);
        QFETCH(bool, partial);
        QFETCH(bool, newestOnly);
        TranscriptRig r;
        r.addMany(100);
        Screen s(r);
        QVERIFY(s.settle());
        TranscriptListView &list = s.view.list();
        if (before == u"theirs") {
            r.store->merge(r.message(r.peer, 99 * 400 + 30), true);
            // Focus elsewhere, as while typing: no ring follows the newest.
            list.clearFocus();
            QVERIFY(s.settle());
        }
        if (before == u"away")
            s.bar()->setValue(s.bar()->maximum() / 2);
        if (before == u"ringed")
            s.tabIn();
        if (before == u"wheel") { // the rows just above measured already
            s.bar()->setValue(s.bar()->value() - 60);
            QTest::qWait(20);
            s.bar()->setValue(s.bar()->maximum());
        }
        QTest::qWait(50);
        PaintedAreas painted(list.viewport());
        if (change)
            change(r);
        else
            s.bar()->setValue(s.bar()->value() - 60);
        QVERIFY(s.settle());
        QTest::qWait(100); // the layout, the paints and any picture decoded
        if (partial) {
            const QRegion area = painted.take();
            QVERIFY(!area.isEmpty() || before == u"away");
            QVERIFY(area.boundingRect().height() < list.viewport()->height() / 2);
            if (newestOnly) {
                const int newest = s.view.model().rowCount() - 1;
                QVERIFY(area.boundingRect().top() > list.rowRect(newest - 1).center().y());
            }
        }
        // The transcript's own buttons over the rows included.
        const QImage shown = onScreen(&s.view);
        const QImage full = s.view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), full.size());
        QVERIFY(shown == full);
    }

    // A ringed row that changes alone (its quote edited) is painted again with its ring, whose
    // top edge lies in the spacing above the row: the old, wider ring must not stay there.
    void ringedRowRepaintsTheRingAboveIt()
    {
        TranscriptRig r;
        r.addMany(20);
        ChatMessage reply = r.add(r.me, 9000, QStringLiteral("네"));
        ChatMessage quoted
            = r.add(r.peer, 9010, QStringLiteral("오늘 저녁 일곱 시에 역 앞 카페에서 만나요"));
        reply.replyToId = quoted.id;
        r.store->merge(reply, false);
        Screen s(r);
        QVERIFY(s.settle());
        TranscriptListView &list = s.tabIn();
        QTest::keyClick(&list, Qt::Key_Up);
        const int replyRow = s.view.model().rowCount() - 2;
        QCOMPARE(list.currentRow(), replyRow);
        QTest::qWait(50);
        const int wide = list.bubbleRect(replyRow).width();

        PaintedAreas painted(list.viewport());
        quoted.body = QStringLiteral("네");
        r.store->merge(quoted, false);
        QVERIFY(s.settle());
        QTest::qWait(100);
        QVERIFY(list.bubbleRect(replyRow).width() < wide);
        // Only the changed rows are painted again, not the whole list.
        QVERIFY(painted.take().boundingRect().top() > list.rowRect(replyRow - 1).top());
        const QImage shown = onScreen(&s.view);
        QVERIFY(shown == s.view.grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    void shots_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << QSize(960, 680) << false;
        QTest::newRow("dark") << QSize(960, 680) << true;
        QTest::newRow("wide light") << QSize(1500, 800) << false;
        QTest::newRow("wide dark") << QSize(1500, 800) << true;
    }

    void shots()
    {
        QFETCH(QSize, size);
        QFETCH(bool, dark);
        const QPalette original = QApplication::palette();
        if (dark)
            QApplication::setPalette(darkPalette());
        TranscriptRig r;
        r.start = QDateTime(QDate(2024, 3, 4), QTime(22, 40));
        Account house = person(QStringLiteral("zumo"), QStringLiteral("Zumo 팀"));
        house.kind = AccountKind::official;
        r.store->editAccounts([&](QList<Account> &list) { list.append(house); });
        ChatMessage notice = r.message(house.id, 0, QStringLiteral("Zumo에 오신 것을 환영합니다."));
        notice.origin = MessageOrigin::broadcast;
        r.store->editMessages([&](MessageIndex &index) { index.append(notice); });
        r.add(r.peer, 60, QStringLiteral("오늘 저녁에 같이 밥 먹을래요?"));
        const ChatMessage question
            = r.add(r.peer, 90, QStringLiteral("자세한 건 https://zumo.chat/help 를 보세요."));
        r.add(r.me, 4000, QString(80, u'ㅋ'));
        ChatMessage reply = r.message(r.me, 4030, QStringLiteral("좋아요! 7시에 봬요"));
        reply.replyToId = question.id;
        r.store->editMessages([&](MessageIndex &index) { index.append(reply); });
        r.add(r.peer, 4100, QStringLiteral("방 이름이 저녁 모임로 바뀌었습니다."),
              MessageKind::system);
        ChatMessage photo
            = r.message(r.peer, 4200, QStringLiteral("가게 사진이에요"), MessageKind::image);
        photo.imageJPEG = jpegOf(QColor(0xcc, 0x66, 0x33), {400, 300});
        r.store->editMessages([&](MessageIndex &index) { index.append(photo); });
        r.add(r.peer, 4210,
              QStringLiteral("한글은띄어쓰기없이길게써도줄이바뀌어야합니다").repeated(3));
        ChatMessage failed = r.message(r.me, 4300, QStringLiteral("전송이 안 된 메시지"));
        failed.delivery = DeliveryState::failed;
        r.store->editMessages([&](MessageIndex &index) { index.append(failed); });
        Conversation room = *r.store->conversation(r.roomId);
        room.memberships[1].lastReadSeq = 5;
        r.store->replaceConversation(room);

        const bool wide = size.width() > 1000;
        if (wide) { // the top of the room, older messages to load, and one just arrived
            r.store->editOlderRooms([&](QSet<QUuid> &set) { set.insert(r.roomId); });
            for (int i = 0; i < 6; ++i)
                r.add(i % 2 ? r.me : r.peer, 4310 + i * 400,
                      QStringLiteral("더 이야기해요 %1").arg(i));
        }
        Screen s(r, size);
        QVERIFY(s.settle());
        if (wide) {
            s.bar()->setValue(0);
            r.store->merge(r.message(r.peer, 9000, QStringLiteral("방금 온 메시지")), true);
            QTRY_VERIFY(s.room.pendingNew());
        }
        QTest::qWait(100); // pictures decoded
        const QString name = QStringLiteral("transcript-%1x%2-%3")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(dark ? "dark" : "light");
        QVERIFY(s.view.grab().save(testShotFolder() + "/" + name + ".png"));
        QApplication::setPalette(original);
    }
};

QTEST_MAIN(TestTranscriptView)
#include "tst_transcript_view.moc"
