#include "api/ChatErrors.h"

#include "api/ApiDecoder.h"
#include "api/WireJson.h"

ChatAPIError ChatAPIError::fromResponse(int status, const QByteArray &body)
{
    // The status always comes from the caller, never from the body.
    if (const auto value = ApiDecoder::parse(body)) {
        if (const auto o = WireObject::from(*value)) {
            QString code;
            QString message;
            if (o->text(QStringLiteral("code"), code) && o->text(QStringLiteral("message"), message)
                && !message.isEmpty())
                return ChatAPIError(status, code, message);
        }
    }
    return invalidResponse(status);
}

ChatAPIError ChatAPIError::invalidResponse(int status)
{
    return ChatAPIError(status, QStringLiteral("invalid_response"), kTemporaryErrorText);
}

ChatAPIError ChatAPIError::unauthorized()
{
    return ChatAPIError(401, QStringLiteral("unauthorized"), kLoginRequiredText);
}

ChatAPIError ChatAPIError::uploadFailed(int status)
{
    return ChatAPIError(status, QStringLiteral("upload_failed"),
                        QStringLiteral("사진을 보내지 못했습니다."));
}

bool isServiceFailure(const std::exception_ptr &error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const ChatAPIError &) {
        return true;
    } catch (const ChatTransportError &) {
        return true;
    } catch (const ChatParseError &) {
        return true;
    } catch (...) {
        return false;
    }
}

bool isTransientFailure(const std::exception_ptr &error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const ChatTransportError &) {
        return true;
    } catch (const ChatAPIError &e) {
        // A redirect is never the service's own answer: something between here and the
        // service (a captive portal) sends the program elsewhere, and it is not followed.
        return e.status == 0 || (e.status >= 300 && e.status <= 399) || e.status >= 500;
    } catch (...) {
        return false;
    }
}
