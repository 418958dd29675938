#pragma once

#include "api/ChatErrors.h"
#include "api/ChatEvent.h"
#include "api/ChatPath.h"
#include "api/HttpAnswer.h"
#include "api/WireTypes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QNetworkAccessManager;
class QNetworkRequest;
class QTimer;
class QWebSocket;
class ChatKeychain;
struct RefreshFlight;

// Knobs for tests; the program uses the defaults.
struct ChatClientOptions
{
    // Wait between each of the first quick socket failures in a row and the reconnect.
    std::chrono::milliseconds reconnectDelay{2000};
    // After the quick reconnects: the first wait, doubled at each further failure up to the cap
    // (5, 10, 20, 40, 60, 60, ... s).
    std::chrono::milliseconds reconnectBackoff{5000};
    std::chrono::milliseconds reconnectBackoffCap{60000};
    // While the socket is ready a ping goes out at this interval; when neither the pong nor any
    // other frame follows within the timeout, the socket counts as failed. A connection that
    // died without a word is noticed within their sum.
    std::chrono::milliseconds keepAliveInterval{10000};
    std::chrono::milliseconds keepAliveTimeout{5000};
    // The most a new socket may take from its open to the service's "auth.ok", the upgrade
    // included, before it counts as failed: a service that takes the connection and says
    // nothing is not waited for long.
    std::chrono::milliseconds socketOpenTimeout{10000};
    // How long the socket may be not ready, while the session wants it, before the user is
    // told through onConnectingChanged; whatever the cause (refused, silent, a refresh that
    // waits).
    std::chrono::milliseconds connectingDelay{10000};
    // The most the plain question whether the service answers at all may take (asked before a
    // refresh token whose last use has no known outcome goes out again).
    std::chrono::milliseconds serviceProbeDeadline{10000};
    // The most one REST call other than the token refresh may take as a whole, however steadily
    // its bytes trickle in; a body sent along (a photo) adds its allowance (see
    // ChatClient::deadlineFor).
    std::chrono::milliseconds requestDeadline{60000};
    // The most a room list or a sync page may hold (see kListAnswerLimit).
    qint64 listAnswerLimit = kListAnswerLimit;
    // The token refresh alone is waited for this long while its connection stays open: it is
    // never abandoned for a second one while its answer may still come.
    std::chrono::milliseconds refreshDeadline{300000};
    // The keychain item that holds the session.
    QString keychainService = QStringLiteral("com.brevant.chat.mac");
    QString keychainAccount = QStringLiteral("session");
    // Folder of the fallback file "session.bin"; empty means the user's data folder
    // (QStandardPaths::GenericDataLocation) + "/QuilloChat".
    QString sessionFolder;
};

// The one connection to the chat service: the REST request core with token refresh, every
// endpoint, the session in the keychain, photo upload and the live socket. Lives on the main
// thread. Async operations are QCoro tasks that throw ChatAPIError for the service's refusals and
// unusable answers, ChatTransportError when no answer came at all.
class ChatClient : public QObject
{
    Q_OBJECT

public:
    explicit ChatClient(const QUrl &baseUrl = ChatClient::defaultBaseUrl(),
                        const ChatClientOptions &options = {}, QObject *parent = nullptr);
    ~ChatClient() override;

    // The built-in service address (ZUMO_SERVICE_URL).
    static QUrl defaultBaseUrl();

    // Installed by the store. onEvent gets every event parsed from the socket, in frame order;
    // onSessionLost runs after the session was wiped because the service refused a refresh, and
    // once more when that refresh was the socket's own (tokens are already gone, lastFailure()
    // is already set).
    std::function<void(const ChatEvent &)> onEvent;
    std::function<void()> onSessionLost;
    // Runs when the service accepts a socket after one or more failed ones: events may have
    // been missed meanwhile.
    std::function<void()> onReconnected;
    // Runs with true once the socket the session wants has not been ready for
    // connectingDelay (counted from the last sign of life of a socket that died without a
    // word), and with false when the service accepts a socket again ("auth.ok"), or the socket
    // is closed on purpose or with the session; only on a change. Never without a session.
    std::function<void(bool)> onConnectingChanged;
    // True when the session could not be stored (keychain and file both refused it), once until
    // a save lands again; false when one lands or a sign-out leaves nothing to store. The tokens
    // stay in use; the save is tried again meanwhile.
    std::function<void(bool unsaved)> onSessionUnsavedChanged;

