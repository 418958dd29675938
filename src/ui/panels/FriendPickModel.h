#pragma once

#include "ui/common/AccountListModel.h"

#include <QList>
#include <QUuid>

// The friends that the new-conversation sheet offers, each with whether it is chosen
// (Qt::CheckStateRole). A row's accessible text is its action, "선택" or "선택 해제"; the
// person is its accessible description.
class FriendPickModel : public AccountListModel
{
    Q_OBJECT
public:
    using AccountListModel::AccountListModel;

    // The chosen ids; rows whose state changes are a dataChanged each.
    void setChosen(const QList<QUuid> &chosen);

protected:
    QVariant extraData(const Account &account, int role) const override;

private:
    QList<QUuid> m_chosen;
};
