// Reporting a user, or one of a user's messages.

#include "store/LocalStore.h"

#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/HttpMethods.h"
#include "model/TextLimits.h"
#include "store/StoreCall.h"

#include <QJsonObject>

namespace { } // namespace

QCoro::Task<std::optional<QString>> LocalStore::submitReport(QUuid userId,
                                                             std::optional<QUuid> messageId,
                                                             QString reason, QString note)
{
    const QString trimmedNote = trimmedText(note);
    // The service gets the note whole inside the reason; the record keeps the label apart.
    const QString sentReason
        = trimmedNote.isEmpty() ? reason : reason + QLatin1Char(' ') + trimmedNote;
    std::optional<QUuid> roomId;
    if (messageId) {
        if (const std::optional<ChatMessage> reported = message(*messageId))
            roomId = reported->conversationId;
    }
    const auto record = [&] {
        return ReportRecord{QUuid::createUuid(),
                            userId,
                            messageId,
                            reason,
                            firstGraphemes(trimmedNote, TextLimit::reportNote),
                            QDateTime::currentDateTimeUtc()};
    };

    if (!m_client) {
        editReports([&](QList<ReportRecord> &list) { list.append(record()); });
        persist();
        co_return std::nullopt;
    }

    QJsonObject body;
    body.insert(QStringLiteral("reason"), sentReason);
    body.insert(QStringLiteral("user_id"), wireId(userId));
    if (messageId)
        body.insert(QStringLiteral("message_id"), wireId(*messageId));
    if (messageId && roomId)
        body.insert(QStringLiteral("conversation_id"), wireId(*roomId));
    const ChatPath path = ChatPath::reports();

    std::optional<QString> failure;
    const auto refused = [&](const std::exception_ptr &error) {
        showAPI(error);
        failure = StoreCall::failureText(error);
    };
    const std::optional<QByteArray> answer
        = co_await StoreCall::attempt(this, m_client->request(kPost, path, body), refused);
    if (!answer)
        co_return failure;
    // An answer without the report's id is no proof that it was filed.
    if (!ApiDecoder::resourceId(*answer)) {
        refused(std::make_exception_ptr(ChatAPIError::invalidResponse(500)));
        co_return failure;
    }
    editReports([&](QList<ReportRecord> &list) { list.append(record()); });
    persist();
    co_return std::nullopt;
}
