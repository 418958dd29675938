#pragma once

#include "ui/panels/PageBase.h"

class LocalStore;
class QAbstractButton;

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
