#pragma once

#include "model/Account.h"
#include "ui/common/KeyedListModel.h"

#include <QList>

#include <functional>

// A list of accounts in the order that its source gives (the store's order: the views filter but
// never sort), keyed by the account's id: refresh() brings the rows up to date with the fewest
// changes (see KeyedListModel).
class AccountListModel : public KeyedListModel
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

    explicit AccountListModel(std::function<QList<Account>()> source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // The name, "공식" for an official account and "@handle", as a screen reader says them.
    static QString spokenPerson(const Account &account);

protected:
    // The rows' data beyond the account's own roles (accessible texts, check states...); an
    // invalid QVariant falls back to the account's roles.
    virtual QVariant extraData(const Account &, int /*role*/) const { return {}; }
    void rebuild() override;
    const QList<Account> &rows() const { return m_rows; }

private:
    std::function<QList<Account>()> m_source;
    QList<Account> m_rows;
};
