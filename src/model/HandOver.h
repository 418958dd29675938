#pragma once

#include <QUuid>

#include <optional>

// Small requests carried from the store to the views (and between views) by value. Each carries
// a UUID made fresh for every request (`token` or `id`), so a second request for the same room
// still differs from the first and is seen as a change.

// Open a room, and bring one of its messages into view, after a notification click.
struct PushOpen
{
    QUuid token;
    QUuid conversationId;
    std::optional<QUuid> messageId; // empty: just open the room

    friend bool operator==(const PushOpen &, const PushOpen &) = default;
};

// Open the room reached through an accepted invite.
struct InviteFollow
{
    QUuid token;
    QUuid conversationId;

    friend bool operator==(const InviteFollow &, const InviteFollow &) = default;
};

// A pending friend request met by opening another user's invite link. Identified by `id`.
struct InviteOutcome
{
    QUuid id;
    QUuid requestId;
    std::optional<QUuid> userId; // the link's maker, when the service names one

    friend bool operator==(const InviteOutcome &, const InviteOutcome &) = default;
};

// The target of the report sheet. Identified by `id`.
struct ReportDraft
{
    QUuid id;
    QUuid userId;
    std::optional<QUuid> messageId; // empty when the account itself is reported

    friend bool operator==(const ReportDraft &, const ReportDraft &) = default;
};

size_t qHash(const ReportDraft &value, size_t seed = 0);
