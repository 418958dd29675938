#include "app/ZumoApp.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "ui/common/AccessibleActions.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zumo"));
    QApplication::setOrganizationName(QStringLiteral("Zumo"));
    QApplication::setApplicationVersion(QStringLiteral(ZUMO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("zumo"));
    AccessibleActions::listPopups();

    // Ctrl+C and a plain kill end the program through its event loop, so that the
    // single-instance socket goes with the instance and the next launch finds no socket file of
    // ours. Declared before the instance, the handlers outlive it: a second signal that comes
    // while the program ends (a terminal's Ctrl+C, then a script's kill) cannot end the process
    // before the socket is removed.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app,
                     [](int number) { QCoreApplication::exit(128 + number); });

    // The desktop starts the program with a link as its first argument (Exec=zumo %u). A
    // program already running takes the link and comes forward; this one then ends.
    const QStringList arguments = QApplication::arguments();
    const QString link = arguments.size() > 1 ? arguments.at(1) : QString();
    SingleInstance instance;
    if (!instance.tryBecomePrimary(QStringLiteral("zumo"), link))
        return 0;

    ZumoApp shell;
    shell.openLink(link);
    shell.listen(&instance);
    return app.exec();
}
