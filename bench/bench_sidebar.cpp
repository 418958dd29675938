// Figures for the room list of the sidebar at 1,000 and 10,000 rooms, measured on the whole
// window (the workspace, 960 x 680) with the event loop drained after each step: building and
// painting the window on a live store whose direct rooms make thousands of friends, one arriving
// message (a live event) in any room and in a room on screen that it brings to the top, one
// account renamed, and one key typed into the search field (the first one included, whose search
// texts must already be there). Each is the median of several runs and the worst of them, in CPU
// time of the main thread. Beside it, in the same run, the same steps on a plain QListView with a
// QStyledItemDelegate over a QStringListModel (filtered through a QSortFilterProxyModel, typed
// into a QLineEdit): what a typical Qt list costs. Once per window, too: the friend list shown
// for the first time, and the rooms shown again.

#include "BenchWindow.h"
#include "RoomListAnswer.h"

#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/ChatEvent.h"
#include "app/MainWindow.h"
#include "store/LocalStore.h"
#include "store/RoomListIntake.h"
#include "store/RoomSearchTexts.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/RoomListModel.h"
#include "ui/workspace/Sidebar.h"
#include "ui/workspace/Workspace.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTemporaryFile>

#include <cstdio>
#include <ctime>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QSize kWindow(960, 680);

const QStringList kBodies{
    QStringLiteral("네"),
    QStringLiteral("오늘 저녁에 같이 밥 먹을래요?"),
    QStringLiteral("자세한 건 https://zumo.chat/help 를 보세요."),
    QString(60, u'ㅋ'),
    QStringLiteral("회의 자료는 내일 아침까지 보내 드릴게요. 확인하시고 의견 주세요.").repeated(3),
    QStringLiteral("ok, see you at 7"),
};

