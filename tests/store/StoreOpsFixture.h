#pragma once

// Shared pieces of the tests of the store's user operations: private folders for the settings
// and the store document, a way to run a store task to its end, a badge that records its
// labels, and a live rig (the real client against the stand-in service on loopback) whose store
// is signed in through the store's own login.

#include "api/ChatClient.h"
#include "model/SeedID.h"
#include "platform/DockBadge.h"
#include "service/StandInService.h"
#include "store/LocalStore.h"

#include <QCoreApplication>
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

// Points this process's data and config folders at a private temporary folder, so that the
// settings and the store document of one test run never meet the user's own. Call it first
// (initTestCase).
inline QTemporaryDir &opsFolders()
{
    static QTemporaryDir dir;
    static const bool done = [] {
        qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        QCoreApplication::setOrganizationName(QStringLiteral("zumo-storeops-tests"));
        QCoreApplication::setApplicationName(QUuid::createUuid().toString(QUuid::WithoutBraces));
        return true;
    }();
    Q_UNUSED(done);
    return dir;
}

// Forgets every setting and the store document (call in init()).
inline void resetOpsFolders()
{
    QSettings settings;
    settings.clear();
    settings.sync();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir(folder + QStringLiteral("/QuilloChat")).removeRecursively();
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

inline QCoro::Task<bool> caughtVoidTask(QCoro::Task<> task)
{
    try {
        co_await std::move(task);
        co_return true;
    } catch (...) {
        co_return false;
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

inline bool finishVoid(QCoro::Task<> task)
{
    return QCoro::waitFor(caughtVoidTask(std::move(task)));
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

class OpsBadge final : public DockBadge
{
public:
    void setLabel(const QString &label) override { labels.append(label); }
    QStringList labels;
};

inline Account opsPerson(const QString &handle, const QString &name)
{
    Account a;
    a.id = QUuid::createUuid();
    a.kind = AccountKind::person;
    a.handle = handle;
    a.displayName = name;
    return a;
}

inline Conversation opsRoom(ConversationKind kind, const QList<Membership> &members,
                            const QString &title = {})
{
    Conversation c;
    c.id = QUuid::createUuid();
    c.kind = kind;
    c.title = title;
    c.memberships = members;
    c.createdAt = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
    c.updatedAt = c.createdAt;
    return c;
}

inline Membership opsMember(const QUuid &user, MemberRole role = MemberRole::member,
                            qint64 joinedSecs = 1'700'000'000)
{
    return Membership{user, role, 0, QDateTime::fromSecsSinceEpoch(joinedSecs, Qt::UTC),
                      std::nullopt};
}

inline ChatMessage opsText(const QUuid &roomId, const QUuid &sender, qint64 seq,
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

// A local store signed in through the local operations, with a complete profile.
inline QUuid opsSignInLocally(LocalStore &store, const QString &name = QStringLiteral("나"),
                              const QString &handle = QStringLiteral("me_handle"))
{
    store.signIn();
    const QUuid me = store.session()->meId;
    store.completeProfile(name, handle, std::nullopt);
    return me;
}

// Makes `user` a friend of the signed-in local user (a friend link in state friends).
inline void opsBefriend(LocalStore &store, const QUuid &user)
{
    store.editFriends([&](QList<FriendLink> &list) {
        list.append(FriendLink{user, FriendState::friends});
    });
}

// The real client against the stand-in service; `store` is signed in with start().
class LiveOps
{
public:
    LiveOps()
    {
        opsFolders();
        started = service.listen(0);
    }

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

    QUuid addUser(const QString &handle, const QString &name,
                  const QString &kind = QStringLiteral("person"))
    {
        SeedUser u;
        u.email = handle.isEmpty()
            ? QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral("@example.com")
            : handle + QStringLiteral("@example.com");
        u.password = password;
        u.handle = handle;
        u.displayName = name;
        u.kind = kind;
        return service.addUser(u);
    }

    std::unique_ptr<ChatClient> makeClient()
    {
        ChatClientOptions options;
        options.reconnectDelay = 100ms;
        options.keychainService = keychainName;
        options.sessionFolder = sessionFolder.path();
        return std::make_unique<ChatClient>(service.baseUrl(), options);
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

    QList<RecordedRequest> requests(const QString &method, const QString &pathPrefix) const
    {
        QList<RecordedRequest> found;
        for (const RecordedRequest &r : service.requests()) {
            if (r.method == method.toLatin1() && r.target.startsWith(pathPrefix))
                found.append(r);
        }
        return found;
    }

    int count(const QString &method, const QString &pathPrefix) const
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

    static QString id(const QUuid &uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

    const QString password = QStringLiteral("password1");
    StandInService service;
    QTemporaryDir sessionFolder;
    QString keychainName = QStringLiteral("zumo-storeops-test-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
    OpsBadge badge;
    std::unique_ptr<LocalStore> store;
    QUuid meId;
    bool started = false;
};
