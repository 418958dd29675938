#pragma once

#include "files/SaveRetry.h"
#include "model/Account.h"
#include "model/AppSession.h"
#include "model/ChatMessage.h"
#include "model/Conversation.h"
#include "model/FriendLink.h"
#include "model/HandOver.h"
#include "model/OfficialLink.h"
#include "model/ReportRecord.h"
#include "model/RetiredHandle.h"
#include "model/ValueSupport.h"
#include "store/BadgeTally.h"
#include "store/MessageIndex.h"
#include "store/ObservedValue.h"
#include "store/RoomOrder.h"
#include "store/SaveFailures.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>

#include <QCoroTask>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class CatchUp;
class ChatClient;
class QTimer;
class RoomListIntake;
class RoomListLastMessages;
class RoomSearchTexts;
class LauncherBadge;
struct APIUser;
struct APIMessage;
struct APIConversation;
struct APIFriendRequestList;
struct SyncRoom;
struct ChatEvent;

// Why a room's composer is closed. No value: the user may write.
enum class ComposeBlock {
    blocked, // the peer of a direct room is blocked: "차단한 사용자"
    peerGone, // a direct room has no peer, or the peer left: "대화를 이어갈 수 없음"
    leftGroup, // I left this group: "나간 대화방"
    inboxClosed, // the peer is an official account taking no messages
};

// The result of the profile saves. No value: saved, or a failure already shown as the notice.
enum class ProfileSaveError {
    invalidName,
    invalidHandle,
    handleTaken,
};

// The one state object of the program. It lives on the main thread for the whole process;
// every view reads it and calls its operations, and it calls the service client and applies
// the service's pages and events to its state; its catch-up with the service (CatchUp) works
// on that state in place.
//
// Modes, fixed at construction: live (a client is given), local-file (no client, persisting:
// the store document is read at start and written after changes) and in-memory (no client).
//
// Observation: each observed property has a change signal. A whole-value setter signals only
// when the new value differs from the stored one; an in-place change (edit...) always signals
// exactly once.
class LocalStore : public QObject
{
    Q_OBJECT
    friend class CatchUp;

public:
    // `client` selects the live mode; the store owns it. `badge` is the launcher badge to drive
    // (not owned; may be null, then no badge is shown).
    LocalStore(bool persisting, std::chrono::milliseconds deliveryDelay,
               std::unique_ptr<ChatClient> client, LauncherBadge *badge = nullptr,
               QObject *parent = nullptr);
    ~LocalStore() override;

    // ---------------------------------------------------------------------------------------
    // State (observed)

    QList<Account> accounts() const { return m_accounts; }
    void setAccounts(QList<Account> value);
    template<typename F>
    void editAccounts(F &&f)
    {
        const QList<Account> before = m_accounts; // shared: a change detaches, the old stays
        std::forward<F>(f)(m_accounts);
        accountsReplaced(before);
    }
    // An in-place change of the one account at `index` (its id stays).
    template<typename F>
    void editAccountAt(int index, F &&f)
    {
        std::forward<F>(f)(m_accounts[index]);
        emit accountsTouched({m_accounts.at(index).id});
        emit accountsChanged();
    }

    std::optional<AppSession> session() const { return m_session; }
    void setSession(std::optional<AppSession> value);

    std::optional<QUuid> lastUserId() const { return m_lastUserId; }
    void setLastUserId(std::optional<QUuid> value);

    QList<Conversation> conversations() const { return m_conversations; }
    void setConversations(QList<Conversation> value);
    template<typename F>
    void editConversations(F &&f)
    {
        const QList<Conversation> before = m_conversations; // shared: a change detaches
        std::forward<F>(f)(m_conversations);
        conversationsReplaced(before);
    }
    // An in-place change of the one room at `index` (its id stays).
    template<typename F>
    void editConversationAt(int index, F &&f)
    {
        roomEdited(index);
        std::forward<F>(f)(m_conversations[index]);
        emit roomsTouched({m_conversations.at(index).id});
        emit conversationsChanged();
    }

    // All messages of all rooms in store order (built on demand: prefer the room reads below).
    QList<ChatMessage> messages() const { return m_messages.toList(); }
    void setMessages(const QList<ChatMessage> &value);
    // In-place access to the message index; signals messagesChanged once, after
    // roomMessagesChanged for each room that really changed.
    template<typename F>
    void editMessages(F &&f)
    {
        std::forward<F>(f)(m_messages);
        announceMessages();
    }
    const MessageIndex &messageIndex() const { return m_messages; }

