#include "api/HttpAnswer.h"

#include "api/ChatErrors.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <QCoroNetworkReply>

#include <algorithm>
#include <memory>

QCoro::Task<HttpAnswer> receiveAnswer(QNetworkReply *reply, std::chrono::milliseconds deadline,
                                      qint64 limit)
{
    // The body is read only at the end, so what is buffered is what has arrived. The flag is
    // set before the abort: the abort finishes the reply (and resumes this coroutine) at once.
    // The bound is known once the status line is in: an error keeps the tighter one.
    const auto oversized = std::make_shared<bool>(false);
    const auto cutOffBeyond = [reply, limit, oversized](qint64 bytes) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool success = status.isValid() && status.toInt() >= 200 && status.toInt() <= 299;
        const qint64 bound = success ? limit : std::min(limit, kErrorAnswerLimit);
        if (bytes > bound && !*oversized) {
            *oversized = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, cutOffBeyond] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid())
            cutOffBeyond(declared.toLongLong());
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply,
                     [reply, cutOffBeyond] { cutOffBeyond(reply->bytesAvailable()); });
    // The transfer timeout restarts with every byte; this bounds the exchange as a whole, so
    // that an answer trickling in byte by byte cannot keep the caller waiting for ever.
    const auto late = std::make_shared<bool>(false);
    auto *deadlineTimer = new QTimer(reply);
    deadlineTimer->setSingleShot(true);
    QObject::connect(deadlineTimer, &QTimer::timeout, reply, [reply, late, oversized] {
        if (*oversized || reply->isFinished())
            return;
        *late = true;
        reply->abort();
    });
    deadlineTimer->start(deadline);

    co_await reply;
    deadlineTimer->stop();

    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    HttpAnswer answer;
    answer.status = statusAttribute.isValid() ? statusAttribute.toInt() : 0;
    if (*oversized) {
        answer.oversized = true;
        co_return answer;
    }
    if (*late)
        throw ChatTransportError(QNetworkReply::TimeoutError,
                                 QStringLiteral("The exchange passed its deadline."));
    const QNetworkReply::NetworkError failure = reply->error();
    // Connection-level failures (codes below 200) end the exchange without a usable answer
    // even when a status line arrived before the connection broke.
    if (failure != QNetworkReply::NoError && (failure < 200 || !statusAttribute.isValid())) {
        // A request that must not go out twice fails this way where Qt would have sent it
        // again: its connection closed before the answer's head arrived.
        if (failure == QNetworkReply::ContentReSendError)
            throw ChatTransportError(QNetworkReply::RemoteHostClosedError, reply->errorString());
        throw ChatTransportError(failure, reply->errorString());
    }
    answer.body = reply->readAll();
    co_return answer;
}
