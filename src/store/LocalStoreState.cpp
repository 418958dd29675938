// Store state: whole-list writes, notices, the defaults arrays, record replacement, the launcher
// badge and the debounced room reload and friend-request fetch.

#include "api/ChatPath.h"
#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "platform/LauncherBadge.h"
#include "store/SettingsFile.h"
#include "store/StoreCall.h"

#include <QSettings>
#include <QTimer>

using namespace std::chrono_literals;

// ---------------------------------------------------------------------------------------------
// Whole-value writes of the observed state

void LocalStore::setConnecting(bool value)
{
    assign(m_connecting, value, &LocalStore::connectingChanged);
}

void LocalStore::setStartingUp(bool value)
{
    assign(m_startingUp, value, &LocalStore::startingUpChanged);
}

void LocalStore::setAccounts(QList<Account> value)
{
    if (!ObservedValue::differs(m_accounts, value)) {
        m_accounts = std::move(value);
        return;
    }
    const QList<Account> before = std::exchange(m_accounts, std::move(value));
    accountsReplaced(before);
}

void LocalStore::setSession(std::optional<AppSession> value)
{
    m_badgeTally.markAll();
    assign(m_session, std::move(value), &LocalStore::sessionChanged);
}

void LocalStore::setLastUserId(std::optional<QUuid> value)
{
    assign(m_lastUserId, std::move(value), &LocalStore::lastUserIdChanged);
}

void LocalStore::setConversations(QList<Conversation> value)
{
    if (!ObservedValue::differs(m_conversations, value)) {
        m_conversations = std::move(value);
        return;
    }
    const QList<Conversation> before = std::exchange(m_conversations, std::move(value));
    conversationsReplaced(before);
}

void LocalStore::setFriends(QList<FriendLink> value)
{
    assign(m_friends, std::move(value), &LocalStore::friendsChanged);
}

void LocalStore::setOfficialLinks(QList<OfficialLink> value)
{
    assign(m_officialLinks, std::move(value), &LocalStore::officialLinksChanged);
}

void LocalStore::setBlocks(QList<QUuid> value)
{
    assign(m_blocks, std::move(value), &LocalStore::blocksChanged);
}

void LocalStore::setReports(QList<ReportRecord> value)
{
    assign(m_reports, std::move(value), &LocalStore::reportsChanged);
}

void LocalStore::setRetiredHandles(QList<RetiredHandle> value)
{
    assign(m_retiredHandles, std::move(value), &LocalStore::retiredHandlesChanged);
}

void LocalStore::setNotificationsEnabled(bool value)
{
    assign(m_notificationsEnabled, value, &LocalStore::notificationsEnabledChanged);
}

void LocalStore::setNotificationPreview(bool value)
{
    assign(m_notificationPreview, value, &LocalStore::notificationPreviewChanged);
}

void LocalStore::setNotificationSound(bool value)
{
    assign(m_notificationSound, value, &LocalStore::notificationSoundChanged);
}

void LocalStore::setNotice(std::optional<QString> value)
{
    assign(m_notice, std::move(value), &LocalStore::noticeChanged);
}

void LocalStore::setRemoteUnread(QHash<QUuid, int> value)
{
    m_badgeTally.markAll();
    assign(m_remoteUnread, std::move(value), &LocalStore::remoteUnreadChanged);
}

void LocalStore::setOlderRooms(QSet<QUuid> value)
{
    assign(m_olderRooms, std::move(value), &LocalStore::olderRoomsChanged);
}

void LocalStore::setTypingState(QHash<QUuid, QUuid> value)
{
    assign(m_typingState, std::move(value), &LocalStore::typingStateChanged);
}

void LocalStore::setLastAlertAt(QDateTime value)
{
    assign(m_lastAlertAt, std::move(value), &LocalStore::lastAlertAtChanged);
}

void LocalStore::setTypingSentRooms(QSet<QUuid> value)
{
    assign(m_typingSentRooms, std::move(value), &LocalStore::typingSentRoomsChanged);
}

void LocalStore::setHiddenRoomIDs(QSet<QUuid> value)
{
    assign(m_hiddenRoomIDs, std::move(value), &LocalStore::hiddenRoomIDsChanged);
}

void LocalStore::setIncomingRequestIDs(QHash<QUuid, QUuid> value)
{
    assign(m_incomingRequestIDs, std::move(value), &LocalStore::incomingRequestIDsChanged);
}

void LocalStore::setApnsToken(std::optional<QString> value)
{
    assign(m_apnsToken, std::move(value), &LocalStore::apnsTokenChanged);
}

void LocalStore::setVisibleRoomID(std::optional<QUuid> value)
{
    assign(m_visibleRoomID, std::move(value), &LocalStore::visibleRoomIDChanged);
}

