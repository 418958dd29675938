#include "WorkspaceTestSupport.h"

#include "ui/common/ChatColor.h"
#include "ui/common/ImageFile.h"
#include "ui/workspace/Composer.h"
#include "ui/workspace/RoomView.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QByteArray jpeg(Qt::GlobalColor colour)
{
    return encoded(QSize(40, 30), "JPEG", colour);
}

} // namespace

// The composer: what Return and Shift-Return do, what the user's edits report, the closed
// room's notices, the photo picked from a file, and the field's growth.
class TestComposer : public QObject
{
    Q_OBJECT

    struct Rig
    {
        Rig(LocalStore &store, const QUuid &roomId)
            : state(roomId)
            , composer(store, state)
        {
            composer.resize(600, 200);
            composer.show();
        }
        RoomState state;
        Composer composer;
        ComposerField *field() const { return composer.field(); }
        QToolButton *send() const
        {
            return composer.findChild<QToolButton *>(QStringLiteral("sendButton"));
        }
    };

private slots:
    void initTestCase() { privateFolders(); }
    void cleanup() { ImageFile::setTestAnswer({}); }

    void returnKey_data()
    {
        QTest::addColumn<QString>("draft");
        QTest::addColumn<bool>("photo");
        QTest::addColumn<int>("cursorAt");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("sent"); // "" nothing, "text:<body>", "image:<caption>"
        QTest::addColumn<QString>("draftAfter");
        QTest::newRow("text") << "안녕" << false << -1 << false << "text:안녕"
                              << "";
        QTest::newRow("white space only: nothing at all") << "  \n " << false << -1 << false << ""
                                                          << "  \n ";
        QTest::newRow("in the middle of the text")
            << "안녕하세요" << false << 2 << false << "text:안녕하세요"
            << "";
        QTest::newRow("shift: a line break") << "안녕" << false << -1 << true << ""
                                             << "안녕\n";
        QTest::newRow("photo with an empty draft") << "" << true << -1 << false << "image:"
                                                   << "";
    }
    void returnKey()
    {
        QFETCH(QString, draft);
        QFETCH(bool, photo);
        QFETCH(int, cursorAt);
        QFETCH(bool, shift);
        QFETCH(QString, sent);
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        Rig rig(store, seeded.direct);
        rig.state.setDraft(draft);
        if (photo)
            rig.state.setImage(jpeg(Qt::red));
        QCOMPARE(rig.send()->isVisibleTo(&rig.composer), rig.composer.canSend());
        if (cursorAt >= 0) {
            QTextCursor cursor = rig.field()->textCursor();
            cursor.setPosition(cursorAt);
            rig.field()->setTextCursor(cursor);
        }
        const int before = int(store.visibleMessages(seeded.direct).size());
        const int pins = rig.state.bottomPin();
        QTest::keyClick(rig.field(), Qt::Key_Return, shift ? Qt::ShiftModifier : Qt::NoModifier);

        const QList<ChatMessage> messages = store.visibleMessages(seeded.direct);
        QCOMPARE(messages.size(), before + (sent.isEmpty() ? 0 : 1));
        if (!sent.isEmpty()) {
            const ChatMessage &last = messages.last();
            QCOMPARE(QString(last.kind == MessageKind::image ? "image:" : "text:") + last.body,
                     sent);
            QCOMPARE(rig.state.bottomPin(), pins + 1);
            QVERIFY(!rig.state.image());
        }
        QTEST(rig.state.draft(), "draftAfter");
        QCOMPARE(rig.field()->toPlainText(), rig.state.draft());
    }

    // Sending answers the reply target and clears it; "취소" clears it without sending.
    void replyBar()
    {
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        Rig rig(store, seeded.direct);
        const ChatMessage target = store.visibleMessages(seeded.direct).first();
        QWidget *bar = rig.composer.findChild<QWidget *>(QStringLiteral("replyBar"));
        QVERIFY(!bar->isVisible());
        rig.state.chooseReply(target);
        QVERIFY(bar->isVisible());
        // The answer is typed next: the field has the keyboard.
        QTRY_VERIFY(rig.composer.field()->hasFocus());
        rig.composer.resize(600, rig.composer.sizeHint().height());
        saveShot(&rig.composer, QStringLiteral("composer-reply"));
        buttonWithText(&rig.composer, QStringLiteral("취소"))->click();
        QVERIFY(!rig.state.reply());

        rig.state.setReply(target);
        rig.state.setDraft(QStringLiteral("좋아요"));
        rig.send()->click();
        QVERIFY(!rig.state.reply());
        QCOMPARE(store.visibleMessages(seeded.direct).last().replyToId,
                 std::optional<QUuid>(target.id));
    }

