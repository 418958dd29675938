#include "api/SendOnce.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <cstring>

namespace {

// A request body that can be read once only: sequential, so that Qt cannot seek back to its
// start for a second copy of the request.
class BodyReadOnce : public QIODevice
{
public:
    explicit BodyReadOnce(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    // Asked for by Qt before it would send the request again: there is no second copy.
    bool reset() override { return false; }
    qint64 bytesAvailable() const override
    {
        return m_bytes.size() - m_read + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min(maxSize, m_bytes.size() - m_read);
        std::memcpy(data, m_bytes.constData() + m_read, size_t(n));
        m_read += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_read = 0;
};

} // namespace

QNetworkReply *sendOnce(QNetworkAccessManager &network, QNetworkRequest request,
                        const QByteArray &method, const QByteArray &body)
{
    // Without this attribute Qt would first copy the device into a buffer it can replay.
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    auto *once = new BodyReadOnce(body);
    QNetworkReply *reply = network.sendCustomRequest(request, method, once);
    once->setParent(reply);
    return reply;
}

bool mayBeRepeated(const QByteArray &method)
{
    return method == "GET";
}
