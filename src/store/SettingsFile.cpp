#include "store/SettingsFile.h"

#include "files/PrivateFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

#include <cstdio>
#include <optional>

namespace {

// Whether `read`, as the file gave it back, is the value `written`. The text form loses the
// type: a number or a switch comes back as its text, a one-element list as its one string and
// an empty one as no value; a value of a type the file names (a byte array, a rectangle) comes
// back as that type.
bool sameValue(const QVariant &written, const QVariant &read)
{
    if (written.metaType() == QMetaType::fromType<QStringList>())
        return read.toStringList() == written.toStringList();
    if (read.metaType() == written.metaType())
        return read == written;
    QVariant converted = read;
    return converted.convert(written.metaType()) && converted == written;
}

// Every key and value of the file as a reader finds it on disk. QSettings keeps each file's
// contents in a cache shared by the whole process and does not read again a file whose size
// and time it wrote itself: a second QSettings on the same path would answer from memory what
// was meant to be written. One on a private copy of the bytes reads what is there.
//
// The copy lies beside the file, not in the temporary folder: the check then needs only the
// disk the settings live on, and a temporary folder that is full or not a folder at all does
// not turn a write that landed into one that is undone.
std::optional<QVariantHash> readBack(const QString &path, QString *problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot read %1 back: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    // Rights 0600, as QTemporaryFile makes its files: the copy holds the blocked users too. It
    // goes when this returns.
    QTemporaryFile copy(path + QStringLiteral(".readback-XXXXXX"));
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
        *problem
            = QStringLiteral("cannot copy %1 to read it back: %2").arg(path, copy.errorString());
        return std::nullopt;
    }
    const QSettings fresh(copy.fileName(), QSettings::IniFormat);
    if (fresh.status() != QSettings::NoError) {
        *problem = QStringLiteral("%1 does not read back").arg(path);
        return std::nullopt;
    }
    QVariantHash all;
    const QStringList keys = fresh.allKeys();
    for (const QString &key : keys)
        all.insert(key, fresh.value(key));
    return all;
}

// QSettings writes through a buffered QSaveFile: when its last flush fails (a full disk) it
// reports success and leaves a short file. Read back, such a file lacks keys or holds a value
// cut short. Every key the writer holds is compared, not only the ones just set: a cut can
// fall anywhere in the file.
bool holdsEverything(const QSettings &settings, QString *problem)
{
    const std::optional<QVariantHash> onDisk = readBack(settings.fileName(), problem);
    if (!onDisk)
        return false;
    const QStringList keys = settings.allKeys();
    if (keys.size() != onDisk->size()) {
        *problem = QStringLiteral("%1 reads back with %2 of its %3 keys")
                       .arg(settings.fileName())
                       .arg(onDisk->size())
                       .arg(keys.size());
        return false;
    }
    for (const QString &key : keys) {
        const auto found = onDisk->constFind(key);
        if (found == onDisk->cend() || !sameValue(settings.value(key), *found)) {
            // The key names a setting, not what it holds: it may be logged.
            *problem = QStringLiteral("%1 reads back without the value of %2")
                           .arg(settings.fileName(), key);
            return false;
        }
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
    // This file alone: the keys of the organisation's or the system's files are not its own.
    settings.setFallbacksEnabled(false);
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
    QString shortfall = QStringLiteral("%1 was not written whole").arg(path);
    const bool written
        = settings.status() == QSettings::NoError && holdsEverything(settings, &shortfall);
    if (!written) {
        // rename(2) replaces the short file in one step; QFile::rename never replaces a file.
        if (existed
            && ::rename(QFile::encodeName(backup).constData(), QFile::encodeName(path).constData())
                != 0)
            QFile::remove(backup);
        return fail(shortfall);
    }
    if (existed)
        QFile::remove(backup);
    // A file written before is widened by nobody, but one QSettings made anew has the umask's
    // rights.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}
