#pragma once

#include "ui/common/AccountListModel.h"

#include <QHash>
#include <QUuid>

class LocalStore;

// The active members of a room, in the store's order (LocalStore::activeMembers()), each as its
// account, or as "회원" without handle or picture when the store does not know the account. The
// owner's row carries the tag "방장"; while the signed-in user owns the room, every other row
// carries the button "내보내기".
class MemberListModel : public AccountListModel
{
    Q_OBJECT
public:
    MemberListModel(LocalStore &store, const QUuid &roomId, QObject *parent = nullptr);

    static QString ownerTag() { return QStringLiteral("방장"); }
    static QString kickText() { return QStringLiteral("내보내기"); }
    static QString unknownName() { return QStringLiteral("회원"); }

protected:
    QVariant extraData(const Account &account, int role) const override;
    // Brings the rows up to date, a tag or button that came or went included.
    void rebuild() override;

private:
    struct Marks
    {
        bool owner = false;
        bool kickable = false;
        friend bool operator==(const Marks &, const Marks &) = default;
    };
    QHash<QUuid, Marks> currentMarks() const;
    static QList<Account> members(const LocalStore &store, const QUuid &roomId);

    LocalStore &m_store;
    QUuid m_roomId;
    QHash<QUuid, Marks> m_marks;
};
