#include "ui/workspace/RowHeights.h"

#include <algorithm>
#include <bit>

namespace {

size_t lowBit(size_t i)
{
    return i & (~i + 1);
}

} // namespace

void RowHeights::reset(std::vector<int> heights)
{
    m_heights = std::move(heights);
    m_measured.assign(m_heights.size(), 0);
    rebuild();
}

void RowHeights::rebuild()
{
    const size_t n = m_heights.size();
    m_tree.assign(n + 1, 0);
    for (size_t i = 1; i <= n; ++i) {
        m_tree[i] += m_heights[i - 1];
        const size_t parent = i + lowBit(i);
        if (parent <= n)
            m_tree[parent] += m_tree[i];
    }
}

void RowHeights::add(int row, qint64 delta)
{
    for (size_t i = size_t(row) + 1; i < m_tree.size(); i += lowBit(i))
        m_tree[i] += delta;
}

void RowHeights::set(int row, int height, bool measured)
{
    const int old = m_heights[size_t(row)];
    m_heights[size_t(row)] = height;
    m_measured[size_t(row)] = measured ? 1 : 0;
    if (height != old)
        add(row, height - old);
}

void RowHeights::insert(int row, const std::vector<int> &heights)
{
    if (row == count()) {
        // Appending: each new node sums the rows it covers, read from the tree as it stands.
        for (int h : heights) {
            m_heights.push_back(h);
            m_measured.push_back(0);
            const size_t i = m_heights.size();
            m_tree.push_back(h + offset(int(i) - 1) - offset(int(i - lowBit(i))));
        }
        return;
    }
    m_heights.insert(m_heights.begin() + row, heights.cbegin(), heights.cend());
    m_measured.insert(m_measured.begin() + row, heights.size(), 0);
    rebuild();
}

void RowHeights::remove(int first, int count)
{
    m_heights.erase(m_heights.begin() + first, m_heights.begin() + first + count);
    m_measured.erase(m_measured.begin() + first, m_measured.begin() + first + count);
    if (first == int(m_heights.size())) {
        // Rows cut off at the end: the nodes of the rows left cover only rows left.
        m_tree.resize(m_heights.size() + 1);
        return;
    }
    rebuild();
}

void RowHeights::unmeasure(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    if (first <= last)
        std::fill(m_measured.begin() + first, m_measured.begin() + last + 1, 0);
}

void RowHeights::unmeasureAll()
{
    std::fill(m_measured.begin(), m_measured.end(), 0);
}

qint64 RowHeights::offset(int row) const
{
    qint64 sum = 0;
    for (size_t i = size_t(row); i > 0; i -= lowBit(i))
        sum += m_tree[i];
    return sum;
}

int RowHeights::rowAt(qint64 position) const
{
    const size_t n = m_heights.size();
    if (n == 0)
        return -1;
    if (position <= 0)
        return 0;
    // The number of whole rows above `position`, found by descending the tree.
    size_t pos = 0;
    qint64 rest = position;
    for (size_t step = std::bit_floor(n); step > 0; step >>= 1) {
        if (pos + step <= n && m_tree[pos + step] <= rest) {
            pos += step;
            rest -= m_tree[pos];
        }
    }
    return int(std::min(pos, n - 1));
}