    // --- Session state ---
    const std::optional<APIUser> &currentUser() const { return m_currentUser; }
    // Text of the last session failure; never cleared by the client.
    const std::optional<QString> &lastFailure() const { return m_lastFailure; }
    bool hasSession() const { return m_tokens.has_value(); }
    const std::optional<StoredSession> &tokens() const { return m_tokens; }

    QUrl baseUrl() const { return m_baseUrl; }
    // "wss://" (or "ws://" for an http base) + host[:port] + "/v1/ws".
    QUrl socketUrl() const;
    // Where the fallback copy of the session lives when the keychain refuses it.
    QString sessionFilePath() const;

    // --- REST request core ---
    // One exchange with the service: "Accept: application/json" always, a JSON body with
    // "Content-Type: application/json" when given, the bearer token when `authorize` (refreshed
    // first when it expires within 60 s). An authorised call answered 401 refreshes once and is
    // repeated once. No redirect is followed, and an answer beyond its bound (answerLimit()) is
    // cut off and fails as "invalid_response". Any call but a GET goes out once at most: when
    // its connection closes before the answer, it fails as a lost connection (see sendOnce).
    // Returns the body of a 2xx answer; throws otherwise.
    QCoro::Task<QByteArray> request(QString method, ChatPath path,
                                    std::optional<QJsonObject> body = std::nullopt,
                                    bool authorize = true);
    // The error for a failing answer (see ChatAPIError::fromResponse).
    static ChatAPIError error(int status, const QByteArray &data);
    // The overall deadline of an exchange that sends `bodyBytes`: the base deadline plus one
    // second for every 64 KiB, a rate that even a poor uplink keeps.
    static std::chrono::milliseconds deadlineFor(std::chrono::milliseconds base, qint64 bodyBytes);
    // The most a successful answer to this call may hold: the room list and sync pages may be
    // large, the other lists are pages, and the rest (and whatever a non-GET call answers) is
    // one record.
    qint64 answerLimit(const QString &method, const ChatPath &path) const;

    // --- Session and token refresh ---
    // Loads the stored session (keychain, else the fallback file); refreshes it when it expires
    // within 60 s. True when a usable session exists.
    QCoro::Task<bool> restore();
    // After restore() answered false: whether its refresh failed for a passing reason (see
    // isTransientFailure) while the stored session was kept, so that trying again may succeed.
    bool restoreMayRetry() const { return m_restoreMayRetry; }
    QCoro::Task<QString> accessToken();
    // The single token refresh in flight; concurrent callers share it.
    QCoro::Task<APIUser> performRefresh();
    // Sends the refresh token. One whose last use ended without an outcome (no answer, the
    // connection lost after sending) goes out again only once the service has answered
    // something since that ending; when nothing has, the service is asked first (a plain
    // GET without a token) and the refresh fails as a transport failure while it stays silent.
    QCoro::Task<APIUser> refreshNow();
    // Tells the service, then wipes the session whatever the answer; rethrows a failure.
    QCoro::Task<> logout();
    // Wipes the session only when the service accepted the deletion.
    QCoro::Task<> deleteAccount();
    QCoro::Task<APIUser> me();

    // --- Authentication ---
    QCoro::Task<> registerAccount(QString email, QString password);
    QCoro::Task<APIUser> verifyRegistration(QString email, QString code);
    QCoro::Task<APIUser> login(QString email, QString password);
    QCoro::Task<> requestPasswordCode(QString email);
    QCoro::Task<> resetPassword(QString email, QString code, QString password);
    QCoro::Task<> changePassword(QString current, QString newPassword);

    // --- Account, device and social ---
    QCoro::Task<APIUser> updateProfile(std::optional<QString> handle,
                                       std::optional<QString> displayName,
                                       std::optional<QString> avatarURL);
    QCoro::Task<QString> inviteLink();
    QCoro::Task<QString> rotateInvite();
    QCoro::Task<InviteOpenBody> openInvite(QString code);
    QCoro::Task<> saveDevice(std::optional<QString> apnsToken, std::optional<bool> previewEnabled,
                             std::optional<bool> pushEnabled);
    QCoro::Task<HandleLookup> user(QString handle);
    QCoro::Task<APIFriendRequestList> friendRequests();
    QCoro::Task<QUuid> requestFriend(std::optional<QUuid> userId, std::optional<QString> handle);
    QCoro::Task<QUuid> acceptFriend(QUuid requestId);
    QCoro::Task<> block(QUuid userId);
    QCoro::Task<QUuid> follow(QUuid officialAccountId);
    QCoro::Task<> updateOfficialLink(QUuid officialAccountId, std::optional<bool> broadcastOptOut,
                                     std::optional<bool> blocked);

