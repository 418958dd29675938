// Figures for the sidebar's room list with 1,000 rooms: building the model, building the whole
// sidebar and laying it out and painting it the first time, one arriving message (how many rows
// the model touches and the view repaints, and what it costs), and a search keystroke.

#include "BenchSupport.h"

#include "api/ChatClient.h"
#include "store/LocalStore.h"
#include "ui/workspace/MacChatList.h"
#include "ui/workspace/MacConversationRow.h"
#include "ui/workspace/MacNavigation.h"
#include "ui/workspace/MacRoomListModel.h"
#include "ui/workspace/MacSidebar.h"

#include <QApplication>
#include <QBoxLayout>
#include <QElapsedTimer>
#include <QListView>

#include <algorithm>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

constexpr int roomCount = 1'000;
constexpr int messagesPerRoom = 20;

// A signed-in local store with `roomCount` direct rooms, each with its own peer and messages.
struct Rooms
{
    Rooms()
    {
        store.signIn();
        me = store.session()->meId;
        store.setSession(AppSession{me, true});
        QList<Account> accounts = store.accounts();
        QList<Conversation> rooms;
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-30);
        for (int i = 0; i < roomCount; ++i) {
            Account peer;
            peer.id = QUuid::createUuid();
            peer.handle = QStringLiteral("user%1").arg(i);
            peer.displayName = QStringLiteral("사용자 %1").arg(i);
            accounts.append(peer);
            Conversation room;
            room.id = QUuid::createUuid();
            room.kind = ConversationKind::direct;
            room.memberships = {Membership{me, MemberRole::owner, 0, start, std::nullopt},
                                Membership{peer.id, MemberRole::member, 0, start, std::nullopt}};
            room.createdAt = start;
            room.updatedAt = start.addSecs(i * 60);
            room.pinned = i % 100 == 0;
            rooms.append(room);
            peers.append(peer.id);
        }
        store.setAccounts(accounts);
        store.setConversations(rooms);
        store.editMessages([&](MessageIndex &index) {
            for (int i = 0; i < roomCount; ++i) {
                for (int n = 1; n <= messagesPerRoom; ++n)
                    index.append(message(rooms.at(i).id, n % 2 ? peers.at(i) : me, n,
                                         rooms.at(i).updatedAt));
            }
        });
        for (const Conversation &room : rooms)
            ids.append(room.id);
    }

    static ChatMessage message(const QUuid &room, const QUuid &sender, qint64 seq,
                               const QDateTime &at)
    {
        ChatMessage m;
        m.id = QUuid::createUuid();
        m.clientMsgId = m.id;
        m.conversationId = room;
        m.senderId = sender;
        m.seq = seq;
        m.body = QStringLiteral("메시지 %1 입니다. 조금 긴 미리보기 문장이 이어집니다.").arg(seq);
        m.createdAt = at;
        return m;
    }

    // One message from the peer of room `i`, as a live event applies it: the message, then the
    // room's activity.
    void arrive(int i)
    {
        const qint64 seq = store.messageIndex().highestSeq(ids.at(i)).value_or(0) + 1;
        const ChatMessage m = message(ids.at(i), peers.at(i), seq, QDateTime::currentDateTimeUtc());
        store.merge(m, true);
        store.editConversations([&](QList<Conversation> &list) {
            for (Conversation &c : list) {
                if (c.id == m.conversationId)
                    c.updatedAt = m.createdAt;
            }
        });
    }

    LocalStore store{false, 250ms, nullptr};
    QUuid me;
    QList<QUuid> peers;
    QList<QUuid> ids;
};

// The room row, counting what it is asked to paint.
class CountingRow : public MacConversationRow
{
public:
    using MacConversationRow::MacConversationRow;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        ++painted;
        MacConversationRow::paint(painter, option, index);
    }
    mutable int painted = 0;
};

