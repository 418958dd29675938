// The rooms' search texts kept by the store: after any change of rooms, people or who is signed
// in, a search finds exactly the rooms that a search over the texts as they are now finds, both
// at once (in the same turn as the change) and once the kept texts were brought up to date.

#include "StoreTestSupport.h"
#include "store/RoomSearchTexts.h"
#include "store/TextCompare.h"

#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct Scene
{
    Scene()
    {
        me = signInLocally(*store, u"나"_s);
        mina = add(u"김민아"_s);
        joon = add(u"Joon Park"_s);
        hae = add(u"해린"_s);
        direct = addRoom(ConversationKind::direct, {mina.id});
        group = addRoom(ConversationKind::group, {joon.id, hae.id});
        titled = addRoom(ConversationKind::group, {mina.id, joon.id}, u"주말 등산"_s);
    }

    Account add(const QString &name)
    {
        const Account a = person(u"h"_s + QString::number(++made), name);
        store->editAccounts([&](QList<Account> &list) { list.append(a); });
        return a;
    }

    QUuid addRoom(ConversationKind kind, const QList<QUuid> &others, const QString &title = {})
    {
        QList<Membership> members{member(me)};
        for (const QUuid &id : others)
            members.append(member(id));
        const Conversation c = room(kind, members, title);
        store->editConversations([&](QList<Conversation> &list) { list.append(c); });
        return c.id;
    }

    void rename(const Account &account, const QString &name)
    {
        Account a = account;
        a.displayName = name;
        store->replaceAccount(a);
    }

    // The rooms whose texts contain `query`, as the kept texts find them (none when a search of
    // all rooms at once and one room by room disagree) and as the store's own reading of the
    // texts finds them.
    std::pair<QList<QUuid>, QList<QUuid>> found(const QString &query) const
    {
        RoomSearchTexts &texts = RoomSearchTexts::of(*store);
        const QString form = TextCompare::searchForm(query);
        QList<QUuid> ids, one, now;
        for (const Conversation &c : store->conversations()) {
            ids.append(c.id);
            if (texts.matches(c.id, form))
                one.append(c.id);
            if (store->matches(c, query))
                now.append(c.id);
        }
        // Room by room and all at once, the kept texts find the same.
        const QList<QUuid> kept = texts.filter(ids, form);
        return {kept == one ? kept : QList<QUuid>{}, now};
    }

    std::unique_ptr<LocalStore> store = memoryStore();
    QUuid me;
    Account mina, joon, hae;
    QUuid direct, group, titled;
    int made = 0;
};

using Change = std::function<void(Scene &)>;

} // namespace

Q_DECLARE_METATYPE(Change)

class TestStoreSearchTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void followsChanges_data();
    void followsChanges();
    void changesBetweenSlices();
    void longRunOfChanges();
};

void TestStoreSearchTexts::followsChanges_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("queries");

    QTest::newRow("nothing changed")
        << Change([](Scene &) {}) << QStringList{u"민아"_s, u"JOON"_s, u"등산"_s, u"없음"_s};
    QTest::newRow("member renamed, named")
        << Change([](Scene &s) { s.rename(s.joon, u"Jun Ho"_s); })
        << QStringList{u"joon"_s, u"jun"_s, u"해린"_s};
    QTest::newRow("accounts replaced as a whole list") << Change([](Scene &s) {
        s.store->editAccounts([&](QList<Account> &list) {
            for (Account &a : list) {
                if (a.id == s.mina.id)
                    a.displayName = u"박서연"_s;
            }
            list.prepend(person(u"new"_s, u"새 사람"_s));
        });
    }) << QStringList{u"민아"_s, u"서연"_s, u"새"_s};
    QTest::newRow("member gone from the accounts") << Change([](Scene &s) {
        s.store->editAccounts([&](QList<Account> &list) {
            list.removeIf([&](const Account &a) { return a.id == s.hae.id; });
        });
    }) << QStringList{u"해린"_s, u"joon"_s};
    QTest::newRow("new room") << Change([](Scene &s) {
        const Account new_ = s.add(u"Émile"_s);
        s.addRoom(ConversationKind::direct, {new_.id});
    }) << QStringList{u"emile"_s, u"ÉMI"_s, u"민아"_s};
    QTest::newRow("member joins a room, named") << Change([](Scene &s) {
        Conversation c = *s.store->conversation(s.group);
        c.memberships.append(member(s.mina.id));
        s.store->replaceConversation(c);
    }) << QStringList{u"민아"_s, u"해린"_s};
    QTest::newRow("member leaves a room") << Change([](Scene &s) {
        Conversation c = *s.store->conversation(s.group);
        c.memberships.last().leftAt = QDateTime::currentDateTimeUtc();
        s.store->replaceConversation(c);
    }) << QStringList{u"해린"_s, u"joon"_s};
    QTest::newRow("room titled, rooms replaced as a whole list") << Change([](Scene &s) {
        s.store->editConversations([&](QList<Conversation> &list) {
            for (Conversation &c : list) {
                if (c.id == s.group)
                    c.title = u"Book Club"_s;
            }
            list.move(0, list.size() - 1);
        });
    }) << QStringList{u"book"_s, u"joon"_s, u"민아"_s};
    QTest::newRow("room removed") << Change([](Scene &s) {
        s.store->editConversations([&](QList<Conversation> &list) {
            list.removeIf([&](const Conversation &c) { return c.id == s.titled; });
        });
    }) << QStringList{u"등산"_s, u"민아"_s};
    QTest::newRow("another user signed in") << Change([](Scene &s) {
        s.store->setSession(AppSession{s.joon.id, true});
    }) << QStringList{u"joon"_s, u"나"_s, u"해린"_s};
}

