// Figures for the transcript at 1,000, 10,000 and 50,000 messages: opening the room and showing
// its newest message, one arriving message applied by the store, laid out and pinned, scrolling
// up by one screen, and resident memory. Each for the transcript view and, for comparison, a
// plain QListView over the same model and delegate. Times are medians with the worst case, in
// main-thread CPU time, with the event loop drained after each step (its zero-time timers,
// deferred deletes and the picture decodes). The messages vary: lengths, a dozen senders,
// replies, photos, several days.
// A last figure scrolls the whole window through a room of 50,000 messages with photos and
// many senders, and tells what memory that leaves behind, and what is left once the room is.
// Then, in processes of their own: every page of a full scroll through 50,000 and 100,000
// messages (median, worst, 99.9th percentile, how many over 16 ms and over four times the
// median, the slowest five; beside a bare QListView's pages), and one arrival at scale (10,000
// rooms, the open one with 100,000 messages) from the frame's bytes through the store, the sidebar,
// the header and the transcript, beside a repaint of every widget of the window and the same
// arrival into a plain QListView, with medians and worst cases.

#include "BenchWindow.h"

#include "api/ChatClient.h"
#include "api/SocketFrame.h"
#include "store/LocalStore.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/RoomView.h"
#include "ui/workspace/TranscriptDelegate.h"
#include "ui/workspace/TranscriptListView.h"
#include "ui/workspace/TranscriptModel.h"
#include "ui/workspace/TranscriptView.h"
#include "ui/workspace/Workspace.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QProcess>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <memory>

using namespace std::chrono_literals;

namespace {

const QSize kSize(720, 560); // the transcript's part of a 960 x 680 window

qint64 residentKiB()
{
    // Freed memory that the allocator still holds would count as resident: give it back first,
    // so that the figures are what is alive.
    malloc_trim(0);
    return statusKiB("VmRSS");
}

struct Room
{
    std::unique_ptr<LocalStore> store;
    QUuid me, id;
    QList<QUuid> senders; // the other members
    qint64 seq = 0;
    int photoEvery = 0; // one message in this many is a photo of its own; 0: none
    QDateTime time = QDateTime(QDate(2024, 3, 5), QTime(9, 0));
    QList<QUuid> recent; // ids of the last messages, for replies

