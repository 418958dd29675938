#include "ui/workspace/TranscriptModel.h"

#include "model/Account.h"
#include "store/LocalStore.h"
#include "ui/common/ChangeNotify.h"
#include "ui/common/ChatTime.h"
#include "ui/common/DisplayText.h"

#include <algorithm>

namespace {

// Beyond this many changes at once (a room cleared, a long page merged) reading the room again
// is cheaper than moving rows one by one.
constexpr qsizetype kBulkChange = 256;
constexpr qint64 kGroupGapMs = 300'000;

bool sameDay(const QDateTime &a, const QDateTime &b)
{
    return ChatTime::localDay(a) == ChatTime::localDay(b);
}

// Two consecutive messages, `later` after `earlier`, belong to one group as far as sender, day
// and time go. The gap is the later time minus the earlier and breaks only when strictly above
// 300 s, so messages out of time order never break a group.
bool continues(const ChatMessage &earlier, const ChatMessage &later)
{
    return earlier.senderId == later.senderId && sameDay(earlier.createdAt, later.createdAt)
        && earlier.createdAt.msecsTo(later.createdAt) <= kGroupGapMs;
}

bool before(const MessageIndex::Entry *a, const MessageIndex::Entry *b)
{
    return MessageIndex::precedes(*a, *b);
}

} // namespace

QString TranscriptRow::accessibleText() const
{
    // A system line is read as what it says.
    if (isSystem())
        return DisplayText::isolated(message.body);
    // The name as the screen shows it; the body kept from reordering the sentence around it.
    const QString name = senderKnown ? DisplayText::name(senderName) : QString();
    QString prefix;
    if (isNotice())
        prefix = name + QStringLiteral(", 안내, ");
    else if (mine)
        prefix = QStringLiteral("나, ");
    else
        prefix = name + QStringLiteral(", ");
    QString content = message.body;
    if (message.kind == MessageKind::image && content.isEmpty())
        content = kPhotoText;
    else if (isDeleted())
        content = kDeletedMessageText;
    QString sentence = prefix + ChatTime::spoken(message.createdAt) + QStringLiteral(", ")
        + DisplayText::isolated(content);
    if (message.delivery == DeliveryState::failed)
        sentence += QStringLiteral(", 전송 실패");
    return sentence;
}

TranscriptModel::TranscriptModel(LocalStore &store, const QUuid &roomId, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
    , m_roomId(roomId)
{
    readSession();
    reload();
    connect(&store, &LocalStore::roomMessagesChanged, this, &TranscriptModel::roomChanged);
    // When which rows are mine changes, everything may look different.
    connect(&store, &LocalStore::sessionChanged, this, [this] {
        if (readSession())
            touchAll();
    });
    connect(&store, &LocalStore::accountsChanged, this, [this] {
        readSession();
        touchAll();
    });
    connect(&store, &LocalStore::conversationsChanged, this, [this] {
        const auto before = m_readBasis;
        readRoom();
        if (before != m_readBasis)
            touchAll();
    });
}

bool TranscriptModel::readSession()
{
    const std::optional<Account> me = m_store.me();
    const bool changed = assignChanged(m_meId, me ? std::optional(me->id) : std::nullopt);
    readRoom();
    return changed;
}

void TranscriptModel::readRoom()
{
    const std::optional<Conversation> room = m_store.conversation(m_roomId);
    if (!room) {
        m_readBasis.reset();
        return;
    }
    // My own read position marks none of my messages: reading the room changes no row.
    QList<Membership> others = room->memberships;
    others.removeIf([this](const Membership &m) { return m_meId && m.userId == *m_meId; });
    m_readBasis = std::pair(room->kind, others);
}

int TranscriptModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant TranscriptModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int i = index.row();
    switch (role) {
    case Qt::DisplayRole:
        return message(i).body;
    case Qt::AccessibleTextRole:
        return row(i).accessibleText();
    case RowRole:
        return QVariant::fromValue(row(i));
    default:
        return {};
    }
}

