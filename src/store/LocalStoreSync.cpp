// Start-up, the reload of rooms and friend requests (the rooms' sync pages are the catch-up's,
// CatchUp.cpp), and how the service's lists become the store's records.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "platform/PushCenter.h"
#include "store/CatchUp.h"
#include "store/MemberAccount.h"
#include "store/RoomListIntake.h"
#include "store/RoomListLastMessages.h"
#include "store/StoreCall.h"
#include "store/WireTime.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

constexpr std::chrono::milliseconds kStartUpRetryFirst{2000};
constexpr std::chrono::milliseconds kStartUpRetryCap{60000};

std::optional<QDateTime> lastMessageTime(const APIConversation &wire)
{
    return wire.lastMessage ? parseWireTime(wire.lastMessage->createdAt) : std::nullopt;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up and refresh

QCoro::Task<> LocalStore::bootstrap()
{
    if (!m_client)
        co_return;
    m_startUpFailures = 0;
    // From the first look at the stored session until start-up ends, the window shows its
    // start-up state: a sign-in form while the service is away would read as a sign-out.
    setStartingUp(true);
    co_await startUp(true);
}

QCoro::Task<> LocalStore::startUp(bool firstAttempt)
{
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    try {
        const bool restored = co_await client->restore();
        if (!self)
            co_return;
        if (m_session) {
            setStartingUp(false); // signed in by hand meanwhile: that stands
            co_return;
        }
        // The notice comes once: further attempts stay quiet until one of them ends for good.
        if (!restored) {
            const bool again = client->restoreMayRetry();
            if (client->lastFailure() && (firstAttempt || !again))
                showNotice(*client->lastFailure());
            if (again)
                retryStartUpLater();
            else
                setStartingUp(false);
            co_return;
        }
        std::optional<APIUser> user;
        std::exception_ptr failure;
        try {
            user = co_await client->me();
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (m_session) {
            setStartingUp(false);
            co_return;
        }
        if (failure) {
            // The service is away, not refusing (a redirect included: a captive portal is no
            // answer of the service's): the stored session stays and start-up is tried again.
            // A refusal leaves the user signed out, as does a lost session.
            const bool again = isTransientFailure(failure) && client->hasSession();
            if (firstAttempt || !again)
                showAPI(failure);
            if (again)
                retryStartUpLater();
            else
                setStartingUp(false);
            co_return;
        }
        // A notice an earlier attempt left while the service was away is stale now; kept, it
        // would turn up on the sign-in form after a later sign-out.
        if (!firstAttempt)
            acknowledgeNotice();
        apply(*user, std::nullopt);
        setStartingUp(false);
        co_await publishLocalAvatar(user->avatarUrl.has_value());
        if (!self || !m_session || !m_session->profileComplete)
            co_return;
        co_await reloadRemote();
        if (!self)
            co_return;
        co_await client->connectSocket();
        if (!self)
            co_return;
        if (m_session && m_session->profileComplete && m_notificationsEnabled)
            PushCenter::registerForNotifications();
    } catch (...) {
        if (self) {
            showAPI(std::current_exception());
            setStartingUp(false);
        }
    }
}

void LocalStore::retryStartUpLater()
{
    if (!m_startUpRetryTimer) {
        m_startUpRetryTimer = new QTimer(this);
        m_startUpRetryTimer->setSingleShot(true);
        connect(m_startUpRetryTimer, &QTimer::timeout, this, [this] {
            // Someone signed in by hand meanwhile, or the session is gone: nothing to start.
            if (m_session || !m_client->hasSession()) {
                setStartingUp(false);
                return;
            }
            startUp(false); // catches everything itself
        });
    }
    // 2, 4, 8, 16, 32, 60, 60, ... seconds.
    const int doublings = std::min(m_startUpFailures, 5);
    ++m_startUpFailures;
    m_startUpRetryTimer->start(std::min(kStartUpRetryFirst * (1 << doublings), kStartUpRetryCap));
}

bool LocalStore::startUpRetryPending() const
{
    return m_startUpRetryTimer && m_startUpRetryTimer->isActive();
}

QCoro::Task<> LocalStore::refreshLive()
{
    if (!m_client || !m_session || !m_session->profileComplete)
        co_return;
    co_await reloadRemote();
}

QCoro::Task<> LocalStore::reloadRemote(bool announceNew)
{
    if (!m_client)
        co_return;
    // Each step reports its own failure and the next one still runs: only a store that went
    // away ends the reload early.
    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    // Applied already, in its turn among the events and other answers.
    std::optional<QList<APIConversation>> rooms = co_await RoomListIntake::of(*this).fetch();
    if (!self)
        co_return;
    if (rooms) {
        co_await m_catchUp->run(std::move(*rooms), announceNew);
        if (!self)
            co_return;
    }
    const std::optional<APIFriendRequestList> requests
        = co_await StoreCall::attempt(this, client->friendRequests());
    if (requests)
        apply(*requests);
}

QCoro::Task<> LocalStore::fetchFriendRequests()
{
    if (!m_client)
        co_return;
    const std::optional<APIFriendRequestList> requests
        = co_await StoreCall::attempt(this, m_client->friendRequests());
    if (requests)
        apply(*requests);
}

// ---------------------------------------------------------------------------------------------
// Mapping

ChatMessage LocalStore::mapMessage(const APIMessage &wire) const
{
    ChatMessage m;
    m.id = wire.id;
    m.clientMsgId = wire.clientMsgId.value_or(wire.id);
    m.conversationId = wire.conversationId;
    m.senderId = wire.senderId;
    m.seq = wire.seq;
    m.kind = fromRawText<MessageKind>(wire.type).value_or(MessageKind::text);
    m.origin = fromRawText<MessageOrigin>(wire.origin).value_or(MessageOrigin::user);
    m.body = storedBody(m.kind, wire.body);
    if (wire.attachments && !wire.attachments->isEmpty())
        m.imageURL = wire.attachments->first().url;
    m.createdAt = parseWireTime(wire.createdAt).value_or(QDateTime::currentDateTimeUtc());
    m.delivery = DeliveryState::sent;
    m.hiddenForMe = false;
    return m;
}

Account LocalStore::mapUser(const APIUser &user, const std::optional<QByteArray> &photo,
                            bool placeholder) const
{
    Account a;
    a.id = user.id;
    a.kind = fromRawText<AccountKind>(user.kind).value_or(AccountKind::person);
    a.handle = user.handle.value_or(QString());
    a.displayName = user.displayName.value_or(QString());
    // Someone else's account without a name shows the handle rather than nothing. My own stays
    // empty: an empty name is what marks an unfinished profile.
    if (placeholder && a.displayName.isEmpty())
        a.displayName = a.handle;
    a.status = fromRawText<AccountStatus>(user.status).value_or(AccountStatus::active);
    a.avatarJPEG = photo;
    a.avatarURL = user.avatarUrl;
    a.officialAccountId = user.officialAccountId;
    // The service lists only genuine official accounts.
    a.verified = a.kind == AccountKind::official;
    a.acceptsUserMessages = true;
    return a;
}

// ---------------------------------------------------------------------------------------------
// Room list

void LocalStore::apply(const QList<APIConversation> &wireRooms)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<Conversation> rooms;
    rooms.reserve(wireRooms.size());
    QHash<QUuid, int> unread = m_remoteUnread;
    QList<Account> accounts = m_accounts;
    QHash<QUuid, int> accountAt;
    qsizetype memberCount = 0;
    for (const APIConversation &wire : wireRooms)
        memberCount += wire.members.size();
    accounts.reserve(accounts.size() + memberCount);
    accountAt.reserve(accounts.size() + memberCount);
    for (int i = 0; i < accounts.size(); ++i)
        accountAt.insert(accounts.at(i).id, i);

    // The list gives no time for a room without a last message. A room held already keeps its
    // time; one seen for the first time sorts below every room with a time, so that the order
    // does not depend on when the program started.
    std::optional<QDateTime> oldest;
    QList<int> oldIndexes;
    QList<std::optional<QDateTime>> lastTimes;
    oldIndexes.reserve(wireRooms.size());
    lastTimes.reserve(wireRooms.size());
    for (const APIConversation &wire : wireRooms) {
        const int index = conversationIndex(wire.id);
        oldIndexes.append(index);
        lastTimes.append(lastMessageTime(wire));
        const std::optional<QDateTime> time = laterOf(
            index >= 0 ? std::optional(m_conversations.at(index).updatedAt) : std::nullopt,
            lastTimes.last());
        if (time && (!oldest || *time < *oldest))
            oldest = time;
    }
    const QDateTime untimed = oldest.value_or(now).addMSecs(-1);

    for (qsizetype at = 0; at < wireRooms.size(); ++at) {
        const APIConversation &wire = wireRooms.at(at);
        const int oldIndex = oldIndexes.at(at);
        const Conversation *old = oldIndex >= 0 ? &m_conversations.at(oldIndex) : nullptr;
        const std::optional<QDateTime> &lastTime = lastTimes.at(at);

        Conversation room;
        room.id = wire.id;
        room.kind = fromRawText<ConversationKind>(wire.type).value_or(ConversationKind::direct);
        room.title = wire.title.value_or(QString());
        room.photoJPEG = old ? old->photoJPEG : std::nullopt;
        room.pinned = wire.pinned;
        room.muted = wire.muted;
        room.hiddenFromList = m_hiddenRoomIDs.contains(wire.id);
        room.createdAt = old ? old->createdAt : lastTime.value_or(untimed);
        room.updatedAt = laterOf(old ? std::optional(old->updatedAt) : std::nullopt, lastTime)
                             .value_or(untimed);
        room.memberships.reserve(wire.members.size());
        for (const APIMember &member : wire.members) {
            const Membership *before = nullptr;
            if (old) {
                for (const Membership &m : old->memberships) {
                    if (m.userId == member.userId) {
                        before = &m;
                        break;
                    }
                }
            }
            Membership m;
            m.userId = member.userId;
            m.role = fromRawText<MemberRole>(member.role).value_or(MemberRole::member);
            m.lastReadSeq = before ? before->lastReadSeq : 0;
            // The list carries no join times: members keep theirs, new ones take the room's,
            // so that the service's order decides among them.
            m.joinedAt = before ? before->joinedAt : room.createdAt;
            m.leftAt = parseWireTime(member.leftAt);
            room.memberships.append(m);

            Account a;
            const auto known = accountAt.constFind(member.userId);
            const bool held = known != accountAt.cend();
            if (held) {
                a = accounts.at(known.value());
            } else {
                a.id = member.userId;
                a.status = AccountStatus::active;
            }
            mergeMemberAccount(a, held, member);
            if (held) {
                accounts[known.value()] = std::move(a);
            } else {
                accountAt.insert(a.id, int(accounts.size()));
                accounts.append(std::move(a));
            }
        }
        unread.insert(wire.id, int(std::max<qint64>(0, wire.unreadCount)));
        rooms.append(std::move(room));
    }
    RoomListLastMessages::of(*this).adopt(wireRooms);
    setAccounts(accounts);
    setRemoteUnread(unread);
    setConversations(rooms);
    refreshBadge();
}

// ---------------------------------------------------------------------------------------------
// Sync pages

void LocalStore::apply(const QList<SyncRoom> &pages, bool announceNew)
{
    m_catchUp->applyPages(pages, announceNew);
}

// ---------------------------------------------------------------------------------------------
// Friend requests

void LocalStore::apply(const APIFriendRequestList &requests)
{
    QList<FriendLink> links;
    QHash<QUuid, QUuid> incomingIds;
    auto remember = [&](const APIFriendRequest &request, FriendState state) {
        Account a = mapUser(request.user, std::nullopt, true);
        if (const std::optional<Account> known = account(a.id)) {
            a.avatarJPEG = known->avatarJPEG;
            a.handleChanged = known->handleChanged;
            a.acceptsUserMessages = known->acceptsUserMessages;
            a.bio = known->bio;
        }
        upsertAccount(a);
        links.append(FriendLink{request.user.id, state});
    };
    for (const APIFriendRequest &request : requests.incoming) {
        remember(request, FriendState::incoming);
        incomingIds.insert(request.user.id, request.id);
    }
    for (const APIFriendRequest &request : requests.outgoing)
        remember(request, FriendState::outgoing);
    setFriends(links);
    setIncomingRequestIDs(incomingIds);
}
