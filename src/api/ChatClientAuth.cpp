#include "api/ApiDecoder.h"
#include "api/ChatClient.h"
#include "api/HttpMethods.h"

namespace {

const QString kPlatform = QStringLiteral("macos");

} // namespace

QCoro::Task<> ChatClient::registerAccount(QString email, QString password)
{
    const QJsonObject body{{QStringLiteral("email"), email},
                           {QStringLiteral("password"), password}};
    co_await request(kPost, ChatPath::registerAccount(), body, false);
}

QCoro::Task<APIUser> ChatClient::verifyRegistration(QString email, QString code)
{
    const QJsonObject body{{QStringLiteral("email"), email},
                           {QStringLiteral("code"), code},
                           {QStringLiteral("platform"), kPlatform}};
    const QByteArray data = co_await request(kPost, ChatPath::registerVerify(), body, false);
    const auto payload = ApiDecoder::decode<AuthPayload>(data);
    if (!payload)
        throw ChatAPIError::invalidResponse(500);
    // A new session: whatever was still running for an older one must not write into it.
    ++m_sessionGeneration;
    co_await save(*payload);
    co_return payload->user;
}

QCoro::Task<APIUser> ChatClient::login(QString email, QString password)
{
    const QJsonObject body{{QStringLiteral("email"), email},
                           {QStringLiteral("password"), password},
                           {QStringLiteral("platform"), kPlatform}};
    const QByteArray data = co_await request(kPost, ChatPath::login(), body, false);
    const auto payload = ApiDecoder::decode<AuthPayload>(data);
    if (!payload)
        throw ChatAPIError::invalidResponse(500);
    ++m_sessionGeneration;
    co_await save(*payload);
    co_return payload->user;
}

QCoro::Task<> ChatClient::requestPasswordCode(QString email)
{
    const QJsonObject body{{QStringLiteral("email"), email}};
    co_await request(kPost, ChatPath::passwordCode(), body, false);
}

QCoro::Task<> ChatClient::resetPassword(QString email, QString code, QString password)
{
    const QJsonObject body{{QStringLiteral("email"), email},
                           {QStringLiteral("code"), code},
                           {QStringLiteral("password"), password}};
    co_await request(kPost, ChatPath::passwordReset(), body, false);
}

QCoro::Task<> ChatClient::changePassword(QString current, QString newPassword)
{
    const QJsonObject body{{QStringLiteral("current_password"), current},
                           {QStringLiteral("password"), newPassword}};
    co_await request(kPatch, ChatPath::mePassword(), body, true);
}
