#include "ui/workspace/RoomListModel.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "store/RoomListLastMessages.h"
#include "store/RoomSearchTexts.h"
#include "store/TextCompare.h"
#include "ui/common/ChangeNotify.h"
#include "ui/common/ChatTime.h"
#include "ui/common/DisplayText.h"
#include "ui/common/PaintedMarks.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

bool RoomRow::looksLike(const RoomRow &other) const
{
    return room.id == other.room.id && room.kind == other.room.kind
        && room.pinned == other.room.pinned && room.muted == other.room.muted
        && official == other.official && unread == other.unread && unreadDot == other.unreadDot
        && lastAt == other.lastAt && title == other.title && preview == other.preview
        && avatarURL == other.avatarURL && avatarJPEG == other.avatarJPEG;
}

namespace {

// Past this many rows added and removed at once (a new search over a long list) one reset
// costs a view less than the changes one by one.
constexpr qsizetype resetAbove = 200;
// After a change that may touch any room, the rows a view asked for are made again and
// compared, up to this many; past it they are dropped and every row counts as changed.
constexpr qsizetype remadeAtMost = 256;

// When `next` is `old` with one element moved, where from and where to (as for
// beginMoveRows: the destination counts the rows before the move).
struct OneMove
{
    qsizetype from = -1;
    qsizetype to = -1;
};

// Ids compare as their bytes, so that long runs of them compare as blocks of memory.
static_assert(sizeof(QUuid) == 16 && std::has_unique_object_representations_v<QUuid>);

bool sameIds(const QUuid *a, const QUuid *b, qsizetype count)
{
    return count <= 0 || std::memcmp(a, b, size_t(count) * sizeof(QUuid)) == 0;
}

// How many ids from the start (from the end, `backwards`) of two runs of `count` are equal.
qsizetype sameRun(const QUuid *a, const QUuid *b, qsizetype count, bool backwards)
{
    constexpr qsizetype block = 64;
    qsizetype same = 0;
    const auto at = [&](const QUuid *p, qsizetype i) { return backwards ? p - i - 1 : p + i; };
    while (count - same >= block
           && sameIds(backwards ? at(a, same + block - 1) : at(a, same),
                      backwards ? at(b, same + block - 1) : at(b, same), block))
        same += block;
    while (same < count && *at(a, same) == *at(b, same))
        ++same;
    return same;
}

std::optional<OneMove> oneMove(const QList<QUuid> &old, const QList<QUuid> &next, qsizetype &first,
                               qsizetype &oldEnd, qsizetype &nextEnd)
{
    const qsizetype n = old.size();
    const qsizetype m = next.size();
    const QUuid *o = old.constData();
    const QUuid *x = next.constData();
    first = sameRun(o, x, std::min(n, m), false);
    const qsizetype tail = sameRun(o + n, x + m, std::min(n, m) - first, true);
    oldEnd = n - tail;
    nextEnd = m - tail;
    if (oldEnd - first != nextEnd - first || oldEnd - first < 2)
        return std::nullopt;
    const qsizetype between = nextEnd - first - 1;
    // Up: the last of the differing rows comes first.
    if (x[first] == o[oldEnd - 1] && sameIds(x + first + 1, o + first, between))
        return OneMove{oldEnd - 1, first};
    // Down: the first of them goes last.
    if (x[nextEnd - 1] == o[first] && sameIds(x + first, o + first + 1, between))
        return OneMove{first, oldEnd};
    return std::nullopt;
}

// The second line of a row: the last visible message as one line of text.
QString previewText(const ChatMessage *last)
{
    if (!last)
        return {};
    switch (last->kind) {
    case MessageKind::image:
        return kPhotoText;
    case MessageKind::deleted:
        return kDeletedMessageText;
    case MessageKind::text:
    case MessageKind::system:
        break;
    }
    return last->body;
}

// Everything the row shows, read as one: title, marks, time, preview, dot and count.
QString accessibleText(const RoomRow &row, const QDateTime &now)
{
    QStringList parts{row.title};
    if (row.official)
        parts.append(OfficialMark::text());
    if (row.room.muted)
        parts.append(QStringLiteral("알림 끔"));
    parts.append(RoomListModel::timeText(row, now));
    parts.append(row.preview);
    if (row.unreadDot)
        parts.append(QStringLiteral("안 읽음"));
    if (row.unread > 0)
        parts.append(UnreadBadge::text(row.unread));
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

} // namespace

RoomListModel::RoomListModel(LocalStore &store, QObject *parent)
    : KeyedListModel(parent)
    , m_store(store)
    , m_searchTexts(RoomSearchTexts::of(store))
    , m_listedLast(RoomListLastMessages::of(store))
    , m_searchResults(m_searchTexts)
{
    // roomsTouched (accountsTouched) names the rooms (accounts) that the list signal right
    // after it is about; a list signal alone may be about anything.
    connect(&m_store, &LocalStore::roomsTouched, this, [this](const QList<QUuid> &roomIds) {
        m_roomNamed = true;
        for (const QUuid &id : roomIds)
            roomTouched(id);
    });
    const auto listChanged = [this](bool &named) {
        if (!std::exchange(named, false))
            listTouched();
        refreshSoon();
    };
    connect(&m_store, &LocalStore::conversationsChanged, this,
            [=, this] { listChanged(m_roomNamed); });
    connect(&m_store, &LocalStore::remoteUnreadChanged, this,
            [=, this] { listChanged(m_roomNamed); });
    connect(&m_store, &LocalStore::roomMessagesChanged, this,
            [this](const QUuid &roomId) { roomTouched(roomId); });
    connect(&m_store, &LocalStore::accountsTouched, this, [this](const QList<QUuid> &accountIds) {
        m_accountNamed = true;
        m_touchedAccounts.unite(QSet<QUuid>(accountIds.cbegin(), accountIds.cend()));
    });
    connect(&m_store, &LocalStore::accountsChanged, this,
            [=, this] { listChanged(m_accountNamed); });
    connect(&m_store, &LocalStore::sessionChanged, this, &RoomListModel::listTouched);
    // A room that holds messages shows the last of its own, whatever the room list says.
    connect(&m_listedLast, &RoomListLastMessages::changed, this,
            [this](const QList<QUuid> &roomIds) {
                const MessageIndex &messages = m_store.messageIndex();
                for (const QUuid &id : roomIds) {
                    if (messages.roomSize(id) == 0)
                        roomTouched(id);
                }
            });
    refresh();
}

int RoomListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant RoomListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return row(index.row()).title;
    case Qt::AccessibleTextRole:
        return accessibleText(row(index.row()), QDateTime::currentDateTimeUtc());
    case RoomIdRole:
        return m_shown.at(index.row());
    default:
        return {};
    }
}