void LocalStore::setPushTarget(std::optional<PushOpen> value)
{
    assign(m_pushTarget, std::move(value), &LocalStore::pushTargetChanged);
}

void LocalStore::setInviteFollow(std::optional<InviteFollow> value)
{
    assign(m_inviteFollow, std::move(value), &LocalStore::inviteFollowChanged);
}

void LocalStore::setInviteOutcome(std::optional<InviteOutcome> value)
{
    assign(m_inviteOutcome, std::move(value), &LocalStore::inviteOutcomeChanged);
}

void LocalStore::setPendingInviteCode(std::optional<QString> value)
{
    assign(m_pendingInviteCode, std::move(value), &LocalStore::pendingInviteCodeChanged);
}

void LocalStore::setLocalInviteCode(QString value)
{
    assign(m_localInviteCode, std::move(value), &LocalStore::localInviteCodeChanged);
}

void LocalStore::setMessages(const QList<ChatMessage> &value)
{
    if (m_messages.size() == value.size() && m_messages.toList() == value)
        return; // equal: nothing changes, nothing is told
    m_messages.assign(value);
    announceMessages();
}

void LocalStore::announceMessages()
{
    const QHash<QUuid, MessageIndex::RoomChange> changes = m_messages.takeChanges();
    for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
        badgeRoom(it.key());
        emit roomMessagesChanged(it.key(), it.value());
    }
    emit messagesChanged();
}

void LocalStore::setRoomRefreshPending(bool pending)
{
    assign(m_roomRefreshPending, pending, &LocalStore::roomRefreshChanged);
}

// ---------------------------------------------------------------------------------------------
// Notices

void LocalStore::showNotice(const QString &text)
{
    setNotice(text);
}

void LocalStore::acknowledgeNotice()
{
    setNotice(std::nullopt);
}

void LocalStore::showAPI(const std::exception_ptr &error)
{
    showNotice(StoreCall::failureText(error));
}

// ---------------------------------------------------------------------------------------------
// Defaults arrays (live mode)

QList<QUuid> LocalStore::storedIDs(const QString &key)
{
    const QVariant value = QSettings().value(key);
    QStringList texts;
    if (value.metaType() == QMetaType::fromType<QStringList>()) {
        texts = value.toStringList();
    } else if (value.metaType() == QMetaType::fromType<QVariantList>()) {
        for (const QVariant &item : value.toList()) {
            if (item.metaType() != QMetaType::fromType<QString>())
                return {};
            texts.append(item.toString());
        }
    } else if (value.metaType() == QMetaType::fromType<QString>()) {
        // The settings file writes a one-element array as a plain string.
        texts.append(value.toString());
    } else {
        return {};
    }
    QList<QUuid> ids;
    for (const QString &text : std::as_const(texts)) {
        const QUuid id = QUuid::fromString(text.trimmed());
        if (!id.isNull())
            ids.append(id);
    }
    return ids;
}

namespace {

QStringList idTexts(const auto &ids)
{
    QStringList texts;
    texts.reserve(ids.size());
    for (const QUuid &id : ids)
        texts.append(wireId(id));
    return texts;
}

} // namespace

void LocalStore::saveBlocks()
{
    saveSettings();
}

void LocalStore::saveHidden()
{
    saveSettings();
}

void LocalStore::saveSettings()
{
    if (!m_client)
        return;
    // The whole set each time: a write that failed earlier is made good by the next one.
    QVariantMap values = notificationSettings();
    values.insert(QStringLiteral("quillo.live.blocks"), idTexts(m_blocks));
    // A set has no order of its own; sorting keeps the written value stable.
    QList<QUuid> hidden(m_hiddenRoomIDs.cbegin(), m_hiddenRoomIDs.cend());
    QStringList texts = idTexts(hidden);
    texts.sort();
    values.insert(QStringLiteral("quillo.live.hidden"), texts);
    QString problem;
    m_settingsSaving.report(SettingsFile::write(values, &problem), problem);
}

// ---------------------------------------------------------------------------------------------
// Records

int LocalStore::conversationIndex(const QUuid &id) const
{
    return roomOrder().indexOf(id);
}

int LocalStore::accountIndex(const QUuid &id) const
{
    if (m_accountsDirty) {
        m_accountLookup.sync(m_accounts);
        m_accountsDirty = false;
    }
    return m_accountLookup.indexOf(id);
}

void LocalStore::conversationsReplaced(const QList<Conversation> &before)
{
    const std::optional<QList<int>> changed = changedPlaces(before, m_conversations);
    if (!changed) {
        roomsEdited();
        emit conversationsChanged();
        return;
    }
    QList<QUuid> ids;
    ids.reserve(changed->size());
    for (int index : *changed) {
        roomEdited(index);
        ids.append(m_conversations.at(index).id);
    }
    emit roomsTouched(ids);
    emit conversationsChanged();
}

