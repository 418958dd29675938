#include "WorkspaceTestSupport.h"

#include "ui/workspace/Composer.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/RoomView.h"
#include "ui/workspace/TranscriptListView.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>

// The room pane: its header, which content it shows, and the delete confirmation.
class TestRoomPane : public QObject
{
    Q_OBJECT

    struct Rig
    {
        explicit Rig(LocalStore &store, const QUuid &roomId)
            : pane(store, nav, roomId)
        {
            QObject::connect(&pane, &RoomView::roomInfoRequested, &nav, &Navigation::setRoomInfo);
            pane.resize(720, 560);
            pane.show();
        }
        Navigation nav;
        RoomView pane;
        RoomTitleButton *title() const { return pane.titleButton(); }
        QToolButton *mute() const { return pane.muteButton(); }
    };

private slots:
    void initTestCase() { privateFolders(); }

    // The room is the visible one for as long as its pane is on screen, information panel
    // included; a pane going leaves another pane's claim alone.
    void visibleRoomBelongsToThePane()
    {
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        auto rig = std::make_unique<Rig>(store, seeded.group);
        QCOMPARE(store.visibleRoomID(), std::optional(seeded.group));
        rig->nav.setRoomInfo(true);
        QCOMPARE(store.visibleRoomID(), std::optional(seeded.group));
        rig->pane.hide();
        QCOMPARE(store.visibleRoomID(), std::nullopt);
        rig->pane.show();
        const QUuid other = QUuid::createUuid();
        store.setVisibleRoomID(other);
        rig.reset();
        QCOMPARE(store.visibleRoomID(), std::optional(other));
    }

