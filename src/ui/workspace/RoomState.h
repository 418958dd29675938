#pragma once

#include "model/ChatMessage.h"
#include "ui/common/ChangeNotify.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

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

    // The room's first load is in flight.
    bool loading() const { return m_loading; }
    void setLoading(bool loading)
    {
        assignNotifying(this, m_loading, loading, &RoomState::loadingChanged);
    }

signals:
    void draftChanged();
    void imageChanged();
    void replyChanged();
    void replyChosen();
    void deleteTargetChanged();
    void pendingNewChanged();
    void bottomPinChanged();
    void loadingChanged();

private:
    QUuid m_conversationId;
    QString m_draft;
    std::optional<QByteArray> m_image;
    std::optional<ChatMessage> m_reply;
    std::optional<ChatMessage> m_deleteTarget;
    bool m_pendingNew = false;
    int m_bottomPin = 0;
    bool m_loading = false;
};