    // --- Conversations and messages ---
    // The room list. The store takes it through conversationsAnswer() instead, to decode it off
    // the main thread.
    QCoro::Task<QList<APIConversation>> conversations();
    // The room list's answer as the service sent it (ApiDecoder::conversationPage() reads it),
    // for a caller that must know when it arrived and decodes it itself.
    QCoro::Task<QByteArray> conversationsAnswer();
    QCoro::Task<QUuid> createDirect(QUuid userId);
    QCoro::Task<QUuid> createGroup(QString title, QList<QUuid> memberIds);
    QCoro::Task<> invite(QUuid conversationId, QList<QUuid> userIds);
    QCoro::Task<QList<APIMessage>> messages(QUuid conversationId, std::optional<qint64> after = {},
                                            std::optional<qint64> before = {});
    // Posts the text, then sends the "message.send" frame (dropped unless the socket is ready).
    QCoro::Task<APIMessage> sendMessage(QUuid conversationId, QUuid clientMsgId, QString body);
    // Posts the read mark, then sends the "read" frame.
    QCoro::Task<> read(QUuid conversationId, qint64 seq);
    QCoro::Task<APIMessage> sendImages(QUuid conversationId, QUuid clientMsgId, QByteArray jpeg);
    QCoro::Task<QList<SyncRoom>> sync(QString after);

    // --- Photo upload ---
    // Asks for an upload ticket (kind "avatar" for profile photos, none for message photos),
    // PUTs the JPEG to the ticket's address and measures it.
    QCoro::Task<PreparedImage> upload(QByteArray jpeg, std::optional<QString> kind = std::nullopt);
    // Width and height from the image header; 1 for anything unreadable, never below 1.
    static std::pair<qint64, qint64> pixelSize(const QByteArray &bytes);
    // Whether a photo may be sent to an upload address that the service handed out: https, or
    // http only while the service itself is spoken to over http; never file:, qrc: or others.
    static bool uploadAddressAllowed(const QUrl &upload, const QUrl &base);

    // --- Realtime socket ---
    // Refreshes an expiring session, then opens the socket. Never throws.
    QCoro::Task<> connectSocket();
    // Replaces any socket with a new one that authenticates with the current token.
    void openSocket();
    // Closes and forgets the socket (close code 1001).
    void disconnectSocket();
    void sendTyping(const QUuid &conversationId, bool start);
    // The gate of every outgoing frame: only "auth" passes before the service accepted it.
    void sendRaw(const QJsonObject &frame);

    // Reconnects at once when the socket has passed its quick reconnects and waits for the
    // next attempt (the application became active again); otherwise nothing.
    void retrySocketNow();
    // The machine woke from sleep or the network came back: a socket that is open or being
    // opened may have died without a word, and a waiting reconnect need not wait. Opens a new
    // socket at once, the quick reconnects included; nothing without a session, or when the
    // socket was closed on purpose.
    void wakeSocket();

    bool socketReady() const { return m_socketReady; }
    int reconnects() const { return m_reconnects; }
    quint64 socketGeneration() const { return m_socketGeneration; }
    // Whether a reconnect waits for its time.
    bool reconnectPending() const;
    // Whether "연결 중…" is being reported (see onConnectingChanged).
    bool connecting() const { return m_connecting; }
    // The wait before the reconnect that follows the `failures`-th failure in a row.
    std::chrono::milliseconds reconnectWait(int failures) const;
    // Reconnects that follow the first failures in a row after the short delay.
    static constexpr int kQuickReconnects = 5;

private:
    // Held by every running operation of the client: false from the moment the client is being
    // destroyed, so that an operation resumed after that stops without touching the client.
    using LifeToken = std::shared_ptr<const bool>;
    // The error with which an operation ends when its client was destroyed under it.
    static ChatTransportError clientGone();
    static void throwIfGone(const LifeToken &alive);

