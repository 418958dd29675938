#include "store/RoomListIntake.h"

#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/ChatErrors.h"
#include "api/OffThread.h"
#include "store/LocalStore.h"
#include "store/StoreCall.h"

#include <QPointer>
#include <QPromise>

#include <memory>
#include <utility>

namespace {

std::optional<QUuid> signedIn(const LocalStore &store)
{
    const std::optional<AppSession> session = store.session();
    return session ? std::optional(session->meId) : std::nullopt;
}

} // namespace

RoomListIntake &RoomListIntake::of(LocalStore &store)
{
    return store.roomListIntake();
}

RoomListIntake::RoomListIntake(LocalStore &store)
    : m_store(store)
{ }

QCoro::Task<std::optional<QList<APIConversation>>> RoomListIntake::fetch()
{
    QPointer<RoomListIntake> self(this);
    ChatClient *client = m_store.client();
    if (!client)
        co_return std::nullopt;
    // Whose list this is is settled now: another user may sign in on this client before the
    // answer comes, and it must not take the list asked for the one before.
    const std::optional<QUuid> forUser = signedIn(m_store);
    LocalStore *store = &m_store;
    std::optional<QByteArray> answer = co_await StoreCall::attempt(
        store, client->conversationsAnswer(), [store, forUser](const std::exception_ptr &error) {
            if (signedIn(*store) == forUser)
                store->showAPI(error);
        });
    if (!self || !answer)
        co_return std::nullopt;
    co_return co_await take(std::move(*answer), forUser);
}

QCoro::Task<std::optional<QList<APIConversation>>> RoomListIntake::take(QByteArray answer)
{
    return take(std::move(answer), signedIn(m_store));
}

QCoro::Task<std::optional<QList<APIConversation>>> RoomListIntake::take(
    QByteArray answer, std::optional<QUuid> forUser)
{
    QPointer<RoomListIntake> self(this);
    const quint64 ticket = ++m_arrived;
    // Settled, whatever happens below, when this frame ends: the answers behind this one wait
    // for it.
    const auto settled = std::make_shared<QPromise<void>>();
    settled->start();
    const QFuture<void> before = std::exchange(m_last, settled->future());

    const QFuture<std::optional<QList<APIConversation>>> decoding
        = offThread([answer = std::move(answer)] {
              try {
                  return ApiDecoder::conversationPage(answer);
              } catch (...) { // out of memory: as unusable as an answer that does not decode
                  return std::optional<QList<APIConversation>>();
              }
          });
    const std::optional<QList<APIConversation>> rooms = co_await decoding;
    co_await before;
    if (!self)
        co_return std::nullopt;
    // A room list asked for someone who has signed out meanwhile (or for another user) is
    // nobody's now: neither its rooms nor its failure are shown to whoever is signed in.
    const bool stillFor = forUser == signedIn(m_store);
    if (stillFor && rooms)
        m_store.apply(*rooms);
    else if (stillFor) // as any answer that does not decode
        m_store.showAPI(std::make_exception_ptr(ChatAPIError::invalidResponse(500)));
    m_settled = ticket;
    settled->finish();
    release(ticket);
    if (!rooms || !stillFor)
        co_return std::nullopt;
    co_return rooms;
}

void RoomListIntake::deliver(const ChatEvent &event)
{
    if (m_settled == m_arrived) {
        m_store.apply(event);
        return;
    }
    m_waiting.append(Waiting{m_arrived, signedIn(m_store), event});
}

void RoomListIntake::release(quint64 ticket)
{
    QPointer<RoomListIntake> self(this);
    while (self && !m_waiting.isEmpty() && m_waiting.first().after <= ticket) {
        const Waiting waiting = m_waiting.takeFirst();
        // An event of a session that ended while it waited is nobody's now, like the room list
        // it waited for: applied, it would count the last user's news for whoever signed in
        // since, or on the badge of nobody.
        if (waiting.forUser == signedIn(m_store))
            m_store.apply(waiting.event);
    }
}
