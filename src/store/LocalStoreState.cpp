// Store state: whole-list writes, notices, the defaults arrays, record replacement, the dock
// badge and the debounced room reload and friend-request fetch.

#include "api/ChatPath.h"
#include "store/LocalStore.h"

#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "platform/DockBadge.h"

#include <QSettings>
#include <QTimer>

using namespace std::chrono_literals;

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
    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
        emit roomMessagesChanged(it.key(), it.value());
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
    try {
        if (error)
            std::rethrow_exception(error);
        showNotice(kTemporaryErrorText);
    } catch (const ChatAPIError &e) {
        showNotice(e.message);
    } catch (...) {
        showNotice(kTemporaryErrorText);
    }
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
    if (!m_client)
        return;
    QSettings().setValue(QStringLiteral("quillo.live.blocks"), idTexts(m_blocks));
}

void LocalStore::saveHidden()
{
    if (!m_client)
        return;
    // A set has no order of its own; sorting keeps the written value stable.
    QList<QUuid> ids(m_hiddenRoomIDs.cbegin(), m_hiddenRoomIDs.cend());
    QStringList texts = idTexts(ids);
    texts.sort();
    QSettings().setValue(QStringLiteral("quillo.live.hidden"), texts);
}

// ---------------------------------------------------------------------------------------------
// Records

int LocalStore::conversationIndex(const QUuid &id) const
{
    for (int i = 0; i < m_conversations.size(); ++i) {
        if (m_conversations.at(i).id == id)
            return i;
    }
    return -1;
}

int LocalStore::accountIndex(const QUuid &id) const
{
    for (int i = 0; i < m_accounts.size(); ++i) {
        if (m_accounts.at(i).id == id)
            return i;
    }
    return -1;
}

void LocalStore::replaceAccount(const Account &account)
{
    const int index = accountIndex(account.id);
    if (index < 0)
        return;
    editAccounts([&](QList<Account> &list) { list[index] = account; });
}

void LocalStore::upsertAccount(const Account &account)
{
    const int index = accountIndex(account.id);
    if (index >= 0) {
        if (m_accounts.at(index) == account)
            return;
        editAccounts([&](QList<Account> &list) { list[index] = account; });
    } else {
        editAccounts([&](QList<Account> &list) { list.append(account); });
    }
}

void LocalStore::replaceConversation(const Conversation &conversation)
{
    const int index = conversationIndex(conversation.id);
    if (index < 0)
        return;
    editConversations([&](QList<Conversation> &list) { list[index] = conversation; });
}

// ---------------------------------------------------------------------------------------------
// Dock badge

void LocalStore::refreshBadge()
{
    if (!m_client)
        return;
    qint64 total = 0;
    for (const Conversation &room : std::as_const(m_conversations))
        total += unreadCount(room);
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
