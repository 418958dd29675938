// Friends and friend requests, blocks, official-account broadcasts and the handle search.

#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/HttpMethods.h"
#include "store/StoreCall.h"

#include <algorithm>

namespace {

const QString kRequestMissing = QStringLiteral("요청을 찾을 수 없습니다.");

} // namespace

// ---------------------------------------------------------------------------------------------
// Friend requests

bool LocalStore::mayRequestFriend(const QUuid &userId) const
{
    const std::optional<Account> other = account(userId);
    if (!other || other->kind != AccountKind::person || other->status != AccountStatus::active)
        return false;
    if (m_session && m_session->meId == userId)
        return false;
    return !m_blocks.contains(userId);
}

void LocalStore::requestFriend(const QUuid &userId)
{
    if (m_client) {
        requestFriendLive(userId);
        return;
    }
    if (!mayRequestFriend(userId))
        return;
    const bool linked = std::any_of(m_friends.cbegin(), m_friends.cend(),
                                    [&](const FriendLink &l) { return l.userId == userId; });
    if (linked)
        return;
    editFriends([&](QList<FriendLink> &list) {
        list.append(FriendLink{userId, FriendState::outgoing});
    });
    persist();
}

QCoro::Task<> LocalStore::requestFriendLive(QUuid userId)
{
    // A direct room counts as a friendship in the live mode, so friendState() covers it.
    if (!m_client || !mayRequestFriend(userId) || friendState(userId))
        co_return;
    const std::optional<QUuid> requestId
        = co_await StoreCall::attempt(this, m_client->requestFriend(userId, std::nullopt));
    if (!requestId)
        co_return;
    editFriends([&](QList<FriendLink> &list) {
        list.append(FriendLink{userId, FriendState::outgoing});
    });
}

void LocalStore::acceptFriend(const QUuid &userId)
{
    if (m_client) {
        acceptFriendLive(userId);
        return;
    }
    const auto link = std::find_if(m_friends.cbegin(), m_friends.cend(), [&](const FriendLink &l) {
        return l.userId == userId && l.state == FriendState::incoming;
    });
    if (link == m_friends.cend())
        return;
    const qsizetype index = link - m_friends.cbegin();
    editFriends([&](QList<FriendLink> &list) { list[index].state = FriendState::friends; });
    openDirect(userId);
    persist();
}

QCoro::Task<> LocalStore::acceptFriendLive(QUuid userId)
{
    if (!m_client)
        co_return;
    const auto pending = m_incomingRequestIDs.constFind(userId);
    if (pending == m_incomingRequestIDs.cend()) {
        showNotice(kRequestMissing);
        co_return;
    }
    const std::optional<QUuid> roomId
        = co_await StoreCall::attempt(this, m_client->acceptFriend(*pending));
    if (!roomId)
        co_return;
    if (m_incomingRequestIDs.contains(userId))
        editIncomingRequestIDs([&](QHash<QUuid, QUuid> &map) { map.remove(userId); });
    for (qsizetype i = 0; i < m_friends.size(); ++i) {
        if (m_friends.at(i).userId == userId) {
            editFriends([&](QList<FriendLink> &list) { list[i].state = FriendState::friends; });
            break;
        }
    }
    // The new direct room and the friend list arrive with the reload.
    co_await StoreCall::attempt(this, reloadRemote());
}

void LocalStore::rejectFriend(const QUuid &userId)
{
    if (m_client) {
        rejectFriendLive(userId);
        return;
    }
    const auto incoming = [&](const FriendLink &l) {
        return l.userId == userId && l.state == FriendState::incoming;
    };
    if (std::any_of(m_friends.cbegin(), m_friends.cend(), incoming))
        editFriends([&](QList<FriendLink> &list) { list.removeIf(incoming); });
    persist();
}

QCoro::Task<> LocalStore::rejectFriendLive(QUuid userId)
{
    if (!m_client)
        co_return;
    const auto pending = m_incomingRequestIDs.constFind(userId);
    if (pending == m_incomingRequestIDs.cend()) {
        showNotice(kRequestMissing);
        co_return;
    }
    const ChatPath path = ChatPath::rejectFriendRequest(wireId(*pending));
    const std::optional<QByteArray> answer
        = co_await StoreCall::attempt(this, m_client->request(kPost, path));
    if (!answer)
        co_return;
    if (m_incomingRequestIDs.contains(userId))
        editIncomingRequestIDs([&](QHash<QUuid, QUuid> &map) { map.remove(userId); });
    const auto incoming = [&](const FriendLink &l) {
        return l.userId == userId && l.state == FriendState::incoming;
    };
    if (std::any_of(m_friends.cbegin(), m_friends.cend(), incoming))
        editFriends([&](QList<FriendLink> &list) { list.removeIf(incoming); });
}

// ---------------------------------------------------------------------------------------------
// Blocks

void LocalStore::block(const QUuid &userId)
{
    if (m_session && m_session->meId == userId)
        return;
    const qsizetype place = m_blocks.indexOf(userId);
    const std::optional<qsizetype> previousPlace
        = place >= 0 ? std::optional<qsizetype>(place) : std::nullopt;
    if (!previousPlace)
        editBlocks([&](QList<QUuid> &list) { list.append(userId); });
    persist();
    saveBlocks();
    if (m_client)
        pushBlock(userId, true, previousPlace);
}

