#include "service/ServiceApi.h"
#include "service/ServiceState.h"
#include "service/WireInput.h"

#include <QRegularExpression>

using namespace WireInput;

namespace {
QString checkedEmail(const QJsonObject &o)
{
    static const QRegularExpression form(QStringLiteral("^[^@\\s]+@[^@\\s]+\\.[^@\\s]+$"));
    const QString email = requireString(o, QStringLiteral("email")).trimmed().toLower();
    if (!form.match(email).hasMatch() || email.size() > 254)
        refuse(400, QStringLiteral("invalid_email"),
               QStringLiteral("이메일 주소를 확인해 주세요."));
    return email;
}

void checkPassword(const QString &password)
{
    bool letter = false;
    bool digit = false;
    for (const QChar ch : password) {
        letter = letter || (ch.unicode() < 128 && ch.isLetter());
        digit = digit || (ch.unicode() < 128 && ch.isDigit());
    }
    const int length = ServiceState::charCount(password);
    if (length < 8 || length > 64 || !letter || !digit)
        refuse(400, QStringLiteral("weak_password"),
               QStringLiteral("비밀번호는 영문과 숫자를 포함해 8–64자여야 합니다."));
}

void checkCode(const QHash<QString, PendingCode> &box, const QString &email, const QString &code)
{
    const auto it = box.constFind(email);
    if (it == box.constEnd() || it->code != code || it->expires < QDateTime::currentDateTimeUtc())
        refuse(400, QStringLiteral("invalid_code"),
               QStringLiteral("인증 코드가 올바르지 않습니다."));
}

bool validHandle(const QString &handle)
{
    static const QRegularExpression form(QStringLiteral("^[a-z0-9_]{3,20}$"));
    return form.match(handle).hasMatch();
}
} // namespace

void ServiceApi::addAuthRoutes()
{
    add("POST", QStringLiteral("/v1/auth/register"), false, true, &ServiceApi::registerAccount);
    add("POST", QStringLiteral("/v1/auth/register/verify"), false, true,
        &ServiceApi::verifyRegistration);
    add("POST", QStringLiteral("/v1/auth/login"), false, true, &ServiceApi::login);
    add("POST", QStringLiteral("/v1/auth/password/code"), false, true, &ServiceApi::passwordCode);
    add("POST", QStringLiteral("/v1/auth/password/reset"), false, true, &ServiceApi::passwordReset);
    add("POST", QStringLiteral("/v1/auth/refresh"), false, true, &ServiceApi::refresh);
    add("POST", QStringLiteral("/v1/auth/logout"), true, false, &ServiceApi::logout);
    add("PATCH", QStringLiteral("/v1/me/password"), true, true, &ServiceApi::changePassword);
    add("GET", QStringLiteral("/v1/me"), true, false, &ServiceApi::me);
    add("PATCH", QStringLiteral("/v1/me"), true, true, &ServiceApi::updateMe);
    add("DELETE", QStringLiteral("/v1/me"), true, false, &ServiceApi::deleteMe);
}

ApiReply ServiceApi::registerAccount(ApiCall &c)
{
    const QString email = checkedEmail(c.json);
    const QString password = requireString(c.json, QStringLiteral("password"));
    if (m_state.userByEmail(email))
        refuse(409, QStringLiteral("email_taken"), QStringLiteral("이미 가입된 이메일입니다."));
    checkPassword(password);
    m_state.sendCode(email, m_state.registrations, password);
    return ApiReply::empty();
}

ApiReply ServiceApi::verifyRegistration(ApiCall &c)
{
    const QString email = checkedEmail(c.json);
    const QString code = requireString(c.json, QStringLiteral("code"));
    optString(c.json, QStringLiteral("platform"));
    checkCode(m_state.registrations, email, code);
    if (m_state.userByEmail(email))
        refuse(409, QStringLiteral("email_taken"), QStringLiteral("이미 가입된 이메일입니다."));
    SeedUser seed;
    seed.email = email;
    seed.password = m_state.registrations.take(email).password;
    const QUuid id = m_state.createUser(seed);
    return ApiReply::json(m_state.authPayload(id, m_state.issue(id)));
}

ApiReply ServiceApi::login(ApiCall &c)
{
    const QString email = requireString(c.json, QStringLiteral("email")).trimmed().toLower();
    const QString password = requireString(c.json, QStringLiteral("password"));
    optString(c.json, QStringLiteral("platform"));
    ServiceUser *u = m_state.userByEmail(email);
    if (!u || u->password.isEmpty() || u->password != password)
        refuse(401, QStringLiteral("invalid_credentials"),
               QStringLiteral("이메일 또는 비밀번호가 올바르지 않습니다."));
    if (u->status != QLatin1String("active"))
        refuse(403, QStringLiteral("suspended"), QStringLiteral("이용이 정지된 계정입니다."));
    return ApiReply::json(m_state.authPayload(u->id, m_state.issue(u->id)));
}

ApiReply ServiceApi::passwordCode(ApiCall &c)
{
    const QString email = checkedEmail(c.json);
    // The answer is the same whether or not the address has an account.
    if (m_state.userByEmail(email))
        m_state.sendCode(email, m_state.resetCodes, QString());
    return ApiReply::empty();
}

