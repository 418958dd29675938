#pragma once

#include "model/ChatMessage.h"
#include "model/HandOver.h"
#include "ui/workspace/BottomFollow.h"
#include "ui/workspace/TranscriptListView.h"

#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

class LocalStore;
class RoomState;
class QMenu;
class QPushButton;
class TranscriptAnnouncer;
class TranscriptModel;

// The room's transcript: older-messages button, first-load spinner, day separators and message
// rows, following the newest message, with the "새 메시지" button laid over it.
//
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
    const BottomFollow &followState() const { return *m_follow; }
    // Speaks others' new messages to a screen reader.
    TranscriptAnnouncer &announcer() const { return *m_announcer; }

    // The menu of `message`, parented to `parent`: menuItems(), then one item per link of the
    // text shown; null when there is none of them.
    QMenu *menuFor(const ChatMessage &message, QWidget *parent);
    // The message's own items, as actions for the keyboard and screen readers: "답장", "복사",
    // "삭제", "신고" for somebody else's message and "재전송" for one's own that failed; none
    // for system lines and deleted messages.
    QList<TranscriptAction> menuItems(const ChatMessage &message);
    // Puts the message on the clipboard: its photo when it has one that decodes, else its
    // text. The clipboard is emptied at once; a photo arrives there once decoded, off the main
    // thread, a moment later.
    static void copy(const ChatMessage &message);

signals:
    void mediaRequested(const QUuid &messageId);
    void reportRequested(const ReportDraft &draft);
    // Escape in the transcript: the keyboard goes back to the message field.
    void composerRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void connectList();
    // Reveal the notified message, else pin; then load the room.
    void arrive();
    void loadRoom();
    void loaded();
    void pinToBottom();
    bool revealPush();
    void handleAnchor(const TranscriptAnchor &anchor);
    void idsChanged();
    void pushTargetChanged();
    // Pins to the end and marks the room read ("새 메시지", or a new message while following).
    void showNewest();
    void showMenu(const QUuid &messageId, const QPoint &globalPosition, bool fromKeyboard);
    // The keyboard moved the current message: on the newest the view follows it, elsewhere the
    // view stays on it.
    void currentMoved(const QUuid &messageId);
    // The keyboard's current message stands above the newest: nothing pulls the view down.
    bool holdsCurrent() const;
    // Sends a failed message again as a new message: a photo with its bytes goes again as a
    // photo with its caption, anything else as its text; the reply link goes along.
    void resend(const QUuid &messageId);
    void updateHeader();
    void placeNewMessage();
    void styleNewMessage();

    LocalStore &m_store;
    RoomState &m_room;
    TranscriptModel *m_model;
    TranscriptListView *m_list;
    QPushButton *m_newMessage;
    TranscriptAnnouncer *m_announcer;
    // Shared with the running pins, so that it outlives whichever ends last.
    std::shared_ptr<BottomFollow> m_follow;
    std::optional<QUuid> m_lastId; // the last visible message when the ids were last looked at
    QTimer m_idsTimer; // the id trigger runs once per turn of the event loop, after the store
    bool m_onScreen = false;
    bool m_loading = false; // the room's first load is in flight
};