void LocalStore::accountsReplaced(const QList<Account> &before)
{
    const std::optional<QList<int>> changed = changedPlaces(before, m_accounts);
    if (!changed) {
        m_accountsDirty = true;
        emit accountsChanged();
        return;
    }
    QList<QUuid> ids;
    ids.reserve(changed->size());
    for (int index : *changed)
        ids.append(m_accounts.at(index).id);
    emit accountsTouched(ids);
    emit accountsChanged();
}

void LocalStore::roomEdited(int index)
{
    m_roomsDirty = true;
    badgeRoom(m_conversations.at(index).id);
    if (m_roomsAnyChanged)
        return;
    // Past a few rooms a walk over all of them costs no more than finding each.
    if (m_touchedRooms.size() >= 64) {
        m_roomsAnyChanged = true;
        m_touchedRooms.clear();
        return;
    }
    m_touchedRooms.append(index);
}

const RoomOrder &LocalStore::roomOrder() const
{
    const std::optional<QUuid> me = m_session ? std::optional(m_session->meId) : std::nullopt;
    // The order depends on who is signed in too (rooms with an active membership of mine).
    if (m_roomsDirty || m_roomOrderMe != me) {
        m_roomOrder.sync(m_conversations, me, m_roomsAnyChanged ? nullptr : &m_touchedRooms);
        m_roomsDirty = false;
        m_roomsAnyChanged = false;
        m_touchedRooms.clear();
        m_roomOrderMe = me;
    }
    return m_roomOrder;
}

const QList<QUuid> &LocalStore::listedRoomIds() const
{
    return roomOrder().ids();
}

void LocalStore::setRoomUnread(const QUuid &roomId, int count)
{
    const auto entry = m_remoteUnread.constFind(roomId);
    if (entry != m_remoteUnread.cend() && entry.value() == count)
        return;
    m_remoteUnread.insert(roomId, count);
    badgeRoom(roomId);
    emit roomsTouched({roomId});
    emit remoteUnreadChanged();
}

void LocalStore::replaceAccount(const Account &account)
{
    const int index = accountIndex(account.id);
    if (index < 0)
        return;
    editAccountAt(index, [&](Account &a) { a = account; });
}

void LocalStore::upsertAccount(const Account &account)
{
    const int index = accountIndex(account.id);
    if (index >= 0) {
        if (m_accounts.at(index) == account)
            return;
        editAccountAt(index, [&](Account &a) { a = account; });
    } else {
        editAccounts([&](QList<Account> &list) { list.append(account); });
    }
}

void LocalStore::replaceConversation(const Conversation &conversation)
{
    const int index = conversationIndex(conversation.id);
    if (index < 0)
        return;
    editConversationAt(index, [&](Conversation &room) { room = conversation; });
}

// ---------------------------------------------------------------------------------------------
// Launcher badge

void LocalStore::roomsEdited()
{
    m_roomsDirty = m_roomsAnyChanged = true;
    m_badgeTally.markAll();
}

void LocalStore::badgeRoom(const QUuid &roomId)
{
    if (m_client)
        m_badgeTally.markRoom(roomId);
}

void LocalStore::refreshBadge()
{
    if (!m_client)
        return;
    const qint64 total = m_badgeTally.count(
        m_conversations, [this](const QUuid &id) { return conversationIndex(id); },
        [this](const Conversation &room) { return unreadCount(room); });
    if (m_badge)
        m_badge->setCount(total);
}

// ---------------------------------------------------------------------------------------------
// Debounced room reload and friend-request fetch

namespace {

// Each request restarts the wait: only the last of a burst acts, 0.3 seconds after it. The
// timer belongs to the store, so that a store going away takes a waiting action with it.
template<typename Action>
void restartDebounce(QTimer *&timer, QObject *owner, Action action)
{
    if (!timer) {
        timer = new QTimer(owner);
        timer->setSingleShot(true);
        timer->setInterval(300ms);
        QObject::connect(timer, &QTimer::timeout, owner, action);
    }
    timer->start();
}

} // namespace

void LocalStore::refreshRoomsSoon()
{
    restartDebounce(m_roomRefreshTimer, this, [this] { reloadAfterDelay(); });
    setRoomRefreshPending(true);
}

void LocalStore::fetchFriendRequestsSoon()
{
    // The service may send "friend.requested" in a flood; one fetch answers a whole burst.
    restartDebounce(m_friendRequestTimer, this, [this] {
        // fetchFriendRequests() reports its own failures and throws nothing.
        if (m_session)
            fetchFriendRequests();
    });
}

void LocalStore::reloadAfterDelay()
{
    setRoomRefreshPending(false);
    // A reload asked for just before a sign-out has nobody to load for: without this it would
    // greet the signed-out user with "로그인이 필요합니다.".
    if (!m_session)
        return;
    // reloadRemote() reports its own failures and throws nothing.
    reloadRemote();
}
