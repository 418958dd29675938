#include "ui/common/AccountListModel.h"

#include "ui/common/PersonLabel.h"

#include <QSet>

AccountListModel::AccountListModel(std::function<QList<Account>()> source, QObject *parent)
    : KeyedListModel(parent)
    , m_source(std::move(source))
{
    AccountListModel::rebuild();
}

int AccountListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QString AccountListModel::spokenPerson(const Account &account)
{
    return PersonLabel::spokenText(account.displayName, account.handle,
                                   account.kind == AccountKind::official);
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

void AccountListModel::rebuild()
{
    // A source that names an account twice shows it once, where it first appears.
    QList<Account> next;
    QSet<QUuid> seen;
    for (Account &account : m_source()) {
        if (!seen.contains(account.id)) {
            seen.insert(account.id);
            next.append(std::move(account));
        }
    }
    syncRows(
        m_rows, next, [](const Account &account) { return account.id; },
        [](const Account &a, const Account &b) { return a == b; });
}