// A signed-in live store (its client never connects) with `count` rooms: four in five direct,
// each with another person (who is a friend, then), the rest groups of three to six members, some
// titled; one in fifty pinned; a tenth of the people with a picture; three messages per room over
// several days, of varied lengths, with photos and replies among them.
struct Rooms
{
    explicit Rooms(int count)
    {
        store = std::make_unique<LocalStore>(
            false, 250ms, std::make_unique<ChatClient>(QUrl(QStringLiteral("http://127.0.0.1:9"))));
        store->setNotificationSound(false);
        me = QUuid::createUuid();
        store->apply(APIUser{me, QStringLiteral("person"), QStringLiteral("me"),
                             QStringLiteral("나"), std::nullopt, QStringLiteral("active"),
                             std::nullopt},
                     std::nullopt);
        QList<Account> accounts = store->accounts();
        const int people = std::max(50, count * 4 / 5);
        QList<QByteArray> pictures;
        for (int i = 0; i < 40; ++i)
            pictures.append(benchJpeg(i, QSize(96, 96)));
        for (int i = 0; i < people; ++i) {
            Account a;
            a.id = QUuid::createUuid();
            a.handle = QStringLiteral("user%1").arg(i);
            a.displayName = QStringLiteral("사용자 %1").arg(i);
            if (i % 10 == 3)
                a.avatarJPEG = pictures.at(i % pictures.size());
            if (i % 97 == 5)
                a.kind = AccountKind::official;
            accounts.append(a);
            peers.append(a.id);
        }
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-40);
        QList<Conversation> list;
        int directs = 0;
        for (int i = 0; i < count; ++i) {
            Conversation room;
            room.id = QUuid::createUuid();
            room.createdAt = start;
            room.updatedAt = start.addSecs(qint64(i) * 300);
            room.pinned = i % 50 == 7;
            room.muted = i % 13 == 0;
            room.memberships.append(Membership{me, MemberRole::owner, 0, start, std::nullopt});
            if (i % 5 == 4) {
                room.kind = ConversationKind::group;
                if (i % 10 == 4)
                    room.title = QStringLiteral("모임 %1").arg(i);
                const int members = 2 + i % 5;
                for (int m = 0; m < members; ++m)
                    room.memberships.append(Membership{peers.at((i * 7 + m * 131) % people),
                                                       MemberRole::member, 0, start.addSecs(m),
                                                       std::nullopt});
            } else {
                room.kind = ConversationKind::direct;
                // Each direct room with another person: as many friends as direct rooms.
                room.memberships.append(Membership{peers.at(directs++ % people), MemberRole::member,
                                                   0, start, std::nullopt});
            }
            list.append(room);
            ids.append(room.id);
            senders.append(room.memberships.at(1).userId);
        }
        store->setAccounts(accounts);
        store->setConversations(list);
        store->editMessages([&](MessageIndex &index) {
            for (int i = 0; i < count; ++i) {
                for (int n = 1; n <= 3; ++n) {
                    ChatMessage m = message(i, n, list.at(i).updatedAt.addDays(n - 3));
                    if ((i + n) % 23 == 0) {
                        m.kind = MessageKind::image;
                        m.body = QStringLiteral("사진");
                        m.imageJPEG = pictures.at(n);
                    }
                    if (n == 3 && i % 7 == 0)
                        m.replyToId = QUuid::createUuid();
                    index.append(m);
                }
            }
        });
        store->setRemoteUnread({});
    }

    ChatMessage message(int room, qint64 seq, const QDateTime &at) const
    {
        ChatMessage m;
        m.id = QUuid::createUuid();
        m.clientMsgId = m.id;
        m.conversationId = ids.at(room);
        m.senderId = seq % 2 ? senders.at(room) : me;
        m.seq = seq;
        m.body = kBodies.at((room + seq) % kBodies.size());
        m.createdAt = at;
        return m;
    }

    // One message from the peer of room `i`, as the socket hands it to the store.
    ChatEvent arrival(int i)
    {
        APIMessage m;
        m.id = QUuid::createUuid();
        m.conversationId = ids.at(i);
        m.seq = store->messageIndex().highestSeq(ids.at(i)).value_or(0) + 1;
        m.senderId = senders.at(i);
        m.clientMsgId = QUuid::createUuid();
        m.type = QStringLiteral("text");
        m.origin = QStringLiteral("user");
        m.body = kBodies.at(m.seq % kBodies.size());
        m.createdAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        return ChatEvent::makeMessage(m);
    }

    std::unique_ptr<LocalStore> store;
    QUuid me;
    QList<QUuid> peers;
    QList<QUuid> ids;
    QList<QUuid> senders; // the first other member of each room
};

// The median of some runs of one step, and the worst of them.
struct Figure
{
    double median = 0;
    double worst = 0;
};

Figure figureOf(const QList<double> &runs)
{
    return Figure{median(runs), runs.isEmpty() ? 0 : *std::max_element(runs.cbegin(), runs.cend())};
}

struct Figures
{
    Figure build;
    Figure arrival;
    Figure rise;
    Figure rename;
    Figure search;
    // Once per window: the friend list shown for the first time, and the rooms shown again.
    double friendsShown = 0;
    double roomsAgain = 0;
};

// What is typed into the search field, key by key: a text, or a backspace (an empty string).
const QStringList kQueries{
    QStringLiteral("사용자 12"),
    QStringLiteral("모임 4"),
    QStringLiteral("없는 이름"),
};

// One key typed into `field` as the keyboard sends it: a press and a release.
void typeKey(QLineEdit &field, int key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&field, &release);
}

// Types every query into `field` a character at a time and takes it back a backspace at a time;
// the time of each key, the event loop drained after it.
QList<double> typeQueries(QLineEdit &field)
{
    QList<double> keys;
    field.setFocus();
    for (const QString &query : kQueries) {
        for (QChar c : query)
            keys.append(cpuMsOf([&] { typeKey(field, c == u' ' ? Qt::Key_Space : 0, c); }));
        for (qsizetype i = 0; i < query.size(); ++i)
            keys.append(cpuMsOf([&] { typeKey(field, Qt::Key_Backspace, QString()); }));
    }
    return keys;
}

