#include "api/ChatEvent.h"

ChatEvent ChatEvent::makeMessage(const APIMessage &message)
{
    ChatEvent e;
    e.kind = Kind::message;
    e.message = message;
    return e;
}

ChatEvent ChatEvent::makeRead(const QUuid &conversationId, const QUuid &userId, qint64 seq)
{
    ChatEvent e;
    e.kind = Kind::read;
    e.conversationId = conversationId;
    e.userId = userId;
    e.seq = seq;
    return e;
}

ChatEvent ChatEvent::makeTyping(const QUuid &conversationId, const QUuid &userId, bool active)
{
    ChatEvent e;
    e.kind = Kind::typing;
    e.conversationId = conversationId;
    e.userId = userId;
    e.active = active;
    return e;
}

ChatEvent ChatEvent::makeConversationChanged(const QUuid &conversationId)
{
    ChatEvent e;
    e.kind = Kind::conversationChanged;
    e.conversationId = conversationId;
    return e;
}

ChatEvent ChatEvent::makeFriendRequest()
{
    return ChatEvent{};
}
