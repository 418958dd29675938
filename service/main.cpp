// zumo-service: the stand-in chat service for running the program locally.
//   zumo-service --port 8765 [--data FILE] [--demo]
#include "service/DemoSeed.h"
#include "service/StandInService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
// SIGINT, SIGTERM and SIGHUP end the event loop instead of the process, so that the data file
// gets its last write. A signal the service was started ignoring (SIGINT for a background job
// of a script) stays ignored.
void quitOnSignals(QCoreApplication &app)
{
    sigset_t wanted;
    sigemptyset(&wanted);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current = {};
        if (sigaction(s, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            sigaddset(&wanted, s);
    }
    sigprocmask(SIG_BLOCK, &wanted, nullptr);
    const int fd = signalfd(-1, &wanted, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0)
        return;
    auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [fd] {
        signalfd_siginfo info;
        while (read(fd, &info, sizeof info) == sizeof info) { }
        QCoreApplication::quit();
    });
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zumo-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in of the chat service on 127.0.0.1 (REST and WebSocket), in memory or kept in a "
        "data file."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (0 picks a free one)."),
                                        QStringLiteral("port"), QStringLiteral("8765"));
    const QCommandLineOption dataOption(
        QStringLiteral("data"),
        QStringLiteral("Keep accounts, sessions, rooms and messages in this JSON file across "
                       "restarts (read at start, written after changes)."),
        QStringLiteral("file"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Seed demo accounts, friends and rooms (unless the data file has them)."));
    const QCommandLineOption lifetimeOption(QStringLiteral("token-lifetime"),
                                            QStringLiteral("Access token lifetime in seconds."),
                                            QStringLiteral("seconds"), QStringLiteral("3600"));
    parser.addOptions({portOption, dataOption, demoOption, lifetimeOption});
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
    if (parser.isSet(dataOption) && parser.value(dataOption).isEmpty()) {
        err << "zumo-service: --data needs a file name\n";
        return 2;
    }

    quitOnSignals(app);
    StandInService service;
    service.setAccessTokenLifetime(lifetime);
    QObject::connect(&service, &StandInService::emailCodeSent, &app,
                     [&out](const QString &email, const QString &code) {
                         out << "e-mail code for " << email << ": " << code << Qt::endl;
                     });
    // Listening comes first: a second service started by mistake ends here, before it reads
    // (or moves aside) the data file of the one already running.
    if (!service.listen(quint16(port))) {
        err << "zumo-service: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    if (parser.isSet(dataOption)) {
        const DataFileStatus data = service.useDataFile(parser.value(dataOption));
        QTextStream &stream
            = data.outcome == DataFileStatus::SetAside || data.outcome == DataFileStatus::Unusable
            ? err
            : out;
        stream << "zumo-service: " << data.message << Qt::endl;
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