void TestStoreSearchTexts::followsChanges()
{
    QFETCH(Change, change);
    QFETCH(QStringList, queries);
    Scene s;
    // The texts are made before the change, so that the change has to reach them.
    RoomSearchTexts::of(*s.store).prepare();
    QCoreApplication::processEvents();
    // Looked for in the turn of the change, then after the turn has made them again.
    for (bool settled : {false, true}) {
        change(s);
        if (settled)
            QCoreApplication::processEvents();
        for (const QString &query : queries) {
            const auto [kept, now] = s.found(query);
            QVERIFY2(kept == now, qPrintable(query));
        }
    }
}

// Thousands of rooms are made over several turns: changes that land between two turns, on rooms
// made already and on rooms still waiting, reach the texts, and a search between turns sees
// every room.
void TestStoreSearchTexts::changesBetweenSlices()
{
    Scene s;
    const qsizetype count = RoomSearchTexts::kSlice * 2 + 500;
    QList<Account> people;
    QList<Conversation> rooms;
    for (qsizetype i = 0; i < count; ++i) {
        people.append(person(u"p"_s + QString::number(i), u"사람 "_s + QString::number(i)));
        rooms.append(room(ConversationKind::direct, {member(s.me), member(people.last().id)}));
    }
    s.store->editAccounts([&](QList<Account> &list) { list.append(people); });
    s.store->editConversations([&](QList<Conversation> &list) { list.append(rooms); });
    QCoreApplication::processEvents(); // the first slice

    s.rename(people.first(), u"첫째"_s);
    s.rename(people.last(), u"막내"_s);
    s.store->editConversations([&](QList<Conversation> &list) {
        list.removeIf([&](const Conversation &c) { return c.id == rooms.at(count / 2).id; });
    });
    QCoreApplication::processEvents();
    for (const QString &query : {u"첫째"_s, u"막내"_s, u"사람 0"_s, u"사람 %1"_s.arg(count - 1),
                                 u"사람 %1"_s.arg(count / 2), u"사람 1"_s}) {
        const auto [kept, now] = s.found(query);
        QVERIFY2(kept == now, qPrintable(query));
    }
    for (int turn = 0; turn < 8; ++turn)
        QCoreApplication::processEvents();
    s.rename(people.at(count / 3), u"가운데"_s);
    QCoreApplication::processEvents();
    const auto [kept, now] = s.found(u"가운데"_s);
    QCOMPARE(kept, now);
    QCOMPARE(kept.size(), 1);
}

// Round after round of titles, names and members changing in hundreds of rooms: what the texts
// keep of earlier rounds is let go and the rest kept in place, and a search finds what it finds
// in the rooms as they are, as does a rename in a room that someone joined many rounds earlier.
void TestStoreSearchTexts::longRunOfChanges()
{
    Scene s;
    QList<Account> people;
    QList<Conversation> rooms;
    for (int i = 0; i < 300; ++i) {
        people.append(person(u"q"_s + QString::number(i), u"이름 %1"_s.arg(i)));
        rooms.append(room(ConversationKind::group, {member(s.me), member(people.last().id)},
                          u"방 %1"_s.arg(i)));
    }
    s.store->editAccounts([&](QList<Account> &list) { list.append(people); });
    s.store->editConversations([&](QList<Conversation> &list) { list.append(rooms); });
    for (int round = 1; round <= 12; ++round) {
        s.store->editConversations([&](QList<Conversation> &list) {
            for (qsizetype i = 0; i < list.size(); ++i) {
                Conversation &c = list[i];
                if (c.title.startsWith(u"방"_s)) {
                    c.title = u"방 %1 라운드 %2"_s.arg(i).arg(round);
                    c.memberships.append(member(people.at((i + round) % people.size()).id));
                }
            }
        });
        s.store->editAccounts([&](QList<Account> &list) {
            for (Account &a : list) {
                if (a.handle.startsWith(u'q'))
                    a.displayName = u"%1 회차 %2"_s.arg(a.handle).arg(round);
            }
        });
        QCoreApplication::processEvents();
        for (const QString &query : {u"라운드 %1"_s.arg(round), u"라운드 %1"_s.arg(round - 1),
                                     u"q7 회차 %1"_s.arg(round), u"방 29 라"_s, u"이름"_s}) {
            const auto [kept, now] = s.found(query);
            QVERIFY2(kept == now, qPrintable(query));
        }
        // Each room is found by its own title.
        RoomSearchTexts &texts = RoomSearchTexts::of(*s.store);
        for (const Conversation &c : s.store->conversations()) {
            const QString title = s.store->conversationTitle(c);
            QVERIFY2(texts.filter({c.id}, TextCompare::searchForm(title)) == QList{c.id},
                     qPrintable(title));
        }
    }
    // The first person was added to a room in the first round; renamed alone, the room follows.
    s.rename(people.first(), u"마지막 이름"_s);
    QCoreApplication::processEvents();
    const auto [kept, now] = s.found(u"마지막 이름"_s);
    QCOMPARE(kept, now);
    QVERIFY(kept.size() >= 2);
}

QTEST_GUILESS_MAIN(TestStoreSearchTexts)
#include "tst_store_searchtexts.moc"
