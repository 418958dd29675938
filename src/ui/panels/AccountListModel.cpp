#include "ui/panels/AccountListModel.h"

#include "ui/common/OfficialMark.h"

#include <QSet>

AccountListModel::AccountListModel(std::function<QList<Account>()> source, QObject *parent)
    : QAbstractListModel(parent)
    , m_source(std::move(source))
{
    m_rows = m_source();
}

int AccountListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QString AccountListModel::spokenPerson(const Account &account)
{
    QString spoken = account.displayName;
    if (account.kind == AccountKind::official)
        spoken += QStringLiteral(", ") + OfficialMark::text();
    if (!account.handle.isEmpty())
        spoken += QStringLiteral(", @") + account.handle;
    return spoken;
}

QVariant AccountListModel::extraData(const Account &, int) const
{
    return {};
}

QVariant AccountListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Account &account = m_rows.at(index.row());
    if (QVariant extra = extraData(account, role); extra.isValid())
        return extra;
    switch (role) {
    case Qt::DisplayRole:
        return account.displayName;
    case Qt::AccessibleTextRole:
        return spokenPerson(account);
    case IdRole:
        return account.id;
    case HandleRole:
        return account.handle;
    case OfficialRole:
        return account.kind == AccountKind::official;
    case AvatarJpegRole:
        return account.avatarJPEG.value_or(QByteArray());
    case AvatarUrlRole:
        return account.avatarURL.value_or(QString());
    default:
        return {};
    }
}

QHash<int, QByteArray> AccountListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(IdRole, "id");
    names.insert(HandleRole, "handle");
    names.insert(OfficialRole, "official");
    names.insert(AvatarJpegRole, "avatarJpeg");
    names.insert(AvatarUrlRole, "avatarUrl");
    return names;
}

void AccountListModel::reload()
{
    const QList<Account> wanted = m_source();
    QSet<QUuid> wantedIds;
    for (const Account &account : wanted)
        wantedIds.insert(account.id);

    // Rows that left the list, from the bottom so that the row numbers above stay put.
    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        if (wantedIds.contains(m_rows.at(row).id))
            continue;
        beginRemoveRows({}, row, row);
        m_rows.removeAt(row);
        endRemoveRows();
    }

    // What is left must keep its order among the wanted rows; otherwise start afresh.
    qsizetype next = 0;
    for (const Account &account : wanted) {
        if (next < m_rows.size() && m_rows.at(next).id == account.id)
            ++next;
    }
    if (next != m_rows.size()) {
        beginResetModel();
        m_rows = wanted;
        endResetModel();
        return;
    }

    for (int row = 0; row < wanted.size(); ++row) {
        const Account &account = wanted.at(row);
        if (row < m_rows.size() && m_rows.at(row).id == account.id) {
            if (!(m_rows.at(row) == account)) {
                m_rows[row] = account;
                emit dataChanged(index(row), index(row));
            }
            continue;
        }
        beginInsertRows({}, row, row);
        m_rows.insert(row, account);
        endInsertRows();
    }
}
