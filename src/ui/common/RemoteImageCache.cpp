#include "ui/common/RemoteImageCache.h"

#include "ui/common/ImageDecodeJob.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
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
    if (!instance) {
        instance = new RemoteImageCache(QCoreApplication::instance());
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (!folder.isEmpty())
            instance->useDiskCache(folder + QStringLiteral("/pictures"));
    }
    return instance;
}

void RemoteImageCache::useDiskCache(const QString &folder)
{
    // Kept by hand rather than as the network manager's HTTP cache: that one keeps an answer
    // only when its headers allow, and a picture's address names one picture for good.
    delete m_disk;
    m_disk = new QNetworkDiskCache(this);
    m_disk->setCacheDirectory(folder);
    m_disk->setMaximumCacheSize(diskCacheBytes);
}

void RemoteImageCache::clear()
{
    ++m_generation;
    m_cache.clear();
    if (m_disk)
        m_disk->clear();
    // Answered first, so that an abort's own answer finds nobody waiting any more.
    const QHash<QString, QList<Waiter>> waiting = std::exchange(m_waiting, {});
    for (const QList<Waiter> &waiters : waiting) {
        for (const Waiter &waiter : waiters) {
            if (waiter.context)
                deliverLater(waiter.context, waiter.done, QImage());
        }
    }
    const QList<QNetworkReply *> replies = m_network->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies)
        reply->abort();
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
    if (m_disk) {
        const std::unique_ptr<QIODevice> kept(m_disk->data(url));
        if (kept) {
            QByteArray body = kept->read(m_downloadLimit + 1);
            if (!body.isEmpty() && body.size() <= m_downloadLimit) {
                decode(url, key, std::move(body), false);
                return;
            }
        }
    }
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
            [this, reply, url, key, body, generation = m_generation] {
                if (generation != m_generation) {
                    reply->deleteLater(); // cleared meanwhile: its waiters were answered
                    return;
                }
                finish(reply, url, key, std::exchange(*body, {}));
            });
}

void RemoteImageCache::finish(QNetworkReply *reply, const QUrl &url, const QString &key,
                              QByteArray body)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        body.append(reply->read(m_downloadLimit + 1 - body.size()));
        if (!body.isEmpty() && body.size() <= m_downloadLimit) {
            decode(url, key, std::move(body), true);
            return;
        }
    }
    deliver(key, QImage());
}

void RemoteImageCache::decode(const QUrl &url, const QString &key, QByteArray body, bool keep)
{
    // Only a body that decodes is kept on disk.
    const QByteArray kept = keep && m_disk ? body : QByteArray();
    ImageDecodeJob::start(
        {.bytes = std::move(body), .maxSide = maxSide}, this,
        [this, url, key, kept, generation = m_generation](const ImageDecodeJob::Result &result) {
            if (generation != m_generation)
                return; // cleared meanwhile: its waiters were answered
            if (!result.image.isNull() && !kept.isEmpty())
                keepOnDisk(url, kept);
            deliver(key, result.image);
        });
}

void RemoteImageCache::keepOnDisk(const QUrl &url, const QByteArray &body)
{
    if (!m_disk)
        return;
    QNetworkCacheMetaData meta;
    meta.setUrl(url);
    meta.setSaveToDisk(true);
    QIODevice *device = m_disk->prepare(meta);
    if (!device)
        return;
    if (device->write(body) == body.size())
        m_disk->insert(device);
    else
        m_disk->remove(url);
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
