#pragma once

#include <QByteArray>
#include <QString>

// Files that hold the user's data: the session, the store document, the service's data file.
// Each is written whole and atomically and is readable by its owner alone.
namespace PrivateFile {

// Creates the folder when it is missing and takes the group's and others' rights from it, also
// when it existed before. The owner's rights stay as they are: a folder the user made
// read-only stays read-only. False when the folder is not there afterwards.
bool prepareFolder(const QString &folder);

// Replaces the file with `bytes` (rights 0600). A failed write of any kind, a full disk included,
// leaves the previous file as it was and returns false with `error` set; true means the new
// contents are in place.
bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Moves an unreadable file (or folder) to "<path>.unreadable-<local time>" beside it, so that it
// is kept for a person to look at and never written over. Returns the new path, or empty when
// it could not be moved.
QString moveAside(const QString &path);

} // namespace PrivateFile
