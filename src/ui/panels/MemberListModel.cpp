#include "ui/panels/MemberListModel.h"

#include "store/LocalStore.h"
#include "ui/panels/PersonRowDelegate.h"

MemberListModel::MemberListModel(LocalStore &store, const QUuid &roomId, QObject *parent)
    : AccountListModel([&store, roomId] { return members(store, roomId); }, parent)
    , m_store(store)
    , m_roomId(roomId)
    , m_marks(currentMarks())
{ }

QList<Account> MemberListModel::members(const LocalStore &store, const QUuid &roomId)
{
    const std::optional<Conversation> room = store.conversation(roomId);
    if (!room)
        return {};
    QList<Account> rows;
    for (const Membership &member : LocalStore::activeMembers(*room)) {
        if (std::optional<Account> account = store.account(member.userId)) {
            rows.append(*account);
            continue;
        }
        Account unknown;
        unknown.id = member.userId;
        unknown.kind = AccountKind::person;
        unknown.displayName = unknownName();
        rows.append(unknown);
    }
    return rows;
}

QHash<QUuid, MemberListModel::Marks> MemberListModel::currentMarks() const
{
    QHash<QUuid, Marks> marks;
    const std::optional<Conversation> room = m_store.conversation(m_roomId);
    if (!room)
        return marks;
    const bool owning = m_store.isOwner(*room);
    const std::optional<Account> me = m_store.me();
    for (const Membership &member : LocalStore::activeMembers(*room)) {
        Marks &mark = marks[member.userId];
        mark.owner = mark.owner || member.role == MemberRole::owner;
        mark.kickable = owning && !(me && me->id == member.userId);
    }
    return marks;
}

void MemberListModel::rebuild()
{
    AccountListModel::rebuild();
    const QHash<QUuid, Marks> marks = currentMarks();
    const QHash<QUuid, Marks> before = std::exchange(m_marks, marks);
    for (int row = 0; row < rowCount(); ++row) {
        const QUuid id = rows().at(row).id;
        if (before.value(id) != marks.value(id))
            emit dataChanged(index(row), index(row));
    }
}

QVariant MemberListModel::extraData(const Account &account, int role) const
{
    const Marks mark = m_marks.value(account.id);
    switch (role) {
    case PersonRowDelegate::TagRole:
        return mark.owner ? ownerTag() : QString();
    case PersonRowDelegate::ActionRole:
        return mark.kickable ? kickText() : QString();
    case Qt::AccessibleTextRole:
        return spokenPerson(account) + (mark.owner ? QStringLiteral(", ") + ownerTag() : QString());
    case Qt::AccessibleDescriptionRole:
        return mark.kickable ? kickText() : QString();
    default:
        return {};
    }
}
