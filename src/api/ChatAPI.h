#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace ChatAPI {

// The host of the built-in service address, lower case; invite links name it.
QString serviceHost();

// The invite code that a URL carries: any scheme, the service's host (case-insensitive), and a
// path of exactly the two segments "i" and a code of 16 to 128 characters from A-Z a-z 0-9 _ -.
// Empty path segments are ignored; query and fragment do not count. Nothing otherwise.
std::optional<QString> inviteCode(const QUrl &url);

} // namespace ChatAPI
