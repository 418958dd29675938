#include "store/SettingsFile.h"

#include "model/PrivateFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

namespace {

// QSettings writes through a buffered QSaveFile: when its last flush fails (a full disk) it
// reports success and leaves a short file. Every line it writes ends in a line break, so a file
// cut short lacks a key just written or its last line break.
bool holdsKeys(const QString &path, const QVariantMap &values)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    if (!text.endsWith('\n'))
        return false;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!text.contains('\n' + it.key().toUtf8() + '=')
            && !text.startsWith(it.key().toUtf8() + '='))
            return false;
    }
    return true;
}

} // namespace

bool SettingsFile::write(const QVariantMap &values, QString *problem)
{
    const auto fail = [problem](const QString &why) {
        if (problem)
            *problem = why;
        return false;
    };
    QSettings settings;
    const QString path = settings.fileName();
    if (!PrivateFile::prepareFolder(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("no folder for %1").arg(path));

    // A copy of the file as it is, made with the safe writer: a disk that cannot take the copy
    // cannot take the settings either, and the copy puts the file back when the write below
    // turns out short.
    const QString backup = path + QStringLiteral(".previous");
    QFile current(path);
    const bool existed = current.exists();
    if (existed) {
        if (!current.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(path, current.errorString()));
        const QByteArray bytes = current.readAll();
        current.close();
        QString error;
        if (!PrivateFile::write(backup, bytes, &error))
            return fail(error);
    }

    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    const bool written = settings.status() == QSettings::NoError && holdsKeys(path, values);
    if (!written) {
        // rename(2) replaces the short file in one step; QFile::rename never replaces a file.
        if (existed
            && ::rename(QFile::encodeName(backup).constData(), QFile::encodeName(path).constData())
                != 0)
            QFile::remove(backup);
        return fail(QStringLiteral("%1 was not written whole").arg(path));
    }
    if (existed)
        QFile::remove(backup);
    // A file written before is widened by nobody, but one QSettings made anew has the umask's
    // rights.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}
