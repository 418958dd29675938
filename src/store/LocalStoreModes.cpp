// Construction in the three modes, the client binding, the seed accounts and the store
// document of the local-file mode.

#include "api/ChatPath.h"
#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "files/LogCategories.h"
#include "files/PrivateFile.h"
#include "model/SeedID.h"
#include "model/Snapshot.h"
#include "platform/LauncherBadge.h"
#include "platform/PushCenter.h"
#include "store/CatchUp.h"
#include "store/RoomListIntake.h"
#include "store/RoomListLastMessages.h"
#include "store/RoomSearchTexts.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

LocalStore::LocalStore(bool persisting, std::chrono::milliseconds deliveryDelay,
                       std::unique_ptr<ChatClient> client, LauncherBadge *badge, QObject *parent)
    : QObject(parent)
    , m_client(std::move(client))
    , m_lastAlertAt(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC))
    , m_localInviteCode(makeLocalInviteCode())
    , m_persisting(persisting && !m_client)
    , m_documentSaving(QStringLiteral("the store document"), lcStore())
    , m_settingsSaving(QStringLiteral("the settings"), lcStore())
    , m_deliveryDelay(deliveryDelay)
    , m_badge(badge)
    , m_catchUp(std::make_unique<CatchUp>(*this))
{
    // A failed write is tried again until it lands; meanwhile the window says so. The store
    // document holds the session of the local-file mode, and its loss is that session's.
    m_documentSaving.retry = [this] { persist(); };
    m_settingsSaving.retry = [this] { saveSettings(); };
    m_documentSaving.onFailingChanged
        = [this](bool failing) { m_saveFailures.setFailing(SaveFailures::File::session, failing); };
    m_settingsSaving.onFailingChanged = [this](bool failing) {
        m_saveFailures.setFailing(SaveFailures::File::settings, failing);
    };
    if (m_client) {
        m_blocks = storedIDs(QStringLiteral("quillo.live.blocks"));
        const QList<QUuid> hidden = storedIDs(QStringLiteral("quillo.live.hidden"));
        m_hiddenRoomIDs = QSet<QUuid>(hidden.cbegin(), hidden.cend());
        loadNotificationSwitches();
        bindClient();
        return;
    }
    m_accounts = seedAccounts();
    m_accountsDirty = true;
    if (m_persisting)
        loadDocument();
    ensureWelcome();
}

LocalStore::~LocalStore()
{
    // The client goes first, while the store is still whole; its callbacks must not reach a
    // store that is being taken apart.
    if (m_client) {
        m_client->onEvent = nullptr;
        m_client->onSessionLost = nullptr;
        m_client->onReconnected = nullptr;
        m_client->onConnectingChanged = nullptr;
        m_client->onSessionUnsavedChanged = nullptr;
        m_client.reset();
    }
}

RoomSearchTexts &LocalStore::searchTexts()
{
    if (!m_searchTexts)
        m_searchTexts = std::make_unique<RoomSearchTexts>(*this);
    return *m_searchTexts;
}

RoomListIntake &LocalStore::roomListIntake()
{
    if (!m_roomListIntake)
        m_roomListIntake = std::make_unique<RoomListIntake>(*this);
    return *m_roomListIntake;
}

RoomListLastMessages &LocalStore::listedLastMessages()
{
    if (!m_listedLastMessages)
        m_listedLastMessages = std::make_unique<RoomListLastMessages>(*this);
    return *m_listedLastMessages;
}

