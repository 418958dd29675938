// The room list's search as it is typed (letters added and taken back, syllables composed jamo
// by jamo and taken apart, the text cleared) while rooms and people change: the rows are what a
// search over every room finds, in list order, with the rooms' titles of now.

#include "SidebarTestSupport.h"
#include "ui/common/DisplayText.h"
#include "ui/workspace/RoomListModel.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Hangul jamo as a keyboard gives them (compatibility jamo) and the syllables they make.
const QString kInitials = u"ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊ"_s;
constexpr char16_t kInitialIndex[] = {0, 2, 3, 5, 6, 7, 9, 11, 12, 14}; // of kInitials in U+1100
constexpr char16_t kVowelIndex[] = {0, 4, 8, 13, 18, 20}; // ㅏㅓㅗㅜㅡㅣ
constexpr char16_t kFinalIndex[] = {1, 4, 8, 16, 21}; // ㄱㄴㄹㅁㅇ

QChar syllable(int initial, int vowel, int final = -1)
{
    return QChar(char16_t(0xAC00 + (kInitialIndex[initial] * 21 + kVowelIndex[vowel]) * 28
                          + (final < 0 ? 0 : kFinalIndex[final])));
}

// Few letters, so that searches find some rooms and not others: syllables, loose jamo, Latin
// with case and accents, a combining accent, digits, spaces and the line break that the kept
// search texts put between a room's names.
struct Letters
{
    int below(int n) { return int(random.bounded(n)); }
    QChar letter()
    {
        switch (below(7)) {
        case 0:
        case 1: {
            const int initial = below(4), vowel = below(3), final = below(3) - 1;
            return syllable(initial, vowel, final);
        }
        case 2:
            return kInitials.at(below(4));
        case 3:
            return u"aAeEáÉ"_s.at(below(6));
        case 4:
            return u"12"_s.at(below(2));
        case 5:
            return below(5) == 0 ? u'\n' : u' ';
        default:
            return below(4) == 0 ? QChar(u'\u0301') : syllable(below(2), below(2));
        }
    }
    QString text(int from, int to)
    {
        QString t;
        for (int n = from + below(to - from + 1); n > 0; --n)
            t += letter();
        return t;
    }
    QRandomGenerator random;
};

struct Scene
{
    explicit Scene(quint32 seed)
        : letters{QRandomGenerator(seed)}
    {
        for (int i = 0; i < 14; ++i)
            people.append(f.addPerson(letters.text(1, 5)));
        for (int i = 0; i < 40; ++i)
            addRoom();
    }

    void addRoom()
    {
        const bool group = letters.below(3) == 0;
        QList<QUuid> others{anyPerson()};
        if (group)
            others.append(anyPerson());
        rooms.append(f.addRoom(group ? ConversationKind::group : ConversationKind::direct, others,
                               group && letters.below(2) ? letters.text(1, 6) : QString(),
                               letters.below(5000), letters.below(20) == 0)
                         .id);
    }

    QUuid anyPerson() { return people.at(letters.below(int(people.size()))).id; }
    Conversation anyRoom()
    {
        return *f.store->conversation(rooms.at(letters.below(int(rooms.size()))));
    }

    // One change of the rooms or the people, as the service or the user may make it.
    void change()
    {
        switch (letters.below(6)) {
        case 0: {
            Account a = *f.store->account(anyPerson());
            a.displayName = letters.text(1, 5);
            f.store->replaceAccount(a);
            break;
        }
        case 1: {
            Conversation c = anyRoom();
            c.title = letters.text(0, 6);
            f.store->replaceConversation(c);
            break;
        }
        case 2: {
            // Somebody joins a room: their name now finds it, and a rename of theirs reaches it.
            Conversation c = anyRoom();
            c.memberships.append(member(anyPerson()));
            f.store->replaceConversation(c);
            break;
        }
        case 3:
            f.arrive(anyRoom().id, people.first().id, u"새 메시지"_s);
            break;
        case 4:
            addRoom();
            break;
        default:
            f.store->hideFromList(anyRoom().id);
            break;
        }
    }

    // One key, or what an input method does with one: the text that follows `query`.
    QString edit(const QString &query)
    {
        const int at = query.isEmpty() ? 0 : letters.below(int(query.size()));
        switch (letters.below(10)) {
        case 0:
        case 1:
        case 2:
            return query + letters.letter();
        case 3:
        case 4: {
            // A syllable composed key by key, each step replacing the last letter.
            const int initial = letters.below(4), vowel = letters.below(3);
            pending = {QString(syllable(initial, vowel)),
                       QString(syllable(initial, vowel, letters.below(3)))};
            if (letters.below(2))
                pending.append(QString(syllable(initial, vowel))); // and taken back jamo by jamo
            return query + kInitials.at(initial);
        }
        case 5:
        case 6:
            return query.left(query.size() - 1); // backspace
        case 7:
            return query.left(at) + query.mid(at + 1); // a letter deleted in the middle
        case 8:
            return query.left(at) + letters.letter() + query.mid(at);
        default:
            return letters.below(3) == 0 ? QString() : query;
        }
    }

    // The rooms a search over every listed room finds, in list order.
    QList<QUuid> expected(const QString &query) const
    {
        QList<QUuid> found;
        for (const Conversation &c : f.store->sortedList()) {
            if (f.store->matches(c, query))
                found.append(c.id);
        }
        return found;
    }

    SidebarFixture f;
    Letters letters;
    QList<Account> people;
    QList<QUuid> rooms;
    QStringList pending; // the next steps of a syllable being composed
};

} // namespace

class TestSidebarSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { privateFolders(); }
    void typedSearchFindsWhatAFullSearchFinds_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 7u, 42u, 2024u, 65535u, 987654u})
            QTest::addRow("seed %u", seed) << seed;
    }
    void typedSearchFindsWhatAFullSearchFinds();
};

void TestSidebarSearch::typedSearchFindsWhatAFullSearchFinds()
{
    QFETCH(quint32, seed);
    Scene s(seed);
    RoomListModel model(*s.f.store);
    QString query;
    for (int step = 0; step < 400; ++step) {
        if (s.letters.below(8) == 0)
            s.change();
        if (s.letters.below(4) == 0)
            settleViews(); // changes picked up between keys as well as with the next key
        const QString before = query;
        query = s.pending.isEmpty() ? s.edit(query)
                                    : query.left(query.size() - 1) + s.pending.takeFirst();
        model.setQuery(query);
        if (query == before)
            settleViews(); // no key: the rows follow the rooms within the turn
        QList<QUuid> shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown.append(model.index(row).data(RoomListModel::RoomIdRole).toUuid());
        QVERIFY2(shown == s.expected(query), qPrintable(u"step %1, \"%2\""_s.arg(step).arg(query)));
        // A rename reaches every row naming the account, also one whose room it joined later.
        for (int row = 0; row < std::min(8, model.rowCount()); ++row) {
            const Conversation c = *s.f.store->conversation(shown.at(row));
            QCOMPARE(model.row(row).title, DisplayText::name(s.f.store->conversationTitle(c)));
        }
    }
}

QTEST_MAIN(TestSidebarSearch)
#include "tst_sidebar_search.moc"