    // The reply bar draws and reads an address that an override would turn around as it opens.
    void replyBarShowsAddressesAsTheyAre()
    {
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        const QString address
            = QStringLiteral("1 은행 확인: https://evil.example/moc.knab//:sptth");
        QString disguised = address;
        disguised.insert(disguised.indexOf(u"https"), QChar(0x202E));
        store.merge(textMessage(seeded.direct, SeedID::sora(), 2, disguised), false);
        store.merge(textMessage(seeded.direct, SeedID::sora(), 3, address), false);
        const QList<ChatMessage> messages = store.visibleMessages(seeded.direct);
        QCOMPARE(messages.at(messages.size() - 2).body, disguised);
        Rig rig(store, seeded.direct);
        auto *preview = rig.composer.findChild<QWidget *>(QStringLiteral("replyPreview"));
        rig.state.setReply(messages.at(messages.size() - 2));
        QTRY_COMPARE(preview->accessibleName(), address);
        const QImage drawn = preview->grab().toImage();
        rig.state.setReply(messages.last());
        QTRY_COMPARE(preview->accessibleName(), address);
        QCOMPARE(preview->grab().toImage(), drawn);
    }

    // "답장" hands the field the keyboard once: neither the store's later changes nor the
    // reply itself take it back from another field, and none of it moves the transcript.
    void replyTakesTheKeyboardOnlyWhenChosen()
    {
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        Rig rig(store, seeded.direct);
        auto *search = new QLineEdit(&rig.composer);
        search->show();
        QApplication::setActiveWindow(&rig.composer);
        QVERIFY(QTest::qWaitForWindowActive(&rig.composer));
        const int pins = rig.state.bottomPin();
        rig.state.chooseReply(store.visibleMessages(seeded.direct).first());
        QTRY_VERIFY(rig.field()->hasFocus());
        search->setFocus(Qt::MouseFocusReason);
        // A message in another room, and one in this room, while the reply waits.
        store.merge(textMessage(seeded.group, SeedID::taeo(), 1, QStringLiteral("출발!")), false);
        store.merge(textMessage(seeded.direct, SeedID::sora(), 2, QStringLiteral("응")), false);
        QTest::qWait(20);
        QVERIFY(search->hasFocus());
        QCOMPARE(rig.state.bottomPin(), pins);
        QVERIFY(rig.state.reply());
    }

    // Tab and Shift-Tab leave the field (no tab in the draft); Escape drops the reply, then the
    // photo, then goes on to the window.
    void tabAndEscape()
    {
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        Rig rig(store, seeded.direct);
        (new QLineEdit(&rig.composer))->show();
        QApplication::setActiveWindow(&rig.composer);
        QVERIFY(QTest::qWaitForWindowActive(&rig.composer));
        rig.field()->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(rig.field(), "ok");
        rig.state.chooseReply(store.visibleMessages(seeded.direct).first());
        rig.state.setImage(jpeg(Qt::red));

        QTest::keyClick(rig.field(), Qt::Key_Escape);
        QVERIFY(!rig.state.reply());
        QVERIFY(rig.state.image());
        QTest::keyClick(rig.field(), Qt::Key_Escape);
        QVERIFY(!rig.state.image());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(rig.field(), &escape);
        QVERIFY(!escape.isAccepted());

        for (const auto &[key, modifiers] : {std::pair(Qt::Key_Tab, Qt::NoModifier),
                                             std::pair(Qt::Key_Backtab, Qt::ShiftModifier)}) {
            rig.field()->setFocus(Qt::TabFocusReason);
            QTest::keyClick(rig.field(), key, modifiers);
            QVERIFY(!rig.field()->hasFocus());
            QCOMPARE(rig.state.draft(), QStringLiteral("ok"));
        }
    }

