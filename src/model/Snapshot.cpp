#include "model/Snapshot.h"

#include "files/PrivateFile.h"
#include "model/JsonFields.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStandardPaths>

std::optional<QByteArray> Snapshot::encode(QString *error) const
{
    JsonWriter w;
    w.list("accounts", accounts);
    w.optionalRecord("session", session);
    w.optionalUuid("lastUserId", lastUserId);
    w.list("conversations", conversations);
    w.list("messages", messages);
    w.list("friends", friends);
    w.list("officialLinks", officialLinks);
    w.uuidList("blocks", blocks);
    w.list("reports", reports);
    w.list("retiredHandles", retiredHandles);
    w.boolean("notificationsEnabled", notificationsEnabled);
    w.boolean("notificationPreview", notificationPreview);
    w.boolean("notificationSound", notificationSound);
    const std::optional<QJsonObject> root = w.finish(error);
    if (!root)
        return std::nullopt;
    // QJsonObject keeps its members ordered by key, so every object of the document comes out
    // sorted and the same state always gives the same bytes.
    return QJsonDocument(*root).toJson(QJsonDocument::Indented);
}

std::optional<Snapshot> Snapshot::decode(const QByteArray &document, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(document, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("not JSON: %1 at offset %2")
                         .arg(parseError.errorString())
                         .arg(parseError.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("the document is not a JSON object");
        return std::nullopt;
    }

    JsonReader r(doc.object());
    Snapshot s;
    s.accounts = r.list<Account>("accounts");
    s.session = r.optionalRecord<AppSession>("session");
    s.lastUserId = r.optionalUuid("lastUserId");
    s.conversations = r.list<Conversation>("conversations");
    s.messages = r.list<ChatMessage>("messages");
    s.friends = r.list<FriendLink>("friends");
    s.officialLinks = r.list<OfficialLink>("officialLinks");
    s.blocks = r.uuidList("blocks");
    s.reports = r.list<ReportRecord>("reports");
    s.retiredHandles = r.list<RetiredHandle>("retiredHandles");
    s.notificationsEnabled = r.boolean("notificationsEnabled");
    s.notificationPreview = r.boolean("notificationPreview");
    s.notificationSound = r.boolean("notificationSound");
    if (!r.finish(error))
        return std::nullopt;
    return s;
}

QString Snapshot::defaultFilePath()
{
    // Without a data folder there is no path: the store then keeps its state in memory rather
    // than writing to the root of the file system.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/QuilloChat/store.json");
}

std::optional<Snapshot> Snapshot::readFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return decode(bytes, error);
}

bool Snapshot::writeFile(const QString &path, QString *error) const
{
    const std::optional<QByteArray> bytes = encode(error);
    if (!bytes)
        return false;
    return writeDocument(path, *bytes, error);
}

bool Snapshot::writeDocument(const QString &path, const QByteArray &document, QString *error)
{
    // The document holds every message: its folder and the file are for the user alone, also
    // when they existed before.
    PrivateFile::prepareFolder(QFileInfo(path).absolutePath());
    return PrivateFile::write(path, document, error);
}
