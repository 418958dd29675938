#pragma once

// Shared pieces of the store tests: private folders for the store document and the settings,
// builders for records and a small photo, a way to run a store task to its end, a badge that
// records its counts, and two live rigs that run the real client against the stand-in service on
// loopback (one signs in through the client, the other through the store's own login).

#include "api/ChatClient.h"
#include "model/SeedID.h"
#include "platform/LauncherBadge.h"
#include "platform/PushCenter.h"
#include "service/StandInService.h"
#include "store/LocalStore.h"

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <QCoroTask>

#include <memory>
#include <optional>

using namespace std::chrono_literals;

// Points the data and config folders of this process at a private temporary folder. Call once,
// before anything reads QSettings or QStandardPaths (initTestCase).
inline QTemporaryDir &privateFolders()
{
    static QTemporaryDir dir;
    static const bool done = [] {
        qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        QCoreApplication::setOrganizationName(QStringLiteral("zumo-store-tests"));
        QCoreApplication::setApplicationName(QUuid::createUuid().toString(QUuid::WithoutBraces));
        return true;
    }();
    Q_UNUSED(done);
    return dir;
}

inline void clearDefaults()
{
    QSettings settings;
    settings.remove(QStringLiteral("quillo.live.blocks"));
    settings.remove(QStringLiteral("quillo.live.hidden"));
    settings.sync();
}

// clearDefaults(), and no notification hook or waiting tap left by an earlier case (init()).
inline void clearDefaultsAndPushHooks()
{
    clearDefaults();
    PushCenter::reset();
}

// Forgets every setting and the store document (init()).
inline void resetFolders()
{
    QSettings settings;
    settings.clear();
    settings.sync();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir(folder + QStringLiteral("/QuilloChat")).removeRecursively();
}

class RecordingBadge final : public LauncherBadge
{
public:
    void setCount(qint64 total) override { counts.append(total); }
    qint64 last() const { return counts.isEmpty() ? -1 : counts.last(); } // -1: never set
    QList<qint64> counts;
};

inline std::unique_ptr<LocalStore> memoryStore(std::chrono::milliseconds delay = 20ms)
{
    return std::make_unique<LocalStore>(false, delay, nullptr);
}

// Signs the local store in with a complete profile named `name` ("me").
inline QUuid signInLocally(LocalStore &store, const QString &name = QStringLiteral("나"))
{
    store.signIn();
    const QUuid me = store.session()->meId;
    Account a = *store.account(me);
    a.displayName = name;
    a.handle = QStringLiteral("me_handle");
    store.replaceAccount(a);
    store.setSession(AppSession{me, true});
    return me;
}

// Signs the local store in through the local first profile, as a new user would: the house
// account's welcome and the seed person's friend request come with it.
inline QUuid signInWithProfile(LocalStore &store, const QString &name = QStringLiteral("나"),
                               const QString &handle = QStringLiteral("me_handle"))
{
    store.signIn();
    const QUuid me = store.session()->meId;
    store.completeProfile(name, handle, std::nullopt);
    return me;
}

// Makes `user` a friend of the signed-in local user (a friend link in state friends).
inline void befriend(LocalStore &store, const QUuid &user)
{
    store.editFriends([&](QList<FriendLink> &list) {
        list.append(FriendLink{user, FriendState::friends});
    });
}

inline Membership member(const QUuid &user, qint64 lastRead = 0,
                         MemberRole role = MemberRole::member,
                         QDateTime joined = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC))
{
    return Membership{user, role, lastRead, joined, std::nullopt};
}