    QList<FriendLink> friends() const { return m_friends; }
    void setFriends(QList<FriendLink> value);
    template<typename F>
    void editFriends(F &&f)
    {
        edit(m_friends, std::forward<F>(f), &LocalStore::friendsChanged);
    }

    QList<OfficialLink> officialLinks() const { return m_officialLinks; }
    void setOfficialLinks(QList<OfficialLink> value);
    template<typename F>
    void editOfficialLinks(F &&f)
    {
        edit(m_officialLinks, std::forward<F>(f), &LocalStore::officialLinksChanged);
    }

    QList<QUuid> blocks() const { return m_blocks; }
    void setBlocks(QList<QUuid> value);
    template<typename F>
    void editBlocks(F &&f)
    {
        edit(m_blocks, std::forward<F>(f), &LocalStore::blocksChanged);
    }

    QList<ReportRecord> reports() const { return m_reports; }
    void setReports(QList<ReportRecord> value);
    template<typename F>
    void editReports(F &&f)
    {
        edit(m_reports, std::forward<F>(f), &LocalStore::reportsChanged);
    }

    QList<RetiredHandle> retiredHandles() const { return m_retiredHandles; }
    void setRetiredHandles(QList<RetiredHandle> value);
    template<typename F>
    void editRetiredHandles(F &&f)
    {
        edit(m_retiredHandles, std::forward<F>(f), &LocalStore::retiredHandlesChanged);
    }

    bool notificationsEnabled() const { return m_notificationsEnabled; }
    void setNotificationsEnabled(bool value);
    bool notificationPreview() const { return m_notificationPreview; }
    void setNotificationPreview(bool value);
    bool notificationSound() const { return m_notificationSound; }
    void setNotificationSound(bool value);

    // The server client; null selects a local mode. Never changes after construction.
    ChatClient *client() const { return m_client.get(); }

    // The live socket is away beyond its quick reconnects: the views show "연결 중…" until the
    // service accepts a socket again.
    bool connecting() const { return m_connecting; }
    void setConnecting(bool value);
    // Start-up holds a stored session that the service has not refused and has not yet signed
    // in with: the window shows its start-up state instead of the sign-in form.
    bool startingUp() const { return m_startingUp; }
    void setStartingUp(bool value);
    // The files that cannot be saved now (the session, the settings), kept up to date here.
    SaveFailures &saveFailures() { return m_saveFailures; }

    std::optional<QString> notice() const { return m_notice; }
    void setNotice(std::optional<QString> value);

    QHash<QUuid, int> remoteUnread() const { return m_remoteUnread; }
    void setRemoteUnread(QHash<QUuid, int> value);
    template<typename F>
    void editRemoteUnread(F &&f)
    {
        m_badgeTally.markAll();
        edit(m_remoteUnread, std::forward<F>(f), &LocalStore::remoteUnreadChanged);
    }

    QSet<QUuid> olderRooms() const { return m_olderRooms; }
    void setOlderRooms(QSet<QUuid> value);
    template<typename F>
    void editOlderRooms(F &&f)
    {
        edit(m_olderRooms, std::forward<F>(f), &LocalStore::olderRoomsChanged);
    }

    QHash<QUuid, QUuid> typingState() const { return m_typingState; }
    void setTypingState(QHash<QUuid, QUuid> value);
    template<typename F>
    void editTypingState(F &&f)
    {
        edit(m_typingState, std::forward<F>(f), &LocalStore::typingStateChanged);
    }

    QDateTime lastAlertAt() const { return m_lastAlertAt; }
    void setLastAlertAt(QDateTime value);

    QSet<QUuid> typingSentRooms() const { return m_typingSentRooms; }
    void setTypingSentRooms(QSet<QUuid> value);
    template<typename F>
    void editTypingSentRooms(F &&f)
    {
        edit(m_typingSentRooms, std::forward<F>(f), &LocalStore::typingSentRoomsChanged);
    }

    QSet<QUuid> hiddenRoomIDs() const { return m_hiddenRoomIDs; }
    void setHiddenRoomIDs(QSet<QUuid> value);
    template<typename F>
    void editHiddenRoomIDs(F &&f)
    {
        edit(m_hiddenRoomIDs, std::forward<F>(f), &LocalStore::hiddenRoomIDsChanged);
    }