TranscriptRow TranscriptModel::row(int i) const
{
    TranscriptRow r;
    r.message = message(i);
    const ChatMessage &m = r.message;
    r.mine = m_meId && *m_meId == m.senderId;
    r.showDay = showDay(i);
    r.showHeader = showHeader(i);
    r.showMeta = showMeta(i);
    if (const std::optional<Account> sender = m_store.account(m.senderId)) {
        r.senderKnown = true;
        r.senderName = sender->displayName;
        r.senderOfficial = sender->kind == AccountKind::official;
        r.avatarJPEG = sender->avatarJPEG;
        r.avatarURL = sender->avatarURL;
    } else {
        r.senderName = kUnknownName;
    }
    if (m.replyToId)
        r.quote = m_store.replyPreview(*m.replyToId);
    // A message still on its way, or one that failed, has reached nobody: no read count.
    if (r.mine && m_readBasis && m.delivery == DeliveryState::sent) {
        if (m_readBasis->first == ConversationKind::direct) {
            if (m_store.isReadByPeer(m.id))
                r.readMark = QStringLiteral("읽음");
        } else if (const int unread = m_store.unreadOthers(m.id); unread >= 1) {
            r.readMark = QStringLiteral("안 읽음 %1").arg(unread);
        }
    }
    return r;
}

bool TranscriptModel::showDay(int i) const
{
    return i == 0 || !sameDay(message(i - 1).createdAt, message(i).createdAt);
}

bool TranscriptModel::showHeader(int i) const
{
    if (i == 0)
        return true;
    const ChatMessage &previous = message(i - 1);
    return previous.kind == MessageKind::system || !continues(previous, message(i));
}

bool TranscriptModel::showMeta(int i) const
{
    // A failed message keeps its failure and its resend, also inside a group: after a resend
    // the new copy follows it, and the failed one must not pass for sent.
    if (i == count() - 1 || message(i).delivery == DeliveryState::failed)
        return true;
    const ChatMessage &next = message(i + 1);
    return next.kind == MessageKind::system || !continues(message(i), next);
}

std::optional<QUuid> TranscriptModel::lastId() const
{
    if (m_rows.empty())
        return std::nullopt;
    return m_rows.back()->message.id;
}

int TranscriptModel::rowOf(const QUuid &messageId) const
{
    const Entry *entry = m_store.messageIndex().find(messageId);
    if (entry && entry->message.conversationId == m_roomId)
        return findRow(entry);
    // An id held by a message of another room first (unusual data): look for ours.
    for (int i = count() - 1; i >= 0; --i) {
        if (message(i).id == messageId)
            return i;
    }
    return -1;
}

int TranscriptModel::insertionRow(const Entry *entry) const
{
    return int(std::lower_bound(m_rows.cbegin(), m_rows.cend(), entry, before) - m_rows.cbegin());
}

int TranscriptModel::findRow(const Entry *entry) const
{
    const int at = insertionRow(entry);
    if (at < count() && m_rows[size_t(at)] == entry)
        return at;
    // Its keys changed since it was placed: look for it, newest first, where such changes are.
    for (int i = count() - 1; i >= 0; --i) {
        if (m_rows[size_t(i)] == entry)
            return i;
    }
    return -1;
}

void TranscriptModel::reload()
{
    beginResetModel();
    m_rows.clear();
    m_replies.clear();
    m_replyTargets.clear();
    m_rows.reserve(size_t(m_store.messageIndex().roomSize(m_roomId)));
    m_store.messageIndex().forEachInRoom(m_roomId, [this](const Entry &entry) {
        if (!entry.message.hiddenForMe)
            m_rows.push_back(&entry);
        if (entry.message.replyToId)
            noteReply(&entry);
    });
    endResetModel();
}

void TranscriptModel::noteReply(const Entry *entry)
{
    const auto known = m_replyTargets.constFind(entry);
    const QUuid target = entry->message.replyToId.value_or(QUuid());
    if (known != m_replyTargets.cend()) {
        if (*known == target)
            return;
        m_replies.remove(*known, entry);
        m_replyTargets.erase(known);
    }
    if (target.isNull())
        return;
    m_replyTargets.insert(entry, target);
    m_replies.insert(target, entry);
}

void TranscriptModel::touchRows(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    if (first <= last)
        emit dataChanged(index(first), index(last));
}

