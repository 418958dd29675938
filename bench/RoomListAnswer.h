#pragma once

// The room list as the service answers it, for the benchmarks that read or show it.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

// The signed-in user of the answer below: a member of every room. A store signed in as anyone
// else lists none of them.
inline const QUuid roomListAnswerMe{QStringLiteral("5b0c7d2e-8f1a-4c3b-9d6e-2a4f8b1c0e73")};

// The room-list answer of `roomCount` rooms as the service sends it: snake_case keys, two
// members with names each (roomListAnswerMe and another), and a last message.
inline QByteArray roomListAnswer(int roomCount)
{
    const auto id = [](const QUuid &u) { return u.toString(QUuid::WithoutBraces); };
    const QString me = id(roomListAnswerMe);
    QJsonArray rooms;
    for (int i = 0; i < roomCount; ++i) {
        const QString room = id(QUuid::createUuid());
        const QString peer = id(QUuid::createUuid());
        const auto member = [](const QString &user, const QString &role, const QString &handle,
                               const QString &name) {
            return QJsonObject{{"user_id", user},
                               {"role", role},
                               {"kind", "person"},
                               {"handle", handle},
                               {"display_name", name},
                               {"avatar_url", QJsonValue::Null},
                               {"accepts_user_messages", true},
                               {"left_at", QJsonValue::Null}};
        };
        const QJsonObject last{
            {"id", id(QUuid::createUuid())},
            {"conversation_id", room},
            {"seq", 1 + i % 500},
            {"sender_id", peer},
            {"client_msg_id", id(QUuid::createUuid())},
            {"type", "text"},
            {"origin", "user"},
            {"body", QStringLiteral("안녕하세요, 오늘 회의는 %1시입니다").arg(i % 24)},
            {"created_at", "2026-01-31T09:30:00.123Z"},
            {"attachments", QJsonArray()}};
        rooms.append(QJsonObject{
            {"id", room},
            {"type", i % 5 ? "direct" : "group"},
            {"title", i % 5 ? QJsonValue(QJsonValue::Null) : QStringLiteral("모임 %1").arg(i)},
            {"muted", i % 7 == 0},
            {"pinned", i % 50 == 0},
            {"unread_count", i % 3},
            {"last_message", last},
            {"members",
             QJsonArray{member(me, "owner", "me", QStringLiteral("나")),
                        member(peer, "member", QStringLiteral("peer%1").arg(i),
                               QStringLiteral("상대 %1").arg(i))}}});
    }
    return QJsonDocument(QJsonObject{{"conversations", rooms}}).toJson(QJsonDocument::Compact);
}
