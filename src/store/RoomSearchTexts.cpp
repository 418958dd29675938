#include "store/RoomSearchTexts.h"

#include "store/LocalStore.h"
#include "store/TextCompare.h"

#include <QStringMatcher>

#include <algorithm>
#include <utility>

namespace {

// Stands before each form in Entry::joined.
constexpr QChar kSeparator = u'\n';

} // namespace

RoomSearchTexts &RoomSearchTexts::of(LocalStore &store)
{
    return store.searchTexts();
}

RoomSearchTexts::RoomSearchTexts(LocalStore &store)
    : m_store(store)
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, [this] {
        if (!work(kSlice))
            m_soon.start();
    });
    // roomsTouched (accountsTouched) names the rooms (accounts) that the list signal right after
    // it is about; a list signal alone may be about any of them.
    connect(&store, &LocalStore::roomsTouched, this, [this](const QList<QUuid> &ids) {
        m_roomNamed = true;
        m_dueRooms.unite(QSet<QUuid>(ids.cbegin(), ids.cend()));
    });
    connect(&store, &LocalStore::conversationsChanged, this, [this] {
        m_allRooms = m_allRooms || !std::exchange(m_roomNamed, false);
        due();
    });
    // An unread count changes no text; the rooms it named were marked all the same.
    connect(&store, &LocalStore::remoteUnreadChanged, this, [this] { m_roomNamed = false; });
    connect(&store, &LocalStore::accountsTouched, this, [this](const QList<QUuid> &ids) {
        m_accountNamed = true;
        m_dueAccounts.unite(QSet<QUuid>(ids.cbegin(), ids.cend()));
    });
    connect(&store, &LocalStore::accountsChanged, this, [this] {
        m_allAccounts = m_allAccounts || !std::exchange(m_accountNamed, false);
        due();
    });
    // Who is signed in decides the title of a group without one.
    connect(&store, &LocalStore::sessionChanged, this, [this] {
        if (!m_entries.isEmpty())
            ++m_version;
        m_entries.clear();
        m_joinedAt.clear();
        m_joined.clear();
        m_joinedUnused = 0;
        m_memberRooms.clear();
        m_allRooms = true;
        due();
    });
    due();
}

void RoomSearchTexts::due()
{
    m_soon.start();
}

bool RoomSearchTexts::matches(const QUuid &roomId, const QString &queryForm)
{
    prepare();
    const auto found = m_entries.constFind(roomId);
    return found != m_entries.cend() && matches(*found, queryForm);
}

bool RoomSearchTexts::matches(const Entry &entry, const QString &queryForm) const
{
    return std::any_of(entry.forms.cbegin(), entry.forms.cend(),
                       [&](const QString &form) { return form.contains(queryForm); });
}

QList<QUuid> RoomSearchTexts::filter(const QList<QUuid> &roomIds, const QString &queryForm)
{
    prepare();
    QList<QUuid> found;
    if (queryForm.isEmpty() || queryForm.contains(kSeparator)) {
        for (const QUuid &id : roomIds) {
            const auto entry = m_entries.constFind(id);
            if (entry != m_entries.cend() && matches(*entry, queryForm))
                found.append(id);
        }
        return found;
    }
    // A search over thousands of rooms: the query's skip table is made once, and a one-letter
    // query takes the plain scan for one character.
    const QStringMatcher matcher(queryForm);
    const QStringView joined(m_joined);
    for (const QUuid &id : roomIds) {
        const auto at = m_joinedAt.constFind(id);
        if (at == m_joinedAt.cend())
            continue;
        const QStringView forms = joined.sliced(at->at, at->size);
        if (queryForm.size() == 1 ? forms.contains(queryForm.front()) : matcher.indexIn(forms) >= 0)
            found.append(id);
    }
    return found;
}

void RoomSearchTexts::join(const QUuid &roomId, const QStringList &forms)
{
    Joined &joined = m_joinedAt[roomId];
    m_joinedUnused += joined.size;
    joined.at = m_joined.size();
    qsizetype size = 0;
    for (const QString &form : forms)
        size += 1 + form.size();
    // Grown by doubling: appending thousands of rooms one by one must not copy the buffer as
    // often.
    if (m_joined.capacity() < joined.at + size)
        m_joined.reserve(std::max(2 * m_joined.capacity(), joined.at + size));
    m_joined.resize(joined.at + size);
    QChar *out = m_joined.data() + joined.at;
    for (const QString &form : forms) {
        *out++ = kSeparator;
        out = std::copy(form.cbegin(), form.cend(), out);
    }
    joined.size = size;
}

void RoomSearchTexts::compact()
{
    if (m_joinedUnused <= m_joined.size() / 2 + 4096)
        return;
    m_joined.clear();
    m_joinedUnused = 0;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        join(it.key(), it->forms);
    m_joined.squeeze();
}