void LocalStore::unblock(const QUuid &userId)
{
    const qsizetype place = m_blocks.indexOf(userId);
    const std::optional<qsizetype> previousPlace
        = place >= 0 ? std::optional<qsizetype>(place) : std::nullopt;
    if (previousPlace)
        editBlocks([&](QList<QUuid> &list) { list.removeAll(userId); });
    persist();
    saveBlocks();
    if (m_client)
        pushBlock(userId, false, previousPlace);
}

QCoro::Task<> LocalStore::pushBlock(QUuid userId, bool blocked,
                                    std::optional<qsizetype> previousPlace)
{
    if (!m_client)
        co_return;
    ChatClient *client = m_client.get();
    const std::optional<Account> target = account(userId);
    const auto undo = [&](const std::exception_ptr &failure) {
        // Put back exactly what this call changed: whether the id was blocked before it. A
        // refused repeat of a block leaves the user blocked; a refused unblock of a user who was
        // not blocked does not block them. Changes made meanwhile to other ids stay.
        const bool blockedNow = m_blocks.contains(userId);
        if (previousPlace && !blockedNow) {
            editBlocks([&](QList<QUuid> &list) {
                list.insert(std::min(*previousPlace, list.size()), userId);
            });
        } else if (!previousPlace && blockedNow) {
            editBlocks([&](QList<QUuid> &list) { list.removeAll(userId); });
        }
        saveBlocks();
        showAPI(failure);
    };
    if (target && target->kind == AccountKind::official) {
        const std::optional<QUuid> officialId
            = co_await StoreCall::attempt(this, resolveOfficial(userId), undo);
        if (officialId)
            co_await StoreCall::attempt(
                this, client->updateOfficialLink(*officialId, std::nullopt, blocked), undo);
    } else if (blocked) {
        co_await StoreCall::attempt(this, client->block(userId), undo);
    } else {
        const ChatPath path = ChatPath::blockedUser(wireId(userId));
        co_await StoreCall::attempt(this, client->request(kDelete, path), undo);
    }
}

// ---------------------------------------------------------------------------------------------
// Official accounts

QCoro::Task<QUuid> LocalStore::resolveOfficial(QUuid accountId)
{
    const ChatAPIError notFound(404, QStringLiteral("not_found"),
                                QStringLiteral("서비스 계정을 찾을 수 없습니다."));
    const std::optional<Account> known = account(accountId);
    if (known && known->officialAccountId)
        co_return *known->officialAccountId;
    // Accounts learnt from room members carry no official-account id: ask the service for the
    // account by its handle, which answers with it.
    if (!m_client || !known || known->kind != AccountKind::official || known->handle.isEmpty())
        throw notFound;
    ChatClient *client = m_client.get();
    std::optional<HandleLookup> found;
    try {
        found = co_await client->user(known->handle);
    } catch (const ChatAPIError &e) {
        if (e.status != 404)
            throw;
    }
    if (!found || found->user.id != accountId || !found->user.officialAccountId)
        throw notFound;
    co_return *found->user.officialAccountId;
}

void LocalStore::setBroadcastOptOut(const QUuid &accountId, bool optOut)
{
    const bool previous = isOptOut(accountId);
    const bool linked
        = std::any_of(m_officialLinks.cbegin(), m_officialLinks.cend(),
                      [&](const OfficialLink &l) { return l.accountId == accountId; });
    if (linked) {
        setOptOutLocal(accountId, optOut);
    } else if (m_client) {
        editOfficialLinks([&](QList<OfficialLink> &list) {
            list.append(OfficialLink{accountId, optOut});
        });
    } else {
        return;
    }
    persist();
    if (m_client)
        pushOptOut(accountId, optOut, previous);
}

QCoro::Task<> LocalStore::pushOptOut(QUuid accountId, bool optOut, bool previous)
{
    if (!m_client)
        co_return;
    ChatClient *client = m_client.get();
    const auto undo = [&](const std::exception_ptr &failure) {
        setOptOutLocal(accountId, previous);
        showAPI(failure);
    };
    const std::optional<QUuid> officialId
        = co_await StoreCall::attempt(this, resolveOfficial(accountId), undo);
    if (officialId)
        co_await StoreCall::attempt(
            this, client->updateOfficialLink(*officialId, optOut, std::nullopt), undo);
}

// ---------------------------------------------------------------------------------------------
// Handle lookup

QCoro::Task<std::optional<Account>> LocalStore::lookup(QString text)
{
    const QString handle = normalizedHandle(text);
    if (!isValidHandle(text))
        co_return std::nullopt;
    if (!m_client)
        co_return account(handle);

    const std::optional<HandleLookup> found = co_await StoreCall::attempt(
        this, m_client->user(handle), [this](const std::exception_ptr &failure) {
            // Nobody has that handle: no notice.
            if (!StoreCall::hasStatus(failure, 404))
                showAPI(failure);
        });
    if (!found)
        co_return std::nullopt;

    Account mapped = mapUser(found->user, std::nullopt, true);
    if (const std::optional<Account> known = account(mapped.id)) {
        // What only this client knows about the account survives the service's copy.
        mapped.avatarJPEG = known->avatarJPEG;
        mapped.handleChanged = known->handleChanged;
        mapped.acceptsUserMessages = known->acceptsUserMessages;
    }
    upsertAccount(mapped);
    if (mapped.kind == AccountKind::official)
        followOfficial(mapped.id);
    // The service reports blocks the user made elsewhere; a false flag does not unblock here.
    if (found->blocked && !m_blocks.contains(mapped.id)) {
        editBlocks([&](QList<QUuid> &list) { list.append(mapped.id); });
        saveBlocks();
    }
    co_return account(mapped.id);
}
