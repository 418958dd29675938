#include "ui/workspace/MacRoomListModel.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "ui/common/ChatTime.h"
#include "ui/common/DisplayText.h"
#include "ui/common/OfficialMark.h"
#include "ui/common/UnreadBadge.h"

bool MacRoomRow::looksLike(const MacRoomRow &other) const
{
    return room.id == other.room.id && room.kind == other.room.kind
        && room.pinned == other.room.pinned && room.muted == other.room.muted
        && official == other.official && unread == other.unread && unreadDot == other.unreadDot
        && lastAt == other.lastAt && title == other.title && preview == other.preview
        && avatarURL == other.avatarURL && avatarJPEG == other.avatarJPEG;
}

MacRoomListModel::MacRoomListModel(LocalStore &store, QObject *parent)
    : KeyedListModel(parent)
    , m_store(store)
{
    const auto accountsMoved = [this] {
        ++m_accountsRevision;
        refreshSoon();
    };
    connect(&m_store, &LocalStore::accountsChanged, this, accountsMoved);
    connect(&m_store, &LocalStore::sessionChanged, this, accountsMoved);
    const auto changed = [this] { refreshSoon(); };
    connect(&m_store, &LocalStore::conversationsChanged, this, changed);
    connect(&m_store, &LocalStore::messagesChanged, this, changed);
    connect(&m_store, &LocalStore::remoteUnreadChanged, this, changed);
    refresh();
}

int MacRoomListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MacRoomListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MacRoomRow &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return r.title;
    case Qt::AccessibleTextRole:
        return accessibleText(r, QDateTime::currentDateTime());
    case RoomIdRole:
        return r.room.id;
    default:
        return {};
    }
}

int MacRoomListModel::rowOf(const QUuid &roomId) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).room.id == roomId)
            return i;
    }
    return -1;
}

void MacRoomListModel::setQuery(const QString &query)
{
    if (query == m_query)
        return;
    m_query = query;
    m_queryEmpty = trimmedText(query).isEmpty();
    refresh();
}

void MacRoomListModel::rebuild()
{
    const QList<Conversation> listed = m_store.sortedList();
    QList<QUuid> ids;
    ids.reserve(listed.size());
    QList<MacRoomRow> next;
    next.reserve(listed.size());
    QHash<QUuid, Cached> cache;
    cache.reserve(listed.size());
    const MessageIndex &messages = m_store.messageIndex();

    for (const Conversation &room : listed) {
        ids.append(room.id);
        Cached entry;
        const auto kept = m_cache.constFind(room.id);
        const quint64 version = messages.roomVersion(room.id);
        const int unread = m_store.unreadCount(room);
        if (kept != m_cache.cend() && kept->messagesVersion == version
            && kept->accountsRevision == m_accountsRevision && kept->unread == unread
            && kept->row.room == room) {
            entry = *kept;
        } else {
            entry.messagesVersion = version;
            entry.accountsRevision = m_accountsRevision;
            entry.unread = unread;
            entry.row = makeRow(room, unread);
            if (kept != m_cache.cend() && kept->row.looksLike(entry.row))
                entry.row.revision = kept->row.revision;
            else
                entry.row.revision = ++m_lastRevision;
        }
        if (m_queryEmpty || m_store.matches(room, m_query))
            next.append(entry.row);
        cache.insert(room.id, entry);
    }
    m_cache.swap(cache);

    syncRows(
        m_rows, next, [](const MacRoomRow &r) { return r.room.id; },
        [](const MacRoomRow &a, const MacRoomRow &b) { return a.revision == b.revision; });

    const bool moved = ids != m_listedIds;
    m_listedIds = ids;
    emit refreshed();
    if (moved)
        emit listedIdsChanged();
}

MacRoomRow MacRoomListModel::makeRow(const Conversation &room, int unread) const
{
    MacRoomRow row;
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
    const MessageIndex::Entry *last = m_store.messageIndex().lastVisible(room.id);
    row.preview = DisplayText::isolated(previewText(last ? &last->message : nullptr));
    if (last)
        row.lastAt = last->message.createdAt;
    row.unread = unread;
    row.unreadDot = m_store.showsUnreadDot(room);
    return row;
}

QString MacRoomListModel::previewText(const ChatMessage *last)
{
    if (!last)
        return {};
    switch (last->kind) {
    case MessageKind::image:
        return QStringLiteral("사진");
    case MessageKind::deleted:
        return QStringLiteral("삭제된 메시지");
    case MessageKind::text:
    case MessageKind::system:
        break;
    }
    return last->body;
}

QString MacRoomListModel::timeText(const MacRoomRow &row, const QDateTime &now)
{
    return row.lastAt.isValid() ? ChatTime::list(row.lastAt, now) : QString();
}

QString MacRoomListModel::accessibleText(const MacRoomRow &row, const QDateTime &now)
{
    QStringList parts{row.title};
    if (row.official)
        parts.append(OfficialMark::text());
    if (row.room.muted)
        parts.append(QStringLiteral("알림 끔"));
    parts.append(timeText(row, now));
    parts.append(row.preview);
    if (row.unreadDot)
        parts.append(QStringLiteral("안 읽음"));
    if (row.unread > 0)
        parts.append(UnreadBadge::text(row.unread));
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}
