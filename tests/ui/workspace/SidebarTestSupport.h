#pragma once

// A signed-in local store with rooms and people made to measure, and the navigation state the
// sidebar follows, moved as the workspace moves it on the sidebar's requests.

#include "StoreTestSupport.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/FriendList.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/Sidebar.h"

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
    void follow(ChatList &list)
    {
        QObject::connect(&list, &ChatList::queryEdited, &navigation, &Navigation::setQuery);
        QObject::connect(&list, &ChatList::newChatRequested, &navigation,
                         [this] { navigation.setShowNewChat(true); });
        QObject::connect(&list, &ChatList::roomRequested, &navigation, &Navigation::openRoom);
        QObject::connect(&list, &ChatList::writeRequested, &navigation,
                         &Navigation::openRoomToWrite);
        QObject::connect(&list, &ChatList::leaveRequested, &navigation,
                         [this](const QUuid &id) { navigation.setLeaveId(id); });
        QObject::connect(&list, &ChatList::hidden, &navigation, [this](const QUuid &id) {
            if (navigation.page().isRoom(id))
                navigation.setPage(Page{});
        });
    }
    void follow(FriendList &list)
    {
        QObject::connect(&list, &FriendList::pageRequested, &navigation, &Navigation::setPage);
        QObject::connect(&list, &FriendList::newChatRequested, &navigation,
                         [this] { navigation.setShowNewChat(true); });
    }
    void follow(Sidebar &sidebar)
    {
        follow(*sidebar.chatList());
        follow(*sidebar.friendList());
        QObject::connect(&sidebar, &Sidebar::sectionPicked, &navigation, &Navigation::setSection);
        QObject::connect(&sidebar, &Sidebar::settingsRequested, &navigation, [this] {
            navigation.setPageClosingInfo(Page{Page::settings, {}});
        });
    }

    std::unique_ptr<LocalStore> store = memoryStore();
    Navigation navigation;
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
