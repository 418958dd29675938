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
            const QList<QUuid> forgotten = m_rooms.keys();
            m_rooms.clear();
            emit changed(forgotten);
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
        listed.body = storedBody(listed.kind, m.body);
        listed.createdAt = m.createdAt;
        kept.insert(room.id, std::move(listed));
    }
    // The same list comes again and again (each reload, reconnection, return to the window):
    // only the rooms it says something new of are named.
    QList<QUuid> differing;
    for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
        const auto before = m_rooms.constFind(it.key());
        if (before == m_rooms.cend() || !(*before == *it))
            differing.append(it.key());
    }
    for (auto it = m_rooms.cbegin(); it != m_rooms.cend(); ++it) {
        if (!kept.contains(it.key()))
            differing.append(it.key());
    }
    m_rooms = std::move(kept);
    if (!differing.isEmpty())
        emit changed(differing);
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
