#pragma once

#include <QByteArray>
#include <QObject>

#include <QCoroTask>

#include <chrono>

class QNetworkReply;

// The most an answer may hold, by what it carries. The bounds keep a broken or hostile server
// from filling memory with an answer that never ends, and are sized for the largest real answer
// of each kind. A text of 4,000 Korean characters takes 12 KB as UTF-8 and 24 KB when every
// character is written as a \uXXXX escape; sizes below assume the escapes.
//
// A room list or a sync page: 20,000 rooms with their members come to about 20 MB, 1,000 rooms
// whose last messages hold 4,000 characters to about 25 MB, and a sync page of 50 rooms with 50
// such messages each to about 60 MB. The bound leaves twice that.
inline constexpr qint64 kListAnswerLimit = 128 * 1024 * 1024;
// Any other list: a page of messages (50 of the longest are about 1.2 MB), members, friends.
inline constexpr qint64 kPageAnswerLimit = 16 * 1024 * 1024;
// One record: a message, a user, a room with its members, a picture's message, a token answer,
// an upload ticket. The longest message is 24 KB, a room of 1,000 members about 300 KB.
inline constexpr qint64 kSingleAnswerLimit = 2 * 1024 * 1024;
// An answer outside 200 to 299: an error object of a code and a short message, or a proxy's
// error page. Past this only its status is of use.
inline constexpr qint64 kErrorAnswerLimit = 64 * 1024;

// What one HTTP exchange brought back.
struct HttpAnswer
{
    int status = 0; // 0: not an HTTP answer
    QByteArray body; // empty when oversized
    // The answer declared or sent more than its bound and was cut off: its body is unusable.
    bool oversized = false;

    bool success() const { return status >= 200 && status <= 299; }
};

// Waits for the reply to finish and reads its answer. The reply is aborted as soon as its
// declared length or the bytes received pass its bound: `limit` for a success, and
// kErrorAnswerLimit (or `limit` when smaller) for any other status. A connection-level failure
// (codes below 200, or no status line at all) is thrown as ChatTransportError, and so is an
// exchange still unfinished at `deadline` after the call (it is aborted then); HTTP error statuses
// are returned with their body.
QCoro::Task<HttpAnswer> receiveAnswer(QNetworkReply *reply, std::chrono::milliseconds deadline,
                                      qint64 limit = kSingleAnswerLimit);

// A reply deleter for std::unique_ptr: the reply may still be inside one of its own signals.
struct DeleteLater
{
    void operator()(QObject *object) const { object->deleteLater(); }
};
