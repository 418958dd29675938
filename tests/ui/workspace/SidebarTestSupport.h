#pragma once

// A signed-in local store with rooms and people made to measure, and the navigation state the
// sidebar follows, moved as the workspace moves it on the sidebar's requests.

#include "StoreTestSupport.h"
#include "ui/workspace/MacChatList.h"
#include "ui/workspace/MacFriendList.h"
#include "ui/workspace/MacNavigation.h"
#include "ui/workspace/MacSidebar.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QStringList>

struct SidebarFixture
{
    SidebarFixture() { me = signInLocally(*store, QStringLiteral("나")); }

    Account addPerson(const QString &name, const QString &handle = {})
    {
        Account a = person(
            handle.isEmpty() ? QStringLiteral("h") + QString::number(++made) : handle, name);
        store->editAccounts([&](QList<Account> &list) { list.append(a); });
        return a;
    }

    // A room of mine with `others`, last active `age` seconds before a fixed moment.
    Conversation addRoom(ConversationKind kind, const QList<QUuid> &others,
                         const QString &title = {}, int age = 0, bool pinned = false)
    {
        QList<Membership> members{member(me)};
        for (const QUuid &id : others)
            members.append(member(id));
        Conversation c = room(kind, members, title);
        c.updatedAt = QDateTime::fromSecsSinceEpoch(1'700'000'000 - age, Qt::UTC);
        c.pinned = pinned;
        store->editConversations([&](QList<Conversation> &list) { list.append(c); });
        return c;
    }

    ChatMessage say(const QUuid &roomId, const QUuid &sender, const QString &body,
                    MessageKind kind = MessageKind::text, bool hidden = false)
    {
        ChatMessage m = textMessage(roomId, sender, ++seq, body);
        m.kind = kind;
        m.hiddenForMe = hidden;
        store->editMessages([&](MessageIndex &index) { index.append(m); });
        return m;
    }

    // A message arriving as the service delivers one: the message, then the room's activity.
    void arrive(const QUuid &roomId, const QUuid &sender, const QString &body)
    {
        const ChatMessage m = say(roomId, sender, body);
        store->editConversations([&](QList<Conversation> &list) {
            for (Conversation &c : list) {
                if (c.id == roomId)
                    c.updatedAt = m.createdAt;
            }
        });
    }

    // Answers a list's requests on `navigation` as the workspace does.
    void follow(MacChatList &list)
    {
        QObject::connect(&list, &MacChatList::queryEdited, &navigation, &MacNavigation::setQuery);
        QObject::connect(&list, &MacChatList::newChatRequested, &navigation,
                         [this] { navigation.setShowNewChat(true); });
        QObject::connect(&list, &MacChatList::roomRequested, &navigation, &MacNavigation::openRoom);
        QObject::connect(&list, &MacChatList::writeRequested, &navigation,
                         &MacNavigation::openRoomToWrite);
        QObject::connect(&list, &MacChatList::leaveRequested, &navigation,
                         [this](const QUuid &id) { navigation.setLeaveId(id); });
        QObject::connect(&list, &MacChatList::hidden, &navigation, [this](const QUuid &id) {
            if (navigation.page().isRoom(id))
                navigation.setPage(MacPage{});
        });
    }
    void follow(MacFriendList &list)
    {
        QObject::connect(&list, &MacFriendList::pageRequested, &navigation,
                         &MacNavigation::setPage);
        QObject::connect(&list, &MacFriendList::newChatRequested, &navigation,
                         [this] { navigation.setShowNewChat(true); });
    }
    void follow(MacSidebar &sidebar)
    {
        follow(*sidebar.chatList());
        follow(*sidebar.friendList());
        QObject::connect(&sidebar, &MacSidebar::sectionPicked, &navigation,
                         &MacNavigation::setSection);
        QObject::connect(&sidebar, &MacSidebar::settingsRequested, &navigation, [this] {
            navigation.setPageClosingInfo(MacPage{MacPage::settings, {}});
        });
    }

    std::unique_ptr<LocalStore> store = memoryStore();
    MacNavigation navigation;
    QUuid me;
    qint64 seq = 0;
    int made = 0;
};

// Lets the views' once-per-turn refreshes run.
inline void settleViews()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

inline QStringList displayTexts(const QAbstractItemModel &model)
{
    QStringList texts;
    for (int i = 0; i < model.rowCount(); ++i)
        texts.append(model.index(i, 0).data().toString());
    return texts;
}
