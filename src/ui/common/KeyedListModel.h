#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <type_traits>

// A list model whose rows each carry a unique key. syncRows() brings the rows to a new list with
// the fewest changes a view has to follow: removals, insertions and single-row moves for rows
// whose key is new, gone or out of place, and dataChanged for a row whose value changed in
// place. A room that rises to the top is one move, never a reset, so the view keeps its
// selection, its scroll position and the layout of every other row.
//
// The rows follow their source through refreshSoon(): every change within one turn of the event
// loop (a message event touches the messages, the room and the unread counts one after another)
// makes one rebuild().
class KeyedListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit KeyedListModel(QObject *parent = nullptr)
        : QAbstractListModel(parent)
    {
        m_refreshTimer.setSingleShot(true);
        connect(&m_refreshTimer, &QTimer::timeout, this, &KeyedListModel::refresh);
    }

    // Brings the rows up to date at once.
    void refresh()
    {
        m_refreshTimer.stop();
        emit syncing();
        rebuild();
        emit synced();
    }

signals:
    // Around each bring-up-to-date: a view may move its selection on its own while rows go or
    // move, and can tell those moves from the user's choices by these.
    void syncing();
    void synced();

protected:
    // A timer already waiting is left as it is: restarting it costs a timer's removal and
    // registration, and a room list of thousands of rooms touches thousands of rows at once.
    void refreshSoon()
    {
        if (!m_refreshTimer.isActive())
            m_refreshTimer.start();
    }
    // Reads the source and brings the rows to it, usually with syncRows().
    virtual void rebuild() = 0;

    // `keyOf(row)` gives the key; `same(a, b)` tells whether two rows with the same key look
    // the same. `next` must not repeat a key.
    template<typename Row, typename KeyOf, typename Same>
    void syncRows(QList<Row> &rows, const QList<Row> &next, KeyOf keyOf, Same same)
    {
        using Key = std::decay_t<decltype(keyOf(next.first()))>;
        QSet<Key> wanted;
        wanted.reserve(next.size());
        for (const Row &row : next)
            wanted.insert(keyOf(row));

        // Rows that go, bottom-up, one call per contiguous run.
        for (qsizetype last = rows.size() - 1; last >= 0; --last) {
            if (wanted.contains(keyOf(rows.at(last))))
                continue;
            qsizetype first = last;
            while (first > 0 && !wanted.contains(keyOf(rows.at(first - 1))))
                --first;
            beginRemoveRows({}, int(first), int(last));
            rows.remove(first, last - first + 1);
            endRemoveRows();
            last = first;
        }

        QSet<Key> present;
        present.reserve(rows.size());
        for (const Row &row : rows)
            present.insert(keyOf(row));
        const auto find = [&](const Key &key, qsizetype from, const QList<Row> &list) {
            for (qsizetype i = from; i < list.size(); ++i) {
                if (keyOf(list.at(i)) == key)
                    return i;
            }
            return qsizetype(-1);
        };

        for (qsizetype i = 0; i < next.size(); ++i) {
            const Key key = keyOf(next.at(i));
            if (!present.contains(key)) {
                // New rows, one call per contiguous run.
                qsizetype last = i;
                while (last + 1 < next.size() && !present.contains(keyOf(next.at(last + 1))))
                    ++last;
                beginInsertRows({}, int(i), int(last));
                for (qsizetype k = i; k <= last; ++k)
                    rows.insert(k, next.at(k));
                endInsertRows();
                i = last;
                continue;
            }
            if (keyOf(rows.at(i)) != key) {
                const qsizetype from = find(key, i + 1, rows);
                if (from == i + 1) {
                    // The row in the way is the one that moved (down): move it, not the rest.
                    const qsizetype to
                        = std::min(find(keyOf(rows.at(i)), i + 1, next), rows.size() - 1);
                    beginMoveRows({}, int(i), int(i), {}, int(to + 1));
                    rows.move(i, to);
                } else {
                    beginMoveRows({}, int(from), int(from), {}, int(i));
                    rows.move(from, i);
                }
                endMoveRows();
            }
            if (!same(rows.at(i), next.at(i))) {
                rows[i] = next.at(i);
                const QModelIndex changed = index(int(i));
                emit dataChanged(changed, changed);
            }
        }
    }

private:
    QTimer m_refreshTimer;
};