ApiReply ServiceApi::passwordReset(ApiCall &c)
{
    const QString email = checkedEmail(c.json);
    const QString code = requireString(c.json, QStringLiteral("code"));
    const QString password = requireString(c.json, QStringLiteral("password"));
    checkCode(m_state.resetCodes, email, code);
    checkPassword(password);
    ServiceUser *u = m_state.userByEmail(email);
    if (!u)
        refuse(400, QStringLiteral("invalid_code"),
               QStringLiteral("인증 코드가 올바르지 않습니다."));
    m_state.resetCodes.remove(email);
    u->password = password;
    m_state.revokeAll(u->id);
    return ApiReply::empty();
}

ApiReply ServiceApi::refresh(ApiCall &c)
{
    const QString token = requireString(c.json, QStringLiteral("refresh_token"));
    const auto it = m_state.refreshTokens.constFind(token);
    const ServiceUser *u = it == m_state.refreshTokens.constEnd() ? nullptr : m_state.user(*it);
    if (!u || u->status != QLatin1String("active"))
        refuse(401, QStringLiteral("unauthorized"),
               QStringLiteral("세션이 만료되었습니다. 다시 로그인해 주세요."));
    const QUuid id = u->id;
    m_state.refreshTokens.remove(token); // a refresh token works once
    return ApiReply::json(m_state.authPayload(id, m_state.issue(id)));
}

ApiReply ServiceApi::logout(ApiCall &c)
{
    m_state.revokeAccess(c.accessToken);
    return ApiReply::empty();
}

ApiReply ServiceApi::changePassword(ApiCall &c)
{
    const QString current = requireString(c.json, QStringLiteral("current_password"));
    const QString password = requireString(c.json, QStringLiteral("password"));
    ServiceUser &u = meUser(c);
    if (u.password.isEmpty() || current != u.password)
        refuse(400, QStringLiteral("invalid_password"),
               QStringLiteral("현재 비밀번호가 올바르지 않습니다."));
    checkPassword(password);
    u.password = password;
    return ApiReply::empty();
}

ApiReply ServiceApi::me(ApiCall &c)
{
    return ApiReply::json(m_state.userJson(meUser(c)));
}

ApiReply ServiceApi::updateMe(ApiCall &c)
{
    const auto handle = optString(c.json, QStringLiteral("handle"));
    const auto name = optString(c.json, QStringLiteral("display_name"));
    const auto avatar = optString(c.json, QStringLiteral("avatar_url"));
    ServiceUser &u = meUser(c);

    // Check everything first so that a refusal changes nothing.
    QString newHandle = u.handle;
    bool changesHandle = false;
    if (handle) {
        QString wanted = handle->trimmed().toLower();
        if (wanted.startsWith(QLatin1Char('@')))
            wanted.remove(0, 1);
        if (wanted != u.handle) {
            if (!validHandle(wanted))
                refuse(400, QStringLiteral("invalid_handle"),
                       QStringLiteral("아이디는 영문 소문자, 숫자, 밑줄 3–20자입니다."));
            if (!u.handle.isEmpty() && u.handleChanged)
                refuse(409, QStringLiteral("handle_locked"),
                       QStringLiteral("아이디는 한 번만 바꿀 수 있습니다."));
            const ServiceUser *holder = m_state.userByHandle(wanted);
            if (holder && holder->id != u.id)
                refuse(409, QStringLiteral("handle_taken"),
                       QStringLiteral("이미 사용 중인 아이디입니다."));
            changesHandle = !u.handle.isEmpty();
            newHandle = wanted;
        }
    }
    QString newName = u.displayName;
    if (name) {
        newName = name->trimmed();
        const int length = ServiceState::charCount(newName);
        if (length < 1 || length > ServiceState::maxNameChars)
            refuse(400, QStringLiteral("invalid_name"), QStringLiteral("이름을 확인해 주세요."));
    }
    if (avatar && avatar->size() > 2048)
        refuse(400, QStringLiteral("invalid_avatar"), QStringLiteral("사진 주소가 너무 깁니다."));

    // Setting the first handle is free; changing it afterwards is allowed once.
    if (changesHandle)
        u.handleChanged = true;
    u.handle = newHandle;
    u.displayName = newName;
    if (avatar) {
        // An avatar named by the key of an uploaded object is served from this server.
        const auto upload = m_state.uploads.constFind(*avatar);
        u.avatarUrl
            = upload != m_state.uploads.constEnd() && upload->stored && upload->owner == u.id
            ? m_state.fileUrl(*avatar)
            : *avatar;
    }
    // The other members learn of the new name or photo; the user has the answer.
    for (ServiceRoom *r : m_state.roomsOf(u.id, false)) {
        m_state.pushTo(r->activeUsers(),
                       {{QStringLiteral("type"), QStringLiteral("conversation.changed")},
                        {QStringLiteral("conversation_id"), ServiceState::idText(r->id)}},
                       u.id);
    }
    return ApiReply::json(m_state.userJson(u));
}

ApiReply ServiceApi::deleteMe(ApiCall &c)
{
    meUser(c);
    m_state.deleteAccount(c.me);
    return ApiReply::empty();
}
