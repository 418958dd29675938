#pragma once

#include <QWidget>

class LocalStore;

// The signed-in user's workspace. For now a single page that asks the user to pick a room;
// everything it opens (pages, sheets, dialogs) is its child, so dropping it drops them all.
class MacWorkspace : public QWidget
{
    Q_OBJECT
public:
    explicit MacWorkspace(LocalStore *store, QWidget *parent = nullptr);

    static QString emptyText() { return QStringLiteral("대화를 선택하세요."); }

private:
    LocalStore *m_store;
};