// How many times the model told its views of each kind of change.
struct Changes
{
    explicit Changes(QAbstractItemModel *model)
    {
        QObject::connect(model, &QAbstractItemModel::rowsMoved, [this] { ++moved; });
        QObject::connect(model, &QAbstractItemModel::dataChanged, [this] { ++changed; });
        QObject::connect(model, &QAbstractItemModel::rowsInserted, [this] { ++inserted; });
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, [this] { ++removed; });
        QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ++reset; });
    }
    void clear() { moved = changed = inserted = removed = reset = 0; }
    int moved = 0;
    int changed = 0;
    int inserted = 0;
    int removed = 0;
    int reset = 0;
};

// Runs the event loop until the views' own deferred layouts and paints are done.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Rooms rooms;
    std::printf("%d rooms, %d messages each\n", roomCount, messagesPerRoom);

    double model = 1e9;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        MacRoomListModel m(rooms.store);
        model = std::min(model, msSince(timer));
    }
    std::printf("room list model built: %.2f ms (best of 5)\n", model);

    // The first window of the process also loads its fonts; the second shows the sidebar's own
    // cost.
    MacNavigation navigation;
    QWidget frame;
    MacSidebar *sidebar = nullptr;
    for (const char *which : {"first", "second"}) {
        delete sidebar;
        frame.hide();
        frame.resize(960, 680);
        delete frame.layout();
        auto *layout = new QHBoxLayout(&frame);
        QElapsedTimer timer;
        timer.start();
        sidebar = new MacSidebar(rooms.store, navigation, &frame);
        const double built = msSince(timer);
        sidebar->setFixedWidth(280);
        layout->addWidget(sidebar);
        layout->addStretch(1);
        layout->activate();
        sidebar->chatList()->view()->doItemsLayout();
        const double laidOut = msSince(timer);
        frame.show();
        settle();
        std::printf("%s sidebar: built %.2f ms, laid out %.2f ms, shown and painted %.2f ms\n",
                    which, built, laidOut, msSince(timer));
    }
    QElapsedTimer timer;

    QListView *view = sidebar->chatList()->view();
    MacRoomListModel *list = sidebar->chatList()->model();
    auto *rows = new CountingRow(view);
    view->setItemDelegate(rows);
    QCoreApplication::processEvents();

    // One arrival in a room far down the list: it rises to the top.
    Changes changes(list);
    rows->painted = 0;
    rooms.arrive(500);
    timer.restart();
    list->refresh();
    const double refresh = msSince(timer);
    settle();
    const double repaint = msSince(timer);
    std::printf("one arrival: model refresh %.3f ms, with repaint %.3f ms; rows moved %d, rows "
                "changed %d, inserted %d, removed %d, resets %d; rows repainted %d (%d visible)\n",
                refresh, repaint, changes.moved, changes.changed, changes.inserted, changes.removed,
                changes.reset, rows->painted,
                view->viewport()->height() / MacConversationRow::rowHeight() + 1);

    // A second message in the room now on top: no move, that row only. (The move's own
    // relayout finishes first: the view lays out after a zero timer of its own.)
    settle();
    changes.clear();
    rows->painted = 0;
    rooms.arrive(500);
    settle();
    std::printf("a second message in the same room: rows moved %d, rows changed %d, rows "
                "repainted %d\n",
                changes.moved, changes.changed, rows->painted);

    // Many arrivals, one per turn of the event loop, in rooms anywhere in the list.
    const int arrivals = 200;
    timer.restart();
    for (int i = 0; i < arrivals; ++i) {
        rooms.arrive((i * 379) % roomCount);
        settle();
    }
    std::printf("%d arrivals, one per turn, with repaint: %.3f ms each\n", arrivals,
                msSince(timer) / arrivals);

    timer.restart();
    navigation.setQuery(QStringLiteral("사용자 99"));
    settle();
    std::printf("search keystroke over %d rooms: %.2f ms (%d rows match)\n", roomCount,
                msSince(timer), list->rowCount());
    timer.restart();
    navigation.setQuery(QString());
    settle();
    std::printf("search cleared: %.2f ms (%d rows)\n", msSince(timer), list->rowCount());
    return 0;
}
