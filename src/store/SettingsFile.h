#pragma once

#include <QVariantMap>

// The program's settings file (QSettings' default: "Zumo/Zumo.conf" in the user's config
// folder). It holds the blocked users and the hidden rooms, so it is the owner's alone (0600, in
// a folder without the group's and others' rights), like the store document.
namespace SettingsFile {

// Sets the values and writes the file now. False when the file could not be written, with
// `problem` set (for the log); the file then holds what it held before.
bool write(const QVariantMap &values, QString *problem = nullptr);

} // namespace SettingsFile
