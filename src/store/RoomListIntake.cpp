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
    std::optional<QByteArray> answer
        = co_await StoreCall::attempt(&m_store, client->conversationsAnswer());
    if (!self || !answer)
        co_return std::nullopt;
    co_return co_await take(std::move(*answer));
}

QCoro::Task<std::optional<QList<APIConversation>>> RoomListIntake::take(QByteArray answer)
{
    QPointer<RoomListIntake> self(this);
    const quint64 ticket = ++m_arrived;
    const std::optional<QUuid> me = signedIn(m_store);
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
    // A room list fetched for someone who has signed out meanwhile (or for another user) is
    // nobody's now.
    const bool stillFor = me == signedIn(m_store);
    if (!rooms) // as any answer that does not decode
        m_store.showAPI(std::make_exception_ptr(ChatAPIError::invalidResponse(500)));
    else if (stillFor)
        m_store.apply(*rooms);
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
    m_waiting.append(Waiting{m_arrived, event});
}

void RoomListIntake::release(quint64 ticket)
{
    QPointer<RoomListIntake> self(this);
    while (self && !m_waiting.isEmpty() && m_waiting.first().after <= ticket) {
        const ChatEvent event = m_waiting.takeFirst().event;
        m_store.apply(event);
    }
}
