// The catch-up with the service after a room list came: the sync requests and their rooms, the
// floors, the gap fills, and how each page joins what its room holds.

#include "store/CatchUp.h"

#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "api/ChatPath.h"
#include "store/LocalStore.h"
#include "store/MemberAccount.h"
#include "store/StoreCall.h"
#include "store/WireTime.h"

#include <QPointer>

#include <algorithm>
#include <utility>

CatchUp::CatchUp(LocalStore &store)
    : m_store(store)
{ }

// ---------------------------------------------------------------------------------------------
// Rules

QList<QList<QUuid>> CatchUp::batches(const QList<Standing> &rooms)
{
    QList<QList<QUuid>> batches;
    for (const Standing &room : rooms) {
        if (!batches.isEmpty() && batches.first().size() == kRoomLimit && !room.mustAsk)
            continue;
        if (batches.isEmpty() || batches.last().size() == kRoomLimit)
            batches.append(QList<QUuid>());
        batches.last().append(room.id);
    }
    return batches;
}

bool CatchUp::joins(const SyncRoom &page, const GapFill *fill)
{
    return !page.hasMore || (fill && fill->joined);
}

qint64 CatchUp::confirmedTop(const QUuid &roomId) const
{
    // The newest message the service has confirmed: an echo's seq is only provisional and may
    // lie above messages the service still has to send.
    return m_store.messageIndex().highestConfirmedSeq(roomId).value_or(0);
}

qint64 CatchUp::floor(const QUuid &roomId) const
{
    const MessageIndex &messages = m_store.messageIndex();
    qint64 floor = confirmedTop(roomId);
    for (const QUuid &clientId : m_unsettledSends) {
        const MessageIndex::Entry *e = messages.findByClientId(clientId);
        // An unconfirmed send is placed just above the newest message confirmed when it was
        // sent: the service's copy, if any, lies above that one.
        if (e && e->message.conversationId == roomId && !MessageIndex::confirmed(e->message))
            floor = std::min(floor, e->place - 1);
    }
    return std::max<qint64>(floor, 0);
}

QString CatchUp::cursor(const QList<QUuid> &roomIds) const
{
    QStringList parts;
    parts.reserve(roomIds.size());
    for (const QUuid &id : roomIds)
        parts.append(wireId(id) + u':' + QString::number(floor(id)));
    return parts.join(u',');
}

// ---------------------------------------------------------------------------------------------
// Sends that ended without an answer

void CatchUp::noteUnsettled(const QUuid &clientMsgId, const std::exception_ptr &failure)
{
    // Without an answer the service may have taken the message all the same; it then has it
    // under this client id, and the next run finds it.
    if (isTransientFailure(failure))
        m_unsettledSends.insert(clientMsgId);
}

void CatchUp::settleSends(const QUuid &roomId, const QSet<QUuid> &lookedFor)
{
    const MessageIndex &messages = m_store.messageIndex();
    m_unsettledSends.removeIf([&](const QUuid &clientId) {
        const MessageIndex::Entry *e = messages.findByClientId(clientId);
        if (!e || MessageIndex::confirmed(e->message))
            return true;
        return e->message.conversationId == roomId && lookedFor.contains(clientId);
    });
}

// ---------------------------------------------------------------------------------------------
// One run