    QHash<QUuid, QUuid> incomingRequestIDs() const { return m_incomingRequestIDs; }
    void setIncomingRequestIDs(QHash<QUuid, QUuid> value);
    template<typename F>
    void editIncomingRequestIDs(F &&f)
    {
        edit(m_incomingRequestIDs, std::forward<F>(f), &LocalStore::incomingRequestIDsChanged);
    }

    std::optional<QString> apnsToken() const { return m_apnsToken; }
    void setApnsToken(std::optional<QString> value);

    std::optional<QUuid> visibleRoomID() const { return m_visibleRoomID; }
    void setVisibleRoomID(std::optional<QUuid> value);

    std::optional<PushOpen> pushTarget() const { return m_pushTarget; }
    void setPushTarget(std::optional<PushOpen> value);

    std::optional<InviteFollow> inviteFollow() const { return m_inviteFollow; }
    void setInviteFollow(std::optional<InviteFollow> value);

    std::optional<InviteOutcome> inviteOutcome() const { return m_inviteOutcome; }
    void setInviteOutcome(std::optional<InviteOutcome> value);

    std::optional<QString> pendingInviteCode() const { return m_pendingInviteCode; }
    void setPendingInviteCode(std::optional<QString> value);

    // A debounced room-list reload is waiting (refreshRoomsSoon()).
    bool roomRefreshPending() const { return m_roomRefreshPending; }

    QString localInviteCode() const { return m_localInviteCode; }
    // A fresh local-mode invite code: 32 upper-case hexadecimal digits.
    static QString makeLocalInviteCode();
    void setLocalInviteCode(QString value);

    bool persisting() const { return m_persisting; }
    std::chrono::milliseconds deliveryDelay() const { return m_deliveryDelay; }

    // ---------------------------------------------------------------------------------------
    // Notices

    void showNotice(const QString &text);
    void acknowledgeNotice();
    // A ChatAPIError shows its message, anything else "일시적인 오류입니다.".
    void showAPI(const std::exception_ptr &error);

    // ---------------------------------------------------------------------------------------
    // Storage

    static QList<QUuid> storedIDs(const QString &key);
    void saveBlocks();
    void saveHidden();
    void persist();
    // Writes every setting of the live mode at once (blocks, hidden rooms, notification
    // switches); saveBlocks(), saveHidden() and saveNotificationSwitches() go through it.
    void saveSettings();
    static QList<Account> seedAccounts();
    void replaceAccount(const Account &account);
    void replaceConversation(const Conversation &conversation);
    void refreshBadge();
    void refreshRoomsSoon();

    // ---------------------------------------------------------------------------------------
    // Start-up and server data

    // Start-up. When the service cannot be reached (no answer, time-out, 5xx), the stored
    // session stays and start-up is tried again after a growing wait (2 s up to 60 s) until it
    // succeeds, the session is refused, or someone signs in by hand.
    QCoro::Task<> bootstrap();
    QCoro::Task<> refreshLive();
    // The room list, one sync page and the friend requests. With `announceNew`, messages from
    // others that the pages add above what the store knew of a room (what it held, or else what
    // the last room list said) are announced as arrived, as a live event would have (the
    // catch-up after the socket was away).
    QCoro::Task<> reloadRemote(bool announceNew = false);
    // Whether start-up waits to be tried again.
    bool startUpRetryPending() const;
    const CatchUp &catchUp() const { return *m_catchUp; } // what it keeps between reloads

    void apply(const ChatEvent &event);
    void apply(const QList<APIConversation> &rooms);
    void apply(const QList<SyncRoom> &pages, bool announceNew = false);
    void apply(const APIFriendRequestList &requests);
    // Adopts the signed-in user: stores the account and sets the session and last user.
    void apply(const APIUser &user, const std::optional<QByteArray> &photo);

    ChatMessage mapMessage(const APIMessage &message) const;
    Account mapUser(const APIUser &user, const std::optional<QByteArray> &photo,
                    bool placeholder) const;
    // Puts one message into the store; see MessageIndex::merge for the rule.
    void merge(const ChatMessage &message, bool countUnread);

    // ---------------------------------------------------------------------------------------
    // Session, profile and device (live halves and local sign-in)

    void signIn();
    QCoro::Task<> publishLocalAvatar(bool serverHasAvatar);
    QCoro::Task<> uploadDevice();
    void openFromPush(const QUuid &conversationId, std::optional<QUuid> messageId);
    void redeemPendingInvite();
    QCoro::Task<> redeemInvite(QString code);
    QCoro::Task<> lookUpInvite(QString code);

    // ---------------------------------------------------------------------------------------
    // Lookups and room titles

