#pragma once

#include "model/ChatMessage.h"

class LocalStore;
class RoomState;
class TranscriptView;
class QMenu;
class QWidget;

// What a message of the transcript offers: its context menu, copying it, and sending a failed
// message again.
class TranscriptActions
{
public:
    // A report is asked for through `view`'s reportRequested().
    TranscriptActions(LocalStore &store, RoomState &room, TranscriptView &view);

    // The menu of `message`, parented to `parent`; null for system lines and deleted
    // messages. "답장", "복사", "삭제" and, for somebody else's message, "신고".
    QMenu *menuFor(const ChatMessage &message, QWidget *parent) const;

    // Puts the message on the clipboard: its photo when it has one that decodes, else its
    // text. The clipboard is emptied at once; a photo arrives there once decoded, off the main
    // thread, a moment later.
    static void copy(const ChatMessage &message);

    // Sends a failed message again as a new message: a photo with its bytes goes again as a
    // photo with its caption, anything else as its text; the reply link goes along.
    void resend(const ChatMessage &message) const;

private:
    bool isMine(const ChatMessage &message) const;

    LocalStore &m_store;
    RoomState &m_room;
    TranscriptView &m_view;
};
