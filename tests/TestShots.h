#pragma once

// Pictures of widgets that tests save for a person to look at. They go to the build folder of
// the test (<build>/test-shots/<test name>/, named by zumo_add_test), so that two builds or two
// checkouts never write over each other's pictures.

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

#ifndef ZUMO_TEST_SHOT_DIR
#error "ZUMO_TEST_SHOT_DIR comes from zumo_add_test (cmake/ZumoTest.cmake)"
#endif

// The folder of this test's pictures, made on first use.
inline QString testShotFolder()
{
    static const QString folder = [] {
        const QString path = QStringLiteral(ZUMO_TEST_SHOT_DIR);
        QDir().mkpath(path);
        return path;
    }();
    return folder;
}

// Saves `picture` as <name>.png in testShotFolder(); returns the file's path.
inline QString saveShot(const QPixmap &picture, const QString &name)
{
    const QString path = testShotFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!picture.save(path))
        qWarning("cannot save %s", qPrintable(path));
    return path;
}

// Saves a picture of `widget` as <name>.png in testShotFolder(); returns the file's path.
inline QString saveShot(QWidget *widget, const QString &name)
{
    return saveShot(widget->grab(), name);
}
