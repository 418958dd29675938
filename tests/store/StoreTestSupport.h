#pragma once

// Shared pieces of the store tests: private folders for the store document and the settings,
// a badge that records its labels, and a live rig that runs the real client against the
// stand-in service on loopback.

#include "api/ChatClient.h"
#include "platform/DockBadge.h"
#include "platform/PushCenter.h"
#include "service/StandInService.h"
#include "store/LocalStore.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <QCoroTask>

#include <memory>

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

class RecordingBadge final : public DockBadge
{
public:
    void setLabel(const QString &label) override { labels.append(label); }
    QString last() const { return labels.isEmpty() ? QStringLiteral("<none>") : labels.last(); }
    QStringList labels;
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

inline Membership member(const QUuid &user, qint64 lastRead = 0,
                         MemberRole role = MemberRole::member,
                         QDateTime joined = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC))
{
    return Membership{user, role, lastRead, joined, std::nullopt};
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
        options.keychainService = keychainName;
        options.sessionFolder = sessionFolder.path();
        return std::make_unique<ChatClient>(service.baseUrl(), options);
    }

    // Adds a user who can sign in.
    QUuid addUser(const QString &handle, const QString &name, const QString &email = {})
    {
        SeedUser u;
        u.email = email.isEmpty() ? handle + QStringLiteral("@example.com") : email;
        u.password = QStringLiteral("password1");
        u.handle = handle;
        u.displayName = name;
        return service.addUser(u);
    }

    // Signs `email` in on a new client (the session goes to its storage), then builds the store
    // around that client.
    std::unique_ptr<LocalStore> signedInStore(const QString &email, DockBadge *badge = nullptr)
    {
        auto client = makeClient();
        bool ok = false;
        QCoro::waitFor([](ChatClient *c, QString e, bool *result) -> QCoro::Task<> {
            try {
                co_await c->login(e, QStringLiteral("password1"));
                *result = true;
            } catch (...) {
                *result = false;
            }
        }(client.get(), email, &ok));
        if (!ok)
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
    std::unique_ptr<LocalStore> signedOutStore(DockBadge *badge = nullptr)
    {
        return std::make_unique<LocalStore>(true, 250ms, makeClient(), badge);
    }

    int countRequests(const QString &method, const QString &pathPrefix) const
    {
        int n = 0;
        for (const RecordedRequest &r : service.requests()) {
            if (r.method == method.toLatin1() && r.target.startsWith(pathPrefix))
                ++n;
        }
        return n;
    }

    StandInService service;
    QTemporaryDir sessionFolder;
    QString keychainName
        = QStringLiteral("zumo-store-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool started = false;
};