void RoomSearchTexts::makeForms(const Conversation &room)
{
    QStringList forms;
    forms.reserve(1 + room.memberships.size());
    forms.append(TextCompare::searchForm(m_store.conversationTitle(room)));
    for (const Membership &m : room.memberships) {
        if (const std::optional<Account> a = m_store.account(m.userId))
            forms.append(TextCompare::searchForm(a->displayName));
    }
    auto it = m_entries.find(room.id);
    const bool made = it == m_entries.end();
    if (made)
        it = m_entries.insert(room.id, Entry{});
    Entry &e = it.value();
    m_memberRooms.note(room.id, made ? nullptr : &e.room.memberships, room.memberships);
    e.room = room;
    if (made || forms != e.forms) {
        ++m_version;
        e.forms = std::move(forms);
        join(room.id, e.forms);
    }
}

void RoomSearchTexts::removeEntry(const QUuid &roomId)
{
    const auto found = m_entries.find(roomId);
    if (found == m_entries.end())
        return;
    m_memberRooms.forget(found->room.memberships);
    m_entries.erase(found);
    m_joinedUnused += m_joinedAt.take(roomId).size;
    ++m_version;
}

// Of all accounts, those whose name is not the one the forms were made with.
void RoomSearchTexts::noteRenames()
{
    QHash<QUuid, QString> names;
    const QList<Account> accounts = m_store.accounts();
    names.reserve(accounts.size());
    for (const Account &a : accounts) {
        // Of two accounts with one id the store finds the first.
        if (names.contains(a.id))
            continue;
        names.insert(a.id, a.displayName);
        const auto was = m_names.constFind(a.id);
        if (was == m_names.cend() || *was != a.displayName)
            m_dueAccounts.insert(a.id);
    }
    for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
        if (!names.contains(it.key()))
            m_dueAccounts.insert(it.key());
    }
    m_names = std::move(names);
}

void RoomSearchTexts::prepare()
{
    work(-1);
}

bool RoomSearchTexts::work(qsizetype budget)
{
    if (m_dueRooms.isEmpty() && m_dueAccounts.isEmpty() && !m_allRooms && !m_allAccounts
        && m_checks.isEmpty())
        return true;
    m_soon.stop();
    settleAccounts();
    if (m_allRooms)
        queueAllRooms();
    while (m_checkAt < m_checks.size() && budget != 0) {
        const QUuid id = m_checks.at(m_checkAt++);
        --budget;
        const std::optional<Conversation> room = m_store.conversation(id);
        if (!room) {
            removeEntry(id);
            continue;
        }
        const bool dueAnyway = m_dueRooms.remove(id);
        const auto found = m_entries.constFind(id);
        if (dueAnyway || found == m_entries.cend() || !(found->room == *room))
            makeForms(*room);
    }
    if (m_checkAt == m_checks.size()) {
        m_checks.clear();
        m_checkAt = 0;
    }
    while (!m_dueRooms.isEmpty() && budget != 0) {
        const auto next = m_dueRooms.cbegin();
        const QUuid id = *next;
        m_dueRooms.erase(next);
        --budget;
        if (const std::optional<Conversation> room = m_store.conversation(id))
            makeForms(*room);
        else
            removeEntry(id);
    }
    if (m_memberRooms.wasteful()) {
        m_memberRooms.clear();
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
            m_memberRooms.note(it.key(), nullptr, it->room.memberships);
    }
    compact();
    return m_checks.isEmpty() && m_dueRooms.isEmpty();
}

// Brings the names up to date, marking the rooms whose members were renamed.
void RoomSearchTexts::settleAccounts()
{
    if (!m_allAccounts && m_dueAccounts.isEmpty())
        return;
    if (m_allAccounts) {
        noteRenames();
    } else {
        for (const QUuid &id : std::as_const(m_dueAccounts)) {
            const std::optional<Account> a = m_store.account(id);
            if (a)
                m_names.insert(id, a->displayName);
            else
                m_names.remove(id);
        }
    }
    // A room shows the names of its members: a renamed member makes its forms again.
    m_memberRooms.forEachRoomOf(m_dueAccounts,
                                [&](const QUuid &roomId) { m_dueRooms.insert(roomId); });
    m_dueAccounts.clear();
    m_allAccounts = false;
}

// Every room of the store is to be compared again; forms of rooms no longer held go now.
void RoomSearchTexts::queueAllRooms()
{
    const QList<Conversation> rooms = m_store.conversations();
    QSet<QUuid> held;
    held.reserve(rooms.size());
    m_checks.clear();
    m_checks.reserve(rooms.size());
    m_checkAt = 0;
    for (const Conversation &room : rooms) {
        // Of two rooms with one id the store finds the first.
        if (held.contains(room.id))
            continue;
        held.insert(room.id);
        m_checks.append(room.id);
    }
    QList<QUuid> gone;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (!held.contains(it.key()))
            gone.append(it.key());
    }
    for (const QUuid &id : std::as_const(gone))
        removeEntry(id);
    m_allRooms = false;
}
