#pragma once

#include "service/ServiceApi.h"
#include "service/StandInService.h"

#include <QAbstractHttpServer>
#include <QList>
#include <QPointer>

class QTcpSocket;
class ServiceState;

// A scripted deviation from the normal answer for the next matching requests.
struct ScriptedFault
{
    enum Kind { Fail, Delay, NonJson, Drop };
    Kind kind = Fail;
    QByteArray method; // empty matches any
    QString pathPrefix; // compared with the request target (path and query)
    int remaining = 1;
    int status = 500;
    QString code;
    QString message;
    int milliseconds = 0;
};

// The HTTP side of the stand-in: takes every request on the port, records it, applies the
// scripted faults, runs the route and writes the answer (at once or after a scripted delay).
// WebSocket upgrades on "/v1/ws" are left untouched for the handshake.
class ServiceHttpServer : public QAbstractHttpServer
{
    Q_OBJECT
public:
    explicit ServiceHttpServer(ServiceState &state, QObject *parent = nullptr);

    QList<RecordedRequest> recorded;
    QList<ScriptedFault> faults;

signals:
    void requestRecorded();

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    // The client's network stack repeats an idempotent request once or twice when the
    // connection closes before an answer; a dropped request drops those repeats as well.
    struct DropShadow
    {
        QByteArray method;
        QString target;
        int remaining;
        qint64 untilMs;
    };
    bool dropRepeat(const RecordedRequest &record);

    QList<DropShadow> m_shadows;
    void respond(QTcpSocket *socket, ApiCall call, const ScriptedFault *outcome, bool close);
    static void write(QTcpSocket *socket, const ApiReply &reply, bool close);

    ServiceApi m_api;
};
