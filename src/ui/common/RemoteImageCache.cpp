#include "ui/common/RemoteImageCache.h"

#include "ui/common/ImageDecodeJob.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>
#include <utility>

RemoteImageCache::RemoteImageCache(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{
    m_cache.setMaxCost(defaultMaxBytes);
    m_network->setTransferTimeout(transferTimeoutMs);
}

RemoteImageCache *RemoteImageCache::shared()
{
    static QPointer<RemoteImageCache> instance;
    if (!instance)
        instance = new RemoteImageCache(QCoreApplication::instance());
    return instance;
}

QString RemoteImageCache::keyOf(const QUrl &url)
{
    return QString::fromLatin1(url.adjusted(QUrl::NormalizePathSegments).toEncoded());
}

QImage RemoteImageCache::cached(const QString &address) const
{
    const QUrl url(address.trimmed());
    if (!isFetchable(url))
        return {};
    if (const QImage *image = m_cache.object(keyOf(url)))
        return *image;
    return {};
}

void RemoteImageCache::deliverLater(QObject *context, Callback done, const QImage &image)
{
    QTimer::singleShot(0, context, [done = std::move(done), image] { done(image); });
}

void RemoteImageCache::fetch(const QString &address, QObject *context, Callback done)
{
    if (!done)
        return;
    if (!context)
        context = this;
    const QUrl url(address.trimmed());
    // file:, qrc: and the like would read local data: such an address fails at once.
    const QImage kept = cached(address);
    if (!kept.isNull() || !isFetchable(url)) {
        deliverLater(context, std::move(done), kept);
        return;
    }
    const QString key = keyOf(url);
    const bool started = m_waiting.contains(key);
    m_waiting[key].append({QPointer<QObject>(context), std::move(done)});
    if (!started)
        start(url, key);
}

void RemoteImageCache::start(const QUrl &url, const QString &key)
{
    QNetworkRequest request(url);
    // Redirects may not lead from https to http; the final answer must still be a 200.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_network->get(request);
    // The network thread stops reading from the socket while the reply's buffer is full, so
    // reading the body here as it comes keeps at most one chunk in flight. Left to itself the
    // reply buffers whatever arrives, and the progress signals that would cut an endless body
    // come late whenever the window is busy: hundreds of megabytes before a 20 MB cut.
    reply->setReadBufferSize(readChunkBytes);
    const qint64 limit = m_downloadLimit;
    auto body = std::make_shared<QByteArray>();
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, limit] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::readyRead, reply, [reply, body, limit] {
        body->append(reply->read(limit + 1 - body->size()));
        if (body->size() > limit) {
            body->clear();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, key, body] { finish(reply, key, std::exchange(*body, {})); });
}

void RemoteImageCache::finish(QNetworkReply *reply, const QString &key, QByteArray body)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        body.append(reply->read(m_downloadLimit + 1 - body.size()));
        if (!body.isEmpty() && body.size() <= m_downloadLimit) {
            ImageDecodeJob::start(
                {.bytes = std::move(body), .maxSide = maxSide}, this,
                [this, key](const ImageDecodeJob::Result &result) { deliver(key, result.image); });
            return;
        }
    }
    deliver(key, QImage());
}

void RemoteImageCache::deliver(const QString &key, const QImage &image)
{
    if (!image.isNull())
        m_cache.insert(key, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes()));

    // Taken out before the callbacks run: one of them may ask for the same address again.
    const QList<Waiter> waiters = m_waiting.take(key);
    for (const Waiter &waiter : waiters) {
        if (waiter.context)
            waiter.done(image);
    }
}
