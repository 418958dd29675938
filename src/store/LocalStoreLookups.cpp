// Read-only questions about the state: records by id or handle, room titles, friendship and
// the account lists of the friends page; the handle rules and the suggested group title.

#include "store/LocalStore.h"

#include "model/TextLimits.h"
#include "store/TextCompare.h"

#include <algorithm>

std::optional<Conversation> LocalStore::conversation(const QUuid &id) const
{
    const int index = conversationIndex(id);
    if (index < 0)
        return std::nullopt;
    return m_conversations.at(index);
}

std::optional<ChatMessage> LocalStore::message(const QUuid &id) const
{
    const MessageIndex::Entry *entry = m_messages.find(id);
    if (!entry)
        return std::nullopt;
    return entry->message;
}

std::optional<Account> LocalStore::account(const QUuid &id) const
{
    const int index = accountIndex(id);
    if (index < 0)
        return std::nullopt;
    return m_accounts.at(index);
}

std::optional<Account> LocalStore::me() const
{
    if (!m_session)
        return std::nullopt;
    return account(m_session->meId);
}

std::optional<Account> LocalStore::account(const QString &handle) const
{
    const QString wanted = normalizedHandle(handle);
    if (wanted.isEmpty())
        return std::nullopt;
    for (const Account &a : m_accounts) {
        if (a.handle != wanted || a.status != AccountStatus::active)
            continue;
        if (m_session && a.id == m_session->meId)
            continue;
        if (a.kind == AccountKind::person || (a.kind == AccountKind::official && a.verified))
            return a;
    }
    return std::nullopt;
}

bool LocalStore::isOwner(const Conversation &room) const
{
    if (!m_session)
        return false;
    return std::any_of(
        room.memberships.cbegin(), room.memberships.cend(), [&](const Membership &m) {
            return m.userId == m_session->meId && m.role == MemberRole::owner && !m.leftAt;
        });
}

std::optional<Account> LocalStore::otherAccount(const Conversation &room) const
{
    if (room.kind != ConversationKind::direct || !m_session)
        return std::nullopt;
    for (const Membership &m : room.memberships) {
        if (m.userId != m_session->meId)
            return account(m.userId);
    }
    return std::nullopt;
}

bool LocalStore::isOfficial(const Conversation &room) const
{
    const std::optional<Account> other = otherAccount(room);
    return other && other->kind == AccountKind::official;
}

bool LocalStore::isOptOut(const QUuid &accountId) const
{
    for (const OfficialLink &link : m_officialLinks) {
        if (link.accountId == accountId)
            return link.broadcastOptOut;
    }
    return false;
}

QString LocalStore::conversationTitle(const Conversation &room) const
{
    if (room.kind == ConversationKind::direct) {
        const std::optional<Account> other = otherAccount(room);
        return other ? other->displayName : kUnknownName;
    }
    if (!room.title.isEmpty())
        return room.title;
    QStringList names;
    for (const Membership &m : activeMembers(room)) {
        if (m_session && m.userId == m_session->meId)
            continue;
        if (const std::optional<Account> a = account(m.userId))
            names.append(a->displayName);
    }
    return names.isEmpty() ? QStringLiteral("대화") : names.join(QStringLiteral(", "));
}

std::optional<FriendState> LocalStore::friendState(const QUuid &userId) const
{
    for (const FriendLink &link : m_friends) {
        if (link.userId == userId)
            return link.state;
    }
    if (!m_client)
        return std::nullopt;
    const std::optional<Account> a = account(userId);
    if (!a || a->kind != AccountKind::person)
        return std::nullopt;
    if (directConversation(userId))
        return FriendState::friends;
    return std::nullopt;
}

std::optional<Conversation> LocalStore::directConversation(const QUuid &userId) const
{
    if (!m_session)
        return std::nullopt;
    for (const Conversation &room : m_conversations) {
        if (room.kind != ConversationKind::direct)
            continue;
        bool hasMe = false;
        bool hasOther = false;
        for (const Membership &m : room.memberships) {
            hasMe = hasMe || m.userId == m_session->meId;
            hasOther = hasOther || m.userId == userId;
        }
        if (hasMe && hasOther)
            return room;
    }
    return std::nullopt;
}

