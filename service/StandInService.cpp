#include "service/StandInService.h"

#include "service/ServiceDataFile.h"
#include "service/ServiceHttpServer.h"
#include "service/ServiceState.h"
#include "service/SocketHub.h"

#include <QHostAddress>

namespace {
// Tells the data file about a seeding call once it is done, whatever it returns.
struct Changing
{
    ServiceState &state;
    ~Changing() { state.noteChange(); }
};
} // namespace

StandInService::StandInService(QObject *parent)
    : QObject(parent)
    , m_state(std::make_unique<ServiceState>())
    , m_http(std::make_unique<ServiceHttpServer>(*m_state))
    , m_hub(std::make_unique<SocketHub>(*m_state, *m_http))
{
    m_state->pushToUser
        = [this](const QUuid &user, const QJsonObject &frame) { m_hub->push(user, frame); };
    m_state->userGone = [this](const QUuid &user) { m_hub->closeUser(user); };
    m_state->emailSent
        = [this](const QString &email, const QString &code) { emit emailCodeSent(email, code); };
    m_state->changed = [this] {
        if (m_dataFile)
            m_dataFile->changed();
    };
    connect(m_http.get(), &ServiceHttpServer::requestRecorded, this,
            &StandInService::requestRecorded);
    connect(m_hub.get(), &SocketHub::frameRecorded, this, &StandInService::frameRecorded);
}

StandInService::~StandInService()
{
    // The last write sees everything; then the sockets go, as they report to the state while
    // closing.
    m_dataFile.reset();
    m_state->changed = nullptr;
    m_state->pushToUser = nullptr;
    m_state->userGone = nullptr;
    m_state->emailSent = nullptr;
    m_hub.reset();
    m_http.reset();
}

bool StandInService::listen(quint16 port)
{
    const quint16 bound = m_http->listen(QHostAddress::LocalHost, port);
    if (bound == 0)
        return false;
    m_port = bound;
    m_state->baseUrl = baseUrl();
    return true;
}

quint16 StandInService::port() const
{
    return m_port;
}

QUrl StandInService::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

DataFileStatus StandInService::useDataFile(const QString &path)
{
    m_dataFile = std::make_unique<ServiceDataFile>(*m_state, path);
    return m_dataFile->open();
}

QUuid StandInService::addUser(const SeedUser &u)
{
    const Changing changing{*m_state};
    return m_state->createUser(u);
}

QUuid StandInService::houseAccountId() const
{
    return m_state->houseAccount;
}

QUuid StandInService::accountByEmail(const QString &email) const
{
    const ServiceUser *u = m_state->userByEmail(email);
    return u ? u->id : QUuid();
}

QUuid StandInService::officialAccountId(const QUuid &user) const
{
    return m_state->users.value(user).officialAccountId;
}

void StandInService::makeFriends(const QUuid &a, const QUuid &b)
{
    const Changing changing{*m_state};
    m_state->makeFriends(a, b);
}

QUuid StandInService::addFriendRequest(const QUuid &from, const QUuid &to)
{
    const Changing changing{*m_state};
    return m_state->addFriendRequest(from, to).id;
}

void StandInService::follow(const QUuid &user, const QUuid &officialUser)
{
    const Changing changing{*m_state};
    m_state->follow(user, officialUser);
}

void StandInService::block(const QUuid &blocker, const QUuid &blocked)
{
    const Changing changing{*m_state};
    QList<QUuid> &list = m_state->blocks[blocker];
    if (!list.contains(blocked))
        list.append(blocked);
}

QUuid StandInService::addDirectRoom(const QUuid &a, const QUuid &b)
{
    const Changing changing{*m_state};
    return m_state->openDirect(a, b).id;
}

QUuid StandInService::addGroupRoom(const QUuid &owner, const QString &title,
                                   const QList<QUuid> &members)
{
    const Changing changing{*m_state};
    return m_state->createGroup(owner, title, members).id;
}

