// Figures for the transcript at 1,000, 10,000 and 50,000 messages: opening the room and showing
// its newest message, one arriving message applied by the store, laid out and pinned, scrolling
// up by one screen, and resident memory. Each for the transcript view and, for comparison, a
// plain QListView over the same model and delegate.

#include "BenchSupport.h"

#include "api/ChatClient.h"
#include "store/LocalStore.h"
#include "ui/workspace/MacNavigation.h"
#include "ui/workspace/MacRoomState.h"
#include "ui/workspace/MacTranscriptView.h"
#include "ui/workspace/TranscriptDelegate.h"
#include "ui/workspace/TranscriptListView.h"
#include "ui/workspace/TranscriptModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QProcess>
#include <QScrollBar>

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
    QUuid me, peer, id;
    qint64 seq = 0;
    QDateTime time = QDateTime(QDate(2024, 3, 5), QTime(9, 0));

    ChatMessage next(const QUuid &sender)
    {
        static const QStringList bodies{
            QStringLiteral("네"),
            QStringLiteral("오늘 저녁에 같이 밥 먹을래요?"),
            QStringLiteral("자세한 건 https://zumo.chat/help 를 보세요."),
            QString(80, u'ㅋ'),
            QStringLiteral("회의 자료는 내일 아침까지 보내 드릴게요. 확인하시고 의견 주세요.")
                .repeated(3),
        };
        ChatMessage m;
        m.id = QUuid::createUuid();
        m.clientMsgId = m.id;
        m.conversationId = id;
        m.senderId = sender;
        m.seq = ++seq;
        m.body = bodies.at(seq % bodies.size());
        if (seq % 97 == 0) {
            m.kind = MessageKind::system;
            m.body = QStringLiteral("방 이름이 저녁 모임로 바뀌었습니다.");
        }
        time = time.addSecs(seq % 5 ? 40 : 900);
        m.createdAt = time;
        return m;
    }
    void add(int count)
    {
        store->editMessages([&](MessageIndex &index) {
            for (int i = 0; i < count; ++i)
                index.append(next(i % 3 ? peer : me));
        });
    }
};

Room makeRoom(int count)
{
    Room r;
    r.store = std::make_unique<LocalStore>(false, 250ms, nullptr);
    r.store->signIn();
    r.me = r.store->session()->meId;
    Account me = *r.store->account(r.me);
    me.displayName = QStringLiteral("나");
    me.handle = QStringLiteral("me_handle");
    r.store->replaceAccount(me);
    r.store->setSession(AppSession{r.me, true});
    Account peer;
    peer.id = QUuid::createUuid();
    peer.handle = QStringLiteral("peer");
    peer.displayName = QStringLiteral("상대");
    r.peer = peer.id;
    r.store->editAccounts([&](QList<Account> &list) { list.append(peer); });
    Conversation room;
    room.id = QUuid::createUuid();
    room.kind = ConversationKind::direct;
    room.memberships = {Membership{r.me, MemberRole::owner, 0, r.time, std::nullopt},
                        Membership{r.peer, MemberRole::member, 0, r.time, std::nullopt}};
    room.createdAt = r.time;
    room.updatedAt = r.time;
    r.id = room.id;
    r.store->editConversations([&](QList<Conversation> &list) { list.append(room); });
    r.add(count);
    return r;
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
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

class TranscriptSubject : public Subject
{
public:
    explicit TranscriptSubject(Room &room)
        : state(room.id)
        , view(*room.store, state, navigation)
    { }
    QWidget *widget() override { return &view; }
    QAbstractScrollArea *scroller() override { return &view.list(); }
    void pin() override { } // the view pins on its own
    MacNavigation navigation;
    MacRoomState state;
    MacTranscriptView view;
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
        list.setModel(&model);
    }
    QWidget *widget() override { return &list; }
    QAbstractScrollArea *scroller() override { return &list; }
    void pin() override { list.scrollToBottom(); }
    TranscriptModel model;
    TranscriptDelegate delegate;
    QListView list;
};