    // A syllable still being composed when "보내기" is clicked (or Return pressed) goes with the
    // message, and the engine's commit of it after the send does not come back into the field;
    // a commit before the send, and a syllable composed afterwards, are taken as usual.
    void composingSyllable_data()
    {
        QTest::addColumn<bool>("commitFirst"); // the engine commits before the click arrives
        QTest::addColumn<bool>("byReturn");
        QTest::addColumn<bool>("lateCommit"); // the engine commits again after the send
        QTest::newRow("commit, then click") << true << false << false;
        QTest::newRow("click while composing") << false << false << false;
        QTest::newRow("click while composing, commit after") << false << false << true;
        QTest::newRow("Return while composing, commit after") << false << true << true;
    }
    void composingSyllable()
    {
        QFETCH(bool, commitFirst);
        QFETCH(bool, byReturn);
        QFETCH(bool, lateCommit);
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        Rig rig(store, seeded.direct);
        const auto preedit = [&](const QString &text) {
            QInputMethodEvent event(text, {});
            QApplication::sendEvent(rig.field(), &event);
        };
        const auto commit = [&](const QString &text) {
            QInputMethodEvent event;
            event.setCommitString(text);
            QApplication::sendEvent(rig.field(), &event);
        };
        rig.field()->insertPlainText(QStringLiteral("반가워"));
        preedit(QStringLiteral("ㅇ"));
        preedit(QStringLiteral("요"));
        if (commitFirst)
            commit(QStringLiteral("요"));
        const int before = int(store.visibleMessages(seeded.direct).size());
        if (byReturn)
            QTest::keyClick(rig.field(), Qt::Key_Return);
        else
            rig.send()->click();
        QCOMPARE(store.visibleMessages(seeded.direct).size(), before + 1);
        QCOMPARE(store.visibleMessages(seeded.direct).last().body, QStringLiteral("반가워요"));
        if (lateCommit) {
            preedit(QString());
            commit(QStringLiteral("요"));
        }
        QCOMPARE(rig.field()->toPlainText(), QString());
        QCOMPARE(rig.state.draft(), QString());

        // The next message, begun with the same syllable, is typed whole.
        preedit(QStringLiteral("요"));
        commit(QStringLiteral("요"));
        QCOMPARE(rig.state.draft(), QStringLiteral("요"));
    }

    // Only the user's own edits report typing; the clearing after a send is none.
    void typingFollowsTheUsersEdits()
    {
        LivePair pair;
        LocalStore *store = pair.open();
        QVERIFY(store);
        Rig rig(*store, pair.room);
        rig.field()->setFocus();
        QTest::keyClicks(rig.field(), "hi");
        QVERIFY(store->typingSentRooms().contains(pair.room));
        QTest::keyClick(rig.field(), Qt::Key_Backspace);
        QTest::keyClick(rig.field(), Qt::Key_Backspace);
        QVERIFY(!store->typingSentRooms().contains(pair.room));
        QTest::keyClicks(rig.field(), "ok");
        QTest::keyClick(rig.field(), Qt::Key_Return);
        QCOMPARE(rig.state.draft(), QString());
        QVERIFY(store->typingSentRooms().contains(pair.room));
    }