    QCoro::Task<> save(AuthPayload payload);
    QCoro::Task<> storeSession();
    // Ends the session in memory and the socket at once, then clears the storage.
    QCoro::Task<> wipe();
    bool expiring() const;
    QCoro::Task<> putUpload(QUrl url, QJsonValue headers, QByteArray jpeg);
    // What a refresh made for an ended session gives: the user of the session signed in since,
    // or "unauthorized" when there is none. Its outcome touches nothing of the newer one.
    APIUser newerSessionUser() const;
    // Counts one sign that the service answers (see m_serviceAnswers).
    void serviceAnswered();
    // Asks the service whether it answers at all; true when it did.
    QCoro::Task<bool> serviceAnswers();
    // The service's address of `path`; none when the base address makes no absolute one.
    std::optional<QUrl> urlOf(const ChatPath &path) const;
    void applyCommonRequestSettings(QNetworkRequest &request,
                                    std::chrono::milliseconds idleAllowance
                                    = std::chrono::minutes(1)) const;

    void handleFrame(const QByteArray &utf8Text);
    // `notReadySince`: a time of m_clock from which the user's wait for the socket counts.
    void socketFailed(quint64 generation, qint64 notReadySince);
    // An attempt that opened no socket although the session lasts: one more failure.
    void attemptFailed(quint64 generation);
    void scheduleReconnect(quint64 generation);
    void startConnectingClock(qint64 notReadySince);
    void connectingClockRan();
    void startKeepAlive();
    void stopKeepAlive();
    void sendKeepAlive();
    void heardFromService();
    void keepAliveMissed();
    void socketRefused();
    void setConnecting(bool connecting);
    QCoro::Task<> runReconnect(quint64 generation);
    QCoro::Task<> reconnect(quint64 generation);

    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    QUrl m_baseUrl;
    ChatClientOptions m_options;
    QNetworkAccessManager *m_network = nullptr;
    std::unique_ptr<ChatKeychain> m_keychain;

    std::optional<APIUser> m_currentUser;
    std::optional<QString> m_lastFailure;
    bool m_restoreMayRetry = false;
    std::optional<StoredSession> m_tokens;
    std::shared_ptr<RefreshFlight> m_refreshing;
    // Moves on at every wipe and every new sign-in, so that an exchange that began under an
    // older session cannot write its result into the current one.
    quint64 m_sessionGeneration = 0;
    // The session generation that a refused refresh ended last.
    std::optional<quint64> m_refusedSession;
    // Every answer heard from the service: an HTTP answer to any call (a gateway's 502 or 504
    // excepted: the service behind it did not answer), a socket upgrade that succeeded, a frame
    // or a pong. Only counts up.
    quint64 m_serviceAnswers = 0;
    // A refresh token whose last use ended without an outcome: no answer came although the
    // request may have reached the service, which takes each refresh token once. `heard` is
    // m_serviceAnswers at that ending.
    struct UnsettledRefresh
    {
        QString token;
        quint64 heard = 0;
    };
    std::optional<UnsettledRefresh> m_unsettledRefresh;

    QWebSocket *m_socket = nullptr;
    quint64 m_socketGeneration = 0;
    bool m_socketReady = false;
    int m_reconnects = 0;
    // A socket failed since the last "auth.ok" of this session: what it would have brought is
    // fetched once the service accepts a socket again.
    bool m_missedEvents = false;
    // The service refused the socket's token: the next reconnect refreshes it first.
    bool m_refreshBeforeReconnect = false;
    // A reconnect is running (refreshing or opening).
    bool m_reconnecting = false;
    // The session wants a live socket: from connectSocket() or openSocket() with a session
    // until disconnectSocket().
    bool m_socketWanted = false;
    // Reported through onConnectingChanged.
    bool m_connecting = false;
    // Runs while the wanted socket is not ready, until connectingDelay has passed.
    QTimer *m_connectingTimer = nullptr;
    QElapsedTimer m_clock; // monotonic; started with the client
    qint64 m_lastSignOfLife = 0; // m_clock time of the ready socket's last frame or pong
    // The waiting reconnect, for the socket generation in m_reconnectFor. A stopped timer is a
    // cancelled reconnect.
    QTimer *m_reconnectTimer = nullptr;
    quint64 m_reconnectFor = 0;
    QTimer *m_keepAliveTimer = nullptr; // the next ping
    // Runs from a ping until a frame arrives, and from an open until "auth.ok".
    QTimer *m_pongTimer = nullptr;
};