const RoomRow &RoomListModel::row(int row) const
{
    const QUuid &id = m_shown.at(row);
    Entry &e = m_entries[id];
    if (!e.row) {
        const std::optional<Conversation> room = m_store.conversation(id);
        keepRow(id, e, room ? makeRow(*room) : RoomRow{});
    }
    return *e.row;
}

void RoomListModel::keepRow(const QUuid &roomId, Entry &entry, RoomRow row) const
{
    m_rowsOfMembers.note(roomId, entry.row ? &entry.row->room.memberships : nullptr,
                         row.room.memberships);
    entry.row = std::move(row);
}

void RoomListModel::setQuery(const QString &query)
{
    if (!assignChanged(m_query, query))
        return;
    const QString trimmed = trimmedText(query);
    m_queryForm = trimmed.isEmpty() ? QString() : TextCompare::searchForm(trimmed);
    // A query whose search form is empty (marks alone) is found in every text, as no query.
    refresh();
}

void RoomListModel::roomTouched(const QUuid &roomId)
{
    m_touchedRooms.insert(roomId);
    refreshSoon();
}

void RoomListModel::listTouched()
{
    m_allRows = true;
    refreshSoon();
}

QList<QUuid> RoomListModel::remakeRows()
{
    QList<QUuid> changed;
    // A room shows an account when the account is one of its members: its row (title,
    // picture, marks) is made again.
    if (m_rowsOfMembers.wasteful()) {
        m_rowsOfMembers.clear();
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
            if (it->row)
                m_rowsOfMembers.note(it.key(), nullptr, it->row->room.memberships);
        }
    }
    m_rowsOfMembers.forEachRoomOf(m_touchedAccounts,
                                  [&](const QUuid &id) { m_touchedRooms.insert(id); });
    const auto remake = [&](const QUuid &id, Entry &e) {
        const std::optional<Conversation> room = m_store.conversation(id);
        RoomRow next = room ? makeRow(*room) : RoomRow{};
        if (!next.looksLike(*e.row))
            changed.append(id);
        keepRow(id, e, std::move(next));
    };
    qsizetype made = 0;
    if (m_allRows) {
        for (const Entry &e : std::as_const(m_entries))
            made += e.row.has_value();
    }
    if (m_allRows && made > remadeAtMost) {
        // Rows are made again when a view asks for them; every row is told to have changed.
        for (Entry &e : m_entries)
            e.row.reset();
        m_rowsOfMembers.clear();
        changed = m_shown;
    } else if (m_allRows) {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->row)
                remake(it.key(), *it);
        }
    } else {
        for (const QUuid &id : std::as_const(m_touchedRooms)) {
            const auto found = m_entries.find(id);
            if (found != m_entries.end() && found->row)
                remake(id, *found);
            else
                changed.append(id); // never asked for: what it showed is not known
        }
    }
    m_touchedRooms.clear();
    m_touchedAccounts.clear();
    m_allRows = false;
    m_roomNamed = false;
    m_accountNamed = false;
    return changed;
}

