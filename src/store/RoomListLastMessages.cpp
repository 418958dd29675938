#include "store/RoomListLastMessages.h"

#include "api/WireTypes.h"
#include "store/LocalStore.h"
#include "store/WireTime.h"

RoomListLastMessages &RoomListLastMessages::of(LocalStore &store)
{
    return store.listedLastMessages();
}

RoomListLastMessages::RoomListLastMessages(LocalStore &store)
{
    // Another user's rooms must not show what the last one's list said.
    connect(&store, &LocalStore::sessionChanged, this, [this, &store] {
        if (!store.session() && !m_rooms.isEmpty()) {
            m_rooms.clear();
            emit changed();
        }
    });
}

void RoomListLastMessages::adopt(const QList<APIConversation> &rooms)
{
    QHash<QUuid, Listed> kept;
    kept.reserve(rooms.size());
    for (const APIConversation &room : rooms) {
        if (!room.lastMessage)
            continue;
        const APIMessage &m = *room.lastMessage;
        Listed listed;
        listed.kind = fromRawText<MessageKind>(m.type).value_or(MessageKind::text);
        // The body as the store keeps a message's (LocalStore::mapMessage()).
        if (listed.kind == MessageKind::image && m.body.value_or(QString()).isEmpty())
            listed.body = kPhotoText;
        else if (listed.kind != MessageKind::deleted)
            listed.body = m.body.value_or(QString());
        listed.createdAt = m.createdAt;
        kept.insert(room.id, std::move(listed));
    }
    m_rooms = std::move(kept);
    emit changed();
}

std::optional<ChatMessage> RoomListLastMessages::lastMessage(const QUuid &roomId) const
{
    const auto found = m_rooms.constFind(roomId);
    if (found == m_rooms.cend())
        return std::nullopt;
    ChatMessage m;
    m.conversationId = roomId;
    m.kind = found->kind;
    m.body = found->body;
    m.createdAt = parseWireTime(found->createdAt).value_or(QDateTime());
    return m;
}