    std::optional<Conversation> conversation(const QUuid &id) const;
    std::optional<ChatMessage> message(const QUuid &id) const;
    std::optional<Account> account(const QUuid &id) const;
    std::optional<Account> me() const;
    std::optional<Account> account(const QString &handle) const; // by handle
    bool isOwner(const Conversation &room) const;
    std::optional<Account> otherAccount(const Conversation &room) const;
    bool isOfficial(const Conversation &room) const;
    bool isOptOut(const QUuid &accountId) const;
    QString conversationTitle(const Conversation &room) const;
    std::optional<FriendState> friendState(const QUuid &userId) const;
    std::optional<Conversation> directConversation(const QUuid &userId) const;
    QList<Account> directPeers(AccountKind kind) const;
    QList<Account> friendAccounts() const;
    QList<Account> incomingRequests() const;
    QList<Account> followedOfficials() const;
    QList<Account> blockedAccounts() const;
    static QList<Membership> activeMembers(const Conversation &room);
    static QString normalizedHandle(const QString &text);
    static bool isValidHandle(const QString &text);
    QString suggestedGroupTitle(const QList<QUuid> &memberIds) const;
    static QString suggestedGroupTitle(const QStringList &names);
    // A group name as it is stored: trimmed, and cut to its first 40 characters.
    static QString storedTitle(const QString &typed);

    // ---------------------------------------------------------------------------------------
    // Room list, search and unread

    QList<Conversation> sortedList() const;
    // The ids of sortedList(), in its order; kept up to date room by room, so cheap to ask.
    const QList<QUuid> &listedRoomIds() const;
    bool matches(const Conversation &room, const QString &query) const;
    RoomSearchTexts &searchTexts(); // the search forms of titles and names, made as rooms change
    RoomListIntake &roomListIntake(); // room lists in: decoded off the main thread, applied in turn
    RoomListLastMessages &listedLastMessages(); // each room's last message as the list named it
    int unreadCount(const Conversation &room) const;
    bool showsUnreadDot(const Conversation &room) const;
    int unreadOthers(const QUuid &messageId) const;
    // Takes the room off the list at once: it leaves sortedList() but stays among the
    // conversations, and its id joins the hidden ids (kept in the settings in the live mode).
    void hideFromList(const QUuid &roomId);

    // ---------------------------------------------------------------------------------------
    // Transcript

    QList<ChatMessage> visibleMessages(const QUuid &roomId) const;
    bool isReadByPeer(const QUuid &messageId) const;
    std::optional<QString> typingLabel(const QUuid &roomId) const;
    std::optional<ComposeBlock> composeBlock(const QUuid &roomId) const;
    QString replyPreview(const QUuid &messageId) const;
    // One's own text or photo, at most 600 seconds old, that the service has (not a failed
    // send).
    bool canDeleteForEveryone(const QUuid &messageId) const;

    // ---------------------------------------------------------------------------------------
    // Sending

    std::optional<QUuid> sendText(const QUuid &conversationId, const QString &body,
                                  std::optional<QUuid> replyTo = std::nullopt);
    std::optional<QUuid> sendImage(const QUuid &conversationId, const QByteArray &jpeg,
                                   const QString &caption,
                                   std::optional<QUuid> replyTo = std::nullopt);
    void noteTyping(const QUuid &roomId, bool active);

    std::optional<QUuid> queueLiveText(const QUuid &conversationId, const QString &body,
                                       std::optional<QUuid> replyTo);
    std::optional<QUuid> queueLiveImage(const QUuid &conversationId, const QByteArray &jpeg,
                                        const QString &caption, std::optional<QUuid> replyTo);
    void keepReply(const QUuid &clientMsgId, std::optional<QUuid> replyTo);
    void markFailed(const QUuid &clientMsgId);
    void noteInboxClosed(const std::exception_ptr &error, const QUuid &conversationId);
    qint64 nextSeq(const QUuid &roomId) const;
    // A new message of this client's making: fresh id and client id, the room's next seq,
    // created now, delivered.
    ChatMessage newLocalMessage(const QUuid &roomId, const QUuid &sender, MessageKind kind,
                                MessageOrigin origin, const QString &body) const;
    // The signed-in user's own message, still being sent.
    ChatMessage echoMessage(const QUuid &roomId, MessageKind kind, const QString &body,
                            const std::optional<QByteArray> &jpeg,
                            std::optional<QUuid> replyTo) const;
    std::optional<QUuid> sendLocal(const QUuid &roomId, MessageKind kind, const QString &body,
                                   const std::optional<QByteArray> &jpeg,
                                   std::optional<QUuid> replyTo);
    void touch(const QUuid &roomId, bool unhide);
    void markDelivered(const QUuid &messageId);
    void appendSystem(const QUuid &roomId, const QString &text, bool unhide);

