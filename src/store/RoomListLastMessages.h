#pragma once

#include "model/ChatMessage.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

class LocalStore;
struct APIConversation;

// The last message of each room as the latest room list named it, kept beside the messages the
// store holds, for the room list's rows alone: only the newest rooms are synced, and a room whose
// messages were never fetched still shows when it was last active and with what. Nothing here
// enters the store's messages: a room holds no message until it is opened or synced. One per
// store (of()), which hands it every room list it applies; forgotten at sign-out.
class RoomListLastMessages : public QObject
{
    Q_OBJECT
public:
    // The store's own (LocalStore::listedLastMessages()), made on first use.
    static RoomListLastMessages &of(LocalStore &store);
    // Forgets the rooms when the store's session ends; the store owns it.
    explicit RoomListLastMessages(LocalStore &store);

    // The rooms of a room list replace those named before.
    void adopt(const QList<APIConversation> &rooms);
    // What the list said of the room's last message: its kind, its body as the store would hold
    // it and its time (invalid when the list gave none that reads as a time); none when the
    // room had no last message in the list, or was not in it.
    std::optional<ChatMessage> lastMessage(const QUuid &roomId) const;

signals:
    // What the list says of these rooms' last messages came, went or changed: another room list
    // said something else of them, or the one kept was forgotten. A list that says what the one
    // before said of every room signals nothing.
    void changed(const QList<QUuid> &roomIds);

private:
    // What a row needs of a message, the time still as the service wrote it: most rooms are
    // never shown, so the time is read only for those that are.
    struct Listed
    {
        MessageKind kind = MessageKind::text;
        QString body;
        std::optional<QString> createdAt;

        friend bool operator==(const Listed &, const Listed &) = default;
    };
    QHash<QUuid, Listed> m_rooms;
};