template<typename S>
double openMs(Room &room)
{
    QElapsedTimer t;
    t.start();
    S subject(room);
    subject.widget()->resize(kSize);
    subject.widget()->show();
    subject.pin();
    const QPixmap frame = subject.widget()->grab();
    const double ms = msSince(t);
    Q_UNUSED(frame);
    return ms;
}

template<typename S>
std::pair<double, double> arrivalAndScrollMs(Room &room)
{
    S subject(room);
    subject.widget()->resize(kSize);
    subject.widget()->show();
    subject.pin();
    settle(500);
    QWidget *viewport = subject.scroller()->viewport();
    QList<double> arrivals;
    for (int i = 0; i < 60; ++i) {
        const ChatMessage m = room.next(room.peer);
        QElapsedTimer t;
        t.start();
        room.store->merge(m, true);
        QCoreApplication::processEvents();
        subject.pin();
        viewport->repaint();
        arrivals.append(msSince(t));
    }
    settle(500);
    QScrollBar *bar = subject.scroller()->verticalScrollBar();
    QList<double> screens;
    for (int i = 0; i < 30 && bar->value() > 0; ++i) {
        QElapsedTimer t;
        t.start();
        bar->setValue(bar->value() - bar->pageStep());
        viewport->repaint();
        screens.append(msSince(t));
    }
    return {median(arrivals), median(screens)};
}

double best(const QList<double> &values)
{
    return *std::min_element(values.cbegin(), values.cend());
}

void timings()
{
    // The first view of the process pays for fonts and glyph caches: not part of any figure.
    {
        Room warm = makeRoom(100);
        openMs<TranscriptSubject>(warm);
        openMs<ListSubject>(warm);
    }
    // Alternating rounds, best of each: a shared machine adds noise, never removes it.
    std::printf("%-10s %-18s %10s %12s %12s\n", "messages", "view", "open ms", "arrival ms",
                "screen ms");
    for (int count : {1'000, 10'000, 50'000}) {
        Room room = makeRoom(count);
        QList<double> opens, listOpens;
        for (int round = 0; round < 7; ++round) {
            opens.append(openMs<TranscriptSubject>(room));
            settle(50);
            listOpens.append(openMs<ListSubject>(room));
            settle(50);
        }
        const auto [arrival, screen] = arrivalAndScrollMs<TranscriptSubject>(room);
        std::printf("%-10d %-18s %10.2f %12.3f %12.3f\n", count, "transcript view", best(opens),
                    arrival, screen);
        std::fflush(stdout);
        const auto [listArrival, listScreen] = arrivalAndScrollMs<ListSubject>(room);
        std::printf("%-10d %-18s %10.2f %12.3f %12.3f\n", count, "QListView", best(listOpens),
                    listArrival, listScreen);
        std::fflush(stdout);
    }
    std::printf("(open: best of 7; arrival and screen: median of 60 and 30)\n");
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
    if (which == u"list")
        subject = std::make_unique<ListSubject>(room);
    else if (which == u"view")
        subject = std::make_unique<TranscriptSubject>(room);
    const auto show = [&] {
        if (!subject)
            return;
        subject->widget()->resize(kSize);
        subject->widget()->show();
        subject->pin();
        settle(400);
        subject->widget()->grab();
    };
    show();
    const qint64 open = residentKiB();
    room.add(10'000);
    show();
    const qint64 grown = residentKiB();
    std::printf("%-16s 50,000 messages: store %6lld KiB, view +%6lld KiB, VmRSS %6lld KiB; "
                "10,000 more: +%5lld KiB\n",
                qPrintable(which), static_cast<long long>(stored - before),
                static_cast<long long>(open - stored), static_cast<long long>(open),
                static_cast<long long>(grown - open));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args.at(1) == u"--memory") {
        memory(args.at(2));
        return 0;
    }
    timings();
    for (const char *which : {"store", "view", "list"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(),
                    {QStringLiteral("--memory"), QString::fromLatin1(which)});
        child.waitForFinished(600'000);
    }
    return 0;
}
