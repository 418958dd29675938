#pragma once

#include "model/Account.h"
#include "model/AppSession.h"
#include "model/ChatMessage.h"
#include "model/Conversation.h"
#include "model/FriendLink.h"
#include "model/OfficialLink.h"
#include "model/ReportRecord.h"
#include "model/RetiredHandle.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// The whole state of a store in the local-file mode, as one JSON document on disk
// ("QuilloChat/store.json" under the generic data folder).
//
// The document is written with the keys of every object in ascending order and indented, so an
// unchanged state always gives byte-identical files. Times are written in UTC with whole seconds
// (any fraction is dropped), bytes as padded standard Base64, UUIDs in upper case. Reading is
// all or nothing: one bad value anywhere rejects the whole document.
struct Snapshot
{
    QList<Account> accounts;
    std::optional<AppSession> session; // absent when signed out
    std::optional<QUuid> lastUserId;
    QList<Conversation> conversations;
    QList<ChatMessage> messages;
    QList<FriendLink> friends;
    QList<OfficialLink> officialLinks;
    QList<QUuid> blocks;
    QList<ReportRecord> reports;
    QList<RetiredHandle> retiredHandles;
    bool notificationsEnabled = true;
    bool notificationPreview = true;
    bool notificationSound = true;

    // The document text; empty result and `error` set when a value has no text form (an invalid
    // time, or a year outside 0001-9999), so that no unreadable document is ever written.
    std::optional<QByteArray> encode(QString *error = nullptr) const;
    // Any failure rejects the whole document: no value, `error` names the first bad member.
    static std::optional<Snapshot> decode(const QByteArray &document, QString *error = nullptr);

    // Where the store keeps its document: <GenericDataLocation>/QuilloChat/store.json.
    static QString defaultFilePath();

    // Reads and decodes the whole file; a missing, unreadable or invalid file gives no value.
    static std::optional<Snapshot> readFile(const QString &path, QString *error = nullptr);
    // Encodes and replaces the file atomically, creating missing folders. On any failure the
    // previous file stays as it was and false is returned.
    bool writeFile(const QString &path, QString *error = nullptr) const;
    // The same for a document encoded already.
    static bool writeDocument(const QString &path, const QByteArray &document,
                              QString *error = nullptr);
};