    ChatMessage next(const QUuid &sender)
    {
        static const QStringList bodies{
            QStringLiteral("네"),
            QStringLiteral("오늘 저녁에 같이 밥 먹을래요?"),
            QStringLiteral("자세한 건 https://zumo.chat/help 를 보세요."),
            QString(80, u'ㅋ'),
            QStringLiteral("회의 자료는 내일 아침까지 보내 드릴게요. 확인하시고 의견 주세요.")
                .repeated(3),
            QStringLiteral("ok"),
            QStringLiteral("The build is green again; the flaky test was a timing issue."),
            QStringLiteral("주말에 비 온대요 ☔️ 우산 챙기세요!"),
        };
        ChatMessage m;
        m.id = QUuid::createUuid();
        m.clientMsgId = m.id;
        m.conversationId = id;
        m.senderId = sender;
        m.seq = ++seq;
        m.body = bodies.at((seq * 7 + seq / 3) % bodies.size());
        if (seq % 97 == 0) {
            m.kind = MessageKind::system;
            m.body = QStringLiteral("방 이름이 저녁 모임로 바뀌었습니다.");
        } else if (photoEvery && seq % photoEvery == 0) {
            m.kind = MessageKind::image;
            m.body = QStringLiteral("사진");
            m.imageJPEG = benchJpeg(int(seq), QSize(320, 240));
        } else if (seq % 11 == 0 && !recent.isEmpty()) {
            m.replyToId = recent.at(seq % recent.size());
        }
        // Mostly minutes apart, now and then the next day.
        time = time.addSecs(seq % 5 ? 40 : 900);
        if (seq % 400 == 0)
            time = time.addDays(1);
        m.createdAt = time;
        recent.append(m.id);
        if (recent.size() > 20)
            recent.removeFirst();
        return m;
    }
    void add(int count)
    {
        store->editMessages([&](MessageIndex &index) {
            for (int i = 0; i < count; ++i)
                index.append(next(i % 4 == 0 ? me : senders.at((i * 7) % senders.size())));
        });
    }
};

// A local store, signed in, with one group room of `senderCount` other members (one in three
// with a picture) and `count` messages.
Room makeRoom(int count, int senderCount = 12, int photoEvery = 0)
{
    Room r;
    r.photoEvery = photoEvery;
    r.store = std::make_unique<LocalStore>(false, 250ms, nullptr);
    r.store->signIn();
    r.me = r.store->session()->meId;
    Account me = *r.store->account(r.me);
    me.displayName = QStringLiteral("나");
    me.handle = QStringLiteral("me_handle");
    r.store->replaceAccount(me);
    r.store->setSession(AppSession{r.me, true});
    Conversation room;
    room.id = QUuid::createUuid();
    room.kind = ConversationKind::group;
    room.title = QStringLiteral("저녁 모임");
    room.memberships = {Membership{r.me, MemberRole::owner, 0, r.time, std::nullopt}};
    QList<Account> people;
    for (int i = 0; i < senderCount; ++i) {
        Account peer;
        peer.id = QUuid::createUuid();
        peer.handle = QStringLiteral("peer%1").arg(i);
        peer.displayName = QStringLiteral("참여자 %1").arg(i);
        if (i % 3 == 0)
            peer.avatarJPEG = benchJpeg(1000 + i, QSize(96, 96));
        people.append(peer);
        r.senders.append(peer.id);
        room.memberships.append(Membership{peer.id, MemberRole::member, 0, r.time, std::nullopt});
    }
    r.store->editAccounts([&](QList<Account> &list) { list.append(people); });
    room.createdAt = r.time;
    room.updatedAt = r.time;
    r.id = room.id;
    r.store->editConversations([&](QList<Conversation> &list) { list.append(room); });
    r.add(count);
    return r;
}

// One of the two views over one room, with what it needs.
class Subject
{
public:
    virtual ~Subject() = default;
    virtual QWidget *widget() = 0;
    virtual QAbstractScrollArea *scroller() = 0;
    virtual void pin() = 0; // what follows an arrival at the end
};

// The whole window (the workspace) with the room open in it.
class WindowSubject : public Subject
{
public:
    explicit WindowSubject(Room &room)
        : window(*room.store)
        , roomId(room.id)
    {
        window.resize(960, 680);
        window.show();
        drainEvents();
    }
    void open() { window.navigation().openRoom(roomId); }
    void close() { window.navigation().setPage(Page{}); }
    // The store here has no session, so its calls to the service fail and say so in the
    // banner, which stands over the transcript's bottom for a few seconds. Over a moved
    // picture Qt paints the whole transcript again; a healthy signed-in window shows no banner.
    void dismissNotice()
    {
        window.navigation().setBanner(std::nullopt);
        drainEvents();
    }
    QWidget *widget() override { return &window; }
    QAbstractScrollArea *scroller() override
    {
        return &window.findChild<TranscriptView *>()->list();
    }
    void pin() override { } // the view pins on its own
    Workspace window;
    QUuid roomId;
};

class ListSubject : public Subject
{
public:
    explicit ListSubject(Room &room)
        : model(*room.store, room.id)
    {
        delegate.setCacheLimit(1'000'000); // its best case: every row's layout kept
        list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        list.setItemDelegate(&delegate);
        list.resize(kSize);
    }
    void open()
    {
        list.setModel(&model);
        list.show();
        list.scrollToBottom();
    }
    QWidget *widget() override { return &list; }
    QAbstractScrollArea *scroller() override { return &list; }
    void pin() override { list.scrollToBottom(); }
    TranscriptModel model;
    TranscriptDelegate delegate;
    QListView list;
};

// Opening the room: the window is up already, the user picks the room and waits for it.
double openWindowMs(WindowSubject &subject)
{
    const double ms = cpuMsOf([&] { subject.open(); });
    subject.close();
    drainEvents();
    return ms;
}

double openListMs(Room &room)
{
    std::unique_ptr<ListSubject> subject;
    const double ms = cpuMsOf([&] {
        subject = std::make_unique<ListSubject>(room);
        subject->open();
    });
    return ms;
}

// The median and the worst of some figures, as printed.
QByteArray spread(const QList<double> &values)
{
    const double worst = values.isEmpty() ? 0 : *std::max_element(values.cbegin(), values.cend());
    return QStringLiteral("%1 (worst %2)")
        .arg(median(values), 0, 'f', 3)
        .arg(worst, 0, 'f', 3)
        .toUtf8();
}

struct Steps
{
    QList<double> arrivals;
    QList<double> screens;
};

Steps arrivalAndScroll(Room &room, Subject &subject)
{
    QList<double> arrivals;
    for (int i = 0; i < 61; ++i) {
        const ChatMessage m = room.next(room.senders.at(i % room.senders.size()));
        arrivals.append(cpuMsOf([&] {
            room.store->merge(m, true);
            subject.pin();
        }));
    }
    QScrollBar *bar = subject.scroller()->verticalScrollBar();
    QList<double> screens;
    for (int i = 0; i < 31 && bar->value() > 0; ++i)
        screens.append(cpuMsOf([&] { bar->setValue(bar->value() - bar->pageStep()); }));
    return {arrivals, screens};
}

void timings()
{
    // The first view of the process pays for fonts and glyph caches: not part of any figure.
    {
        Room warm = makeRoom(100);
        WindowSubject window(warm);
        openWindowMs(window);
        openListMs(warm);
    }
    std::printf("Transcript; main-thread CPU ms with the event loop drained, median (worst)\n");
    std::printf("%-10s %-14s %-22s %-22s %-22s\n", "messages", "view", "open ms", "arrival ms",
                "screen ms");
    for (int count : {1'000, 10'000, 50'000}) {
        Room room = makeRoom(count, 12, 50);
        {
            WindowSubject window(room);
            QList<double> opens;
            for (int round = 0; round < 7; ++round)
                opens.append(openWindowMs(window));
            window.open();
            drainEvents();
            const Steps steps = arrivalAndScroll(room, window);
            std::printf("%-10d %-14s %-22s %-22s %-22s\n", count, "whole window",
                        spread(opens).constData(), spread(steps.arrivals).constData(),
                        spread(steps.screens).constData());
            std::fflush(stdout);
        }
        QList<double> listOpens;
        for (int round = 0; round < 7; ++round)
            listOpens.append(openListMs(room));
        ListSubject list(room);
        list.open();
        drainEvents();
        const Steps steps = arrivalAndScroll(room, list);
        std::printf("%-10d %-14s %-22s %-22s %-22s\n", count, "QListView",
                    spread(listOpens).constData(), spread(steps.arrivals).constData(),
                    spread(steps.screens).constData());
        std::fflush(stdout);
    }
    std::printf("(open: 7; arrival: 61; screen: 31)\n");
    std::fflush(stdout);
}

// Resident memory in a process of its own, so that one view's pages do not count for another.
// "store" opens no view: what the messages themselves cost.
void memory(const QString &which)
{
    const qint64 before = residentKiB();
    Room room = makeRoom(50'000);
    const qint64 stored = residentKiB();
    std::unique_ptr<Subject> subject;
    if (which == u"list") {
        auto list = std::make_unique<ListSubject>(room);
        list->open();
        subject = std::move(list);
    } else if (which == u"view") {
        auto window = std::make_unique<WindowSubject>(room);
        window->open();
        subject = std::move(window);
    }
    drainEvents();
    const qint64 open = residentKiB();
    room.add(10'000);
    if (subject)
        subject->pin();
    drainEvents();
    const qint64 grown = residentKiB();
    std::printf("%-16s 50,000 messages: store %6lld KiB, view +%6lld KiB, VmRSS %6lld KiB; "
                "10,000 more: +%5lld KiB\n",
                qPrintable(which), static_cast<long long>(stored - before),
                static_cast<long long>(open - stored), static_cast<long long>(open),
                static_cast<long long>(grown - open));
}

// The whole window scrolled screen by screen from the newest message to the oldest through a
// room of 50,000 messages, one in fifty a photo of its own, from 60 senders (a third with a
// picture); then the room is left.
void scrollMemory()
{
    Room room = makeRoom(50'000, 60, 50);
    WindowSubject window(room);
    const qint64 shown = residentKiB();
    window.open();
    drainEvents();
    const qint64 open = residentKiB();
    QScrollBar *bar = window.scroller()->verticalScrollBar();
    int screens = 0;
    while (bar->value() > 0) {
        bar->setValue(bar->value() - bar->pageStep());
        drainEvents();
        ++screens;
    }
    const qint64 scrolled = residentKiB();
    window.close();
    drainEvents();
    const qint64 left = residentKiB();
    std::printf("scroll through 50,000 messages (2%% photos, 60 senders), %d screens: "
                "open +%lld KiB over the window, after the scroll +%lld KiB over open, "
                "room left +%lld KiB over open\n",
                screens, static_cast<long long>(open - shown),
                static_cast<long long>(scrolled - open), static_cast<long long>(left - open));
}

// What one full scroll's pages cost: the median, the worst, the 99.9th percentile, how many
// pages took over 16 ms and over four times the median.
QByteArray pageFigures(const QList<double> &pages)
{
    QList<double> sorted = pages;
    std::sort(sorted.begin(), sorted.end());
    const double mid = median(pages);
    const auto over = [&](double ms) {
        return std::count_if(pages.cbegin(), pages.cend(), [&](double page) { return page > ms; });
    };
    return QStringLiteral("%1 pages, ms per page %2, 99.9th percentile %3, %4 over 16 ms, %5 over "
                          "4x the median")
        .arg(pages.size())
        .arg(QString::fromUtf8(spread(pages)))
        .arg(sorted.isEmpty() ? 0 : sorted.at(qsizetype(double(sorted.size() - 1) * 0.999)), 0, 'f',
             3)
        .arg(over(16))
        .arg(over(4 * mid))
        .toUtf8();
}

// Every page of a scroll from the newest message to the oldest in the whole window, through a
// room of `count` messages like the timing rooms (one in fifty a photo of its own); beside it, in
// the same process, the same scroll of a bare QListView of the messages' texts (a
// QStyledItemDelegate over a QStringListModel, rows of one height) in a window of the
// transcript's size.
void scrollPages(int count)
{
    Room room = makeRoom(count, 12, 50);
    QStringList bodies;
    room.store->messageIndex().forEachInRoom(
        room.id, [&](const MessageIndex::Entry &e) { bodies.append(e.message.body); });
    WindowSubject window(room);
    window.open();
    drainEvents();
    QScrollBar *bar = window.scroller()->verticalScrollBar();
    QList<double> pages;
    QList<std::pair<double, int>> slowest; // each page's time and the first row shown before it
    TranscriptListView *list = window.window.findChild<TranscriptListView *>();
    while (bar->value() > 0) {
        const int first = list->visibleRows().first;
        pages.append(cpuMsOf([&] { bar->setValue(bar->value() - bar->pageStep()); }));
        slowest.append({pages.last(), first});
    }
    std::printf("full scroll, %d messages, whole window: %s\n", count,
                pageFigures(pages).constData());
    std::sort(slowest.begin(), slowest.end(), std::greater<>());
    std::printf("  slowest:");
    for (const auto &[ms, row] : slowest.first(std::min<qsizetype>(5, slowest.size())))
        std::printf(" %.2f ms above row %d;", ms, row);
    std::printf("\n");
    std::fflush(stdout);

    QStringListModel texts(bodies);
    QStyledItemDelegate delegate;
    QListView reference;
    reference.setItemDelegate(&delegate);
    reference.setUniformItemSizes(true);
    reference.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    reference.setModel(&texts);
    reference.resize(kSize);
    reference.show();
    reference.scrollToBottom();
    drainEvents();
    QScrollBar *referenceBar = reference.verticalScrollBar();
    QList<double> referencePages;
    while (referenceBar->value() > 0) {
        referencePages.append(cpuMsOf(
            [&] { referenceBar->setValue(referenceBar->value() - referenceBar->pageStep()); }));
    }
    std::printf("full scroll, %d messages, QListView reference: %s\n", count,
                pageFigures(referencePages).constData());
}

// A signed-in live store (its client never connects) with `rooms` rooms, one message each, and
// one group room of twelve others (a third with a picture) holding `count` messages, which the
// frames of arrive().
struct Scale
{
    Scale(int rooms, int count)
        : room(makeRoom(0, 12, 50))
    {
        // The store of makeRoom() is not live: a live one, with the same people and room.
        auto live = std::make_unique<LocalStore>(
            false, 250ms, std::make_unique<ChatClient>(QUrl(QStringLiteral("http://127.0.0.1:9"))));
        live->setNotificationSound(false);
        live->apply(APIUser{room.me, QStringLiteral("person"), QStringLiteral("me_handle"),
                            QStringLiteral("나"), std::nullopt, QStringLiteral("active"),
                            std::nullopt},
                    std::nullopt);
        QList<Account> accounts = live->accounts();
        for (const QUuid &id : std::as_const(room.senders))
            accounts.append(*room.store->account(id));
        live->setAccounts(accounts);
        QList<Conversation> list = room.store->conversations();
        const QDateTime start = room.time.addDays(-30);
        for (int i = 0; i < rooms - 1; ++i) {
            Conversation other;
            other.id = QUuid::createUuid();
            other.kind = ConversationKind::direct;
            other.createdAt = start;
            other.updatedAt = start.addSecs(i);
            other.memberships = {Membership{room.me, MemberRole::owner, 0, start, std::nullopt},
                                 Membership{room.senders.at(i % room.senders.size()),
                                            MemberRole::member, 0, start, std::nullopt}};
            list.append(other);
        }
        live->setConversations(list);
        live->editMessages([&](MessageIndex &index) {
            for (int i = 1; i < list.size(); ++i) {
                ChatMessage m;
                m.id = QUuid::createUuid();
                m.clientMsgId = m.id;
                m.conversationId = list.at(i).id;
                m.senderId = list.at(i).memberships.at(1).userId;
                m.seq = 1;
                m.body = QStringLiteral("안녕하세요");
                m.createdAt = list.at(i).updatedAt;
                index.append(m);
            }
        });
        room.store = std::move(live);
        room.add(count);
        room.store->setRemoteUnread({});
    }

    // The frame of the next message of the big room from one of the others.
    QByteArray frame()
    {
        const ChatMessage m = room.next(room.senders.at(frames++ % room.senders.size()));
        const auto uuid
            = [](const QUuid &id) { return id.toString(QUuid::WithoutBraces).toUpper().toUtf8(); };
        return "{\"type\":\"message.created\",\"message\":{\"id\":\"" + uuid(m.id)
            + "\",\"conversation_id\":\"" + uuid(m.conversationId)
            + "\",\"seq\":" + QByteArray::number(m.seq) + ",\"sender_id\":\"" + uuid(m.senderId)
            + "\",\"client_msg_id\":\"" + uuid(m.id)
            + "\",\"type\":\"text\",\"origin\":\"user\",\"body\":\"" + m.body.toUtf8()
            + "\",\"created_at\":\"" + m.createdAt.toUTC().toString(Qt::ISODateWithMs).toUtf8()
            + "\"}}";
    }

    // What the socket does with a frame.
    void arrive(const QByteArray &bytes)
    {
        const SocketFrame parsed = SocketFrame::parse(bytes);
        if (parsed.event)
            room.store->apply(*parsed.event);
    }

    Room room;
    int frames = 0;
};

void arrivalAtScale(int rooms, int count)
{
    Scale scale(rooms, count);
    std::printf("arrival at %d rooms, %d messages in the open room; main-thread CPU ms, median "
                "(worst)\n",
                rooms, count);
    {
        WindowSubject window(scale.room);
        window.open();
        drainEvents();
        window.dismissNotice();
        for (int i = 0; i < 5; ++i) // the first rows of the session pay for glyphs
            cpuMsOf([&] { scale.arrive(scale.frame()); });
        QList<double> arrivals, repaints;
        for (int i = 0; i < 61; ++i) {
            const QByteArray bytes = scale.frame();
            arrivals.append(cpuMsOf([&] { scale.arrive(bytes); }));
        }
        for (int i = 0; i < 21; ++i)
            repaints.append(cpuMsOf([&] { repaintWholeWindow(window.window); }));
        std::printf("  %-34s %s\n", "whole window, frame to paint", spread(arrivals).constData());
        std::printf("  %-34s %s\n", "whole window, every widget painted",
                    spread(repaints).constData());
        std::printf("  %-34s %.2f\n", "arrival / repaint (medians)",
                    median(arrivals) / std::max(1e-9, median(repaints)));
        std::fflush(stdout);
    }
    ListSubject list(scale.room);
    list.open();
    drainEvents();
    QList<double> arrivals;
    for (int i = 0; i < 21; ++i) {
        const QByteArray bytes = scale.frame();
        arrivals.append(cpuMsOf([&] {
            scale.arrive(bytes);
            list.pin();
        }));
    }
    std::printf("  %-34s %s\n", "QListView, frame to paint", spread(arrivals).constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 1 && args.at(1) == u"--scroll") {
        scrollMemory();
        return 0;
    }
    if (args.size() > 2 && args.at(1) == u"--pages") {
        scrollPages(args.at(2).toInt());
        return 0;
    }
    if (args.size() > 1 && (args.at(1) == u"--arrivals-only" || args.at(1) == u"--repaints-only")) {
        // For profiling one step at scale alone, after "ready" on stderr: an arrival, or the
        // whole window's repaint that is its reference.
        const bool arrivals = args.at(1) == u"--arrivals-only";
        Scale scale(10'000, 100'000);
        WindowSubject window(scale.room);
        window.open();
        drainEvents();
        window.dismissNotice();
        std::fprintf(stderr, "ready\n");
        for (int i = 0; i < 3000; ++i) {
            if (arrivals) {
                scale.arrive(scale.frame());
                drainEvents();
            } else {
                repaintWholeWindow(window.window);
            }
        }
        return 0;
    }
    if (args.size() > 1 && args.at(1) == u"--scale") {
        arrivalAtScale(10'000, 100'000);
        return 0;
    }
    if (args.size() > 2 && args.at(1) == u"--memory") {
        memory(args.at(2));
        return 0;
    }
    timings();
    const auto child = [&](const QStringList &arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(app.applicationFilePath(), arguments);
        process.waitForFinished(900'000);
    };
    for (const char *which : {"store", "view", "list"})
        child({QStringLiteral("--memory"), QString::fromLatin1(which)});
    child({QStringLiteral("--scroll")});
    for (const char *count : {"50000", "100000"})
        child({QStringLiteral("--pages"), QString::fromLatin1(count)});
    child({QStringLiteral("--scale")});
    return 0;
}
