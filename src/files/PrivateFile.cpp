#include "files/PrivateFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr QFileDevice::Permissions ownerPermissions
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions othersPermissions = QFileDevice::ReadGroup
    | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
    | QFileDevice::WriteOther | QFileDevice::ExeOther;

QString writeError(const QString &path, const QSaveFile &file)
{
    return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
}

} // namespace

bool PrivateFile::prepareFolder(const QString &folder)
{
    // A folder that cannot be made shows when the file is opened.
    QDir().mkpath(folder);
    if (!QFileInfo(folder).isDir())
        return false;
    const QFileDevice::Permissions rights = QFile::permissions(folder);
    if (rights & othersPermissions)
        QFile::setPermissions(folder, rights & ownerPermissions);
    return true;
}

bool PrivateFile::write(const QString &path, const QByteArray &bytes, QString *error)
{
    // QSaveFile writes beside the target and renames over it on commit, so a reader sees the
    // old file or the new one, never half of one. Unbuffered: a buffered QSaveFile whose last
    // flush fails (a full disk) still reports a successful commit and puts the short file in
    // place of the old one; unbuffered, the failing write itself says so.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = writeError(path, file);
        return false;
    }
    // QSaveFile gives the new copy the old file's rights; these files never keep wider ones.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || file.error() != QFileDevice::NoError) {
        if (error)
            *error = writeError(path, file);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = writeError(path, file);
        return false;
    }
    return true;
}

QString PrivateFile::moveAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = QStringLiteral("%1.unreadable-%2").arg(path, stamp);
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = QStringLiteral("%1.unreadable-%2-%3").arg(path, stamp).arg(n);
    // QDir::rename moves a folder as well as a file, in one step; QFile::rename would fall back
    // to copying when the rename fails.
    if (!QDir().rename(path, aside))
        return {};
    return aside;
}