    // ---------------------------------------------------------------------------------------
    // Reading and history

    void markRead(const QUuid &roomId);
    QCoro::Task<> loadRoom(QUuid roomId);
    QCoro::Task<> loadOlder(QUuid roomId);
    void cacheMessageImage(const QUuid &messageId, const QByteArray &data);

    // ---------------------------------------------------------------------------------------
    // Local modes: official accounts and direct rooms

    std::optional<QUuid> receiveOfficialMessage(const QUuid &accountId, const QString &body,
                                                MessageOrigin origin, bool despiteOptOut,
                                                std::optional<QString> idempotencyKey);
    std::optional<QUuid> openDirect(const QUuid &userId);
    void followOfficial(const QUuid &accountId);
    void setOptOutLocal(const QUuid &accountId, bool optOut);

    // ---------------------------------------------------------------------------------------
    // Operations on accounts, friends, blocks, invites, reports and rooms
    // (LocalStoreSocial.cpp ... LocalStoreRoomAdmin.cpp)

    // Friends and friend requests (LocalStoreSocial.cpp)
    void requestFriend(const QUuid &userId);
    void acceptFriend(const QUuid &userId);
    void rejectFriend(const QUuid &userId);

    // Blocks and official-account opt-out (LocalStoreSocial.cpp)
    void block(const QUuid &userId);
    void unblock(const QUuid &userId);
    void setBroadcastOptOut(const QUuid &accountId, bool optOut);
    // Tells the service about a block or unblock made locally. `previousPlace` is where the id
    // stood in `blocks` before the change (none: it was not blocked); a refusal puts exactly
    // that back.
    QCoro::Task<> pushBlock(QUuid userId, bool blocked, std::optional<qsizetype> previousPlace);
    // The service's official-account id for an official account as the store knows it; throws
    // ChatAPIError 404 "not_found" "서비스 계정을 찾을 수 없습니다." when there is none.
    QCoro::Task<QUuid> resolveOfficial(QUuid accountId);

    // Handle lookup (LocalStoreSocial.cpp)
    QCoro::Task<std::optional<Account>> lookup(QString text);

    // Invite links (LocalStoreInvites.cpp)
    QCoro::Task<std::optional<QString>> inviteURL();
    QCoro::Task<std::optional<QString>> rotateInvite();
    void acceptInvite();
    void rejectInvite();

    // Sign-in and registration (LocalStoreAccount.cpp). Error texts: none means success.
    QCoro::Task<std::optional<QString>> login(QString email, QString password);
    QCoro::Task<std::optional<QString>> sendRegisterCode(QString email, QString password);
    QCoro::Task<std::optional<QString>> verifyRegister(QString email, QString code);
    QCoro::Task<std::optional<QString>> sendResetCode(QString email);
    QCoro::Task<std::optional<QString>> resetPassword(QString email, QString code,
                                                      QString password);
    QCoro::Task<std::optional<ProfileSaveError>> saveProfile(QString name, QString handle,
                                                             std::optional<QByteArray> photo);
    void cancelSignup();
    static bool isValidPassword(const QString &password);
    // Local modes' first profile and profile edit.
    std::optional<ProfileSaveError> completeProfile(const QString &name, const QString &handle,
                                                    const std::optional<QByteArray> &photo);
    std::optional<ProfileSaveError> updateMe(const QString &name, const QString &handle,
                                             const std::optional<QByteArray> &photo);
    bool isHandleTaken(const QString &handle, std::optional<QUuid> except) const;
    // The object key of the uploaded avatar; none when nothing needs uploading.
    QCoro::Task<std::optional<QString>> uploadedAvatar(std::optional<QByteArray> photo);

    // Profile, password and notification settings (LocalStoreProfile.cpp)
    QCoro::Task<std::optional<ProfileSaveError>> saveMe(QString name, QString handle,
                                                        std::optional<QByteArray> photo);
    QCoro::Task<std::optional<QString>> changePassword(QString current, QString newPassword);
    void setNotifications(std::optional<bool> enabled, std::optional<bool> preview,
                          std::optional<bool> sound);

    // Logout and account deletion (LocalStoreLogout.cpp)
    void logout();
    void deleteAccount();

