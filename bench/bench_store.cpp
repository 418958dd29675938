// Figures for the store's hot paths: live message events against a small and a large store,
// one sync page into a large store, the transcript and unread count of a large room, the room
// list of many rooms, the room-list answer decoded, and the memory held per message.

#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/ChatEvent.h"
#include "api/SocketFrame.h"
#include "store/LocalStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "BenchSupport.h"
#include "RoomListAnswer.h"

using namespace std::chrono_literals;

namespace {

const QString kBody = QString(100, u'x'); // a text message of 100 characters

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

struct Fixture
{
    std::unique_ptr<LocalStore> store;
    QUuid me;
    QUuid peer;
    QList<QUuid> rooms;
};

// A live-mode store (its client never talks to anyone) with `roomCount` direct rooms from a
// room list and `messageCount` messages spread over them.
Fixture makeStore(int roomCount, int messageCount)
{
    Fixture f;
    f.store = std::make_unique<LocalStore>(
        true, 250ms, std::make_unique<ChatClient>(QUrl(QStringLiteral("http://127.0.0.1:9"))));
    f.me = QUuid::createUuid();
    f.peer = QUuid::createUuid();
    QList<APIConversation> list;
    for (int i = 0; i < roomCount; ++i) {
        APIConversation c;
        c.id = QUuid::createUuid();
        c.type = QStringLiteral("direct");
        c.unreadCount = 0;
        APIMember mine{f.me,
                       QStringLiteral("owner"),
                       QStringLiteral("me"),
                       QStringLiteral("나"),
                       QStringLiteral("person"),
                       std::nullopt,
                       true,
                       std::nullopt};
        APIMember other{f.peer,
                        QStringLiteral("member"),
                        QStringLiteral("peer"),
                        QStringLiteral("상대"),
                        QStringLiteral("person"),
                        std::nullopt,
                        true,
                        std::nullopt};
        c.members = {mine, other};
        list.append(c);
        f.rooms.append(c.id);
    }
    f.store->apply(APIUser{f.me, QStringLiteral("person"), QStringLiteral("me"),
                           QStringLiteral("나"), std::nullopt, QStringLiteral("active"),
                           std::nullopt},
                   std::nullopt);
    f.store->apply(list);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    f.store->editMessages([&](MessageIndex &index) {
        for (int i = 0; i < messageCount; ++i) {
            ChatMessage m;
            m.id = QUuid::createUuid();
            m.clientMsgId = m.id;
            m.conversationId = f.rooms.at(i % roomCount);
            m.senderId = (i % 3) ? f.peer : f.me;
            m.seq = i / roomCount + 1;
            // A text of its own for every message, as real messages have.
            m.body = QString::number(i).leftJustified(100, u'x');
            m.createdAt = now;
            index.append(m);
        }
    });
    return f;
}

APIMessage wireMessage(const QUuid &room, const QUuid &sender, qint64 seq)
{
    APIMessage m;
    m.id = QUuid::createUuid();
    m.conversationId = room;
    m.seq = seq;
    m.senderId = sender;
    m.clientMsgId = QUuid::createUuid();
    m.type = QStringLiteral("text");
    m.origin = QStringLiteral("user");
    m.body = kBody;
    m.createdAt = QStringLiteral("2026-01-31T09:30:00.123Z");
    return m;
}

double eventCostMicros(int held)
{
    Fixture f = makeStore(100, held);
    f.store->setNotificationSound(false);
    const int events = 5000;
    QList<ChatEvent> batch;
    batch.reserve(events);
    for (int i = 0; i < events; ++i)
        batch.append(
            ChatEvent::makeMessage(wireMessage(f.rooms.at(i % 100), f.peer, 1'000'000 + i)));
    QElapsedTimer timer;
    timer.start();
    for (const ChatEvent &e : std::as_const(batch))
        f.store->apply(e);
    return double(timer.nsecsElapsed()) / 1000.0 / events;
}

void benchEvents()
{
    // Alternating runs, best of each: a shared machine adds noise, never removes it.
    double small = 1e9;
    double large = 1e9;
    for (int round = 0; round < 4; ++round) {
        small = std::min(small, eventCostMicros(1'000));
        large = std::min(large, eventCostMicros(100'000));
    }
    std::printf("message.created events: %.2f us/event with 1,000 held, %.2f us/event with 100,000 "
                "held (ratio %.2f)\n",
                small, large, large / small);
}

// One "message.created" frame as the service sends it: snake_case keys, lower-case ids.
QByteArray messageFrame(const QUuid &room, const QUuid &sender, qint64 seq)
{
    const auto id = [](const QUuid &u) { return u.toString(QUuid::WithoutBraces); };
    return QStringLiteral(
               R"({"type":"message.created","message":{"id":"%1","conversation_id":"%2",)"
               R"("seq":%3,"sender_id":"%4","client_msg_id":"%5","type":"text",)"
               R"("origin":"user","body":"%6","created_at":"2026-01-31T09:30:00.123Z",)"
               R"("attachments":[]}})")
        .arg(id(QUuid::createUuid()), id(room))
        .arg(seq)
        .arg(id(sender), id(QUuid::createUuid()), kBody)
        .toUtf8();
}

// From frame bytes to the store, against a bare QJsonDocument parse of the same frames: the
// medians of 15 batches of 1,000 frames, in microseconds per frame. The frames go through
// SocketFrame::parse() and, beside it, through the document reader alone that parse() falls back
// on for unusual frames.
void benchEventPath()
{
    std::printf("event path (us per frame, median of 15 batches of 1,000):\n");
    std::printf("%-9s %10s %10s %14s %10s %14s %8s %8s %8s\n", "held", "bare JSON", "parse",
                "parse+apply", "doc parse", "doc+apply", "parse x", "total x", "doc x");
    for (int held : {1'000, 100'000}) {
        Fixture f = makeStore(100, held);
        f.store->setNotificationSound(false);
        QList<double> bare, parsed, applied, docParsed, docApplied;
        qint64 seq = 1'000'000;
        const auto frameBatch = [&] {
            QList<QByteArray> frames;
            for (int i = 0; i < 1000; ++i)
                frames.append(messageFrame(f.rooms.at(i % 100), f.peer, ++seq));
            return frames;
        };
        for (int batch = 0; batch < 15; ++batch) {
            const QList<QByteArray> frames = frameBatch();
            const QList<QByteArray> docFrames = frameBatch();
            QElapsedTimer t;
            t.start();
            qsizetype sink = 0;
            for (const QByteArray &frame : frames)
                sink += QJsonDocument::fromJson(frame).object().size();
            bare.append(t.nsecsElapsed() / 1e3 / frames.size());
            t.restart();
            for (const QByteArray &frame : frames)
                sink += SocketFrame::parse(frame).event.has_value();
            parsed.append(t.nsecsElapsed() / 1e3 / frames.size());
            t.restart();
            for (const QByteArray &frame : frames)
                sink += SocketFrame::parseDocument(frame).event.has_value();
            docParsed.append(t.nsecsElapsed() / 1e3 / frames.size());
            t.restart();
            for (const QByteArray &frame : frames) {
                const SocketFrame parsedFrame = SocketFrame::parse(frame);
                if (parsedFrame.event)
                    f.store->apply(*parsedFrame.event);
            }
            applied.append(t.nsecsElapsed() / 1e3 / frames.size());
            t.restart();
            for (const QByteArray &frame : docFrames) {
                const SocketFrame parsedFrame = SocketFrame::parseDocument(frame);
                if (parsedFrame.event)
                    f.store->apply(*parsedFrame.event);
            }
            docApplied.append(t.nsecsElapsed() / 1e3 / docFrames.size());
            Q_UNUSED(sink);
        }
        const double b = median(bare);
        std::printf("%-9d %10.2f %10.2f %14.2f %10.2f %14.2f %8.2f %8.2f %8.2f\n", held, b,
                    median(parsed), median(applied), median(docParsed), median(docApplied),
                    median(parsed) / b, median(applied) / b, median(docApplied) / b);
    }
}

void benchSyncPage()
{
    Fixture f = makeStore(1'000, 100'000);
    QList<SyncRoom> pages;
    for (int r = 0; r < 50; ++r) {
        SyncRoom room;
        room.id = f.rooms.at(r);
        for (int i = 0; i < 50; ++i)
            room.messages.append(wireMessage(room.id, f.peer, 1'000 + i));
        room.reads = {APIRead{f.me, 0}, APIRead{f.peer, 1'049}};
        pages.append(room);
    }
    QElapsedTimer timer;
    timer.start();
    f.store->apply(pages);
    std::printf("one sync page (50 rooms x 50 messages) into 100,000 held: %.2f ms\n",
                timer.nsecsElapsed() / 1e6);
}

// The room-list answer at start-up, decoded through a JSON document (the reader every answer
// took before) and by the readers callers use now, alternating in the same run; then decoded
// and applied to an empty store. Main-thread CPU in milliseconds, median and worst of 15.
void benchRoomListDecode()
{
    std::printf("room-list answer (ms of CPU, median / worst of 15):\n");
    std::printf("%-7s %9s %17s %17s %8s %17s %17s\n", "rooms", "KiB", "document", "direct", "x",
                "doc+apply", "direct+apply");
    for (int roomCount : {1'000, 10'000}) {
        const QByteArray answer = roomListAnswer(roomCount);
        QList<double> document, direct, documentApplied, directApplied;
        const auto timed = [](QList<double> &into, auto &&work) {
            const double start = threadCpuMs();
            work();
            into.append(threadCpuMs() - start);
        };
        const auto decodeAndApply = [&](ApiDecoder::Reader reader) {
            LocalStore store(
                true, 250ms,
                std::make_unique<ChatClient>(QUrl(QStringLiteral("http://127.0.0.1:9"))));
            const double start = threadCpuMs();
            const auto list = ApiDecoder::conversationPage(answer, reader);
            if (list)
                store.apply(*list);
            return threadCpuMs() - start;
        };
        for (int round = 0; round < 15; ++round) {
            qsizetype sink = 0;
            timed(document, [&] {
                sink += ApiDecoder::conversationPage(answer, ApiDecoder::Reader::document)
                            .value_or(QList<APIConversation>())
                            .size();
            });
            timed(direct, [&] {
                sink += ApiDecoder::conversationPage(answer)
                            .value_or(QList<APIConversation>())
                            .size();
            });
            if (sink != 2 * roomCount)
                std::printf("the answer did not decode\n");
            documentApplied.append(decodeAndApply(ApiDecoder::Reader::document));
            directApplied.append(decodeAndApply(ApiDecoder::Reader::any));
        }
        const auto worst
            = [](const QList<double> &v) { return *std::max_element(v.begin(), v.end()); };
        std::printf("%-7d %9lld %8.1f / %6.1f %8.1f / %6.1f %8.2f %8.1f / %6.1f %8.1f / %6.1f\n",
                    roomCount, static_cast<long long>(answer.size() / 1024), median(document),
                    worst(document), median(direct), worst(direct),
                    median(document) / median(direct), median(documentApplied),
                    worst(documentApplied), median(directApplied), worst(directApplied));
    }
}

void benchRoomReads()
{
    Fixture f = makeStore(1, 10'000);
    const Conversation room = *f.store->conversation(f.rooms.first());
    QElapsedTimer timer;
    timer.start();
    const int rounds = 50;
    qsizetype total = 0;
    for (int i = 0; i < rounds; ++i)
        total += f.store->visibleMessages(room.id).size();
    std::printf("visibleMessages of a room of 10,000: %.3f ms (%lld rows)\n",
                timer.nsecsElapsed() / 1e6 / rounds, static_cast<long long>(total / rounds));

    // Without a service count the local count is used; the first call walks the room.
    f.store->setRemoteUnread({});
    timer.restart();
    int unread = f.store->unreadCount(room);
    const double first = timer.nsecsElapsed() / 1e6;
    timer.restart();
    for (int i = 0; i < rounds; ++i)
        unread = f.store->unreadCount(room);
    std::printf("unreadCount of a room of 10,000: %.3f ms first, %.4f ms repeated (%d unread)\n",
                first, timer.nsecsElapsed() / 1e6 / rounds, unread);

    Fixture many = makeStore(1'000, 10'000);
    timer.restart();
    qsizetype listed = 0;
    for (int i = 0; i < rounds; ++i)
        listed += many.store->sortedList().size();
    std::printf("sortedList of 1,000 rooms: %.3f ms (%lld rooms)\n",
                timer.nsecsElapsed() / 1e6 / rounds, static_cast<long long>(listed / rounds));
    timer.restart();
    qint64 sum = 0;
    for (const Conversation &c : many.store->sortedList())
        sum += many.store->unreadCount(c);
    std::printf("sortedList plus unreadCount of every row, 1,000 rooms: %.3f ms\n",
                timer.nsecsElapsed() / 1e6);
    Q_UNUSED(sum);
}

void benchMemory()
{
    const int count = 100'000;
    const qint64 before = residentBytes();
    Fixture f = makeStore(100, count);
    const qint64 after = residentBytes();
    std::printf(
        "memory: %.0f bytes per held text message of 100 characters (resident %+.1f MiB for %d)\n",
        double(after - before) / count, (after - before) / 1048576.0, count);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--events-only"))) {
        // For profiling the event path alone.
        Fixture f = makeStore(100, 100'000);
        f.store->setNotificationSound(false);
        for (int round = 0; round < 40; ++round) {
            for (int i = 0; i < 5000; ++i)
                f.store->apply(ChatEvent::makeMessage(
                    wireMessage(f.rooms.at(i % 100), f.peer, 1'000'000 + round * 5000 + i)));
        }
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--frames-only"))) {
        // For profiling the event path from frame bytes alone.
        Fixture f = makeStore(100, 100'000);
        f.store->setNotificationSound(false);
        QList<QByteArray> frames;
        for (int i = 0; i < 20'000; ++i)
            frames.append(messageFrame(f.rooms.at(i % 100), f.peer, 1'000'000 + i));
        for (const QByteArray &frame : std::as_const(frames)) {
            const SocketFrame parsed = SocketFrame::parse(frame);
            if (parsed.event)
                f.store->apply(*parsed.event);
        }
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--room-list-only"))) {
        // For profiling the reading of a large room-list answer alone.
        const QByteArray answer = roomListAnswer(10'000);
        qsizetype rooms = 0;
        for (int round = 0; round < 30; ++round)
            rooms += ApiDecoder::conversationPage(answer).value_or(QList<APIConversation>()).size();
        return rooms == 300'000 ? 0 : 1;
    }
    if (app.arguments().contains(QStringLiteral("--decode-only"))) {
        benchRoomListDecode();
        return 0;
    }
    benchMemory(); // first, while the heap is fresh
    benchEvents();
    benchEventPath();
    benchSyncPage();
    benchRoomListDecode();
    benchRoomReads();
    return 0;
}