QJsonObject StandInService::addMessage(const QUuid &room, const QUuid &sender, const QString &body)
{
    const Changing changing{*m_state};
    ServiceRoom *r = m_state->room(room);
    if (!r)
        return {};
    ServiceMessage m;
    m.sender = sender;
    m.body = body;
    if (sender == m_state->houseAccount)
        m.origin = QStringLiteral("broadcast");
    return m_state->messageJson(m_state->append(*r, m));
}

int StandInService::broadcast(const QString &body)
{
    const Changing changing{*m_state};
    return m_state->broadcast(m_state->houseAccount, body);
}

IssuedTokens StandInService::issueTokens(const QUuid &user)
{
    const Changing changing{*m_state};
    return m_state->issue(user);
}

QString StandInService::lastEmailCode(const QString &email) const
{
    return m_state->lastCodes.value(email.trimmed().toLower());
}

QString StandInService::inviteCode(const QUuid &user) const
{
    return m_state->users.value(user).inviteCode;
}

QByteArray StandInService::uploadedBytes(const QString &objectKey) const
{
    return m_state->uploads.value(objectKey).bytes;
}

QJsonObject StandInService::userJson(const QUuid &user) const
{
    const auto it = m_state->users.constFind(user);
    return it == m_state->users.constEnd() ? QJsonObject() : m_state->userJson(*it);
}

QList<QJsonObject> StandInService::reports() const
{
    return m_state->reports;
}

void StandInService::setAccessTokenLifetime(qint64 seconds)
{
    m_state->accessLifetime = seconds;
}

void StandInService::setMaxUploadBytes(qint64 bytes)
{
    m_state->maxUploadBytes = bytes;
}

QList<RecordedRequest> StandInService::requests() const
{
    return m_http->recorded;
}

QList<QJsonObject> StandInService::receivedFrames() const
{
    return m_hub->received;
}

void StandInService::clearRecords()
{
    m_http->recorded.clear();
    m_hub->received.clear();
}

namespace {
ScriptedFault fault(ScriptedFault::Kind kind, const QString &method, const QString &pathPrefix,
                    int times)
{
    ScriptedFault f;
    f.kind = kind;
    f.method = method.toUpper().toLatin1();
    f.pathPrefix = pathPrefix;
    f.remaining = times;
    return f;
}
} // namespace

void StandInService::failNext(const QString &method, const QString &pathPrefix, int times,
                              int status, const QString &code, const QString &message)
{
    ScriptedFault f = fault(ScriptedFault::Fail, method, pathPrefix, times);
    f.status = status;
    f.code = code;
    f.message = message;
    m_http->faults.append(f);
}

void StandInService::delayNext(const QString &method, const QString &pathPrefix, int times,
                               int milliseconds)
{
    ScriptedFault f = fault(ScriptedFault::Delay, method, pathPrefix, times);
    f.milliseconds = milliseconds;
    m_http->faults.append(f);
}

void StandInService::answerNonJsonNext(const QString &method, const QString &pathPrefix, int times,
                                       int status)
{
    ScriptedFault f = fault(ScriptedFault::NonJson, method, pathPrefix, times);
    f.status = status;
    m_http->faults.append(f);
}

void StandInService::dropNext(const QString &method, const QString &pathPrefix, int times)
{
    m_http->faults.append(fault(ScriptedFault::Drop, method, pathPrefix, times));
}

void StandInService::clearFaults()
{
    m_http->faults.clear();
}

void StandInService::silenceAllSockets()
{
    m_hub->silenceAll();
}

void StandInService::setSilenceNewSockets(bool silence)
{
    m_hub->silenceNew = silence;
}

void StandInService::dropAllSockets()
{
    m_hub->dropAll();
}

void StandInService::setRefuseSocketAuth(bool refuse)
{
    m_hub->refuseAuth = refuse;
}

void StandInService::setCloseAfterAuth(bool close)
{
    m_hub->closeAfterAuth = close;
}

void StandInService::pushFrame(const QUuid &user, const QJsonObject &frame)
{
    m_hub->push(user, frame);
}

void StandInService::setPushFrameSize(quint64 bytes)
{
    m_hub->pushFrameSize = bytes;
}

int StandInService::authenticatedSocketCount() const
{
    return m_hub->authenticatedCount();
}
