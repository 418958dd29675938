#pragma once

#include "ui/panels/PageBase.h"

class LocalStore;

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
