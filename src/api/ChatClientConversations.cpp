#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/HttpMethods.h"

#include <QJsonArray>

namespace {

template<typename T>
T orInvalid(std::optional<T> value)
{
    if (!value)
        throw ChatAPIError::invalidResponse(500);
    return std::move(*value);
}

QJsonArray idArray(const QList<QUuid> &ids)
{
    QJsonArray array;
    for (const QUuid &id : ids)
        array.append(wireId(id));
    return array;
}

} // namespace

QCoro::Task<QByteArray> ChatClient::conversationsAnswer()
{
    co_return co_await request(kGet, ChatPath::conversations());
}

QCoro::Task<QList<APIConversation>> ChatClient::conversations()
{
    const QByteArray data = co_await conversationsAnswer();
    co_return orInvalid(ApiDecoder::conversationPage(data));
}

QCoro::Task<QUuid> ChatClient::createDirect(QUuid userId)
{
    const QJsonObject body{{QStringLiteral("user_id"), wireId(userId)}};
    const QByteArray data = co_await request(kPost, ChatPath::conversations(), body);
    co_return orInvalid(ApiDecoder::resourceId(data));
}

QCoro::Task<QUuid> ChatClient::createGroup(QString title, QList<QUuid> memberIds)
{
    const QJsonObject body{{QStringLiteral("type"), QStringLiteral("group")},
                           {QStringLiteral("title"), title},
                           {QStringLiteral("member_ids"), idArray(memberIds)}};
    const QByteArray data = co_await request(kPost, ChatPath::conversations(), body);
    co_return orInvalid(ApiDecoder::resourceId(data));
}

QCoro::Task<> ChatClient::invite(QUuid conversationId, QList<QUuid> userIds)
{
    const QJsonObject body{{QStringLiteral("user_ids"), idArray(userIds)}};
    co_await request(kPost, ChatPath::members(wireId(conversationId)), body);
}

QCoro::Task<QList<APIMessage>> ChatClient::messages(QUuid conversationId,
                                                    std::optional<qint64> after,
                                                    std::optional<qint64> before)
{
    const QByteArray data
        = co_await request(kGet, ChatPath::messages(wireId(conversationId), after, before));
    co_return orInvalid(ApiDecoder::messagePage(data));
}

QCoro::Task<APIMessage> ChatClient::sendMessage(QUuid conversationId, QUuid clientMsgId,
                                                QString body)
{
    const QJsonObject post{{QStringLiteral("client_msg_id"), wireId(clientMsgId)},
                           {QStringLiteral("body"), body}};
    const QByteArray data
        = co_await request(kPost, ChatPath::messages(wireId(conversationId)), post);
    const APIMessage message = orInvalid(ApiDecoder::decode<APIMessage>(data));
    // The frame is built from the arguments, not from the answer.
    sendRaw(QJsonObject{{QStringLiteral("type"), QStringLiteral("message.send")},
                        {QStringLiteral("conversation_id"), wireId(conversationId)},
                        {QStringLiteral("client_msg_id"), wireId(clientMsgId)},
                        {QStringLiteral("body"), body}});
    co_return message;
}

QCoro::Task<> ChatClient::read(QUuid conversationId, qint64 seq)
{
    const QJsonObject body{{QStringLiteral("seq"), seq}};
    co_await request(kPost, ChatPath::read(wireId(conversationId)), body);
    sendRaw(QJsonObject{{QStringLiteral("type"), QStringLiteral("read")},
                        {QStringLiteral("conversation_id"), wireId(conversationId)},
                        {QStringLiteral("seq"), seq}});
}

QCoro::Task<APIMessage> ChatClient::sendImages(QUuid conversationId, QUuid clientMsgId,
                                               QByteArray jpeg)
{
    const PreparedImage image = co_await upload(jpeg, std::nullopt);
    const QJsonObject attachment{{QStringLiteral("object_key"), image.objectKey},
                                 {QStringLiteral("width"), image.width},
                                 {QStringLiteral("height"), image.height},
                                 {QStringLiteral("byte_size"), image.byteSize}};
    const QJsonObject body{{QStringLiteral("client_msg_id"), wireId(clientMsgId)},
                           {QStringLiteral("attachments"), QJsonArray{attachment}}};
    const QByteArray data = co_await request(kPost, ChatPath::images(wireId(conversationId)), body);
    co_return orInvalid(ApiDecoder::decode<APIMessage>(data));
}

QCoro::Task<QList<SyncRoom>> ChatClient::sync(QString after)
{
    const QByteArray data = co_await request(kGet, ChatPath::sync(after));
    co_return orInvalid(ApiDecoder::syncPage(data));
}
