#pragma once

#include "model/ChatMessage.h"
#include "model/HandOver.h"
#include "ui/common/ChangeNotify.h"
#include "ui/workspace/Composer.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <optional>

class LocalStore;
class Navigation;
class QVBoxLayout;
class QToolButton;

// The room pane's own state, shared by the pane, its transcript and its composer for as long as
// the pane shows one room. Every setter signals only on a real change, except bumpBottomPin(),
// which is a change by definition.
class RoomState : public QObject
{
    Q_OBJECT
public:
    explicit RoomState(const QUuid &conversationId, QObject *parent = nullptr)
        : QObject(parent)
        , m_conversationId(conversationId)
    { }

    QUuid conversationId() const { return m_conversationId; }

    // The composer's text; each change re-pins the transcript.
    QString draft() const { return m_draft; }
    void setDraft(const QString &text)
    {
        assignNotifying(this, m_draft, text, &RoomState::draftChanged);
    }

    // The photo attached in the composer.
    std::optional<QByteArray> image() const { return m_image; }
    void setImage(const std::optional<QByteArray> &jpeg)
    {
        assignNotifying(this, m_image, jpeg, &RoomState::imageChanged);
    }

    // The message being answered: set by the transcript's "답장", shown and cleared by the
    // composer.
    std::optional<ChatMessage> reply() const { return m_reply; }
    // The user chose "답장" on `message`: the reply target, and the one moment at which the
    // message field takes the keyboard (replyChosen()).
    void chooseReply(const ChatMessage &message)
    {
        setReply(message);
        emit replyChosen();
    }
    void setReply(const std::optional<ChatMessage> &message)
    {
        assignNotifying(this, m_reply, message, &RoomState::replyChanged);
    }

    // The message whose deletion the pane is asking about: set by the transcript's "삭제".
    std::optional<ChatMessage> deleteTarget() const { return m_deleteTarget; }
    void setDeleteTarget(const std::optional<ChatMessage> &message)
    {
        assignNotifying(this, m_deleteTarget, message, &RoomState::deleteTargetChanged);
    }

    // A new message arrived while the reader was away from the bottom: the "새 메시지" button.
    bool pendingNew() const { return m_pendingNew; }
    void setPendingNew(bool pending)
    {
        assignNotifying(this, m_pendingNew, pending, &RoomState::pendingNewChanged);
    }

    // Raised by the composer when its field gains focus and at every send; each raise re-pins.
    int bottomPin() const { return m_bottomPin; }
    void bumpBottomPin()
    {
        ++m_bottomPin;
        emit bottomPinChanged();
    }

signals:
    void draftChanged();
    void imageChanged();
    void replyChanged();
    void replyChosen();
    void deleteTargetChanged();
    void pendingNewChanged();
    void bottomPinChanged();

private:
    QUuid m_conversationId;
    QString m_draft;
    std::optional<QByteArray> m_image;
    std::optional<ChatMessage> m_reply;
    std::optional<ChatMessage> m_deleteTarget;
    bool m_pendingNew = false;
    int m_bottomPin = 0;
};

// The room's title as one button: the title in the headline font with "공식" after an official
// account's name, and under it the typing text or a group's member count. Pressing it opens
// the room's information.
class RoomTitleButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit RoomTitleButton(QWidget *parent = nullptr);

    void setLines(const QString &title, bool official, const QString &subtitle);
    QString title() const { return m_title; }
    bool official() const { return m_official; }
    QString subtitle() const { return m_subtitle; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    QString m_title;
    bool m_official = false;
    QString m_subtitle;
    bool m_focusRing = false; // the focus came from the keyboard
};

// One open room: the header row (the title button and, while the room exists, the mute switch),
// a divider, and under them the loading view while the store does not have the room yet, else
// the transcript with the composer, or the room's information panel while the navigation asks
// for it. The pane's own state lives as long as the pane (one room). What the pane opens or
// closes beyond itself it asks the workspace for, by its signals.
class RoomView : public QWidget
{
    Q_OBJECT
public:
    enum class Content { none, loading, transcript, info };

    RoomView(LocalStore &store, const Navigation &navigation, const QUuid &conversationId,
             QWidget *parent = nullptr);

    QUuid conversationId() const { return m_state->conversationId(); }
    // Gives the message field the keyboard, now or as soon as the transcript shows.
    void takeKeyboard();
    RoomState &state() { return *m_state; }
    RoomTitleButton *titleButton() const { return m_title; }
    QToolButton *muteButton() const { return m_mute; }
    Content content() const { return m_shown; }
    Composer *composer() const { return m_composer; }
    QMessageBox *deleteDialog() const { return m_deleteDialog; }

    ~RoomView() override;

signals:
    // The title opens the information panel; the panel's own close shuts it.
    void roomInfoRequested(bool shown);
    void profileRequested(const QUuid &userId);
    // The user left the room from its information panel.
    void left();
    void reportRequested(const ReportDraft &draft);
    void mediaRequested(const QUuid &messageId);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void disappeared();
    void refresh();
    void present(Content content);
    QWidget *createHeader();
    QWidget *createTranscript();
    QWidget *createInfoPanel();
    void followDeleteTarget();

    LocalStore &m_store;
    const Navigation &m_navigation;
    RoomState *m_state;
    RoomTitleButton *m_title;
    QToolButton *m_mute;
    std::optional<bool> m_muteShown; // the state the button's icon and name show
    QVBoxLayout *m_layout;
    Content m_shown = Content::none;
    bool m_onScreen = false;
    bool m_left = false; // the navigation has moved on to another page; this pane is going
    bool m_writePending = false;
    QPointer<QWidget> m_content;
    QPointer<Composer> m_composer;
    QPointer<QMessageBox> m_deleteDialog;
    QUuid m_deleteAsked; // the message the open dialog asks about
};
