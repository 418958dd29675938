// zumo-service: the stand-in chat service for running the program locally.
//   zumo-service --port 8765 [--demo]
#include "service/DemoSeed.h"
#include "service/StandInService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zumo-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "In-memory stand-in of the chat service on 127.0.0.1 (REST and WebSocket)."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (0 picks a free one)."),
                                        QStringLiteral("port"), QStringLiteral("8765"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Seed demo accounts, friends and rooms."));
    const QCommandLineOption lifetimeOption(QStringLiteral("token-lifetime"),
                                            QStringLiteral("Access token lifetime in seconds."),
                                            QStringLiteral("seconds"), QStringLiteral("3600"));
    parser.addOptions({portOption, demoOption, lifetimeOption});
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        err << "zumo-service: invalid port \"" << parser.value(portOption) << "\"\n";
        return 2;
    }
    const qint64 lifetime = parser.value(lifetimeOption).toLongLong(&ok);
    if (!ok || lifetime < 1) {
        err << "zumo-service: invalid token lifetime \"" << parser.value(lifetimeOption) << "\"\n";
        return 2;
    }

    StandInService service;
    service.setAccessTokenLifetime(lifetime);
    QObject::connect(&service, &StandInService::emailCodeSent, &app,
                     [&out](const QString &email, const QString &code) {
                         out << "e-mail code for " << email << ": " << code << Qt::endl;
                     });
    if (!service.listen(quint16(port))) {
        err << "zumo-service: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    out << "zumo-service listening on " << service.baseUrl().toString() << " (WebSocket "
        << service.baseUrl().toString().replace(QStringLiteral("http:"), QStringLiteral("ws:"))
        << "/v1/ws)" << Qt::endl;
    if (parser.isSet(demoOption)) {
        out << "demo accounts:" << Qt::endl;
        for (const QString &line : DemoSeed::apply(service))
            out << "  " << line << Qt::endl;
    }
    return app.exec();
}
