#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// One download of a message photo held by the service: a plain GET without any header of the
// program's own (no authorisation), following redirects only within the same origin. The body
// is kept only when the answer's status is exactly 200; it is not checked to be an image. An
// answer larger than the limit is cut off as soon as it passes it. Destroying the download
// aborts the request, and nothing is reported after that.
class PhotoDownload : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 limit = 20ll << 20;
    static constexpr int transferTimeoutMs = 60'000;

    // Starts at once. Only http and https addresses with a host are fetched
    // (RemoteImageCache::isFetchable): anything else (file:, qrc:) would read local data, and
    // fails on a later turn of the event loop.
    PhotoDownload(QNetworkAccessManager &network, const QUrl &url, QObject *parent = nullptr);
    ~PhotoDownload() override;

    bool isRunning() const { return !m_reply.isNull(); }

signals:
    // Exactly one of the two, once.
    void downloaded(const QByteArray &body);
    void failed();

private:
    void finish();

    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
};