    // Reports (LocalStoreReports.cpp)
    QCoro::Task<std::optional<QString>> submitReport(QUuid userId, std::optional<QUuid> messageId,
                                                     QString reason, QString note);

    // Opening direct and group rooms (LocalStoreRoomOpen.cpp)
    QCoro::Task<std::optional<QUuid>> openChat(QUuid userId);
    QCoro::Task<std::optional<QUuid>> openGroup(QList<QUuid> memberIds, QString title);
    std::optional<QUuid> createGroup(const QList<QUuid> &memberIds, const QString &title);
    bool canBeGroupMember(const QUuid &userId) const;

    // Hiding, deleting and clearing messages (LocalStoreMessageAdmin.cpp). A failed send is
    // hidden here only: the service never had it.
    void hideForMe(const QUuid &messageId);
    bool deleteForEveryone(const QUuid &messageId);
    void clearMessages(const QUuid &roomId);

    // Room administration (LocalStoreRoomAdmin.cpp)
    void rename(const QUuid &roomId, const QString &title);
    void invite(const QUuid &roomId, const QUuid &userId);
    void kick(const QUuid &roomId, const QUuid &userId);
    void leaveGroup(const QUuid &roomId);
    QCoro::Task<> renameLive(QUuid roomId, QString title);
    QCoro::Task<> inviteLive(QUuid roomId, QUuid userId);
    QCoro::Task<> kickLive(QUuid roomId, QUuid userId);
    QCoro::Task<> leaveLive(QUuid roomId);

    // Room settings: mute, pin and photo (LocalStoreRoomAdmin.cpp)
    void setMuted(const QUuid &roomId, bool muted);
    void setPinned(const QUuid &roomId, bool pinned);
    void setRoomPhoto(const QUuid &roomId, const std::optional<QByteArray> &jpeg);

private:
    // Private helpers of the operations above (LocalStoreSocial.cpp ... LocalStoreRoomAdmin.cpp)
    QCoro::Task<> requestFriendLive(QUuid userId);
    QCoro::Task<> acceptFriendLive(QUuid userId);
    QCoro::Task<> rejectFriendLive(QUuid userId);
    bool mayRequestFriend(const QUuid &userId) const;
    QCoro::Task<> pushOptOut(QUuid accountId, bool optOut, bool previous);
    QCoro::Task<> acceptInviteLive(QUuid requestId);
    QCoro::Task<> rejectInviteLive(QUuid requestId);
    // The three notification switches of the live mode, kept in the settings beside the
    // blocked users so that a restart keeps the user's choice. The constructor calls
    // loadNotificationSwitches() in the live mode.
    void loadNotificationSwitches();
    void saveNotificationSwitches();
    QVariantMap notificationSettings() const;
    QCoro::Task<> saveDeviceLive(std::optional<QString> token, bool preview, bool enabled);
    QCoro::Task<> logoutLive();
    // Opening rooms with the service (LocalStoreRoomOpen.cpp): the official account's room after
    // following it, and the reload that brings a room the service made or named (a failure is
    // shown and gives none).
    QCoro::Task<QUuid> followedOfficialRoom(QUuid accountId);
    QCoro::Task<std::optional<QUuid>> adoptServiceRoom(QCoro::Task<QUuid> creation);
    QCoro::Task<> deleteAccountLive();
    // Ends the session's requests to the window and the badge (logout, deletion).
    void clearSessionRequests();
    void deleteAccountLocally();
    QCoro::Task<> postMessageAction(QUuid messageId, bool deleting, QUuid roomId);
    QCoro::Task<> hideAllLive(QList<QUuid> messageIds);
    // A send hidden here turned up at the service (CatchUp::keepsHidden()): it hears of the hide.
    void hideFoundSend(const ChatMessage &found);
    // The service half of a room change: a success reloads the room list when `reloadAfter`,
    // a failure runs `undo` (when set) and shows the error (LocalStoreRoomAdmin.cpp only).
    template<typename T>
    QCoro::Task<> finishRoomCall(QCoro::Task<T> call, bool reloadAfter, std::function<void()> undo);
    void setRoomFlag(const QUuid &roomId, bool Conversation::*flag, const QString &key, bool value);

signals:
    void accountsChanged();
    // Right before accountsChanged when the accounts kept their places: the ones that
    // changed (maybe none). Without it, accountsChanged may be about any account.
    void accountsTouched(const QList<QUuid> &accountIds);
    void sessionChanged();
    void lastUserIdChanged();
    void conversationsChanged();
    // Right before conversationsChanged (or remoteUnreadChanged) when the rooms kept their
    // places: the rooms that changed (maybe none). Without it, conversationsChanged (or
    // remoteUnreadChanged) may be about any room.
    void roomsTouched(const QList<QUuid> &roomIds);
    void messagesChanged();
    // The messages of one room really changed: emitted once per room and change of the
    // messages, before messagesChanged. `change` names the entries added and changed, which
    // stay valid until a later change of the same room says `reset` (then read the room again
    // through messageIndex()). Views of one room follow it at the cost of what changed.
    void roomMessagesChanged(const QUuid &roomId, const MessageIndex::RoomChange &change);
    void friendsChanged();
    void officialLinksChanged();
    void blocksChanged();
    void reportsChanged();
    void retiredHandlesChanged();
    void notificationsEnabledChanged();
    void notificationPreviewChanged();
    void notificationSoundChanged();
    void noticeChanged();
    void connectingChanged();
    void startingUpChanged();
    void remoteUnreadChanged();
    void olderRoomsChanged();
    void typingStateChanged();
    void lastAlertAtChanged();
    void typingSentRoomsChanged();
    void hiddenRoomIDsChanged();
    void incomingRequestIDsChanged();
    void apnsTokenChanged();
    void visibleRoomIDChanged();
    void pushTargetChanged();
    void inviteFollowChanged();
    void inviteOutcomeChanged();
    void pendingInviteCodeChanged();
    void roomRefreshChanged();
    void localInviteCodeChanged();
    // An incoming message may play the incoming sound now (settings, sender and room allow
    // it, and no sound played in the last half second). The shell plays it when its window
    // has the focus.
    void incomingSound();
    // A live message event, or the catch-up after the socket was away, brought a message the
    // store did not hold before (not a copy that replaced an echo or an earlier copy), sent by
    // someone other than the signed-in user. It is emitted once, after the message is in the
    // store and the room's unread count is raised.
    void messageArrived(const ChatMessage &message);

private:
    // The observation rule: a whole-value write signals only when the value differs.
    template<typename T>
    bool assign(T &field, T value, void (LocalStore::*changed)())
    {
        if (!ObservedValue::differs(field, value)) {
            field = std::move(value);
            return false;
        }
        field = std::move(value);
        emit(this->*changed)();
        return true;
    }
    // An in-place change always signals once.
    template<typename T, typename F>
    void edit(T &field, F &&f, void (LocalStore::*changed)())
    {
        std::forward<F>(f)(field);
        emit(this->*changed)();
    }
    void setRoomRefreshPending(bool pending);
    // Tells the observers of the messages what the last change did: roomMessagesChanged per
    // room that changed, then messagesChanged.
    void announceMessages();