    void header_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("official");
        QTest::addColumn<QString>("subtitle");
        QTest::newRow("direct room: the peer, no second line") << 0 << "한소라" << false << "";
        QTest::newRow("group: its member count") << 1 << "주말 산행" << false << "3명";
        QTest::newRow("official account") << 2 << "Zumo" << true << "";
        QTest::newRow("unknown room: empty, no switch") << 3 << "" << false << "";
    }
    void header()
    {
        QFETCH(int, which);
        SeededStore seeded;
        const QUuid ids[] = {seeded.direct, seeded.group, seeded.house, QUuid::createUuid()};
        Rig rig(*seeded.store, ids[which]);
        QTEST(rig.title()->title(), "title");
        QTEST(rig.title()->official(), "official");
        QTEST(rig.title()->subtitle(), "subtitle");
        QCOMPARE(rig.title()->accessibleDescription(), QStringLiteral("대화 정보"));
        QVERIFY(rig.title()->height() >= 44);
        const bool known = which != 3;
        QCOMPARE(rig.mute()->isVisible(), known);
    }

    // Someone typing replaces the second line, in any room (the store reports typing only with
    // the service).
    void typingShowsUnderTheTitle()
    {
        LivePair pair;
        LocalStore *store = pair.open();
        QVERIFY(store);
        Rig rig(*store, pair.room);
        QCOMPARE(rig.title()->subtitle(), QString());
        store->setTypingState({{pair.room, pair.peer}});
        QTRY_COMPARE(rig.title()->subtitle(), QStringLiteral("입력 중"));
    }

    void muteFollowsTheRoom()
    {
        SeededStore seeded;
        Rig rig(*seeded.store, seeded.group);
        QCOMPARE(rig.mute()->accessibleName(), QStringLiteral("알림 끄기"));
        QCOMPARE(rig.mute()->size(), QSize(44, 44));
        rig.mute()->click();
        QVERIFY(seeded.store->conversation(seeded.group)->muted);
        QTRY_COMPARE(rig.mute()->accessibleName(), QStringLiteral("알림 켜기"));
        rig.mute()->click();
        QVERIFY(!seeded.store->conversation(seeded.group)->muted);
        QTRY_COMPARE(rig.mute()->accessibleName(), QStringLiteral("알림 끄기"));
        // Two presses before the header is redrawn switch it on and off again.
        rig.mute()->click();
        rig.mute()->click();
        QVERIFY(!seeded.store->conversation(seeded.group)->muted);
    }

    // Loading until the store has the room; the information panel in place of transcript and
    // composer while asked for, under the same header.
    void contentFollowsTheStoreAndTheInfoFlag()
    {
        SeededStore seeded;
        Conversation later
            = room(ConversationKind::group, {member(seeded.me), member(SeedID::sora())},
                   QStringLiteral("나중 방"));
        Rig rig(*seeded.store, later.id);
        QCOMPARE(rig.pane.content(), RoomView::Content::loading);
        QCOMPARE(rig.pane.findChild<QLabel *>(QStringLiteral("loadingLabel"))->text(),
                 QStringLiteral("대화를 불러오는 중"));
        saveShot(&rig.pane, QStringLiteral("room-loading"));
        seeded.store->editConversations([&](QList<Conversation> &rooms) { rooms.append(later); });
        QTRY_COMPARE(rig.pane.content(), RoomView::Content::transcript);
        QCOMPARE(rig.title()->title(), QStringLiteral("나중 방"));
        QVERIFY(rig.pane.composer());

        QTest::mouseClick(rig.title(), Qt::LeftButton);
        QVERIFY(rig.nav.roomInfo());
        QCOMPARE(rig.pane.content(), RoomView::Content::info);
        QTRY_VERIFY(!rig.pane.composer());
        QTest::mouseClick(rig.title(), Qt::LeftButton);
        QVERIFY(rig.nav.roomInfo());
        buttonWithText(&rig.pane, QStringLiteral("닫기"))->click();
        QVERIFY(!rig.nav.roomInfo());
        QCOMPARE(rig.pane.content(), RoomView::Content::transcript);
    }

    // Escape in the transcript hands the keyboard back to the message field.
    void escapeInTheTranscriptReturnsToTheField()
    {
        SeededStore seeded;
        Rig rig(*seeded.store, seeded.group);
        QTRY_VERIFY(rig.pane.composer());
        auto *transcript = rig.pane.findChild<TranscriptListView *>();
        QVERIFY(transcript);
        rig.pane.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.pane));
        transcript->setFocus(Qt::TabFocusReason);
        QVERIFY(transcript->hasFocus());
        QTest::keyClick(transcript, Qt::Key_Escape);
        QVERIFY(rig.pane.composer()->field()->hasFocus());
    }

    void deleteConfirmation_data()
    {
        QTest::addColumn<bool>("mine");
        QTest::addColumn<QString>("answer"); // "" dismisses the dialog
        QTest::addColumn<bool>("failed"); // the send failed: the service never had it
        QTest::newRow("mine, for me") << true << "나에게만 삭제" << false;
        QTest::newRow("mine, for everyone") << true << "모두에게 삭제" << false;
        QTest::newRow("mine, cancelled") << true << "취소" << false;
        QTest::newRow("mine, failed: only here") << true << "나에게만 삭제" << true;
        QTest::newRow("someone else's: for me only") << false << "나에게만 삭제" << false;
        QTest::newRow("dismissed") << false << "" << false;
    }
    void deleteConfirmation()
    {
        QFETCH(bool, mine);
        QFETCH(QString, answer);
        QFETCH(bool, failed);
        SeededStore seeded;
        LocalStore &store = *seeded.store;
        const QUuid id = mine ? *store.sendText(seeded.direct, QStringLiteral("지울 글"))
                              : store.visibleMessages(seeded.direct).first().id;
        if (failed) {
            // Once the local delivery has run its course, which the store must outlive.
            QTRY_COMPARE(store.message(id)->delivery, DeliveryState::sent);
            store.editMessages([&](MessageIndex &index) {
                index.update(index.find(id),
                             [](ChatMessage &m) { m.delivery = DeliveryState::failed; });
            });
        }
        Rig rig(store, seeded.direct);
        rig.pane.state().setDeleteTarget(store.message(id));

        QMessageBox *dialog = rig.pane.deleteDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(dialog->text(), QStringLiteral("삭제"));
        QStringList shown;
        for (QAbstractButton *button : dialog->buttons())
            shown << button->text();
        const bool forEveryone = mine && !failed;
        QCOMPARE(shown.size(), forEveryone ? 3 : 2);
        QCOMPARE(shown.contains(QStringLiteral("모두에게 삭제")), forEveryone);
        if (answer.isEmpty())
            dialog->reject();
        else
            buttonWithText(dialog, answer)->click();

        QVERIFY(!rig.pane.state().deleteTarget());
        const auto message = store.message(id);
        QCOMPARE(message->hiddenForMe, answer == QStringLiteral("나에게만 삭제"));
        QCOMPARE(message->kind == MessageKind::deleted, answer == QStringLiteral("모두에게 삭제"));
    }
};

QTEST_MAIN(TestRoomPane)
#include "tst_roompane.moc"
