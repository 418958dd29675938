#include "api/ChatClient.h"
#include "api/HttpAnswer.h"
#include "api/HttpMethods.h"
#include "api/SendOnce.h"

#include <QBuffer>
#include <QImageReader>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>

namespace {

// A header name is an HTTP token; a value holds no line breaks or NULs. Pairs that came from the
// network and break these rules would inject headers of their own: they are left out.
bool safeHeader(const QString &name, const QString &value)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool token = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z')
            || (u >= u'0' && u <= u'9') || QStringView(u"!#$%&'*+-.^_`|~").contains(c);
        if (!token)
            return false;
    }
    for (const QChar c : value) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return false;
    }
    return true;
}

} // namespace

std::pair<qint64, qint64> ChatClient::pixelSize(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {1, 1};
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    const qint64 width = size.isValid() ? size.width() : 1;
    const qint64 height = size.isValid() ? size.height() : 1;
    return {std::max<qint64>(width, 1), std::max<qint64>(height, 1)};
}

bool ChatClient::uploadAddressAllowed(const QUrl &url, const QUrl &base)
{
    // The address comes from the network: the photo goes only to a web server, never to a
    // local file or resource. Plain http only when the service itself is spoken to over http.
    if (url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    return scheme == QLatin1String("http") && base.scheme().toLower() == QLatin1String("http");
}

QCoro::Task<PreparedImage> ChatClient::upload(QByteArray jpeg, std::optional<QString> kind)
{
    QJsonObject ticketBody{{QStringLiteral("byte_size"), qint64(jpeg.size())}};
    if (kind)
        ticketBody.insert(QStringLiteral("kind"), *kind);
    const QByteArray answer = co_await request(kPost, ChatPath::uploads(), ticketBody);

    // The ticket is read as plain JSON, keys as sent.
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(answer, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw ChatParseError(parseError.errorString());
    if (!doc.isObject())
        throw ChatAPIError::invalidResponse(500);
    const QJsonObject ticket = doc.object();
    const QJsonValue key = ticket.value(QLatin1String("object_key"));
    const QJsonValue address = ticket.value(QLatin1String("upload_url"));
    if (!key.isString() || !address.isString())
        throw ChatAPIError::invalidResponse(500);
    const QUrl url(address.toString(), QUrl::StrictMode);
    if (address.toString().isEmpty() || !url.isValid())
        throw ChatAPIError::invalidResponse(500);
    if (!uploadAddressAllowed(url, m_baseUrl))
        throw ChatAPIError::uploadFailed(0);

    co_await putUpload(url, ticket.value(QLatin1String("headers")), jpeg);

    const auto [width, height] = pixelSize(jpeg);
    co_return PreparedImage{key.toString(), width, height, qint64(jpeg.size())};
}

QCoro::Task<> ChatClient::putUpload(QUrl url, QJsonValue headers, QByteArray jpeg)
{
    QNetworkRequest request(url);
    applyCommonRequestSettings(request);

    bool hasContentType = false;
    if (headers.isObject()) {
        const QJsonObject object = headers.toObject();
        const bool allText = std::all_of(object.begin(), object.end(),
                                         [](const QJsonValue &v) { return v.isString(); });
        if (allText) {
            for (auto it = object.begin(); it != object.end(); ++it) {
                const QString value = it.value().toString();
                if (!safeHeader(it.key(), value))
                    continue;
                request.setRawHeader(it.key().toLatin1(), value.toUtf8());
                if (it.key().compare(QLatin1String("Content-Type"), Qt::CaseInsensitive) == 0)
                    hasContentType = true;
            }
        }
    }
    if (!hasContentType)
        request.setRawHeader("Content-Type", "image/jpeg");
    // No Authorization and no Accept: the bearer token never goes to the upload address.

    // The photo goes out once at most, as every request that stores something.
    std::unique_ptr<QNetworkReply, DeleteLater> reply(sendOnce(*m_network, request, "PUT", jpeg));
    const HttpAnswer answer
        = co_await receiveAnswer(reply.get(), deadlineFor(m_options.requestDeadline, jpeg.size()));
    if (answer.oversized || !answer.success())
        throw ChatAPIError::uploadFailed(answer.status);
}