    // Construction and modes (LocalStoreModes.cpp)
    void bindClient();
    void ensureSeeds();
    void settleSending();
    void ensureWelcome();
    void loadDocument();

    // Server halves started as detached tasks; each catches everything at its top.
    QCoro::Task<> sendLiveText(QUuid conversationId, QUuid echoId, QString body,
                               std::optional<QUuid> replyTo);
    QCoro::Task<> sendLiveImage(QUuid conversationId, QUuid echoId, QByteArray jpeg,
                                QString caption, std::optional<QUuid> replyTo);
    QCoro::Task<> deliverLocally(QUuid messageId);
    QCoro::Task<> postReadReceipt(QUuid roomId, qint64 seq);
    void reloadAfterDelay();
    QCoro::Task<> fetchFriendRequests();
    void fetchFriendRequestsSoon();
    // One attempt at start-up; a passing failure schedules the next (retryStartUpLater()).
    QCoro::Task<> startUp(bool firstAttempt);
    void retryStartUpLater();
    // A send that failed: its echo is marked failed, looked for again at the next catch-up when
    // the service may have it, and the failure is shown.
    void sendFailed(const QUuid &conversationId, const QUuid &echoId,
                    const std::exception_ptr &failure);
    void countIncoming(const ChatMessage &message);
    void applyMessageEvent(const APIMessage &message);
    void applyReadEvent(const QUuid &roomId, const QUuid &userId, qint64 seq);
    void applyTypingEvent(const QUuid &roomId, const QUuid &userId, bool active);
    void maybePlayIncomingSound(const ChatMessage &message);
    int conversationIndex(const QUuid &id) const;
    int accountIndex(const QUuid &id) const;
    // The room order and the lookups by id follow the lists lazily: an edit marks them, the
    // next read brings them up to date.
    void roomsEdited();
    // After the lists changed from `before`: marks what follows them and signals.
    void conversationsReplaced(const QList<Conversation> &before);
    void accountsReplaced(const QList<Account> &before);
    void roomEdited(int index);
    const RoomOrder &roomOrder() const;
    // Sets the service's unread count of one room: roomsTouched, then remoteUnreadChanged.
    void setRoomUnread(const QUuid &roomId, int count);
    // The room's unread count may have changed: the badge counts it again.
    void badgeRoom(const QUuid &roomId);
    void upsertAccount(const Account &account);
    int localUnread(const Conversation &room, const QUuid &me) const;