void LocalStore::loadDocument()
{
    const QString path = Snapshot::defaultFilePath();
    if (path.isEmpty())
        return; // no data folder at all: the store runs as in memory
    QString problem;
    std::optional<Snapshot> snapshot = Snapshot::readFile(path, &problem);
    if (!snapshot) {
        // Missing: start from the seeds. Unreadable: the same, with the file kept aside for a
        // person to look at, never written over; when it cannot be moved, nothing is written.
        const QFileInfo file(path);
        if (!file.exists() && !file.isSymLink())
            return;
        const QString aside = PrivateFile::moveAside(path);
        if (aside.isEmpty())
            m_persisting = false;
        qCWarning(lcStore, "%s; %s", qPrintable(problem),
                  aside.isEmpty() ? "it could not be moved aside: nothing is kept this time"
                                  : qPrintable(QStringLiteral("moved it to ") + aside));
        return;
    }
    m_accounts = snapshot->accounts;
    m_accountsDirty = true;
    m_session = snapshot->session;
    m_lastUserId = snapshot->lastUserId;
    m_conversations = snapshot->conversations;
    roomsEdited();
    m_messages.assign(snapshot->messages);
    m_messages.takeChanges(); // read while nobody watches: nothing to tell
    m_friends = snapshot->friends;
    m_officialLinks = snapshot->officialLinks;
    m_blocks = snapshot->blocks;
    m_reports = snapshot->reports;
    m_retiredHandles = snapshot->retiredHandles;
    m_notificationsEnabled = snapshot->notificationsEnabled;
    m_notificationPreview = snapshot->notificationPreview;
    m_notificationSound = snapshot->notificationSound;
    ensureSeeds();
    settleSending();
}

void LocalStore::bindClient()
{
    if (!m_client)
        return;
    QPointer<LocalStore> self(this);
    // An event waits while a room list that arrived before it is decoded (RoomListIntake).
    m_client->onEvent = [self](const ChatEvent &event) {
        if (self)
            RoomListIntake::of(*self).deliver(event);
    };
    // What arrived while the socket was away is fetched as at start-up, and announced.
    m_client->onReconnected = [self] {
        if (self && self->m_session && self->m_session->profileComplete)
            self->reloadRemote(true); // reports its own failures and throws nothing
    };
    m_client->onConnectingChanged = [self](bool connecting) {
        if (self)
            self->setConnecting(connecting);
    };
    m_client->onSessionUnsavedChanged = [self](bool unsaved) {
        if (self)
            self->m_saveFailures.setFailing(SaveFailures::File::session, unsaved);
    };
    m_client->onSessionLost = [self] {
        if (!self)
            return;
        self->setSession(std::nullopt);
        const std::optional<QString> failure = self->m_client->lastFailure();
        self->setNotice(failure.value_or(kLoginRequiredText));
        self->setPushTarget(std::nullopt);
        self->setInviteFollow(std::nullopt);
        self->setInviteOutcome(std::nullopt);
        self->setVisibleRoomID(std::nullopt);
        if (self->m_badge)
            self->m_badge->setCount(0);
    };

    // The hooks arrive from the notification side; the work they start runs on a later turn
    // of the event loop, never inside the caller.
    PushCenter::onToken = [self](QString token) {
        QTimer::singleShot(0, [self, token] {
            if (!self)
                return;
            self->setApnsToken(token);
            QTimer::singleShot(0, [self] {
                if (self)
                    self->uploadDevice();
            });
        });
    };
    PushCenter::onOpen = [self](QUuid conversationId, std::optional<QUuid> messageId) {
        QTimer::singleShot(0, [self, conversationId, messageId] {
            if (self)
                self->openFromPush(conversationId, messageId);
        });
    };
    PushCenter::isRoomOpen = [self](QUuid id) { return self && self->m_visibleRoomID == id; };
    PushCenter::allowsSound = [self] { return !self || self->m_notificationSound; };
    PushCenter::flush();
}

