#pragma once

#include "ui/panels/PageBase.h"

class LocalStore;
class QLabel;
class QLineEdit;
class WideButton;

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
