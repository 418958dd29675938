#pragma once

#include "model/Account.h"
#include "model/TextLimits.h"
#include "ui/panels/PageBase.h"

#include <QUuid>

#include <optional>

class FriendPickModel;
class LocalStore;
class LookupResultRow;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class StoreRedraw;
class WideButton;

// The new-conversation sheet. Stage 1 chooses people: a search over the friends, the chips of
// the people chosen so far, and a lookup by handle for someone who is not a friend (whose row
// also offers the friend request and unblocking). One chosen person may be talked to at once
// ("대화"); "다음" goes on to stage 2, which names the group and creates it ("만들기").
//
// The sheet asks its presenter to open a direct room or to create the group; the presenter
// opens the room and closes the sheet, or reports a failed creation back through
// createFailed(). "취소" asks for the close through closeRequested(). There is no way back from
// stage 2.
class NewChat : public PageBase
{
    Q_OBJECT
public:
    // With me, a group has at most TextLimit::groupMembers members.
    static constexpr int maxChosen = TextLimit::groupMembers - 1;

    explicit NewChat(LocalStore &store, QWidget *parent = nullptr);

    static QString missText() { return QStringLiteral("해당하는 아이디가 없습니다."); }
    static QString failedText() { return QStringLiteral("대화를 만들지 못했습니다."); }

    QList<QUuid> chosen() const { return m_chosen; }
    bool isNaming() const { return m_naming; }

    // The group could not be made: "만들기" is free again and the red line says so.
    void createFailed();

signals:
    // "대화" for the one chosen person, or for the official account found by handle.
    void chatRequested(const QUuid &userId);
    // "만들기", at most once while the request is on its way.
    void groupRequested(const QList<QUuid> &memberIds, const QString &title);

private:
    QWidget *choosingStage();
    void connectActions();
    QWidget *listArea(QWidget *parent);
    QWidget *namingStage();
    // The friends that the search leaves, in the store's order.
    QList<Account> friends() const;
    QString trimmedQuery() const;
    void toggle(const QUuid &id);

    void refresh();
    void refreshChips();

    LocalStore &m_store;

    QList<QUuid> m_chosen;
    std::optional<Account> m_lookup;
    bool m_lookupMiss = false;
    bool m_naming = false;

    QPushButton *m_talk;
    QPushButton *m_next;
    QStackedWidget *m_stages;
    QLineEdit *m_query;
    QScrollArea *m_chipArea;
    QHBoxLayout *m_chipRow;
    QList<std::pair<QUuid, QString>> m_chipsShown;
    FriendPickModel *m_friends;
    QPushButton *m_find;
    LookupResultRow *m_result;
    QLabel *m_miss;
    QLineEdit *m_title;
    WideButton *m_create;
    QLabel *m_failedLine;
    StoreRedraw *m_redraw;
};
