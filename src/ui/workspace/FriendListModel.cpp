#include "ui/workspace/FriendListModel.h"

#include "store/LocalStore.h"
#include "ui/common/PersonLabel.h"

#include <QSet>

FriendListModel::FriendListModel(LocalStore &store, QObject *parent, bool active)
    : KeyedListModel(parent)
    , m_store(store)
    , m_active(active)
    , m_stale(!active)
{
    // Friends come from the friend links (local mode) or the direct rooms (with a server);
    // official accounts from the links, the rooms and the block list.
    for (auto signal :
         {&LocalStore::accountsChanged, &LocalStore::sessionChanged, &LocalStore::friendsChanged,
          &LocalStore::conversationsChanged, &LocalStore::officialLinksChanged,
          &LocalStore::blocksChanged, &LocalStore::hiddenRoomIDsChanged})
        connect(&m_store, signal, this, &FriendListModel::scheduleRefresh);
    if (m_active)
        refresh();
}

int FriendListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant FriendListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FriendRow &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return r.kind == FriendRow::header ? r.text : r.account.displayName;
    case Qt::AccessibleTextRole:
        return r.kind == FriendRow::header
            ? r.text
            : PersonLabel::spokenText(r.account.displayName, r.account.handle,
                                      r.kind == FriendRow::official);
    case AccountIdRole:
        return r.kind == FriendRow::header ? QVariant() : QVariant(r.account.id);
    case KindRole:
        return int(r.kind);
    default:
        return {};
    }
}

void FriendListModel::setActive(bool active)
{
    m_active = active;
    if (m_active && m_stale)
        refresh();
}

void FriendListModel::scheduleRefresh()
{
    if (m_active)
        refreshSoon();
    else
        m_stale = true;
}

void FriendListModel::rebuild()
{
    m_stale = false;
    const QList<Account> requests = m_store.incomingRequests();
    const QList<Account> friends = m_store.friendAccounts();
    const QList<Account> officials = m_store.followedOfficials();
    m_hasContacts = !friends.isEmpty() || !officials.isEmpty();

    QList<FriendRow> next;
    QSet<QString> keys;
    const auto add = [&](FriendRow row) {
        // An account listed twice in one section would make two rows with one key.
        if (!keys.contains(row.key)) {
            keys.insert(row.key);
            next.append(std::move(row));
        }
    };
    // A header, which keeps its key when its text changes, then the section's accounts.
    const auto addSection
        = [&](const char *key, const QString &title, const QList<Account> &accounts,
              FriendRow::Kind kind, QChar prefix) {
              add(FriendRow{FriendRow::header, QLatin1String(key), title, {}});
              for (const Account &a : accounts)
                  add(FriendRow{kind, prefix + a.id.toString(QUuid::WithoutBraces), {}, a});
          };
    if (!requests.isEmpty())
        addSection("h:requests", QStringLiteral("받은 요청"), requests, FriendRow::request, u'r');
    if (m_hasContacts) {
        addSection("h:friends", QStringLiteral("친구 %1").arg(friends.size()), friends,
                   FriendRow::person, u'p');
        if (!officials.isEmpty())
            addSection("h:officials", QStringLiteral("공식 계정"), officials, FriendRow::official,
                       u'o');
    }

    syncRows(
        m_rows, next, [](const FriendRow &r) { return r.key; },
        [](const FriendRow &a, const FriendRow &b) { return a == b; });
}
