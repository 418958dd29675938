#pragma once

#include "model/Conversation.h"
#include "store/MemberRooms.h"
#include "ui/common/KeyedListModel.h"
#include "ui/workspace/RoomSearchResults.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QUuid>

#include <optional>

class LocalStore;
class RoomListLastMessages;
class RoomSearchTexts;

// What one row of the room list shows, taken from the store when the room or its inputs change.
struct RoomRow
{
    Conversation room;
    QString title;
    bool official = false;
    std::optional<QByteArray> avatarJPEG; // a group's own photo, else the direct peer's
    std::optional<QString> avatarURL; // the direct peer's remote picture
    QString preview;
    QDateTime lastAt; // the last message's time; invalid when there is none
    int unread = 0;
    bool unreadDot = false;

    bool looksLike(const RoomRow &other) const;
};

// The listed rooms (the store's sortedList(), in its order) that match the search text. The
// rows follow the store once per event-loop turn after any change that can touch them, and
// move, appear and disappear one by one (see KeyedListModel): a message arriving in a room is
// a move of that row and a dataChanged of that row only.
//
// The work of a change is that of the rooms it touches, not of the list: the order comes from
// the store, kept room by room; a row is made when a view first asks for it and made again
// only when its room, its messages, its unread count or an account it shows changes; the
// search forms of titles and names are the store's (RoomSearchTexts), made as rooms change.
class RoomListModel : public KeyedListModel
{
    Q_OBJECT
public:
    enum Role { RoomIdRole = Qt::UserRole + 1 };

    explicit RoomListModel(LocalStore &store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const RoomRow &row(int row) const;
    int rowOf(const QUuid &roomId) const { return int(m_shown.indexOf(roomId)); }
    // The ids of every listed room, search ignored, in list order.
    const QList<QUuid> &listedIds() const { return m_listedIds; }
    // The last change of listedIds() only moved rooms: the same rooms are listed.
    bool listedOnlyMoved() const { return m_listedOnlyMoved; }

    void setQuery(const QString &query);

    // The time at the end of the first line, relative to `now`; empty without a message.
    static QString timeText(const RoomRow &row, const QDateTime &now);

signals:
    // A refresh finished (the rows may or may not have changed).
    void refreshed();
    // listedIds() changed (a room came, went or moved); follows refreshed().
    void listedIdsChanged();

protected:
    void rebuild() override;

private:
    // What is kept of one room: its row once a view asked for it.
    struct Entry
    {
        std::optional<RoomRow> row;
    };

    RoomRow makeRow(const Conversation &room) const;
    // Keeps `row` as the room's made row, in place of the one made before (if any).
    void keepRow(const QUuid &roomId, Entry &entry, RoomRow row) const;
    // Marks for the next refresh.
    void roomTouched(const QUuid &roomId);
    void listTouched();
    // Makes the kept rows that were marked again; the ids of those that look different.
    QList<QUuid> remakeRows();
    void showOrder(const QList<QUuid> &next);
    // Moves one row, `to` counting the rows before the move (as beginMoveRows).
    void moveRow(qsizetype from, qsizetype to);

    LocalStore &m_store;
    RoomSearchTexts &m_searchTexts;
    RoomListLastMessages &m_listedLast;
    QString m_query;
    QString m_queryForm; // the trimmed query in its search form; empty: no search
    QList<QUuid> m_shown; // the rows, by room id
    QList<QUuid> m_listedIds;
    bool m_listedOnlyMoved = false;
    bool m_shownListed = false; // the rows are listedIds(), no search narrowing them
    mutable QHash<QUuid, Entry> m_entries;
    // The made rows by the accounts they show: a renamed account remakes those rows only.
    mutable MemberRooms m_rowsOfMembers;
    RoomSearchResults m_searchResults;

    // What changed since the last refresh.
    QSet<QUuid> m_touchedRooms;
    QSet<QUuid> m_touchedAccounts;
    bool m_allRows = false;
    // roomsTouched or accountsTouched names what the list signal that follows it is about.
    bool m_roomNamed = false;
    bool m_accountNamed = false;
};
