#pragma once

#include "model/ChatMessage.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <QCoroTask>

#include <exception>
#include <optional>

class LocalStore;
struct APIConversation;
struct SyncRoom;

// How the store catches up with the service once a room list came (start-up, a refresh, the
// reconnect after the socket was away): which rooms' sync pages it asks for, in requests of at
// most 50 rooms; the seq each room is asked from (its floor); the stretch fetched when a page
// stops short of what a room holds (a gap fill); and how a page joins what the room holds.
// Between runs it remembers the sends that ended without an answer (looked for at the next
// run), what the room lists said of each room as far as its pages came, and what only this
// client knew of messages let go below a gap too long to fill.
//
// The store owns one and drives it (LocalStore::reloadRemote()); it lives on the main thread.
class CatchUp
{
public:
    // The rooms of one sync request.
    static constexpr int kRoomLimit = 50;
    // The service's page size: a full page means that older messages may exist.
    static constexpr int kPageSize = 50;
    // How many messages a gap fill brings at most before the held messages below it are let go
    // instead (scrolling up then loads them in order).
    static constexpr int kGapBound = 1000;

    explicit CatchUp(LocalStore &store);
    CatchUp(const CatchUp &) = delete;
    CatchUp &operator=(const CatchUp &) = delete;

    // Follows a room list the service just sent, already applied to the store, with the sync
    // pages of its rooms. With `announceNew` (the reconnect), the messages from others that the
    // pages bring above what the store knew of a room (what it held, or else what an earlier
    // list said and a page of the room brought) are announced as arrived, as live events would
    // have been; a room new to the list knows nothing and its messages are history. Never throws: a
    // failure shows as the store's notice and ends the pages; a store gone meanwhile ends the run.
    QCoro::Task<> run(QList<APIConversation> rooms, bool announceNew);

    // Sync pages that came without a run: nothing fetched joins them to what rooms hold. With
    // `announceNew`, new messages of rooms that held messages are announced.
    void applyPages(const QList<SyncRoom> &pages, bool announceNew);

    // The seq a room is asked from: its newest confirmed message, or lower, so that the sends
    // that ended without an answer fall inside its page.
    qint64 floor(const QUuid &roomId) const;
    // The cursor of one sync request: "ROOM-ID:floor" per room, joined with ",".
    QString cursor(const QList<QUuid> &roomIds) const;

    // A send ended by `failure`: when the service may still have taken it (no answer, 5xx), the
    // next run looks for it. A refusal is final.
    void noteUnsettled(const QUuid &clientMsgId, const std::exception_ptr &failure);
    // The sends still to be looked for.
    const QSet<QUuid> &unsettledSends() const { return m_unsettledSends; }

    // The messages of a room between two seqs, fetched page by page from the upper end down,
    // at most about kGapBound. `joined`: the whole stretch came, nothing lies between it and
    // `after`. Throws what the client throws.
    struct GapFill
    {
        QList<ChatMessage> messages; // ascending
        bool joined = false;
    };
    QCoro::Task<GapFill> fetchGap(QUuid roomId, qint64 after, qint64 before);

    // Puts one copy of a message into the store's messages without telling anyone (callers
    // signal once per batch): it replaces the held copy with its id or client id in place,
    // keeping what only this client knows (photo bytes and address, reply link, typed caption,
    // a send hidden before it was confirmed), or is appended. True when appended.
    bool merge(const ChatMessage &message);
    // What only this client knows of a message, carried from the copy it held into the
    // service's copy `next`: the photo bytes and address, a typed caption, and the hiding of a
    // send the service had not confirmed (the service then hears of it). The reply link follows
    // each caller's own rule.
    void carryOver(ChatMessage &next, const ChatMessage &held);
    // Whether the service's copy of a photo takes the caption typed on this client: its body is
    // the stand-in "사진" and the held photo's body is a real caption.
    static bool keepsTypedCaption(const ChatMessage &incoming, const ChatMessage &held);
    // Whether the service's copy of a held message stays hidden: the held copy is a send of mine
    // that the service had not confirmed, hidden here. Hiding such an echo tells the service
    // nothing, so the service's copy comes unhidden.
    static bool keepsHidden(const ChatMessage &held);

    // A held message let go below a gap too long to fill: what only this client knows of it (a
    // typed caption, a reply link) is kept aside, and putBack() hands it to the service's copy
    // when the message loads again.
    void keepAside(const ChatMessage &dropped);
    bool keepsAside(const QUuid &messageId) const { return m_keptAside.contains(messageId); }
    void putBack(ChatMessage &loaded);

    // One room of a list as the batching sees it.
    struct Standing
    {
        QUuid id;
        // Its newest message on the list lies above what the store knew of it, or a send that
        // ended without an answer lowered its floor: it is asked for wherever it stands.
        bool mustAsk = false;
    };
    // The rooms of each sync request: the first kRoomLimit rooms of the list, then only the
    // later ones that must be asked for, kRoomLimit to a request, in list order.
    static QList<QList<QUuid>> batches(const QList<Standing> &rooms);
    // Whether a page joins what its room holds: it brought every message above the floor, by
    // itself or with the stretch fetched below it.
    static bool joins(const SyncRoom &page, const GapFill *fill);

private:
    // The seq of the room's newest message that the service has confirmed; 0 for none.
    qint64 confirmedTop(const QUuid &roomId) const;

    struct Join
    {
        std::optional<GapFill> fill;
        bool joined = false;
    };
    // The pages of one request, with the stretches fetched to join them; the new messages from
    // others of a room in `announceAbove`, above its seq there, are announced.
    void joinPages(const QList<SyncRoom> &pages, const QHash<QUuid, Join> &joins,
                   const QHash<QUuid, qint64> &announceAbove);
    // The page's members, roles and read marks into the room and its accounts.
    void applyMembers(const SyncRoom &page);
    // Forgets the sends of `roomId` that a run has looked for (`lookedFor`), and any that are
    // confirmed or gone.
    void settleSends(const QUuid &roomId, const QSet<QUuid> &lookedFor);

    LocalStore &m_store;
    QSet<QUuid> m_unsettledSends;
    // The seq of each room's newest message as a room list named it (0: none), taken only once
    // the room's page joined what the store knew of it: for a room that holds no messages, the
    // newest one the user has been told of. The rooms of the last list.
    QHash<QUuid, qint64> m_listedSeqs;
    // Messages let go below a long gap that carried what only this client knows, by id; the
    // photo bytes are not kept (the service has them).
    QHash<QUuid, ChatMessage> m_keptAside;
};
