#pragma once

#include <QObject>
#include <QTimer>

#include <coroutine>
#include <deque>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

// Small awaitables for the client's coroutines. Everything runs on the main thread.

// A first-come, first-served lock: holders run one at a time in the order they asked.
// The lock is taken at once when free, so asking for it before the first suspension of a
// coroutine fixes that coroutine's place in the queue.
class AsyncQueueLock
{
public:
    explicit AsyncQueueLock(QObject *context)
        : m_context(context)
    { }

    struct Awaiter
    {
        AsyncQueueLock *lock;

        bool await_ready() const noexcept
        {
            if (lock->m_locked)
                return false;
            lock->m_locked = true;
            return true;
        }
        void await_suspend(std::coroutine_handle<> handle) const
        {
            lock->m_waiters.push_back(handle);
        }
        void await_resume() const noexcept { }
    };

    // Releases the lock when it goes out of scope.
    class Guard
    {
    public:
        explicit Guard(AsyncQueueLock *lock)
            : m_lock(lock)
        { }
        Guard(const Guard &) = delete;
        Guard &operator=(const Guard &) = delete;
        ~Guard() { m_lock->unlock(); }

    private:
        AsyncQueueLock *m_lock;
    };

    Awaiter acquire() { return Awaiter{this}; }

    void unlock()
    {
        if (m_waiters.empty()) {
            m_locked = false;
            return;
        }
        // The lock passes straight to the next waiter, resumed on the next turn of the loop.
        const auto next = m_waiters.front();
        m_waiters.pop_front();
        QTimer::singleShot(0, m_context, [next] { next.resume(); });
    }

private:
    QObject *m_context;
    bool m_locked = false;
    std::deque<std::coroutine_handle<>> m_waiters;
};

// The outcome of one run of an operation that several coroutines wait for together.
template<typename T>
struct SharedFlight
{
    bool done = false;
    std::optional<T> value;
    std::exception_ptr error;
    std::vector<std::coroutine_handle<>> waiters;

    // Holds the flight by plain pointer: the awaiting frame keeps its own shared_ptr, and g++ 12
    // may destroy a co_await operand's temporaries twice.
    struct Awaiter
    {
        SharedFlight *flight;

        bool await_ready() const noexcept { return flight->done; }
        void await_suspend(std::coroutine_handle<> handle) const
        {
            flight->waiters.push_back(handle);
        }
        T await_resume() const
        {
            if (flight->error)
                std::rethrow_exception(flight->error);
            return *flight->value;
        }
    };

    void finish()
    {
        done = true;
        const auto waiting = std::move(waiters);
        waiters.clear();
        for (const auto handle : waiting)
            handle.resume();
    }
};
