#include "ui/panels/PhotoDownload.h"

#include "ui/common/RemoteImageCache.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <utility>

PhotoDownload::PhotoDownload(QNetworkAccessManager &network, const QUrl &url, QObject *parent)
    : QObject(parent)
{
    if (!RemoteImageCache::isFetchable(url)) {
        QTimer::singleShot(0, this, &PhotoDownload::failed);
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    request.setTransferTimeout(transferTimeoutMs);
    // Nothing of the program's own goes with the request, cookies set by an earlier answer
    // included, and nothing the answer sets is kept.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    QNetworkReply *reply = network.get(request);
    m_reply = reply;
    // The body is read as it arrives, at most a chunk ahead: the network layer stops reading
    // from the socket while the reply's buffer is full, so an endless answer cannot pile up in
    // memory between two turns of the event loop.
    reply->setReadBufferSize(RemoteImageCache::readChunkBytes);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        m_body.append(reply->read(limit + 1 - m_body.size()));
        if (m_body.size() > limit)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, &PhotoDownload::finish);
}

PhotoDownload::~PhotoDownload()
{
    if (QNetworkReply *reply = m_reply) {
        // abort() emits finished at once: cut the connections first so that nothing is
        // reported from a download that is going away.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void PhotoDownload::finish()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    if (!reply)
        return;
    reply->deleteLater();
    const bool answered = reply->error() == QNetworkReply::NoError
        && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    if (answered)
        m_body.append(reply->read(limit + 1 - m_body.size()));
    // An empty body is no photo at all: there is nothing to keep.
    if (!answered || m_body.isEmpty() || m_body.size() > limit) {
        m_body.clear();
        emit failed();
        return;
    }
    emit downloaded(std::exchange(m_body, {}));
}
