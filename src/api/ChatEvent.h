#pragma once

#include "api/WireTypes.h"

#include <QUuid>

// One live event from the service's socket, handed to the store through ChatClient::onEvent.
struct ChatEvent
{
    enum class Kind { message, read, typing, conversationChanged, friendRequest };

    Kind kind = Kind::friendRequest;
    APIMessage message; // message
    QUuid conversationId; // read, typing, conversationChanged
    QUuid userId; // read, typing
    qint64 seq = 0; // read
    bool active = false; // typing

    static ChatEvent makeMessage(const APIMessage &message);
    static ChatEvent makeRead(const QUuid &conversationId, const QUuid &userId, qint64 seq);
    static ChatEvent makeTyping(const QUuid &conversationId, const QUuid &userId, bool active);
    static ChatEvent makeConversationChanged(const QUuid &conversationId);
    static ChatEvent makeFriendRequest();

    friend bool operator==(const ChatEvent &, const ChatEvent &) = default;
};