QCoro::Task<> CatchUp::run(QList<APIConversation> rooms, bool announceNew)
{
    // Only a store that went away ends the run early; `this` goes with it.
    QPointer<LocalStore> self(&m_store);
    ChatClient *client = m_store.client();
    if (!client)
        co_return;
    // The newest message of each room as this list names it.
    QHash<QUuid, qint64> listed;
    listed.reserve(rooms.size());
    for (const APIConversation &room : std::as_const(rooms))
        listed.insert(room.id, room.lastMessage ? room.lastMessage->seq : 0);
    // What an earlier list said of each room, as far as the pages that followed it reached: a
    // room that holds no messages (one beyond the first page, never opened) knows no more of
    // itself than that. A room keeps its seq until its page joins; one new to the list takes
    // the list's at once (what it holds is history); a room gone from the list is forgotten.
    const QHash<QUuid, qint64> listedBefore = std::exchange(m_listedSeqs, {});
    m_listedSeqs.reserve(listed.size());
    for (auto it = listed.cbegin(); it != listed.cend(); ++it)
        m_listedSeqs.insert(it.key(), listedBefore.value(it.key(), it.value()));

    // What the store knew of each room: the newest message it holds, or else the newest an
    // earlier list named and its page brought. Whatever the pages bring above that arrived
    // while the socket was away.
    QHash<QUuid, qint64> known;
    QList<Standing> standings;
    standings.reserve(rooms.size());
    for (const APIConversation &room : std::as_const(rooms)) {
        const qint64 held = confirmedTop(room.id);
        const auto before = listedBefore.constFind(room.id);
        if (held > 0)
            known.insert(room.id, held);
        else if (announceNew && before != listedBefore.cend())
            known.insert(room.id, before.value());
        const auto knownSeq = known.constFind(room.id);
        const bool behind = knownSeq != known.cend() && room.lastMessage
            && room.lastMessage->seq > knownSeq.value();
        standings.append(Standing{room.id, behind || floor(room.id) != held});
    }
    if (!announceNew)
        known.clear();

    const QList<QList<QUuid>> requests = batches(standings);
    for (const QList<QUuid> &ids : requests) {
        QHash<QUuid, qint64> floors;
        for (const QUuid &id : ids)
            floors.insert(id, floor(id));
        // A send that fails while the page is on its way may still be taken after it.
        const QSet<QUuid> lookedFor = m_unsettledSends;
        const std::optional<QList<SyncRoom>> pages
            = co_await StoreCall::attempt(&m_store, client->sync(cursor(ids)));
        if (!self)
            co_return;
        if (!pages)
            break;
        // A page that stops short of what the room holds leaves a stretch between: it is
        // fetched before the page is shown.
        QHash<QUuid, Join> joined;
        for (const SyncRoom &page : *pages) {
            Join &join = joined[page.id];
            const qint64 floor = floors.value(page.id, 0);
            if (page.hasMore && floor > 0 && !page.messages.isEmpty()) {
                qint64 lowest = page.messages.first().seq;
                for (const APIMessage &m : page.messages)
                    lowest = std::min(lowest, m.seq);
                std::optional<GapFill> fill
                    = co_await StoreCall::attempt(&m_store, fetchGap(page.id, floor, lowest));
                if (!self)
                    co_return;
                join.fill = std::move(fill);
            }
            join.joined = joins(page, join.fill ? &*join.fill : nullptr);
        }
        joinPages(*pages, joined, known);
        for (const SyncRoom &page : *pages) {
            if (!joined.value(page.id).joined)
                continue;
            settleSends(page.id, lookedFor);
            // Everything above what the room knew came and was announced (or, by a run that
            // announces nothing, is held): the list's seq counts as known from now on. Not
            // before: a page that never came (a sync that failed, a run that did not ask for the
            // room) leaves the next catch-up to fetch and announce what lies above the old one.
            const auto seq = m_listedSeqs.find(page.id);
            if (seq != m_listedSeqs.end())
                seq.value() = std::max(seq.value(), listed.value(page.id));
        }
    }
}

QCoro::Task<CatchUp::GapFill> CatchUp::fetchGap(QUuid roomId, qint64 after, qint64 before)
{
    // Downwards from the upper end, so that what is shown stays one unbroken stretch even when
    // the bound stops the walk. A page shorter than a full one reaches `after`.
    QPointer<LocalStore> self(&m_store);
    ChatClient *client = m_store.client();
    GapFill fill;
    qint64 top = before;
    while (top > after + 1) {
        const QList<APIMessage> wirePage = co_await client->messages(roomId, after, top);
        if (!self)
            co_return fill;
        QList<ChatMessage> page;
        page.reserve(wirePage.size());
        for (const APIMessage &wire : wirePage) {
            if (wire.seq > after && wire.seq < top)
                page.append(m_store.mapMessage(wire));
        }
        std::sort(page.begin(), page.end(),
                  [](const ChatMessage &a, const ChatMessage &b) { return a.seq < b.seq; });
        fill.messages = page + fill.messages;
        if (wirePage.size() < kPageSize || page.isEmpty())
            break;
        top = page.first().seq;
        if (fill.messages.size() >= kGapBound)
            co_return fill;
    }
    fill.joined = true;
    co_return fill;
}

