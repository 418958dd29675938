#pragma once

#include "ui/panels/PageBase.h"

class LocalStore;
class QLabel;
class QPushButton;
class WideButton;

// The invite link page: the user's own invite link, loaded when the page is made, with "복사",
// "공유" (on this desktop: copy, then a new mail with the link in the desktop's mail program)
// and "새로 만들기", which replaces the link after a confirmation. Whoever opens the link sends
// the user a friend request.
class InvitePanel : public PageBase
{
    Q_OBJECT
public:
    explicit InvitePanel(LocalStore &store, QWidget *parent = nullptr);

    QString link() const { return m_link; }

    static QString copiedText() { return QStringLiteral("링크를 복사했습니다."); }

private:
    void rotate();
    void copyLink();
    void present(const QString &link);

    LocalStore &m_store;
    QString m_link;
    QLabel *m_linkLabel;
    QLabel *m_noteLabel;
    WideButton *m_copy;
    QPushButton *m_share;
};
