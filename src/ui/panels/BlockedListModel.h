#pragma once

#include "model/Account.h"

#include <QAbstractListModel>
#include <QList>

class LocalStore;

// The accounts of the block list, in the store's order (LocalStore::blockedAccounts()). reload()
// brings the rows up to date with the fewest changes: a lifted block removes its row, a new one
// is inserted where the store puts it, and an account whose record changed is a dataChanged of
// its row.
class BlockedListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        HandleRole, // without "@"; may be empty
        OfficialRole, // bool
        AvatarJpegRole, // QByteArray, empty when there is none
        AvatarUrlRole, // QString, empty when there is none
    };

    explicit BlockedListModel(LocalStore &store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    void reload();

private:
    LocalStore &m_store;
    QList<Account> m_rows;
};