// ---------------------------------------------------------------------------------------------
// Pages

void CatchUp::applyPages(const QList<SyncRoom> &pages, bool announceNew)
{
    QHash<QUuid, qint64> known;
    QHash<QUuid, Join> joined;
    for (const SyncRoom &page : pages) {
        joined[page.id].joined = joins(page, nullptr);
        if (const qint64 held = confirmedTop(page.id); announceNew && held > 0)
            known.insert(page.id, held);
    }
    joinPages(pages, joined, known);
}

void CatchUp::applyMembers(const SyncRoom &page)
{
    const int index = m_store.conversationIndex(page.id);
    if (index < 0)
        return;
    Conversation room = m_store.m_conversations.at(index);
    for (const SyncMember &member : page.members) {
        auto it = std::find_if(room.memberships.begin(), room.memberships.end(),
                               [&](const Membership &m) { return m.userId == member.userId; });
        if (it == room.memberships.end()) {
            Membership m;
            m.userId = member.userId;
            m.joinedAt = room.createdAt;
            room.memberships.append(m);
            it = room.memberships.end() - 1;
        }
        if (member.role)
            it->role = fromRawText<MemberRole>(*member.role).value_or(MemberRole::member);
        it->leftAt = parseWireTime(member.leftAt);

        if (member.handle || member.displayName || member.kind) {
            Account a = m_store.account(member.userId).value_or(Account{});
            const bool known = !a.id.isNull();
            a.id = member.userId;
            mergeMemberAccount(a, known, member);
            m_store.upsertAccount(a);
        }
    }
    for (const APIRead &read : page.reads) {
        for (Membership &m : room.memberships) {
            if (m.userId == read.userId)
                m.lastReadSeq = read.lastReadSeq;
        }
    }
    if (!(room == m_store.m_conversations.at(index)))
        m_store.replaceConversation(room);
}

