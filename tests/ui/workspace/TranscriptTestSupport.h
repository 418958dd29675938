#pragma once

// A local store signed in as "나" with a peer "상대" and a direct room between them, and
// builders for the room's messages.

#include "StoreTestSupport.h"
#include "UiTestSupport.h"

struct TranscriptRig
{
    explicit TranscriptRig(ConversationKind kind = ConversationKind::direct)
    {
        privateFolders();
        store = memoryStore(10ms);
        me = signInLocally(*store);
        Account other = person(QStringLiteral("peer"), QStringLiteral("상대"));
        peer = other.id;
        store->editAccounts([&](QList<Account> &list) { list.append(other); });
        Conversation c = room(kind, {member(me), member(peer)});
        roomId = c.id;
        store->editConversations([&](QList<Conversation> &list) { list.append(c); });
        start = QDateTime(QDate(2024, 3, 5), QTime(9, 5));
    }

    // A message of `sender` `seconds` after the start, after every message of the room.
    ChatMessage message(const QUuid &sender, qint64 seconds, const QString &body = {},
                        MessageKind kind = MessageKind::text)
    {
        ChatMessage m
            = textMessage(roomId, sender, store->messageIndex().highestSeq(roomId).value_or(0) + 1,
                          body.isEmpty() ? QStringLiteral("안녕") : body);
        m.kind = kind;
        m.createdAt = start.addSecs(seconds);
        return m;
    }
    ChatMessage add(const QUuid &sender, qint64 seconds, const QString &body = {},
                    MessageKind kind = MessageKind::text)
    {
        const ChatMessage m = message(sender, seconds, body, kind);
        store->editMessages([&](MessageIndex &index) { index.append(m); });
        return m;
    }
    void addMany(int count)
    {
        store->editMessages([&](MessageIndex &index) {
            for (int i = 0; i < count; ++i) {
                ChatMessage m
                    = textMessage(roomId, i % 3 ? peer : me, i + 1,
                                  QStringLiteral("메시지 %1 ").arg(i).repeated(1 + i % 4));
                m.createdAt = start.addSecs(i * 400);
                index.append(m);
            }
        });
    }
    QList<QUuid> visibleIds() const
    {
        QList<QUuid> ids;
        for (const ChatMessage &m : store->visibleMessages(roomId))
            ids.append(m.id);
        return ids;
    }

    std::unique_ptr<LocalStore> store;
    QUuid me, peer, roomId;
    QDateTime start;
};