Figures measureOurs(Rooms &rooms)
{
    Figures f;
    QList<double> builds;
    std::unique_ptr<Workspace> window;
    for (int round = 0; round < 5; ++round) {
        window.reset();
        drainEvents();
        builds.append(cpuMsOf([&] {
            window = std::make_unique<Workspace>(*rooms.store);
            window->resize(kWindow);
            window->show();
        }));
    }
    f.build = figureOf(builds);

    // The friend list shown for the first time in this window, and the rooms again.
    f.friendsShown = cpuMsOf([&] { window->navigation().setSection(Section::friends); });
    f.roomsAgain = cpuMsOf([&] { window->navigation().setSection(Section::chats); });

    // The first keys come before anything else has run a search in this window.
    f.search = figureOf(typeQueries(*window->findChild<Sidebar *>()->chatList()->searchField()));

    QList<double> arrivals;
    const int count = int(rooms.ids.size());
    for (int i = 0; i < 41; ++i) {
        const ChatEvent event = rooms.arrival(int((qint64(i) * 7919 + 11) % count));
        arrivals.append(cpuMsOf([&] { rooms.store->apply(event); }));
    }
    f.arrival = figureOf(arrivals);

    // A message in a room on screen that brings it to the top: the rows above its place shift.
    QList<double> rises;
    for (int i = 0; i < 41; ++i) {
        const QUuid shown = rooms.store->sortedList().at(1 + i % 8).id;
        const ChatEvent event = rooms.arrival(int(rooms.ids.indexOf(shown)));
        rises.append(cpuMsOf([&] { rooms.store->apply(event); }));
    }
    f.rise = figureOf(rises);

    // Names shown on screen: the first other member of a room near the top of the list.
    QList<double> renames;
    for (int i = 0; i < 15; ++i) {
        const QUuid shown = rooms.store->sortedList().at(i % 10).id;
        const int room = int(rooms.ids.indexOf(shown));
        Account a = *rooms.store->account(rooms.senders.at(room));
        a.displayName = QStringLiteral("새 이름 %1").arg(i);
        renames.append(cpuMsOf([&] { rooms.store->replaceAccount(a); }));
    }
    f.rename = figureOf(renames);
    return f;
}

// The reference: the titles in a QStringListModel, filtered by a QSortFilterProxyModel, shown
// by a QListView with a QStyledItemDelegate, beside an empty pane in a window of the same size.
Figures measureReference(const Rooms &rooms)
{
    QStringList titles;
    for (const Conversation &room : rooms.store->sortedList())
        titles.append(rooms.store->conversationTitle(room));
    Figures f;
    QList<double> builds;
    struct Window
    {
        QWidget frame;
        QStringListModel model;
        QSortFilterProxyModel filter;
        QLineEdit *search = nullptr;
        QListView *list = nullptr;
    };
    std::unique_ptr<Window> w;
    for (int round = 0; round < 5; ++round) {
        w.reset();
        drainEvents();
        builds.append(cpuMsOf([&] {
            w = std::make_unique<Window>();
            w->model.setStringList(titles);
            w->filter.setSourceModel(&w->model);
            w->filter.setFilterCaseSensitivity(Qt::CaseInsensitive);
            auto *layout = new QHBoxLayout(&w->frame);
            auto *column = new QVBoxLayout;
            w->search = new QLineEdit(&w->frame);
            QObject::connect(w->search, &QLineEdit::textEdited, &w->filter,
                             [filter = &w->filter](const QString &text) {
                                 filter->setFilterFixedString(text.trimmed());
                             });
            w->list = new QListView(&w->frame);
            w->list->setItemDelegate(new QStyledItemDelegate(w->list));
            w->list->setUniformItemSizes(true);
            w->list->setModel(&w->filter);
            w->list->setFixedWidth(280);
            w->search->setFixedWidth(280);
            column->addWidget(w->search);
            column->addWidget(w->list);
            layout->addLayout(column);
            layout->addStretch(1);
            w->frame.resize(kWindow);
            w->frame.show();
        }));
    }
    f.build = figureOf(builds);

    f.search = figureOf(typeQueries(*w->search));

    QList<double> arrivals;
    const int count = int(titles.size());
    for (int i = 0; i < 41; ++i) {
        const int row = int((qint64(i) * 7919 + 11) % count);
        arrivals.append(cpuMsOf([&] {
            w->model.moveRows({}, row, 1, {}, 0);
            w->model.setData(w->model.index(0), titles.at(row));
        }));
    }
    f.arrival = figureOf(arrivals);

    QList<double> rises;
    for (int i = 0; i < 41; ++i) {
        const int row = 1 + i % 8;
        rises.append(cpuMsOf([&] {
            w->model.moveRows({}, row, 1, {}, 0);
            w->model.setData(w->model.index(0), titles.at(row));
        }));
    }
    f.rise = figureOf(rises);

    QList<double> renames;
    for (int i = 0; i < 15; ++i) {
        const int row = (i * 37 + 1) % count;
        renames.append(cpuMsOf(
            [&] { w->model.setData(w->model.index(row), QStringLiteral("새 이름 %1").arg(i)); }));
    }
    f.rename = figureOf(renames);
    return f;
}

