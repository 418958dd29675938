#pragma once

#include "api/ChatErrors.h"
#include "files/LogCategories.h"
#include "store/LocalStore.h"

#include <QCoroTask>
#include <QPointer>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// One guard for the store's calls to the service. QCoro tasks cannot be cancelled: the store
// may be gone when an answer comes, and a task that nobody awaits loses its exception.
//
// Await these into a named value and test that, never inside an `if` condition: with g++ 12 a
// `co_await` of settle() in a condition resumed a destroyed coroutine (seen under
// AddressSanitizer).
namespace StoreCall {

// Logs `error` as critical when it is a fault of the program: anything but the service's own
// errors, which calls are expected to throw.
inline void logIfFault(const std::exception_ptr &error)
{
    if (!isServiceFailure(error))
        logFault(error);
}

// What a call gives when it succeeds: its result, or std::monostate for a call without one.
template<typename T>
using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

// Awaits `call` on behalf of `store`. Gives the call's result while the store lives, and nothing
// when the store went away meanwhile (nothing else runs then: the caller just ends) or when the
// call failed. A failure runs `failed` with the error, only while the store lives. The service's
// errors are what a call is expected to throw; anything else is a fault of the program: it is
// logged as critical, then goes to `failed` as well (showAPI() shows it as the temporary error),
// so that what a failure undoes is undone and no page stays busy for ever.
template<typename T, typename Failed>
QCoro::Task<std::optional<Value<T>>> attempt(LocalStore *store, QCoro::Task<T> call, Failed failed)
{
    QPointer<LocalStore> self(store);
    std::exception_ptr error;
    std::optional<Value<T>> result;
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(call);
            result.emplace();
        } else {
            result.emplace(co_await std::move(call));
        }
    } catch (...) {
        error = std::current_exception();
        logIfFault(error);
    }
    if (!self)
        co_return std::nullopt;
    if (error)
        failed(error);
    co_return result;
}

// The same with the usual reaction to a failure: the store's notice shows it.
template<typename T>
QCoro::Task<std::optional<Value<T>>> attempt(LocalStore *store, QCoro::Task<T> call)
{
    return attempt(store, std::move(call),
                   [store](const std::exception_ptr &error) { store->showAPI(error); });
}

// Awaits `call` like attempt(), for a caller that goes on whether the call succeeded or not:
// true while the store lives.
template<typename T, typename Failed>
QCoro::Task<bool> settle(LocalStore *store, QCoro::Task<T> call, Failed failed)
{
    QPointer<LocalStore> self(store);
    QCoro::Task<std::optional<Value<T>>> attempted
        = attempt(store, std::move(call), std::move(failed));
    co_await attempted;
    co_return !self.isNull();
}

template<typename T>
QCoro::Task<bool> settle(LocalStore *store, QCoro::Task<T> call)
{
    return settle(store, std::move(call),
                  [store](const std::exception_ptr &error) { store->showAPI(error); });
}

// The reaction to a failure that the user need not hear of: none (a fault is still logged).
inline void quiet(const std::exception_ptr &) { }

// The service's message for its refusal, the temporary error text for anything else.
inline QString failureText(const std::exception_ptr &error)
{
    if (!error)
        return kTemporaryErrorText;
    try {
        std::rethrow_exception(error);
    } catch (const ChatAPIError &e) {
        return e.message;
    } catch (...) {
        return kTemporaryErrorText;
    }
}

// failureText() for a failure the store caught itself, outside attempt(): a fault of the
// program (anything but the service's errors, which calls are expected to throw) is logged as
// critical first, so that it does not pass for a passing trouble of the service.
inline QString caughtText(const std::exception_ptr &error)
{
    logIfFault(error);
    return failureText(error);
}

// Whether `error` is the service's refusal with the HTTP status `status`.
inline bool hasStatus(const std::exception_ptr &error, int status)
{
    try {
        std::rethrow_exception(error);
    } catch (const ChatAPIError &e) {
        return e.status == status;
    } catch (...) {
        return false;
    }
}

} // namespace StoreCall
