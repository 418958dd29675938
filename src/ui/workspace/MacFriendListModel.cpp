#include "ui/workspace/MacFriendListModel.h"

#include "store/LocalStore.h"
#include "ui/common/PersonLabel.h"

#include <QSet>

bool MacFriendRow::looksLike(const MacFriendRow &other) const
{
    return kind == other.kind && key == other.key && text == other.text && account == other.account;
}

MacFriendListModel::MacFriendListModel(LocalStore &store, QObject *parent)
    : KeyedListModel(parent)
    , m_store(store)
{ // Friends come from the friend links (local mode) or the direct rooms (with a server);
    // official accounts from the links, the rooms and the block list.
    for (auto signal :
         {&LocalStore::accountsChanged, &LocalStore::sessionChanged, &LocalStore::friendsChanged,
          &LocalStore::conversationsChanged, &LocalStore::officialLinksChanged,
          &LocalStore::blocksChanged, &LocalStore::hiddenRoomIDsChanged})
        connect(&m_store, signal, this, &MacFriendListModel::scheduleRefresh);
    refresh();
}

int MacFriendListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MacFriendListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MacFriendRow &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return r.kind == MacFriendRow::header ? r.text : r.account.displayName;
    case Qt::AccessibleTextRole:
        return r.kind == MacFriendRow::header
            ? r.text
            : PersonLabel::spokenText(r.account.displayName, r.account.handle,
                                      r.kind == MacFriendRow::official);
    case AccountIdRole:
        return r.kind == MacFriendRow::header ? QVariant() : QVariant(r.account.id);
    case KindRole:
        return int(r.kind);
    default:
        return {};
    }
}

void MacFriendListModel::setActive(bool active)
{
    m_active = active;
    if (m_active && m_stale)
        refresh();
}

void MacFriendListModel::scheduleRefresh()
{
    if (m_active)
        refreshSoon();
    else
        m_stale = true;
}

void MacFriendListModel::rebuild()
{
    m_stale = false;
    const QList<Account> requests = m_store.incomingRequests();
    const QList<Account> friends = m_store.friendAccounts();
    const QList<Account> officials = m_store.followedOfficials();
    m_hasContacts = !friends.isEmpty() || !officials.isEmpty();

    QList<MacFriendRow> next;
    QSet<QString> keys;
    const auto add = [&](MacFriendRow row) {
        // An account listed twice in one section would make two rows with one key.
        if (!keys.contains(row.key)) {
            keys.insert(row.key);
            next.append(std::move(row));
        }
    };
    const auto addAccounts
        = [&](const QList<Account> &accounts, MacFriendRow::Kind kind, QChar prefix) {
              for (const Account &a : accounts)
                  add(MacFriendRow{kind, prefix + a.id.toString(QUuid::WithoutBraces), {}, a});
          };
    if (!requests.isEmpty()) {
        add(MacFriendRow{
            MacFriendRow::header, QStringLiteral("h:requests"), QStringLiteral("받은 요청"), {}});
        addAccounts(requests, MacFriendRow::request, u'r');
    }
    if (m_hasContacts) {
        add(MacFriendRow{MacFriendRow::header,
                         QStringLiteral("h:friends"),
                         friendsHeader(int(friends.size())),
                         {}});
        addAccounts(friends, MacFriendRow::person, u'p');
        if (!officials.isEmpty()) {
            add(MacFriendRow{MacFriendRow::header,
                             QStringLiteral("h:officials"),
                             QStringLiteral("공식 계정"),
                             {}});
            addAccounts(officials, MacFriendRow::official, u'o');
        }
    }

    syncRows(
        m_rows, next, [](const MacFriendRow &r) { return r.key; },
        [](const MacFriendRow &a, const MacFriendRow &b) { return a.looksLike(b); });
    emit refreshed();
}

QString MacFriendListModel::friendsHeader(int count)
{
    return QStringLiteral("친구 ") + QString::number(count);
}