double processCpuMs()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6;
}

// Notes the first paint of the widget it watches.
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

// The room-list answer taken in as the program takes it: decoded on the thread pool, applied in
// a later turn of the event loop.
void takeAnswer(LocalStore &store, QByteArray answer)
{
    store.roomListIntake().take(std::move(answer)); // runs on; the figures watch the window
}

// Start-up, run in a child process of its own, in one of four ways. `bare`: a bare QWidget
// shown and painted, the least any Qt window costs. With the room-list answer, read from a file
// as it would be from the socket: `first`, taken in before the workspace is built; `after`, the
// workspace built and painted first; `program`, the program's own window (its root view)
// through the program's start-up: the start-up screen when the window is first shown, then the
// user signed in (the workspace painted), then the answer. Prints the CPU of the whole process
// (every thread) from exec to the window's first paint, to the signed-in window painted, to the
// rooms' first paint in the sidebar and to the end of the work left for the idle event loop (the
// rooms' search texts); and the longest stretch of the main thread away from its event loop from
// exec to the rooms painted, in CPU time of that thread.
int startupChild(StretchWatch &app, const QString &mode, const QString &answerFile)
{
    app.watch(true);
    // The code below between two turns of the event loop is a stretch as well, the first one
    // from exec on (the thread's CPU time starts there).
    double outside = 0;
    const auto turn = [&](auto &&run) {
        app.note(threadCpuMs() - outside);
        run();
        outside = threadCpuMs();
    };
    const auto waitFor = [&](const auto &done) {
        while (!done())
            turn([] { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); });
    };
    QWidget bare;
    std::unique_ptr<LocalStore> store;
    std::unique_ptr<QWidget> window;
    QWidget *shown = &bare;
    QFile file(answerFile);
    const APIUser me{
        roomListAnswerMe, QStringLiteral("person"), QStringLiteral("me"), QStringLiteral("나"),
        std::nullopt,     QStringLiteral("active"), std::nullopt};
    // The answer's bytes, as the reply hands them over, and taken in.
    const auto takeFile = [&] { takeAnswer(*store, file.readAll()); };
    if (mode != u"bare") {
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        store = std::make_unique<LocalStore>(
            false, 250ms, std::make_unique<ChatClient>(QUrl(QStringLiteral("http://127.0.0.1:9"))));
        store->setNotificationSound(false);
        if (mode == u"program") {
            auto *main = new MainWindow(store.get());
            // The program begins its start-up when the window is first shown: the start-up
            // screen is what paints first.
            QObject::connect(main, &MainWindow::firstShown, store.get(),
                             [s = store.get()] { s->setStartingUp(true); });
            window.reset(main);
        } else {
            store->apply(me, std::nullopt);
            if (mode == u"first") {
                takeFile();
                waitFor([&] { return !store->conversations().isEmpty(); });
            }
            window = std::make_unique<Workspace>(*store);
        }
        shown = window.get();
    }
    PaintWatch watch;
    shown->installEventFilter(&watch);
    PaintWatch rooms;
    const auto watchRooms
        = [&] { window->findChild<ChatList *>()->view()->viewport()->installEventFilter(&rooms); };
    if (mode == u"first" || mode == u"after")
        watchRooms();
    shown->resize(kWindow);
    shown->show();
    // One turn at a time until the turn that painted the window.
    waitFor([&] { return watch.painted; });
    const double painted = processCpuMs();
    double signedIn = painted;
    double roomsShown = painted;
    if (store) {
        turn(drainEvents);
        if (mode == u"program") {
            // The user as the service confirms them: the workspace replaces the start-up screen.
            store->apply(me, std::nullopt);
            store->setStartingUp(false);
            watchRooms();
            turn(drainEvents);
            signedIn = processCpuMs();
        }
        if (mode != u"first") {
            rooms.painted = false;
            takeFile();
        }
        // Then until the turn that painted the rooms; a list that painted with the window has.
        waitFor([&] { return rooms.painted; });
        roomsShown = mode == u"first" ? painted : processCpuMs();
    }
    app.watch(false);
    drainEvents();
    // The search texts are made a slice a turn, more turns than a drain waits for.
    if (store)
        RoomSearchTexts::of(*store).prepare();
    const double idle = processCpuMs();
    std::printf("%.3f %.3f %.3f %.3f %.3f\n", painted, signedIn, roomsShown, idle, app.longest());
    return 0;
}

