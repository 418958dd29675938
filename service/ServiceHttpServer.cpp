#include "service/ServiceHttpServer.h"

#include "service/ServiceState.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {
QByteArray methodName(QHttpServerRequest::Method m)
{
    switch (m) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    case QHttpServerRequest::Method::Options:
        return "OPTIONS";
    case QHttpServerRequest::Method::Patch:
        return "PATCH";
    case QHttpServerRequest::Method::Connect:
        return "CONNECT";
    case QHttpServerRequest::Method::Trace:
        return "TRACE";
    default:
        return "UNKNOWN";
    }
}

QByteArray reasonPhrase(int status)
{
    const QMetaEnum e = QMetaEnum::fromType<QHttpServerResponder::StatusCode>();
    const char *key = e.valueToKey(status);
    return key ? QByteArray(key) : QByteArray("Status");
}
} // namespace

ServiceHttpServer::ServiceHttpServer(ServiceState &state, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_api(state)
{ }

bool ServiceHttpServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const QUrl url = request.url();
    const QString path = url.path(QUrl::FullyEncoded);
    RecordedRequest record;
    record.method = methodName(request.method());
    record.target = path;
    if (url.hasQuery())
        record.target += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    for (const auto &[name, value] : request.headers())
        record.headers.insert(name.toLower(), value);
    record.body = request.body();
    recorded.append(record);
    emit requestRecorded();

    const bool upgrade
        = record.headers.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
    if (path == QLatin1String("/v1/ws") && upgrade)
        return true; // written nothing: the WebSocket server takes the socket over

    ApiCall call;
    call.method = record.method;
    for (const QString &piece : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        call.segments.append(QUrl::fromPercentEncoding(piece.toUtf8()));
    call.query = QUrlQuery(url);
    call.headers = record.headers;
    call.body = record.body;
    const bool close
        = record.headers.value("connection").compare("close", Qt::CaseInsensitive) == 0;

    if (path == QLatin1String("/v1/ws")) {
        write(socket,
              ApiReply::error(400, QStringLiteral("websocket_required"),
                              QStringLiteral("이 주소는 WebSocket 연결만 받습니다.")),
              close);
        return true;
    }

    if (dropRepeat(record)) {
        const ScriptedFault drop{ScriptedFault::Drop, {}, {}, 0, 0, {}, {}, 0};
        respond(socket, std::move(call), &drop, close);
        return true;
    }

    // Scripted faults: every matching fault uses up one of its turns; delays add up, and the
    // first failure, non-JSON answer or drop decides the outcome.
    int delay = 0;
    std::optional<ScriptedFault> outcome;
    for (ScriptedFault &f : faults) {
        if (f.remaining <= 0 || (!f.method.isEmpty() && f.method != record.method)
            || !record.target.startsWith(f.pathPrefix))
            continue;
        --f.remaining;
        if (f.kind == ScriptedFault::Delay)
            delay += f.milliseconds;
        else if (!outcome)
            outcome = f;
    }
    faults.removeIf([](const ScriptedFault &f) { return f.remaining <= 0; });

    if (outcome && outcome->kind == ScriptedFault::Drop
        && QList<QByteArray>{"GET", "PUT", "DELETE", "HEAD", "OPTIONS"}.contains(record.method))
        m_shadows.append(
            {record.method, record.target, 2, QDateTime::currentMSecsSinceEpoch() + 1000 + delay});

    if (delay <= 0) {
        respond(socket, std::move(call), outcome ? &*outcome : nullptr, close);
        return true;
    }
    QPointer<QTcpSocket> guarded(socket);
    QTimer::singleShot(
        delay, this, [this, guarded, call = std::move(call), outcome, close]() mutable {
            // The request takes effect even when the caller has gone meanwhile.
            respond(guarded.data(), std::move(call), outcome ? &*outcome : nullptr, close);
        });
    return true;
}

bool ServiceHttpServer::dropRepeat(const RecordedRequest &record)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_shadows.removeIf([now](const DropShadow &d) { return d.remaining <= 0 || d.untilMs < now; });
    for (DropShadow &d : m_shadows) {
        if (d.method == record.method && d.target == record.target) {
            --d.remaining;
            return true;
        }
    }
    return false;
}

void ServiceHttpServer::respond(QTcpSocket *socket, ApiCall call, const ScriptedFault *outcome,
                                bool close)
{
    if (outcome && outcome->kind == ScriptedFault::Drop) {
        // The connection closes in the middle of the status line, so the client sees a
        // transport failure without any status. (Closing before any byte of an answer would
        // only make the client's network stack send the request again.)
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            socket->write("HTTP/1.1 ");
            socket->disconnectFromHost();
        }
        return;
    }
    ApiReply reply;
    if (outcome && outcome->kind == ScriptedFault::Fail) {
        reply = ApiReply::error(outcome->status, outcome->code, outcome->message);
    } else if (outcome && outcome->kind == ScriptedFault::NonJson) {
        reply.status = outcome->status;
        reply.contentType = "text/html";
        reply.body = "<html><body>Service unavailable</body></html>";
    } else {
        reply = m_api.handle(std::move(call));
    }
    if (socket)
        write(socket, reply, close);
}

void ServiceHttpServer::write(QTcpSocket *socket, const ApiReply &reply, bool close)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' '
        + reasonPhrase(reply.status) + "\r\n";
    head += "Content-Type: " + reply.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += "\r\n";
    socket->write(head);
    socket->write(reply.body);
    if (close)
        socket->disconnectFromHost();
}

void ServiceHttpServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    Q_UNUSED(request);
    write(socket,
          ApiReply::error(404, QStringLiteral("not_found"),
                          QStringLiteral("요청한 주소를 찾을 수 없습니다.")),
          false);
}