void CatchUp::joinPages(const QList<SyncRoom> &pages, const QHash<QUuid, Join> &joins,
                        const QHash<QUuid, qint64> &announceAbove)
{
    LocalStore &store = m_store;
    const std::optional<AppSession> session = store.session();
    const std::optional<QUuid> me = session ? std::optional(session->meId) : std::nullopt;
    QList<ChatMessage> arrived;
    for (const SyncRoom &page : pages) {
        const Join join = joins.value(page.id);
        // Only the messages above what the store knew of the room are announced: anything
        // else in the page is history the user has not seen arrive.
        const auto knownSeq = announceAbove.constFind(page.id);
        const bool announce = knownSeq != announceAbove.cend();
        // Members and read marks first, so that the messages meet the current marks.
        applyMembers(page);
        const int index = store.conversationIndex(page.id);

        if (!page.messages.isEmpty()) {
            std::optional<QDateTime> newest;
            QList<ChatMessage> incoming;
            if (join.fill)
                incoming = join.fill->messages;
            for (const APIMessage &wire : page.messages)
                incoming.append(store.mapMessage(wire));
            store.editMessages([&](MessageIndex &index) {
                if (!join.joined) {
                    // Nothing joins the page to the older messages held: they go, so that no
                    // hole shows, and scrolling up loads them again in order.
                    qint64 lowest = incoming.first().seq;
                    for (const ChatMessage &m : std::as_const(incoming))
                        lowest = std::min(lowest, m.seq);
                    index.removeFromRoom(page.id, [&](const ChatMessage &m) {
                        const bool drop = MessageIndex::confirmed(m) && m.seq < lowest;
                        if (drop)
                            keepAside(m);
                        return drop;
                    });
                }
                for (const ChatMessage &m : std::as_const(incoming)) {
                    newest = laterOf(newest, m.createdAt);
                    // A message held already (a live event brought it) is replaced, not added:
                    // it counts and rings once.
                    if (merge(m) && announce && m.seq > knownSeq.value()
                        && (!me || m.senderId != *me))
                        arrived.append(m);
                }
            });
            if (!join.joined && !store.olderRooms().contains(page.id))
                store.editOlderRooms([&](QSet<QUuid> &set) { set.insert(page.id); });
            if (index >= 0 && newest) {
                Conversation room = store.m_conversations.at(index);
                if (room.updatedAt < *newest) {
                    room.updatedAt = *newest;
                    store.replaceConversation(room);
                }
            }
        }

        // With my read mark and the whole unread stretch in the page (or fetched to join it), the
        // page's own count is the freshest; a page that stops short leaves the room list's
        // count.
        const bool hasMyRead = me
            && std::any_of(page.reads.cbegin(), page.reads.cend(),
                           [&](const APIRead &r) { return r.userId == *me; });
        if (index >= 0 && hasMyRead && join.joined) {
            const int count = store.localUnread(store.m_conversations.at(index), *me);
            if (store.m_remoteUnread.value(page.id, -1) != count)
                store.editRemoteUnread([&](QHash<QUuid, int> &map) { map.insert(page.id, count); });
        }
    }
    store.refreshBadge();
    for (const ChatMessage &m : std::as_const(arrived)) {
        store.maybePlayIncomingSound(m);
        emit store.messageArrived(m);
    }
}

// ---------------------------------------------------------------------------------------------
// One copy, and what only this client knows of messages let go

bool CatchUp::merge(const ChatMessage &message)
{
    MessageIndex &messages = m_store.m_messages;
    ChatMessage next = message;
    const MessageIndex::Entry *old = messages.findMatch(message.id, message.clientMsgId);
    if (!old) {
        putBack(next);
        messages.append(next);
        return true;
    }
    // The copy that arrives second replaces the first in place, keeping what only this
    // client knows, the reply link included.
    carryOver(next, old->message);
    if (!next.replyToId)
        next.replyToId = old->message.replyToId;
    messages.replace(old, next);
    return false;
}

void CatchUp::carryOver(ChatMessage &next, const ChatMessage &held)
{
    if (!next.imageJPEG)
        next.imageJPEG = held.imageJPEG;
    if (!next.imageURL)
        next.imageURL = held.imageURL;
    if (keepsTypedCaption(next, held))
        next.body = held.body;
    if (keepsHidden(held) && !next.hiddenForMe) {
        next.hiddenForMe = true;
        m_store.hideFoundSend(next);
    }
}

bool CatchUp::keepsHidden(const ChatMessage &held)
{
    return held.hiddenForMe && !MessageIndex::confirmed(held);
}

bool CatchUp::keepsTypedCaption(const ChatMessage &incoming, const ChatMessage &held)
{
    // By the incoming body, not its kind: the held photo's caption is what was typed here.
    return incoming.body == kPhotoText && held.kind == MessageKind::image
        && !held.caption().isEmpty();
}

void CatchUp::keepAside(const ChatMessage &dropped)
{
    const bool typedCaption = dropped.kind == MessageKind::image && !dropped.caption().isEmpty();
    if (!typedCaption && !dropped.replyToId)
        return;
    ChatMessage kept = dropped;
    kept.imageJPEG.reset();
    m_keptAside.insert(dropped.id, kept);
}

void CatchUp::putBack(ChatMessage &loaded)
{
    const auto kept = m_keptAside.constFind(loaded.id);
    if (kept == m_keptAside.cend())
        return;
    carryOver(loaded, *kept);
    if (!loaded.replyToId)
        loaded.replyToId = kept->replyToId;
    m_keptAside.erase(kept);
}