void RoomListModel::showOrder(const QList<QUuid> &next)
{
    if (next == m_shown)
        return;
    qsizetype first = 0, oldEnd = 0, nextEnd = 0;
    if (const std::optional<OneMove> move = oneMove(m_shown, next, first, oldEnd, nextEnd)) {
        moveRow(move->from, move->to);
        return;
    }
    if ((oldEnd - first) + (nextEnd - first) > resetAbove) {
        beginResetModel();
        m_shown = next;
        endResetModel();
        return;
    }
    syncRows(
        m_shown, next, [](const QUuid &id) { return id; },
        [](const QUuid &, const QUuid &) { return true; });
}

void RoomListModel::moveRow(qsizetype from, qsizetype to)
{
    beginMoveRows({}, int(from), int(from), {}, int(to));
    // The rows between the two places shift by one, as one block of memory.
    const QUuid id = m_shown.at(from);
    QUuid *rows = m_shown.data();
    if (to < from) {
        std::copy_backward(rows + to, rows + from, rows + from + 1);
        rows[to] = id;
    } else {
        std::copy(rows + from + 1, rows + to, rows + from);
        rows[to - 1] = id;
    }
    endMoveRows();
}

void RoomListModel::rebuild()
{
    const QList<QUuid> &listed = m_store.listedRoomIds();
    const QList<QUuid> changed = remakeRows();

    const bool moved = listed != m_listedIds;
    std::optional<OneMove> listedMove;
    if (moved) {
        qsizetype first = 0, oldEnd = 0, nextEnd = 0;
        listedMove = oneMove(m_listedIds, listed, first, oldEnd, nextEnd);
    }
    if (!m_queryForm.isEmpty()) {
        showOrder(m_searchResults.find(listed, m_queryForm));
    } else if (!m_shownListed || (moved && !listedMove)) {
        showOrder(listed);
    } else if (listedMove) {
        // The rows are the listed rooms, of which one moved (a message brought it up).
        moveRow(listedMove->from, listedMove->to);
    }
    m_shownListed = m_queryForm.isEmpty();

    if (changed.size() > 8 && !m_shown.isEmpty()) {
        emit dataChanged(index(0), index(int(m_shown.size()) - 1));
    } else {
        for (const QUuid &id : changed) {
            const int at = rowOf(id);
            if (at >= 0)
                emit dataChanged(index(at), index(at));
        }
    }

    if (moved) {
        m_listedOnlyMoved = listedMove.has_value();
        m_listedIds = listed;
        // Rooms that left the list take what was kept of them along.
        if (!m_listedOnlyMoved && m_entries.size() > m_listedIds.size() + 64) {
            const QSet<QUuid> keep(m_listedIds.cbegin(), m_listedIds.cend());
            m_entries.removeIf([&](const auto &it) {
                if (keep.contains(it.key()))
                    return false;
                if (it->row)
                    m_rowsOfMembers.forget(it->row->room.memberships);
                return true;
            });
        }
    }
    emit refreshed();
    if (moved)
        emit listedIdsChanged();
}

RoomRow RoomListModel::makeRow(const Conversation &room) const
{
    RoomRow row;
    row.room = room;
    row.title = DisplayText::name(m_store.conversationTitle(room));
    const std::optional<Account> other = m_store.otherAccount(room);
    row.official = other && other->kind == AccountKind::official;
    if (room.kind == ConversationKind::group)
        row.avatarJPEG = room.photoJPEG;
    else if (other)
        row.avatarJPEG = other->avatarJPEG;
    if (other)
        row.avatarURL = other->avatarURL;
    const MessageIndex &messages = m_store.messageIndex();
    const MessageIndex::Entry *last = messages.lastVisible(room.id);
    // A room none of whose messages were fetched yet shows the last one the room list named.
    const std::optional<ChatMessage> listed = !last && messages.roomSize(room.id) == 0
        ? m_listedLast.lastMessage(room.id)
        : std::nullopt;
    const ChatMessage *shown = last ? &last->message : listed ? &*listed : nullptr;
    row.preview = DisplayText::isolated(previewText(shown));
    if (shown)
        row.lastAt = shown->createdAt;
    row.unread = m_store.unreadCount(room);
    row.unreadDot = m_store.showsUnreadDot(room);
    return row;
}

QString RoomListModel::timeText(const RoomRow &row, const QDateTime &now)
{
    return row.lastAt.isValid() ? ChatTime::list(row.lastAt, now) : QString();
}
