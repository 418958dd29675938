#include "ui/panels/BlockedListModel.h"

#include "store/LocalStore.h"

BlockedListModel::BlockedListModel(LocalStore &store, QObject *parent)
    : AccountListModel([&store] { return store.blockedAccounts(); }, parent)
{ }

QVariant BlockedListModel::extraData(const Account &, int role) const
{
    if (role == Qt::AccessibleDescriptionRole)
        return QStringLiteral("해제");
    return {};
}
