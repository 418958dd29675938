#pragma once

// A tiny loopback HTTP responder that misbehaves on request, and a picture maker, for the
// tests of the image loaders.

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return out;
}

// Answers each request with the status and body listed for its path (404 for unknown paths),
// then closes the connection; an endless answer streams zeros until the client hangs up.
// Counts the requests per path.
class TinyHttp : public QObject
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        bool endless = false;
        qint64 claimedLength = -1; // sent as Content-Length when an endless body is not negative
    };

    TinyHttp()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                serve(socket);
        });
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            qFatal("no loopback port");
    }

    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    // Answers for a path, used in turn; the last one repeats.
    void route(const QString &path, QList<Answer> answers) { m_routes[path] = answers; }
    int hits(const QString &path) const { return m_hits.value(path); }
    // Bytes of endless bodies written before the client hung up, and whether it did.
    qint64 streamed() const { return m_streamed; }
    bool hungUp() const { return m_hungUp; }
    int totalHits() const
    {
        int total = 0;
        for (int n : m_hits)
            total += n;
        return total;
    }

private:
    void serve(QTcpSocket *socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> words = buffer->left(buffer->indexOf("\r\n")).split(' ');
            const QString path = words.size() > 1 ? QString::fromLatin1(words.at(1)) : QString();
            const int turn = m_hits[path]++;
            Answer answer{404, "not here"};
            if (m_routes.contains(path)) {
                const QList<Answer> &answers = m_routes[path];
                answer = answers.at(qMin<qsizetype>(turn, answers.size() - 1));
            }
            if (answer.endless) {
                stream(socket, answer);
                return;
            }
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n"
                + "Content-Type: application/octet-stream\r\nContent-Length: "
                + QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n\r\n"
                + answer.body;
            socket->write(reply);
            socket->disconnectFromHost();
        });
    }

    void stream(QTcpSocket *socket, const Answer &answer)
    {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n";
        if (answer.claimedLength >= 0)
            head += "Content-Length: " + QByteArray::number(answer.claimedLength) + "\r\n";
        socket->write(head + "Connection: close\r\n\r\n" + answer.body);
        const QByteArray chunk(64 << 10, '\0');
        const auto pump = [this, socket, chunk] {
            while (socket->state() == QAbstractSocket::ConnectedState
                   && socket->bytesToWrite() < chunk.size())
                socket->write(chunk);
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, pump](qint64 written) {
            m_streamed += written;
            pump();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this] { m_hungUp = true; });
        pump();
    }

    QTcpServer m_server;
    qint64 m_streamed = 0;
    bool m_hungUp = false;
    QHash<QString, QList<Answer>> m_routes;
    QHash<QString, int> m_hits;
};

} // namespace
