#pragma once

#include "ui/common/MessageLinks.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkDiskCache;
class QNetworkReply;

// The one loader and memory cache of photos that exist only as an address (avatars and message
// photos held by the service). A plain GET with no headers of the program's own; only http and
// https addresses are fetched, and a photo is kept only after an answer with status 200 whose
// body decodes as an image. Requests for an address already on its way join that download.
// Failures are not remembered: the next request tries again. The body is read as it arrives and
// the download is aborted as soon as it passes the byte limit; it is decoded off the main thread
// through ImageDecodeJob (so a picture claiming too many pixels is refused from its header).
class RemoteImageCache : public QObject
{
    Q_OBJECT
public:
    // Called with the image, or a null image when the address cannot be loaded.
    using Callback = std::function<void(const QImage &image)>;

    static constexpr qint64 defaultMaxBytes = 64ll << 20; // decoded pixels kept in memory
    static constexpr qint64 maxDownloadBytes = 20ll << 20; // larger answers are aborted
    static constexpr qint64 readChunkBytes = 1ll << 20; // read ahead of the body at most
    static constexpr int maxSide = 1280; // longer side of a kept image
    static constexpr int transferTimeoutMs = 60'000;
    static constexpr qint64 diskCacheBytes = 50ll << 20; // downloaded bodies kept on disk

    explicit RemoteImageCache(QObject *parent = nullptr);

    // The process-wide cache, owned by the application object.
    static RemoteImageCache *shared();

    static bool isFetchable(const QUrl &url) { return MessageLinks::isWebLink(url); }

    // The kept image for `address`, or a null image.
    QImage cached(const QString &address) const;

    // Delivers the image for `address` to `done` later, on the event loop (never before this
    // returns), unless `context` is destroyed first. A kept image is delivered without a
    // request; an address that is not http or https fails without one.
    void fetch(const QString &address, QObject *context, Callback done);

    // Keeps downloaded bodies in `folder` as well (at most diskCacheBytes), so that a later
    // run shows them without fetching them again. The shared cache uses the user's cache
    // folder; others keep nothing on disk unless told.
    void useDiskCache(const QString &folder);

    // Forgets every picture, in memory and on disk: the pictures of one user's rooms are not
    // kept for the next. Downloads on their way are aborted and their waiters get a null image
    // later; a picture being decoded meanwhile is neither delivered nor kept.
    void clear();

    void setMaxBytes(qint64 bytes) { m_cache.setMaxCost(bytes); }
    // The download limit, maxDownloadBytes unless set; applies to downloads started later.
    void setDownloadLimit(qint64 bytes) { m_downloadLimit = bytes; }
    // Downloads on their way.
    int pendingCount() const { return int(m_waiting.size()); }

private:
    struct Waiter
    {
        QPointer<QObject> context;
        Callback done;
    };

    static QString keyOf(const QUrl &url);
    void start(const QUrl &url, const QString &key);
    void finish(QNetworkReply *reply, const QUrl &url, const QString &key, QByteArray body);
    void decode(const QUrl &url, const QString &key, QByteArray body, bool keep);
    void keepOnDisk(const QUrl &url, const QByteArray &body);
    void deliver(const QString &key, const QImage &image);
    static void deliverLater(QObject *context, Callback done, const QImage &image);

    QNetworkAccessManager *m_network;
    QNetworkDiskCache *m_disk = nullptr;
    QCache<QString, QImage> m_cache;
    QHash<QString, QList<Waiter>> m_waiting;
    qint64 m_downloadLimit = maxDownloadBytes;
    // Counts clear(): a download or decode begun before the last one keeps nothing.
    quint64 m_generation = 0;
};
