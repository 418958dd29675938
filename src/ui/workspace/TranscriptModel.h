#pragma once

#include "model/ChatMessage.h"
#include "model/Conversation.h"
#include "store/MessageIndex.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QHash>
#include <QMetaType>
#include <QMultiHash>
#include <QString>
#include <QUuid>

#include <optional>
#include <utility>
#include <vector>

class LocalStore;

// Everything one row of the transcript shows, read from the store when the row is asked for:
// the message, where it stands in its group, who sent it and its read mark.
struct TranscriptRow
{
    ChatMessage message;
    bool mine = false; // sent by the signed-in account
    bool showDay = false; // a day separator stands above it
    bool showHeader = false; // opens a group: avatar and name (somebody else's message)
    bool showMeta = false; // closes a group: the time line under it

    bool senderKnown = false; // the store holds the sender's account
    QString senderName; // the sender's display name, "알 수 없음" when unknown
    bool senderOfficial = false;
    std::optional<QByteArray> avatarJPEG;
    std::optional<QString> avatarURL;

    QString quote; // the reply preview, when the message answers another
    QString readMark; // "읽음", "안 읽음 N" or empty

    bool isSystem() const { return message.kind == MessageKind::system; }
    bool isDeleted() const { return message.kind == MessageKind::deleted; }
    bool isNotice() const
    {
        return message.origin == MessageOrigin::broadcast
            || message.origin == MessageOrigin::system;
    }
    // The photo shown in the bubble, if any.
    bool hasPhoto() const
    {
        return message.kind == MessageKind::image && (message.imageJPEG || message.imageURL);
    }
    // The body shown under the photo or alone: a photo's stand-in body "사진" is not shown.
    bool showsText() const { return !message.caption().isEmpty(); }

    // The sentence a screen reader reads for the row.
    QString accessibleText() const;

    friend bool operator==(const TranscriptRow &, const TranscriptRow &) = default;
};

Q_DECLARE_METATYPE(TranscriptRow)

// The visible messages of one room (not hidden for me, ascending seq) as a list model. Rows
// are the store's own entries, read when asked for; the model follows the store's per-room
// change reports, so that an arriving message costs a row insert, not a copy of the room.
class TranscriptModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { RowRole = Qt::UserRole + 1 }; // TranscriptRow

    TranscriptModel(LocalStore &store, const QUuid &roomId, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_rows.size()); }
    const ChatMessage &message(int row) const { return m_rows[size_t(row)]->message; }
    TranscriptRow row(int row) const;
    // The row of the message with this id; -1 when it is not shown.
    int rowOf(const QUuid &messageId) const;
    std::optional<QUuid> lastId() const;

    bool showDay(int row) const;
    bool showHeader(int row) const;
    bool showMeta(int row) const;

private:
    using Entry = MessageIndex::Entry;

    void roomChanged(const QUuid &roomId, const MessageIndex::RoomChange &change);
    void reload();
    void insertEntries(QList<const Entry *> entries);
    void removeRowAt(int row);
    // dataChanged for rows first..last (clamped), whose flags depend on their neighbours.
    void touchRows(int first, int last);
    void touchAll();
    // dataChanged for the rows that answer the message with this id: their quote follows it.
    void touchReplies(const QUuid &targetId);
    void noteReply(const Entry *entry);
    int findRow(const Entry *entry) const;
    int insertionRow(const Entry *entry) const;
    // Reads who is signed in, and the room with it; whether the signed-in account changed.
    bool readSession();
    void readRoom();

    LocalStore &m_store;
    QUuid m_roomId;
    std::vector<const Entry *> m_rows;
    // The room's entries that answer another message, by the id they answer (and the other
    // way round): their quote changes with the answered message.
    QMultiHash<QUuid, const Entry *> m_replies;
    QHash<const Entry *, QUuid> m_replyTargets;
    std::optional<QUuid> m_meId; // the signed-in account, when the store knows it
    // What the read marks depend on: the room's kind and its members' read positions.
    std::optional<std::pair<ConversationKind, QList<Membership>>> m_readBasis;
};