    void closedRoomNotice_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("text");
        QTest::newRow("blocked peer") << 0 << "차단한 사용자";
        QTest::newRow("peer gone") << 1 << "대화를 이어갈 수 없음";
        QTest::newRow("left group") << 2 << "나간 대화방";
        QTest::newRow("inbox closed") << 3 << "이 서비스는 메시지를 받지 않습니다.";
    }
    void closedRoomNotice()
    {
        QFETCH(int, which);
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        const QUuid rooms[] = {seeded.direct, seeded.direct, seeded.group, seeded.house};
        const std::function<void()> closers[] = {
            [&] { store.block(SeedID::sora()); },
            [&] {
                Conversation direct = *store.conversation(seeded.direct);
                direct.memberships.removeIf(
                    [](const Membership &m) { return m.userId == SeedID::sora(); });
                store.replaceConversation(direct);
            },
            [&] { store.leaveGroup(seeded.group); },
            [&] {
                Account house = *store.account(SeedID::quillo());
                house.acceptsUserMessages = false;
                store.replaceAccount(house);
            },
        };
        Rig rig(store, rooms[which]);
        rig.state.setDraft(QStringLiteral("쓰던 글"));
        QCOMPARE(rig.composer.notice(), QString());
        closers[which]();
        QTRY_VERIFY(!rig.composer.notice().isEmpty());
        QTEST(rig.composer.notice(), "text");
        QVERIFY(!rig.field()->isVisible());
        QCOMPARE(rig.state.draft(), QStringLiteral("쓰던 글"));
        // The strip is the notice's own height, whatever the hidden editor would need.
        QCOMPARE(rig.composer.sizeHint().height(), 44);
        rig.composer.resize(600, rig.composer.sizeHint().height());
        saveShot(&rig.composer, QStringLiteral("composer-closed-") + QTest::currentDataTag());
    }

    void photoFromAFile_data()
    {
        QTest::addColumn<QString>("file"); // "" cancels
        QTest::addColumn<bool>("attachedAfter");
        QTest::newRow("a picture replaces the photo") << "picture.jpg" << true;
        QTest::newRow("cancelled: nothing changes") << "" << true;
        QTest::newRow("no picture: nothing changes") << "notes.txt" << true;
    }
    void photoFromAFile()
    {
        QFETCH(QString, file);
        QFETCH(bool, attachedAfter);
        QTemporaryDir dir;
        for (const auto &[name, bytes] : {std::pair{"picture.jpg", jpeg(Qt::blue)},
                                          std::pair{"notes.txt", QByteArray("not a picture")}}) {
            QFile out(dir.filePath(name));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        }
        ImageFile::setTestAnswer([&] { return file.isEmpty() ? QString() : dir.filePath(file); });

        SeededStore seeded;
        Rig rig(*seeded.store, seeded.direct);
        const QByteArray before = jpeg(Qt::red);
        rig.state.setImage(before);
        QSignalSpy changes(&rig.state, &RoomState::imageChanged);
        rig.composer.findChild<QToolButton *>(QStringLiteral("photoButton"))->click();
        QTest::qWait(20);
        QCOMPARE(rig.state.image().has_value(), attachedAfter);
        QCOMPARE(changes.isEmpty(), file != QLatin1String("picture.jpg"));
        if (attachedAfter)
            saveShot(&rig.composer, QStringLiteral("composer-photo"));
    }

    void fieldShowsItsFocus_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    // The field's box wears the focus ring while the field has the keyboard (by Tab or click),
    // none without, and the ring stands out from the box and the bar around it.
    void fieldShowsItsFocus()
    {
        QFETCH(bool, dark);
        SeededStore seeded;
        Rig rig(*seeded.store, seeded.direct);
        if (dark)
            rig.composer.setPalette(darkPalette());
        (new QLineEdit(&rig.composer))->show();
        QApplication::setActiveWindow(&rig.composer);
        QVERIFY(QTest::qWaitForWindowActive(&rig.composer));
        QWidget *box = rig.field()->parentWidget();
        QVERIFY(!rig.field()->hasFocus());
        QVERIFY(!drawsFocusRing(box));
        for (const Qt::FocusReason reason : {Qt::TabFocusReason, Qt::MouseFocusReason}) {
            rig.field()->setFocus(reason);
            QVERIFY(drawsFocusRing(box));
            saveShot(&rig.composer, QStringLiteral("composer-focus-") + QTest::currentDataTag());
            rig.field()->clearFocus();
            QVERIFY(!drawsFocusRing(box));
        }
        const QPalette &colours = box->palette();
        const QColor ring = colours.color(QPalette::Highlight);
        for (const QPalette::ColorRole around : {QPalette::Base, QPalette::Window})
            QVERIFY2(
                ChatColor::contrast(ring, colours.color(around)) >= 3,
                qPrintable(ring.name() + QStringLiteral(" on ") + colours.color(around).name()));
    }

    void fieldGrowsWithItsText()
    {
        SeededStore seeded;
        Rig rig(*seeded.store, seeded.direct);
        QSignalSpy pins(&rig.state, &RoomState::bottomPinChanged);
        QApplication::setActiveWindow(&rig.composer);
        QVERIFY(QTest::qWaitForWindowActive(&rig.composer));
        QTest::mouseClick(rig.field()->viewport(), Qt::LeftButton);
        QCOMPARE(pins.size(), 1);
        QCOMPARE(rig.field()->height(), ComposerField::shortest);
        // One line (and the placeholder with it) sits in the middle of the field.
        const qreal line
            = rig.field()->viewport()->y() + QRectF(rig.field()->cursorRect()).center().y();
        QVERIFY(qAbs(line - ComposerField::shortest / 2.0) <= 1);
        rig.state.setDraft(QStringLiteral("한 줄\n").repeated(9) + QStringLiteral("열 줄"));
        QCOMPARE(rig.field()->height(), ComposerField::tallest);
        rig.state.setDraft(QStringLiteral("한 줄"));
        QCOMPARE(rig.field()->height(), ComposerField::shortest);
        // Two lines fit without scrolling.
        rig.state.setDraft(QStringLiteral("한 줄\n두 줄"));
        QCOMPARE(rig.field()->verticalScrollBar()->maximum(), 0);
        QCOMPARE(rig.field()->sizeHint().width(), 240);
    }
};

QTEST_MAIN(TestComposer)
#include "tst_composer.moc"
