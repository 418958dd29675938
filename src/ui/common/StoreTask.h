#pragma once

#include "api/ChatErrors.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>

#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// Runs a store operation that a view started and hands its outcome back only while `context`
// lives. QCoro tasks cannot be cancelled: a page may be closed while the service answers, and
// the answer then has nowhere to go.
//
// `done` gets the task's result, or `std::nullopt` when the task failed with one of the errors
// the store and its client throw (the store has already told the user why). A task without a
// result calls `done()` once it ends, failed or not. Any other exception is a fault of the
// program: it is logged, shown as the temporary error (see setFaultNotice()) and ends the
// operation like a failure, so that no page waits for ever for an answer that never comes.
namespace StoreTask {

// How the user is told of a failure nobody expected; the application points it at the store's
// notice. Unset, such a failure is only logged.
void setFaultNotice(std::function<void()> show);

namespace detail {

// Logs the exception at hand and shows the temporary error.
void reportFault(const std::exception_ptr &fault);

template<typename T, typename Done>
QCoro::Task<> run(QCoro::Task<T> task, QPointer<QObject> context, Done done)
{
    using Result = std::conditional_t<std::is_void_v<T>, bool, std::optional<T>>;
    Result result{};
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
        } else {
            result = co_await std::move(task);
        }
    } catch (...) {
        if (const std::exception_ptr error = std::current_exception(); !isServiceFailure(error))
            reportFault(error);
    }
    if (!context)
        co_return;
    if constexpr (std::is_void_v<T>)
        done();
    else
        done(std::move(result));
}

} // namespace detail

template<typename T, typename Done>
void whenDone(QCoro::Task<T> &&task, QObject *context, Done done)
{
    detail::run(std::move(task), QPointer<QObject>(context), std::move(done));
}

// For an operation whose failure reads like one of its own results: `done` gets `failed`
// instead of the result when the task throws (`std::nullopt` for "no answer", the temporary
// error text for an operation that answers with an error text).
template<typename T, typename Done>
void whenDone(QCoro::Task<T> &&task, QObject *context, std::type_identity_t<T> failed, Done done)
{
    whenDone(std::move(task), context,
             [failed = std::move(failed), done = std::move(done)](std::optional<T> &&result) {
                 done(result ? std::move(*result) : failed);
             });
}

} // namespace StoreTask
