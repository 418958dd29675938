#include "service/ServiceApi.h"
#include "service/ServiceState.h"
#include "service/WireInput.h"

using namespace WireInput;

// Photos never travel inside the REST calls: a ticket names an object and an address on this
// same server, the bytes are PUT there without a token, and the object is then served back by
// a plain GET.
void ServiceApi::addUploadRoutes()
{
    add("POST", QStringLiteral("/v1/uploads"), true, true, &ServiceApi::uploadTicket);
    add("PUT", QStringLiteral("/upload/{}"), false, false, &ServiceApi::uploadBytes);
    add("GET", QStringLiteral("/upload/{}"), false, false, &ServiceApi::file);
    add("GET", QStringLiteral("/v1/files/{}"), false, false, &ServiceApi::file);
}

ApiReply ServiceApi::uploadTicket(ApiCall &c)
{
    const qint64 size = requireInt(c.json, QStringLiteral("byte_size"));
    const auto kind = optString(c.json, QStringLiteral("kind"));
    if (kind && *kind != QLatin1String("avatar"))
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("잘못된 요청입니다: \"kind\"는 \"avatar\"만 쓸 수 있습니다."));
    if (size < 1)
        refuse(400, QStringLiteral("invalid_request"),
               QStringLiteral("잘못된 요청입니다: \"byte_size\"는 1 이상이어야 합니다."));
    if (size > m_state.maxUploadBytes)
        refuse(413, QStringLiteral("too_large"), QStringLiteral("사진이 너무 큽니다."));
    const QString key = QUuid::createUuid().toString(QUuid::Id128);
    StoredUpload upload;
    upload.owner = c.me;
    upload.byteSize = size;
    upload.kind = kind.value_or(QString());
    m_state.uploads.insert(key, upload);
    return ApiReply::json({{QStringLiteral("object_key"), key},
                           {QStringLiteral("upload_url"),
                            m_state.baseUrl.toString() + QStringLiteral("/upload/") + key}});
}

ApiReply ServiceApi::uploadBytes(ApiCall &c)
{
    const auto it = m_state.uploads.find(c.segments.value(1));
    if (it == m_state.uploads.end())
        refuse(404, QStringLiteral("not_found"), QStringLiteral("업로드 주소를 찾을 수 없습니다."));
    if (c.body.size() > m_state.maxUploadBytes)
        refuse(413, QStringLiteral("too_large"), QStringLiteral("사진이 너무 큽니다."));
    if (c.body.size() != it->byteSize)
        refuse(400, QStringLiteral("size_mismatch"),
               QStringLiteral("올린 크기(%1)가 신청한 크기(%2)와 다릅니다.")
                   .arg(c.body.size())
                   .arg(it->byteSize));
    it->bytes = c.body;
    it->stored = true;
    return ApiReply::empty();
}

ApiReply ServiceApi::file(ApiCall &c)
{
    const auto it = m_state.uploads.constFind(c.segments.value(c.segments.size() - 1));
    if (it == m_state.uploads.constEnd() || !it->stored)
        refuse(404, QStringLiteral("not_found"), QStringLiteral("파일을 찾을 수 없습니다."));
    ApiReply reply;
    reply.body = it->bytes;
    reply.contentType = "image/jpeg";
    return reply;
}