QList<Account> LocalStore::seedAccounts()
{
    auto seed = [](const QUuid &id, AccountKind kind, const QString &handle, const QString &name,
                   const QString &bio, bool verified) {
        Account a;
        a.id = id;
        a.kind = kind;
        a.handle = handle;
        a.displayName = name;
        a.bio = bio;
        a.status = AccountStatus::active;
        a.handleChanged = false;
        a.verified = verified;
        a.acceptsUserMessages = true;
        return a;
    };
    const QString houseBio = QStringLiteral("Zumo 공식 계정입니다.\n"
                                            "새 기능과 업데이트 소식을 이곳에서 알려 드립니다.\n"
                                            "서비스 점검 일정도 미리 안내해 드립니다.\n"
                                            "궁금한 점은 설정의 도움말을 확인해 주세요.\n"
                                            "Zumo와 함께 즐거운 대화 나누세요.");
    return {
        seed(SeedID::quillo(), AccountKind::official, QStringLiteral("quillo"),
             QStringLiteral("Zumo"), houseBio, true),
        seed(SeedID::sora(), AccountKind::person, QStringLiteral("sora"), QStringLiteral("한소라"),
             QString(), false),
        seed(SeedID::taeo(), AccountKind::person, QStringLiteral("taeo"), QStringLiteral("정태오"),
             QString(), false),
        seed(SeedID::rian(), AccountKind::person, QStringLiteral("rian"), QStringLiteral("오세린"),
             QString(), false),
        seed(SeedID::shop(), AccountKind::official, QStringLiteral("shop"), QStringLiteral("vivov"),
             QString(), false),
    };
}

void LocalStore::ensureSeeds()
{
    for (const Account &seed : seedAccounts()) {
        if (accountIndex(seed.id) < 0) {
            m_accounts.append(seed);
            m_accountsDirty = true;
        }
    }
}

void LocalStore::settleSending()
{
    // A message still sending when the program stopped will never be answered: it counts as
    // sent, as the local delivery would have made it.
    QList<const MessageIndex::Entry *> sending;
    m_messages.forEach([&](const MessageIndex::Entry &entry) {
        if (entry.message.delivery == DeliveryState::sending)
            sending.append(&entry);
    });
    if (sending.isEmpty())
        return;
    editMessages([&](MessageIndex &index) {
        for (const MessageIndex::Entry *entry : std::as_const(sending))
            index.update(entry, [](ChatMessage &m) { m.delivery = DeliveryState::sent; });
    });
    persist();
}

void LocalStore::ensureWelcome()
{
    if (m_client || !m_session || !m_session->profileComplete)
        return;
    const QString key = QStringLiteral("welcome:") + wireId(m_session->meId);
    bool present = false;
    m_messages.forEach([&](const MessageIndex::Entry &entry) {
        if (entry.message.idempotencyKey == key)
            present = true;
    });
    if (present)
        return;
    receiveOfficialMessage(
        SeedID::quillo(),
        QStringLiteral("Zumo에 오신 것을 환영합니다. 이 계정으로 공지를 보내 드립니다."),
        MessageOrigin::system, false, key);
}

void LocalStore::persist()
{
    if (!m_persisting)
        return;
    const QString path = Snapshot::defaultFilePath();
    if (path.isEmpty())
        return;
    Snapshot snapshot;
    snapshot.accounts = m_accounts;
    snapshot.session = m_session;
    snapshot.lastUserId = m_lastUserId;
    snapshot.conversations = m_conversations;
    snapshot.messages = m_messages.toList();
    snapshot.friends = m_friends;
    snapshot.officialLinks = m_officialLinks;
    snapshot.blocks = m_blocks;
    snapshot.reports = m_reports;
    snapshot.retiredHandles = m_retiredHandles;
    snapshot.notificationsEnabled = m_notificationsEnabled;
    snapshot.notificationPreview = m_notificationPreview;
    snapshot.notificationSound = m_notificationSound;
    // A state without a text form writes nothing, and no later try would mend it. A failed
    // write leaves the previous file, is told once and is tried again.
    const std::optional<QByteArray> document = snapshot.encode();
    if (!document)
        return;
    QString problem;
    m_documentSaving.report(Snapshot::writeDocument(path, *document, &problem), problem);
}