inline Membership member(const QUuid &user, MemberRole role, qint64 joinedSecs = 1'700'000'000)
{
    return member(user, 0, role, QDateTime::fromSecsSinceEpoch(joinedSecs, Qt::UTC));
}

inline Conversation room(ConversationKind kind, QList<Membership> members,
                         const QString &title = {})
{
    Conversation c;
    c.id = QUuid::createUuid();
    c.kind = kind;
    c.title = title;
    c.memberships = std::move(members);
    c.createdAt = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    c.updatedAt = c.createdAt;
    return c;
}

inline ChatMessage textMessage(const QUuid &roomId, const QUuid &sender, qint64 seq,
                               const QString &body = QStringLiteral("안녕"))
{
    ChatMessage m;
    m.id = QUuid::createUuid();
    m.clientMsgId = m.id;
    m.conversationId = roomId;
    m.senderId = sender;
    m.seq = seq;
    m.body = body;
    m.createdAt = QDateTime::currentDateTimeUtc();
    return m;
}

inline Account person(const QString &handle, const QString &name)
{
    Account a;
    a.id = QUuid::createUuid();
    a.kind = AccountKind::person;
    a.handle = handle;
    a.displayName = name;
    return a;
}

// A small JPEG of one colour, for photos to send.
inline QByteArray tinyJpeg(const QColor &color = Qt::red)
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// Counts the emissions of one signal.
struct SignalCount
{
    template<typename Sender, typename Signal>
    SignalCount(Sender *sender, Signal signal)
    {
        QObject::connect(sender, signal, &context, [this] { ++count; });
    }
    QObject context;
    int count = 0;
};

// Waits for a task that never throws.
inline void await(QCoro::Task<> task)
{
    QCoro::waitFor(std::move(task));
}

template<typename T>
QCoro::Task<std::optional<T>> caughtTask(QCoro::Task<T> task)
{
    try {
        co_return co_await std::move(task);
    } catch (...) {
        co_return std::nullopt;
    }
}

// Runs a store task to its end. Nothing when the task threw (QCoro::waitFor would hang).
template<typename T>
std::optional<T> finish(QCoro::Task<T> task)
{
    return QCoro::waitFor(caughtTask(std::move(task)));
}

// True when the task ran to its end and answered nothing.
template<typename T>
bool answeredNothing(const std::optional<std::optional<T>> &result)
{
    return result && !result->has_value();
}

// The error thrown by a task, for tasks that are expected to throw.
template<typename T>
QCoro::Task<std::optional<ChatAPIError>> thrownBy(QCoro::Task<T> task)
{
    try {
        co_await std::move(task);
    } catch (const ChatAPIError &e) {
        co_return e;
    } catch (...) {
        co_return ChatAPIError(-1, QStringLiteral("other"), QString());
    }
    co_return std::nullopt;
}

// The real client against the stand-in service, with its own keychain entry and session folder.
class LiveRig
{
public:
    LiveRig()
    {
        privateFolders();
        started = service.listen(0);
    }

    std::unique_ptr<ChatClient> makeClient()
    {
        ChatClientOptions options;
        options.reconnectDelay = 100ms;
        options.connectingDelay = 300ms;
        options.requestDeadline = requestDeadline;
        options.keychainService = keychainName;
        options.sessionFolder = sessionFolder.path();
        return std::make_unique<ChatClient>(service.baseUrl(), options);
    }

    // Adds a user who can sign in.
    QUuid addUser(const QString &handle, const QString &name, const QString &email = {})
    {
        SeedUser u;
        u.email = email.isEmpty() ? handle + QStringLiteral("@example.com") : email;
        u.password = password;
        u.handle = handle;
        u.displayName = name;
        return service.addUser(u);
    }

    // Has the service keep a text from `sender` in `room`; its id.
    QUuid postMessage(const QUuid &room, const QUuid &sender, const QString &body)
    {
        const QJsonObject wire = service.addMessage(room, sender, body);
        return QUuid::fromString(wire.value(QStringLiteral("id")).toString());
    }

    // Signs `email` in on a new client (the session goes to its storage), then builds the store
    // around that client.
    std::unique_ptr<LocalStore> signedInStore(const QString &email, LauncherBadge *badge = nullptr)
    {
        auto client = makeClient();
        if (!finish(client->login(email, password)))
            return nullptr;
        return std::make_unique<LocalStore>(true, 250ms, std::move(client), badge);
    }

    // Adopts the client's signed-in user and loads the rooms without opening the socket, so
    // that no live event arrives unless the test makes it.
    static void adopt(LocalStore &store)
    {
        store.apply(*store.client()->currentUser(), std::nullopt);
        await(store.reloadRemote());
    }

    // A store whose client has no stored session at all.
    std::unique_ptr<LocalStore> signedOutStore(LauncherBadge *badge = nullptr)
    {
        return std::make_unique<LocalStore>(true, 250ms, makeClient(), badge);
    }

    QList<RecordedRequest> requests(const QString &method, const QString &pathPrefix) const
    {
        QList<RecordedRequest> found;
        for (const RecordedRequest &r : service.requests()) {
            if (r.method == method.toLatin1() && r.target.startsWith(pathPrefix))
                found.append(r);
        }
        return found;
    }

    int countRequests(const QString &method, const QString &pathPrefix) const
    {
        return int(requests(method, pathPrefix).size());
    }

    QJsonObject lastBody(const QString &method, const QString &pathPrefix) const
    {
        const QList<RecordedRequest> found = requests(method, pathPrefix);
        if (found.isEmpty())
            return {};
        return QJsonDocument::fromJson(found.last().body).object();
    }

    static QString id(const QUuid &uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

    const QString password = QStringLiteral("password1");
    std::chrono::milliseconds requestDeadline{60000}; // of the clients made from now on
    StandInService service;
    QTemporaryDir sessionFolder;
    QString keychainName
        = QStringLiteral("zumo-store-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool started = false;
};

// A live rig whose store is built around a fresh client and signed in through the store's own
// login (start()).
class LiveOps : public LiveRig
{
public:
    ~LiveOps()
    {
        // Work the store started on its own (a debounced reload after a room event) must end
        // before the store goes, or its suspended tasks would never finish.
        if (store)
            settle();
    }

    // Waits until the store has sent nothing new for a while and no reload is waiting.
    void settle()
    {
        qsizetype last = -1;
        for (int round = 0; round < 100; ++round) {
            QTest::qWait(100);
            const qsizetype now = service.requests().size();
            if (now == last && !store->roomRefreshPending())
                return;
            last = now;
        }
    }

    // A live store (no session yet).
    LocalStore &makeStore()
    {
        store = std::make_unique<LocalStore>(true, 250ms, makeClient(), &badge);
        return *store;
    }

    // A live store signed in as `handle` through LocalStore::login.
    bool start(const QString &handle)
    {
        makeStore();
        const auto error = finish(store->login(handle + QStringLiteral("@example.com"), password));
        if (!error || error->has_value() || !store->session())
            return false;
        meId = store->session()->meId;
        service.clearRecords();
        return true;
    }

    // Adds the user `handle` and signs a live store in as them.
    bool startAs(const QString &handle, const QString &name = QStringLiteral("나"))
    {
        addUser(handle, name);
        return started && start(handle);
    }

    // A round trip through the service after which a request that an earlier call would have
    // sent has arrived: what was not recorded by then was never sent.
    void barrier()
    {
        QTest::qWait(50);
        finish(store->client()->me());
    }

    // After a logout or deletion has started wiping the client's session: waits until the
    // stored copy is gone too (the storage runs its jobs in order, so reading it again waits for
    // the clearing). True when nothing can be restored any more.
    bool sessionWiped()
    {
        if (!QTest::qWaitFor([&] { return !store->client()->hasSession(); }, 10000))
            return false;
        return finish(store->client()->restore()) == std::optional<bool>(false);
    }

    RecordingBadge badge;
    std::unique_ptr<LocalStore> store;
    QUuid meId;
};

// A text message as the service sends it.
inline APIMessage wireText(const QUuid &roomId, const QUuid &sender, qint64 seq,
                           const QString &body = QStringLiteral("안녕"))
{
    APIMessage wire;
    wire.id = QUuid::createUuid();
    wire.conversationId = roomId;
    wire.senderId = sender;
    wire.seq = seq;
    wire.type = QStringLiteral("text");
    wire.origin = QStringLiteral("user");
    wire.body = body;
    return wire;
}

// Two users of the stand-in service, "me_user" (나) and "peer_user" (상대), with a direct room
// between them that holds `peerMessages` texts from the peer. Add more to the service, then
// open() a store signed in as me.
class LivePair : public LiveRig
{
public:
    explicit LivePair(int peerMessages = 0)
    {
        me = addUser(QStringLiteral("me_user"), QStringLiteral("나"));
        peer = addUser(QStringLiteral("peer_user"), QStringLiteral("상대"));
        room = service.addDirectRoom(me, peer);
        for (int i = 0; i < peerMessages; ++i)
            service.addMessage(room, peer, QStringLiteral("m%1").arg(i + 1));
    }

    // A new store around a client signed in as me, with the badge; nothing loaded yet. Null on
    // failure.
    LocalStore *signIn()
    {
        store = started ? signedInStore(QStringLiteral("me_user@example.com"), &badge) : nullptr;
        return store.get();
    }

    // signIn(), then with `startUp` the whole start-up (socket included), otherwise only the
    // rooms (LiveRig::adopt).
    LocalStore *open(bool startUp = false)
    {
        if (!signIn())
            return nullptr;
        if (startUp)
            await(store->bootstrap());
        else
            adopt(*store);
        return store.get();
    }

    QUuid me;
    QUuid peer;
    QUuid room;
    RecordingBadge badge;
    std::unique_ptr<LocalStore> store;
};
