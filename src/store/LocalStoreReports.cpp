// Reporting a user, or one of a user's messages.

#include "store/LocalStore.h"

#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/HttpMethods.h"
#include "model/TextLimits.h"

#include <QJsonObject>
#include <QPointer>

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

    QPointer<LocalStore> self(this);
    ChatClient *client = m_client.get();
    std::exception_ptr failure;
    try {
        const QByteArray answer = co_await client->request(kPost, path, body);
        // An answer without the report's id is no proof that it was filed.
        if (!ApiDecoder::resourceId(answer))
            throw ChatAPIError::invalidResponse(500);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return std::nullopt;
    if (failure) {
        showAPI(failure);
        try {
            std::rethrow_exception(failure);
        } catch (const ChatAPIError &e) {
            co_return e.message;
        } catch (...) {
            co_return kTemporaryErrorText;
        }
    }
    editReports([&](QList<ReportRecord> &list) { list.append(record()); });
    persist();
    co_return std::nullopt;
}