// Start-up at 1,000 and 10,000 rooms beside the bare window, alternating in the same run,
// `rounds` times each.
void startup(const QString &program, int rounds)
{
    struct Figures
    {
        double painted = 0, signedIn = 0, rooms = 0, idle = 0, stretch = 0;
    };
    const auto run = [&](const QStringList &arguments) {
        QProcess child;
        child.start(program, arguments);
        child.waitForFinished(120'000);
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 5)
            std::fprintf(stderr, "a start-up child failed: %s\n", qPrintable(arguments.join(u' ')));
        return Figures{figures.value(0).toDouble(), figures.value(1).toDouble(),
                       figures.value(2).toDouble(), figures.value(3).toDouble(),
                       figures.value(4).toDouble()};
    };
    std::printf("start-up, process CPU ms from exec (x the bare window's), and the main thread's "
                "longest stretch away from its event loop until the rooms paint (CPU ms); "
                "median / worst of %d\n",
                rounds);
    const QStringList modes{QStringLiteral("bare"), QStringLiteral("first"),
                            QStringLiteral("after"), QStringLiteral("program")};
    for (int count : {1'000, 10'000}) {
        QTemporaryFile answer;
        if (!answer.open())
            return;
        answer.write(roomListAnswer(count));
        answer.flush();
        QHash<QString, QList<Figures>> runs;
        for (int round = 0; round < rounds; ++round) {
            for (const QString &mode : modes)
                runs[mode].append(
                    run({QStringLiteral("--startup-child"), mode, answer.fileName()}));
        }
        const auto values = [&](const QString &mode, double Figures::*field) {
            QList<double> v;
            for (const Figures &f : runs.value(mode))
                v.append(f.*field);
            return v;
        };
        const double bare = median(values(QStringLiteral("bare"), &Figures::painted));
        const auto cpu = [&](const QString &mode, double Figures::*field) {
            const QList<double> v = values(mode, field);
            return QStringLiteral("%1 / %2 (%3x)")
                .arg(median(v), 0, 'f', 1)
                .arg(*std::ranges::max_element(v), 0, 'f', 1)
                .arg(median(v) / std::max(1e-9, bare), 0, 'f', 2)
                .toUtf8();
        };
        const auto stretch = [&](const QString &mode) {
            const QList<double> v = values(mode, &Figures::stretch);
            return QStringLiteral("%1 / %2")
                .arg(median(v), 0, 'f', 1)
                .arg(*std::ranges::max_element(v), 0, 'f', 1)
                .toUtf8();
        };
        const QList<double> bares = values(QStringLiteral("bare"), &Figures::painted);
        std::printf("%6d rooms, bare QWidget painted %.1f / %.1f, longest stretch %s\n", count,
                    bare, *std::ranges::max_element(bares),
                    stretch(QStringLiteral("bare")).constData());
        std::printf("  list read before the window: painted with its rooms %s, idle %s, longest "
                    "stretch %s\n",
                    cpu(QStringLiteral("first"), &Figures::painted).constData(),
                    cpu(QStringLiteral("first"), &Figures::idle).constData(),
                    stretch(QStringLiteral("first")).constData());
        std::printf("  list read after the window paints: painted %s, rooms painted %s, idle %s, "
                    "longest stretch %s\n",
                    cpu(QStringLiteral("after"), &Figures::painted).constData(),
                    cpu(QStringLiteral("after"), &Figures::rooms).constData(),
                    cpu(QStringLiteral("after"), &Figures::idle).constData(),
                    stretch(QStringLiteral("after")).constData());
        std::printf("  the program's window, start-up screen first: painted %s, signed in %s, "
                    "rooms painted %s, idle %s, longest stretch %s\n",
                    cpu(QStringLiteral("program"), &Figures::painted).constData(),
                    cpu(QStringLiteral("program"), &Figures::signedIn).constData(),
                    cpu(QStringLiteral("program"), &Figures::rooms).constData(),
                    cpu(QStringLiteral("program"), &Figures::idle).constData(),
                    stretch(QStringLiteral("program")).constData());
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    StretchWatch app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 && args.at(1) == u"--startup-child")
        return startupChild(app, args.value(2), args.value(3));
    if (args.contains(QStringLiteral("--startup"))) {
        // --startup [rounds]
        const int rounds = args.value(args.indexOf(QStringLiteral("--startup")) + 1).toInt();
        startup(app.applicationFilePath(), rounds > 0 ? rounds : 7);
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--arrivals-only"))) {
        // For profiling the arrival path alone, at 10,000 rooms.
        Rooms rooms(10'000);
        Workspace window(*rooms.store);
        window.resize(kWindow);
        window.show();
        drainEvents();
        for (int i = 0; i < 2000; ++i) {
            rooms.store->apply(rooms.arrival(int((qint64(i) * 7919 + 11) % 10'000)));
            drainEvents();
        }
        return 0;
    }
    {
        // The first window of the process loads fonts and glyph caches: not part of any figure.
        Rooms warm(100);
        measureOurs(warm);
        measureReference(warm);
    }
    std::printf("Sidebar, whole window, event loop drained; main-thread CPU ms, median / worst\n");
    std::printf("%-7s %-7s %-20s %15s %15s %15s %15s %15s\n", "rooms", "friends", "view", "build",
                "arrival", "to the top", "rename", "search key");
    const auto line = [](int count, qsizetype friends, const char *view, const Figures &f) {
        const auto cell = [](const Figure &x) {
            return QByteArray::number(x.median, 'f', 2) + " / "
                + QByteArray::number(x.worst, 'f', 2);
        };
        std::printf("%-7d %-7lld %-20s %15s %15s %15s %15s %15s\n", count,
                    static_cast<long long>(friends), view, cell(f.build).constData(),
                    cell(f.arrival).constData(), cell(f.rise).constData(),
                    cell(f.rename).constData(), cell(f.search).constData());
        std::fflush(stdout);
    };
    QList<Figures> figures;
    for (int count : {1'000, 10'000}) {
        Rooms rooms(count);
        const qsizetype friends = rooms.store->friendAccounts().size();
        const Figures ours = measureOurs(rooms);
        figures.append(ours);
        line(count, friends, "workspace sidebar", ours);
        line(count, friends, "QListView reference", measureReference(rooms));
    }
    std::printf("friend list shown the first time / the rooms shown again: %.2f / %.2f at 1,000 "
                "rooms, %.2f / %.2f at 10,000\n",
                figures.at(0).friendsShown, figures.at(0).roomsAgain, figures.at(1).friendsShown,
                figures.at(1).roomsAgain);
    qsizetype keys = 0;
    for (const QString &query : kQueries)
        keys += 2 * query.size();
    std::printf(
        "(build: of 5; arrival, to the top: of 41 each; rename: of 15; search: of %lld keys "
        "typed)\n",
        static_cast<long long>(keys));
    return 0;
}
