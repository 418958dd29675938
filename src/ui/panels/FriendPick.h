#pragma once

#include "model/Account.h"
#include "ui/common/AccountListModel.h"
#include "ui/common/ActionRowDelegate.h"

#include <QList>
#include <QUuid>

class ChoiceButton;
class LocalStore;
class QGraphicsOpacityEffect;
class QLabel;
class QPushButton;

// The rows of the new-conversation sheet's list: its friends and the account that a handle
// lookup found.

// The friends that the new-conversation sheet offers, each with whether it is chosen
// (Qt::CheckStateRole). A screen reader reads a row as the person, its choice as the row's
// checked state.
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

// Paints a row of the new-conversation sheet's friend list: the check symbol
// ("checkmark.circle.fill" while chosen, else "circle") in a 44-pixel box, then the person. The
// whole row is the button (personClicked()); a press makes its row the current one.
class FriendPickDelegate : public ActionRowDelegate
{
    Q_OBJECT
public:
    static constexpr int padding = 8;

    explicit FriendPickDelegate(QAbstractItemView *view)
        : ActionRowDelegate(view, true)
    { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // The same for every row and width.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The row of the account that a handle lookup found, under the new-conversation sheet's friend
// list. What it offers follows the account and the store's state for it:
// - an official account: its label marked official and "대화" while nobody is chosen; the whole
//   row faded while people are chosen (it can never join a selection);
// - a friend: a choosable row like the friend list's;
// - any other person: the label beside a faded circle, not choosable.
// At the trailing end: "차단 해제" when blocked, else "요청함" (a waiting request of mine), "요청"
// (no link yet) or "수락" (their request); nothing for friends and official accounts. Those
// three call the store at once.
class LookupResultRow : public QWidget
{
    Q_OBJECT
public:
    explicit LookupResultRow(LocalStore &store, QWidget *parent = nullptr);

    // Draws the row for `account` with the store's present state; `chosen` is the sheet's
    // selection.
    void present(const Account &account, const QList<QUuid> &chosen);

signals:
    void chooseRequested(const QUuid &id);
    void openRequested(const QUuid &id);

private:
    LocalStore &m_store;
    QUuid m_id;
    ChoiceButton *m_choice;
    QPushButton *m_open;
    QPushButton *m_unblock;
    QPushButton *m_request;
    QPushButton *m_accept;
    QLabel *m_requested;
    QGraphicsOpacityEffect *m_fade;
};
