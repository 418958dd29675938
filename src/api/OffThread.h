#pragma once

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <QCoroFuture>

#include <memory>
#include <type_traits>
#include <utility>

// Starts `work` on Qt's global thread pool. A coroutine awaits the future it gives (co_await,
// through QCoroFuture) and resumes on its own thread, the main thread, with the result in a later
// turn of its event loop; what `work` throws is rethrown there. For pure work on values only:
// `work` must hold nothing that another thread may change or destroy meanwhile (implicitly
// shared Qt values taken by value are safe). The application object waits for the pool's running
// work when it goes; a coroutine whose owner went away meanwhile resumes all the same and must
// check for its owner itself.
//
// Not a coroutine itself: g++ 12 destroys a temporary handed to a coroutine inside a co_await
// expression twice (the lambda's captures were freed twice). Keep the future in a named value and
// await that.
template<typename Work>
QFuture<std::invoke_result_t<Work>> offThread(Work work)
{
    using Result = std::invoke_result_t<Work>;
    const auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
        try {
            if constexpr (std::is_void_v<Result>)
                work();
            else
                promise->addResult(work());
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}
