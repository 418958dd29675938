#pragma once

#include <QByteArray>
#include <QObject>

#include <QCoroTask>

#include <chrono>

class QNetworkReply;

// The most an answer of the service (or of an upload address) may hold. A sync page or an
// upload ticket is far smaller; the bound keeps a broken or hostile server from filling memory
// with an answer that never ends.
inline constexpr qint64 kAnswerByteLimit = 8 * 1024 * 1024;

// What one HTTP exchange brought back.
struct HttpAnswer
{
    int status = 0; // 0: not an HTTP answer
    QByteArray body; // empty when oversized
    // The answer declared or sent more than the limit and was cut off: its body is unusable.
    bool oversized = false;

    bool success() const { return status >= 200 && status <= 299; }
};

// Waits for the reply to finish and reads its answer. The reply is aborted as soon as its
// declared length or the bytes received pass `limit`. A connection-level failure (codes below
// 200, or no status line at all) is thrown as ChatTransportError, and so is an exchange still
// unfinished at `deadline` after the call (it is aborted then); HTTP error statuses are returned
// with their body.
QCoro::Task<HttpAnswer> receiveAnswer(QNetworkReply *reply, std::chrono::milliseconds deadline,
                                      qint64 limit = kAnswerByteLimit);

// A reply deleter for std::unique_ptr: the reply may still be inside one of its own signals.
struct DeleteLater
{
    void operator()(QObject *object) const { object->deleteLater(); }
};
