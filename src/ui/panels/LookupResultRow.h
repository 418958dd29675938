#pragma once

#include "model/Account.h"

#include <QWidget>

#include <optional>

class LocalStore;
class PersonLabel;
class QGraphicsOpacityEffect;
class QLabel;
class QPushButton;
class ChoiceButton;

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
    PersonLabel *m_person;
    QPushButton *m_open;
    QPushButton *m_unblock;
    QPushButton *m_request;
    QPushButton *m_accept;
    QLabel *m_requested;
    QGraphicsOpacityEffect *m_fade;
};