QList<Account> LocalStore::directPeers(AccountKind kind) const
{
    QList<Account> peers;
    QSet<QUuid> seen;
    for (const Conversation &room : m_conversations) {
        if (room.kind != ConversationKind::direct || room.hiddenFromList)
            continue;
        const std::optional<Account> other = otherAccount(room);
        if (!other || other->kind != kind || other->status != AccountStatus::active)
            continue;
        if (seen.contains(other->id))
            continue;
        seen.insert(other->id);
        peers.append(*other);
    }
    TextCompare::sortLocalized(peers,
                               [](const Account &a) -> const QString & { return a.displayName; });
    return peers;
}

QList<Account> LocalStore::friendAccounts() const
{
    if (m_client)
        return directPeers(AccountKind::person);
    QList<Account> list;
    for (const FriendLink &link : m_friends) {
        if (link.state != FriendState::friends)
            continue;
        const std::optional<Account> a = account(link.userId);
        if (a && a->kind == AccountKind::person && a->status == AccountStatus::active)
            list.append(*a);
    }
    TextCompare::sortPlain(list, [](const Account &a) -> const QString & { return a.displayName; });
    return list;
}

QList<Account> LocalStore::incomingRequests() const
{
    QList<Account> list;
    for (const FriendLink &link : m_friends) {
        if (link.state != FriendState::incoming)
            continue;
        const std::optional<Account> a = account(link.userId);
        if (a && a->status == AccountStatus::active)
            list.append(*a);
    }
    return list;
}

QList<Account> LocalStore::followedOfficials() const
{
    QList<Account> list;
    if (m_client) {
        for (const Account &a : directPeers(AccountKind::official)) {
            if (!m_blocks.contains(a.id))
                list.append(a);
        }
        return list;
    }
    for (const OfficialLink &link : m_officialLinks) {
        const std::optional<Account> a = account(link.accountId);
        if (a && a->kind == AccountKind::official && a->status == AccountStatus::active
            && !m_blocks.contains(a->id))
            list.append(*a);
    }
    TextCompare::sortPlain(list, [](const Account &a) -> const QString & { return a.displayName; });
    return list;
}

QList<Account> LocalStore::blockedAccounts() const
{
    QList<Account> list;
    for (const QUuid &id : m_blocks) {
        const std::optional<Account> a = account(id);
        if (a && a->status == AccountStatus::active)
            list.append(*a);
    }
    return list;
}

QList<Membership> LocalStore::activeMembers(const Conversation &room)
{
    QList<Membership> active;
    for (const Membership &m : room.memberships) {
        if (!m.leftAt)
            active.append(m);
    }
    std::stable_sort(active.begin(), active.end(), [](const Membership &a, const Membership &b) {
        return a.joinedAt < b.joinedAt;
    });
    return active;
}

// ---------------------------------------------------------------------------------------------
// Handles and titles

QString LocalStore::normalizedHandle(const QString &text)
{
    QString handle = trimmedText(text).toLower();
    if (handle.startsWith(u'@'))
        handle.remove(0, 1);
    return handle;
}

bool LocalStore::isValidHandle(const QString &text)
{
    const QString handle = normalizedHandle(text);
    if (handle.size() < TextLimit::handleMin || handle.size() > TextLimit::handleMax)
        return false;
    return std::all_of(handle.cbegin(), handle.cend(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
    });
}

QString LocalStore::suggestedGroupTitle(const QList<QUuid> &memberIds) const
{
    QStringList names;
    const std::optional<Account> myAccount = me();
    if (myAccount) {
        const QString mine = trimmedText(myAccount->displayName);
        if (!mine.isEmpty())
            names.append(mine);
    }
    for (const QUuid &id : memberIds) {
        if (myAccount && id == myAccount->id)
            continue;
        const std::optional<Account> a = account(id);
        const QString name = a ? trimmedText(a->displayName) : QString();
        if (!name.isEmpty())
            names.append(name);
    }
    return suggestedGroupTitle(names);
}

QString LocalStore::suggestedGroupTitle(const QStringList &names)
{
    QStringList kept;
    for (const QString &name : names) {
        const QString trimmed = trimmedText(name);
        if (!trimmed.isEmpty())
            kept.append(trimmed);
    }
    return storedTitle(kept.join(QStringLiteral(", ")));
}

QString LocalStore::storedTitle(const QString &typed)
{
    return firstGraphemes(trimmedText(typed), TextLimit::groupTitle);
}