    QList<Account> m_accounts;
    std::optional<AppSession> m_session;
    std::optional<QUuid> m_lastUserId;
    QList<Conversation> m_conversations;
    MessageIndex m_messages;
    QList<FriendLink> m_friends;
    QList<OfficialLink> m_officialLinks;
    QList<QUuid> m_blocks;
    QList<ReportRecord> m_reports;
    QList<RetiredHandle> m_retiredHandles;
    bool m_notificationsEnabled = true;
    bool m_notificationPreview = true;
    bool m_notificationSound = true;
    std::unique_ptr<ChatClient> m_client;
    std::optional<QString> m_notice;
    bool m_connecting = false;
    bool m_startingUp = false;
    QHash<QUuid, int> m_remoteUnread;
    QSet<QUuid> m_olderRooms;
    QHash<QUuid, QUuid> m_typingState;
    QDateTime m_lastAlertAt;
    QSet<QUuid> m_typingSentRooms;
    QSet<QUuid> m_hiddenRoomIDs;
    QHash<QUuid, QUuid> m_incomingRequestIDs;
    std::optional<QString> m_apnsToken;
    std::optional<QUuid> m_visibleRoomID;
    std::optional<PushOpen> m_pushTarget;
    std::optional<InviteFollow> m_inviteFollow;
    std::optional<InviteOutcome> m_inviteOutcome;
    std::optional<QString> m_pendingInviteCode;
    bool m_roomRefreshPending = false;
    // The store's waits, owned by it so that a store going away takes them with it: the
    // debounced room reload (refreshRoomsSoon()), the friend-request fetch after
    // "friend.requested" (fetchFriendRequestsSoon()) and start-up tried again, with the
    // attempts that failed so far.
    QTimer *m_roomRefreshTimer = nullptr;
    QTimer *m_friendRequestTimer = nullptr;
    QTimer *m_startUpRetryTimer = nullptr;
    int m_startUpFailures = 0;
    QString m_localInviteCode;
    bool m_persisting = false;
    // Failed writes of the store document and of the settings, tried again until they land.
    SaveRetry m_documentSaving;
    SaveRetry m_settingsSaving;
    SaveFailures m_saveFailures;
    // An invite look-up runs; a link arriving meanwhile waits in m_pendingInviteCode.
    bool m_redeemingInvite = false;
    std::chrono::milliseconds m_deliveryDelay;

    // Local unread counts per room, kept until the room's messages, my id or my read mark
    // change: the room list asks for every row on every redraw.
    struct UnreadMemo
    {
        quint64 version = 0;
        QUuid me;
        qint64 lastReadSeq = 0;
        int count = 0;
    };
    mutable QHash<QUuid, UnreadMemo> m_unreadMemo;

    mutable RoomOrder m_roomOrder;
    mutable bool m_roomsDirty = true;
    mutable bool m_roomsAnyChanged = true; // else only the rooms at m_touchedRooms changed
    mutable QList<int> m_touchedRooms;
    mutable std::optional<QUuid> m_roomOrderMe;
    mutable IdLookup<Account> m_accountLookup;
    mutable bool m_accountsDirty = true;

    LauncherBadge *m_badge = nullptr;
    BadgeTally m_badgeTally; // its figure, counted again room by room as they change
    QHash<QUuid, quint64> m_typingGeneration; // per room: a newer typing event voids the expiry

    std::unique_ptr<CatchUp> m_catchUp; // the catch-up after each room list (reloadRemote())
    // The store's parts of its own concern, each made on first use.
    std::unique_ptr<RoomSearchTexts> m_searchTexts;
    std::unique_ptr<RoomListIntake> m_roomListIntake;
    std::unique_ptr<RoomListLastMessages> m_listedLastMessages;
};
