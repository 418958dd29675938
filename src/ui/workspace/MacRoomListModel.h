#pragma once

#include "model/ChatMessage.h"
#include "model/Conversation.h"
#include "ui/workspace/KeyedListModel.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QUuid>

#include <optional>

class LocalStore;

// What one row of the room list shows, taken from the store when the room or its inputs change.
struct MacRoomRow
{
    Conversation room;
    QString title;
    bool official = false;
    std::optional<QByteArray> avatarJPEG; // a group's own photo, else the direct peer's
    std::optional<QString> avatarURL; // the direct peer's remote picture
    QString preview;
    QDateTime lastAt; // the last visible message's time; invalid when there is none
    int unread = 0;
    bool unreadDot = false;
    quint64 revision = 0; // changes exactly when something shown changes

    bool looksLike(const MacRoomRow &other) const;
};

// The listed rooms (the store's sortedList(), in its order) that match the search text. The
// rows follow the store once per event-loop turn after any change that can touch them, and
// move, appear and disappear one by one (see KeyedListModel): a message arriving in a room is
// a move of that row and a dataChanged of that row only.
class MacRoomListModel : public KeyedListModel
{
    Q_OBJECT
public:
    enum Role { RoomIdRole = Qt::UserRole + 1 };

    explicit MacRoomListModel(LocalStore &store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const MacRoomRow &row(int row) const { return m_rows.at(row); }
    int rowOf(const QUuid &roomId) const;
    // The ids of every listed room, search ignored, in list order.
    const QList<QUuid> &listedIds() const { return m_listedIds; }

    QString query() const { return m_query; }
    void setQuery(const QString &query);

    // The second line of a row: the last visible message as one line of text.
    static QString previewText(const ChatMessage *last);
    // The time at the end of the first line, relative to `now`; empty without a message.
    static QString timeText(const MacRoomRow &row, const QDateTime &now);
    // Everything the row shows, read as one: title, marks, time, preview, dot and count.
    static QString accessibleText(const MacRoomRow &row, const QDateTime &now);

signals:
    // A refresh finished (the rows may or may not have changed).
    void refreshed();
    // listedIds() changed (a room came, went or moved); follows refreshed().
    void listedIdsChanged();

protected:
    void rebuild() override;

private:
    // A row and what it was made from; row.room is the room as it was.
    struct Cached
    {
        quint64 messagesVersion = 0;
        quint64 accountsRevision = 0;
        int unread = 0;
        MacRoomRow row;
    };

    MacRoomRow makeRow(const Conversation &room, int unread) const;

    LocalStore &m_store;
    QString m_query;
    bool m_queryEmpty = true;
    QList<MacRoomRow> m_rows;
    QList<QUuid> m_listedIds;
    QHash<QUuid, Cached> m_cache;
    // Bumped when accounts or the session change: titles, marks and pictures come from there.
    quint64 m_accountsRevision = 1;
    quint64 m_lastRevision = 0;
};
