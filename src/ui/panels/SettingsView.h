#pragma once

// The settings page and the pages it leads to: password change, block list, account deletion.

#include "ui/panels/PageBase.h"

class LocalStore;
class QAbstractButton;
class QLabel;
class QLineEdit;
class WideButton;

// The settings page: the three notification switches, the ways to the block list, the password
// and the account deletion pages, logging out after a confirmation, and the version line.
// The switches keep no copy of their own: they show the store's values and follow its changes.
class SettingsView : public PageBase
{
    Q_OBJECT
public:
    explicit SettingsView(LocalStore &store, QWidget *parent = nullptr);

signals:
    // The ways to the other pages of the settings.
    void passwordRequested();
    void blockedRequested();
    void deleteAccountRequested();

private:
    QWidget *notificationSwitches(QWidget *parent);
    QWidget *pageActions(QWidget *parent);
    void refresh();

    LocalStore &m_store;
    QAbstractButton *m_enabled;
    QAbstractButton *m_preview;
    QAbstractButton *m_sound;
};

// The password change page: the current password, the new one twice, a local check of the
// confirmation and the password rule, then the store's change. The outcome stays on the page
// (a red failure line or a success line); the page never closes itself.
class PasswordView : public PageBase
{
    Q_OBJECT
public:
    explicit PasswordView(LocalStore &store, QWidget *parent = nullptr);

    static QString mismatchText() { return QStringLiteral("비밀번호가 서로 다릅니다."); }
    static QString ruleText() { return QStringLiteral("8자 이상, 영문과 숫자를 포함합니다."); }
    static QString changedText() { return QStringLiteral("비밀번호를 바꿨습니다."); }

private:
    void save();
    void updateButton();

    LocalStore &m_store;
    QLineEdit *m_current;
    QLineEdit *m_password;
    QLineEdit *m_confirm;
    QLabel *m_info;
    QLabel *m_error;
    WideButton *m_save;
};

// The block list page: the blocked accounts that the store lists, each with "해제", which lifts
// the block at once without asking. The list follows the store: a lifted block leaves it, a
// block that the service refused to lift comes back.
class BlockedList : public PageBase
{
    Q_OBJECT
public:
    explicit BlockedList(LocalStore &store, QWidget *parent = nullptr);

    static QString emptyText() { return QStringLiteral("차단한 계정이 없습니다."); }
};

// The account deletion page: what deleting means, a field for the confirmation word and the
// destructive button, which stays disabled until the field holds exactly "삭제". There is no
// dialog. Once pressed the button stays busy: success replaces the whole window, and a failure
// reaches the user as the store's notice, not on this page.
class DeleteAccount : public PageBase
{
    Q_OBJECT
public:
    explicit DeleteAccount(LocalStore &store, QWidget *parent = nullptr);

    static QString confirmationWord() { return QStringLiteral("삭제"); }
};
