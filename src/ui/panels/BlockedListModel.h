#pragma once

#include "ui/common/AccountListModel.h"

class LocalStore;

// The accounts of the block list, in the store's order (LocalStore::blockedAccounts()).
class BlockedListModel : public AccountListModel
{
    Q_OBJECT
public:
    explicit BlockedListModel(LocalStore &store, QObject *parent = nullptr);

protected:
    QVariant extraData(const Account &account, int role) const override;
};
