#pragma once

#include "model/Account.h"
#include "ui/common/KeyedListModel.h"

#include <QList>

class LocalStore;

// One row of the friend list: a section header, or an account (a received request, a friend or
// an official account).
struct FriendRow
{
    enum Kind { header, request, person, official };

    Kind kind = person;
    QString key; // unique in the list; a header keeps its key when its text changes
    QString text; // the header's text
    Account account;

    friend bool operator==(const FriendRow &, const FriendRow &) = default;
};

// The lower part of the friend list, in its order: "받은 요청" with the received requests, then,
// once the user has contacts, "친구 N" with the friends and "공식 계정" with the official
// accounts. It reads the store once per event-loop turn after a change, and only while it is
// active (the friend list is on screen); made active again, it catches up at once.
class FriendListModel : public KeyedListModel
{
    Q_OBJECT
public:
    enum Role { AccountIdRole = Qt::UserRole + 1, KindRole };

    // Made inactive, it reads the store first when it is made active.
    explicit FriendListModel(LocalStore &store, QObject *parent = nullptr, bool active = true);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const FriendRow &row(int row) const { return m_rows.at(row); }
    // Friends or official accounts exist (received requests do not count).
    bool hasContacts() const { return m_hasContacts; }

    void setActive(bool active);

protected:
    void rebuild() override;

private:
    void scheduleRefresh();

    LocalStore &m_store;
    QList<FriendRow> m_rows;
    bool m_hasContacts = false;
    bool m_active;
    bool m_stale;
};
