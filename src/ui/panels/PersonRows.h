#pragma once

#include "ui/common/AccountListModel.h"
#include "ui/common/ActionRowDelegate.h"

#include <QHash>
#include <QUuid>

class LocalStore;

// The painted rows of the panels' lists of people, all of one height: the avatar or the button,
// whichever is taller, padded 8 above and below.

// Paints a row of a list of people: the person (PersonPaint), then at the trailing edge an
// optional tag (TagRole, footnote, secondary colour) and an optional red text button (ActionRole,
// 44 pixels high). The person is the row's own button (see ActionRowDelegate); from the
// keyboard, Delete presses the current row's button.
class PersonRowDelegate : public ActionRowDelegate
{
    Q_OBJECT
public:
    enum Role {
        TagRole = AccountListModel::AvatarUrlRole + 16, // QString; empty: no tag
        ActionRole, // QString, the button's text; empty: no button
    };

    static constexpr int padding = 16;

    using ActionRowDelegate::ActionRowDelegate;

    // Where a row occupying `row` paints its button of `text`.
    static QRect actionRect(const QRect &row, const QString &text);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    QStringList actions(const QModelIndex &row) const override;
    QRect actionRect(const QRect &rect, const QModelIndex &row, int action) const override;
    int keyPart(int key, const QModelIndex &row) const override;
};

// Paints a row of the block list: the person and the row's "해제" button at the trailing edge. A
// click inside the painted button is the row's one action; clicks elsewhere on the row do
// nothing.
class BlockedRowDelegate : public ActionRowDelegate
{
    Q_OBJECT
public:
    using ActionRowDelegate::ActionRowDelegate;

    static QString buttonText() { return QStringLiteral("해제"); }

    // Where the "해제" button is painted in a row occupying `row`.
    static QRect buttonRect(const QRect &row);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    bool pressable(const QModelIndex &) const override { return false; }
    QStringList actions(const QModelIndex &) const override { return {buttonText()}; }
    QRect actionRect(const QRect &rect, const QModelIndex &, int) const override
    {
        return buttonRect(rect);
    }
};

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

    LocalStore &m_store;
    QUuid m_roomId;
    QHash<QUuid, Marks> m_marks;
};
