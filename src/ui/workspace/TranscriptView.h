#pragma once

#include "model/HandOver.h"
#include "ui/workspace/BottomFollow.h"

#include <QCoroTask>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

class LocalStore;
class RoomState;
class QPushButton;
class TranscriptActions;
class TranscriptDelegate;
class TranscriptListView;
class TranscriptModel;

// The room's transcript: older-messages button, first-load spinner, day separators and message
// rows, following the newest message, with the "새 메시지" button laid over it.
//
// While it is on screen the room counts as the visible room of the store (set when it is
// shown, cleared when it is hidden unless another room took it meanwhile) and is marked read.
// Each time it comes on screen (again after the information panel) it reveals the message of a
// notification or pins to the end, and loads the room. A notification for this room that
// arrives while it is on screen is followed the same way.
class TranscriptView : public QWidget
{
    Q_OBJECT
public:
    TranscriptView(LocalStore &store, RoomState &room, QWidget *parent = nullptr);
    ~TranscriptView() override;

    TranscriptModel &model() const { return *m_model; }
    TranscriptListView &list() const { return *m_list; }
    QPushButton *newMessageButton() const { return m_newMessage; }
    const BottomFollowState &followState() const { return *m_scrollSession; }
    const TranscriptActions &actions() const { return *m_actions; }

signals:
    void mediaRequested(const QUuid &messageId);
    void reportRequested(const ReportDraft &draft);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void connectList();
    void appeared();
    void disappeared();
    // Reveal the notified message, else pin; then load the room.
    void arrive();
    QCoro::Task<> loadRoom();
    void pinToBottom();
    bool revealPush();
    void handleAnchor(const TranscriptAnchor &anchor);
    void idsChanged();
    void pushTargetChanged();
    void newMessagePressed();
    void showMenu(const QUuid &messageId, const QPoint &globalPosition);
    void resend(const QUuid &messageId);
    void updateHeader();
    void placeNewMessage();
    void styleNewMessage();

    LocalStore &m_store;
    RoomState &m_room;
    QUuid m_roomId;
    TranscriptModel *m_model;
    TranscriptDelegate *m_delegate;
    TranscriptListView *m_list;
    QPushButton *m_newMessage;
    std::unique_ptr<TranscriptActions> m_actions;
    std::shared_ptr<BottomFollowState> m_scrollSession;
    std::optional<QUuid> m_lastId; // the last visible message when the ids were last looked at
    QTimer m_idsTimer; // the id trigger runs once per turn of the event loop, after the store
    bool m_onScreen = false;
};