void TranscriptModel::touchAll()
{
    touchRows(0, count() - 1);
}

void TranscriptModel::touchReplies(const QUuid &targetId)
{
    const auto replies = m_replies.values(targetId);
    for (const Entry *reply : replies) {
        if (const int at = findRow(reply); at >= 0)
            touchRows(at, at);
    }
}

void TranscriptModel::removeRowAt(int row)
{
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    touchRows(row - 1, row);
}

void TranscriptModel::insertEntries(QList<const Entry *> entries)
{
    entries.removeIf([](const Entry *e) { return e->message.hiddenForMe; });
    if (entries.isEmpty())
        return;
    std::sort(entries.begin(), entries.end(), before);
    // The common case: new messages after the last row, inserted in one go.
    if (m_rows.empty() || before(m_rows.back(), entries.first())) {
        const int first = count();
        // The row above may end its group no more (its time line goes): told only when it looks
        // different, so that a message that starts a group of its own repaints itself alone.
        const std::optional<TranscriptRow> above
            = first > 0 ? std::optional(row(first - 1)) : std::nullopt;
        beginInsertRows({}, first, first + int(entries.size()) - 1);
        m_rows.insert(m_rows.end(), entries.cbegin(), entries.cend());
        endInsertRows();
        if (above && row(first - 1) != *above)
            touchRows(first - 1, first - 1);
        return;
    }
    for (const Entry *entry : std::as_const(entries)) {
        const int at = insertionRow(entry);
        // A model made while the store was telling other rooms of one change has read this
        // entry already.
        if (at < count() && m_rows[size_t(at)] == entry)
            continue;
        beginInsertRows({}, at, at);
        m_rows.insert(m_rows.begin() + at, entry);
        endInsertRows();
        touchRows(at - 1, at - 1);
        touchRows(at + 1, at + 1);
    }
}

void TranscriptModel::roomChanged(const QUuid &roomId, const MessageIndex::RoomChange &change)
{
    if (roomId != m_roomId)
        return;
    if (change.reset
        || change.inserted.size() + change.changed.size() + change.moved.size() > kBulkChange) {
        reload();
        return;
    }

    // Changed in place: the same row, unless it was hidden or shown.
    QList<const Entry *> toInsert;
    for (const Entry *entry : change.changed) {
        noteReply(entry);
        const int at = findRow(entry);
        if (at >= 0 && entry->message.hiddenForMe)
            removeRowAt(at);
        else if (at >= 0)
            touchRows(at - 1, at + 1);
        else
            toInsert.append(entry);
        touchReplies(entry->message.id);
    }

    // Moved (a service copy took an echo's place): usually still between the same neighbours,
    // which keeps the row; otherwise it leaves and comes back where it now belongs.
    QList<int> movedRows;
    bool keepPlaces = true;
    for (const Entry *entry : change.moved) {
        noteReply(entry);
        const int at = findRow(entry);
        if (at < 0) {
            toInsert.append(entry);
            continue;
        }
        movedRows.append(at);
        const bool inOrder = (at == 0 || before(m_rows[size_t(at - 1)], entry))
            && (at == count() - 1 || before(entry, m_rows[size_t(at + 1)]));
        keepPlaces = keepPlaces && inOrder && !entry->message.hiddenForMe;
    }
    if (keepPlaces) {
        for (int at : std::as_const(movedRows))
            touchRows(at - 1, at + 1);
    } else {
        std::sort(movedRows.begin(), movedRows.end(), std::greater<>());
        for (int at : std::as_const(movedRows)) {
            toInsert.append(m_rows[size_t(at)]);
            removeRowAt(at);
        }
    }
    for (const Entry *entry : change.moved)
        touchReplies(entry->message.id);
    for (auto it = change.formerIds.cbegin(); it != change.formerIds.cend(); ++it)
        touchReplies(it.value());

    for (const Entry *entry : change.inserted)
        noteReply(entry);
    toInsert.append(change.inserted);
    insertEntries(toInsert);
    // A message loaded after the answers to it (an older page) gives them their quote.
    for (const Entry *entry : change.inserted)
        touchReplies(entry->message.id);
}
