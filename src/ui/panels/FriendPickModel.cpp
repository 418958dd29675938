#include "ui/panels/FriendPickModel.h"

void FriendPickModel::setChosen(const QList<QUuid> &chosen)
{
    const QList<QUuid> before = std::exchange(m_chosen, chosen);
    for (int row = 0; row < rows().size(); ++row) {
        const QUuid &id = rows().at(row).id;
        if (before.contains(id) != m_chosen.contains(id))
            emit dataChanged(index(row), index(row), {Qt::CheckStateRole, Qt::AccessibleTextRole});
    }
}

QVariant FriendPickModel::extraData(const Account &account, int role) const
{
    const bool chosen = m_chosen.contains(account.id);
    switch (role) {
    case Qt::CheckStateRole:
        return chosen ? Qt::Checked : Qt::Unchecked;
    case Qt::AccessibleTextRole:
        return chosen ? QStringLiteral("선택 해제") : QStringLiteral("선택");
    case Qt::AccessibleDescriptionRole:
        return spokenPerson(account);
    default:
        return {};
    }
}
