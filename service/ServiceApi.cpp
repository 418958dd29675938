#include "service/ServiceApi.h"

#include "service/ServiceState.h"
#include "service/WireInput.h"

#include <QJsonDocument>

ApiReply ApiReply::json(const QJsonObject &o, int status)
{
    ApiReply r;
    r.status = status;
    r.body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return r;
}

ApiReply ApiReply::error(int status, const QString &code, const QString &message)
{
    return json({{QStringLiteral("code"), code}, {QStringLiteral("message"), message}}, status);
}

ApiReply ApiReply::empty(int status)
{
    return json({}, status);
}

ServiceApi::ServiceApi(ServiceState &state)
    : m_state(state)
{
    addAuthRoutes();
    addSocialRoutes();
    addRoomRoutes();
    addUploadRoutes();
}

void ServiceApi::add(const char *method, const QString &path, bool authorized, bool takesBody,
                     Handler handler)
{
    m_routes.append({QByteArray(method), path.split(QLatin1Char('/'), Qt::SkipEmptyParts),
                     authorized, takesBody, std::move(handler)});
}

ServiceUser &ServiceApi::meUser(const ApiCall &c)
{
    return m_state.requireUser(c.me);
}

QUuid ServiceApi::segmentUuid(const ApiCall &c, int index) const
{
    return WireInput::pathUuid(c.segments.value(index));
}

ApiReply ServiceApi::handle(ApiCall call)
{
    // Any request but a read may have changed data, refused or not: some refusals come after
    // a change (a friend request accepted and then found blocked is gone).
    const bool reads = call.method == "GET" || call.method == "HEAD";
    ApiReply reply = answer(std::move(call));
    if (!reads)
        m_state.noteChange();
    return reply;
}

ApiReply ServiceApi::answer(ApiCall call)
{
    try {
        const Route *found = nullptr;
        bool pathKnown = false;
        for (const Route &route : m_routes) {
            if (route.pattern.size() != call.segments.size())
                continue;
            bool match = true;
            for (int i = 0; i < route.pattern.size() && match; ++i)
                match = route.pattern[i] == QLatin1String("{}")
                    || route.pattern[i] == call.segments[i];
            if (!match)
                continue;
            pathKnown = true;
            if (route.method == call.method) {
                found = &route;
                break;
            }
        }
        if (!found) {
            if (pathKnown)
                return ApiReply::error(405, QStringLiteral("method_not_allowed"),
                                       QStringLiteral("허용되지 않는 요청 방식입니다."));
            return ApiReply::error(404, QStringLiteral("not_found"),
                                   QStringLiteral("요청한 주소를 찾을 수 없습니다."));
        }
        const bool isUpload
            = call.method == "PUT" && call.segments.value(0) == QLatin1String("upload");
        if (!isUpload && call.body.size() > maxJsonBody)
            return ApiReply::error(413, QStringLiteral("payload_too_large"),
                                   QStringLiteral("요청 본문이 너무 큽니다."));
        if (found->authorized) {
            const QByteArray header = call.headers.value("authorization");
            const QByteArray prefix = "Bearer ";
            std::optional<QUuid> user;
            if (header.startsWith(prefix)) {
                call.accessToken = QString::fromUtf8(header.mid(prefix.size())).trimmed();
                user = m_state.authenticate(call.accessToken);
            }
            if (!user)
                return ApiReply::error(401, QStringLiteral("unauthorized"),
                                       QStringLiteral("로그인이 필요합니다."));
            call.me = *user;
        }
        if (found->takesBody)
            call.json = WireInput::object(call.body);
        return found->handler(this, call);
    } catch (const ServiceError &e) {
        return ApiReply::error(e.status, e.code, e.message);
    }
}
