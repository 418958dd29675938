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

    // The desktop starts the program with a link as its first argument (Exec=zumo %u). A
    // program already running takes the link and comes forward; this one then ends.
    const QStringList arguments = QApplication::arguments();
    const QString link = arguments.size() > 1 ? arguments.at(1) : QString();
    SingleInstance instance;
    if (!instance.tryBecomePrimary(QStringLiteral("zumo"), link))
        return 0;

    // Ctrl+C and a plain kill end the program through its event loop: the single-instance
    // socket goes with the instance, so that the next launch finds no socket file of ours.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app,
                     [](int number) { QCoreApplication::exit(128 + number); });

    ZumoApp shell;
    shell.openLink(link);
    shell.listen(&instance);
    return app.exec();
}
