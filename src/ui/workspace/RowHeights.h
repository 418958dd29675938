#pragma once

#include <QtGlobal>

#include <vector>

// The heights of a long list's rows, most of them estimates until the row is measured, with
// their running sums in a Fenwick tree: the offset of a row and the row at an offset cost
// O(log n), appending a row O(log n), so that a list of fifty thousand rows answers as fast as
// one of a thousand. Inserting or removing elsewhere than at the end rebuilds the sums (O(n)).
class RowHeights
{
public:
    int count() const { return int(m_heights.size()); }
    int height(int row) const { return m_heights[size_t(row)]; }
    bool measured(int row) const { return m_measured[size_t(row)] != 0; }

    // Replaces every row by these heights, none measured.
    void reset(std::vector<int> heights);
    void set(int row, int height, bool measured);
    void insert(int row, const std::vector<int> &heights);
    void remove(int first, int count);
    // Marks rows as needing a new measurement; their heights stay as estimates.
    void unmeasure(int first, int last);
    void unmeasureAll();

    // The sum of the heights of the rows before `row` (0 <= row <= count()).
    qint64 offset(int row) const;
    qint64 total() const { return offset(count()); }
    // The row that covers `position` (measured from the first row's top), clamped to the
    // rows there are; -1 without rows.
    int rowAt(qint64 position) const;

private:
    void rebuild();
    void add(int row, qint64 delta);

    std::vector<int> m_heights;
    std::vector<quint8> m_measured;
    std::vector<qint64> m_tree; // 1-based Fenwick tree over m_heights; m_tree[0] unused
};
