#pragma once

#include "ui/workspace/TranscriptRowLayout.h"

#include <QCache>
#include <QStyledItemDelegate>
#include <QUuid>

#include <algorithm>
#include <memory>

// Lays out and paints transcript rows. Layouts are kept per message and reused while the row's
// look (TranscriptRowLayout::Key), the width and the link colour stay the same, so a repaint or
// a second measurement costs a lookup. Serves the transcript view and, as an item delegate,
// any item view over a TranscriptModel (rows then get the spacing below them).
class TranscriptDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int sidePadding = 16;
    static constexpr int rowSpacing = 8;

    using QStyledItemDelegate::QStyledItemDelegate;

    // The layout of `row` at `width` (the width between the side paddings).
    std::shared_ptr<const TranscriptRowLayout> layoutFor(const TranscriptRow &row, int width,
                                                         const QPalette &palette) const;
    void paintRow(QPainter &painter, const QPointF &topLeft, const TranscriptRow &row,
                  const TranscriptRowLayout &layout, const QPalette &palette) const;
    void clearCache() { m_cache.clear(); }
    // How many layouts are kept (600 unless set): enough for the rows of some screens around
    // the one shown. An item view that sizes every row up front needs one per row.
    void setCacheLimit(qsizetype limit) { m_cache.setMaxCost(std::max<qsizetype>(1, limit)); }
    qsizetype cachedCount() const { return m_cache.size(); }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    struct Cached
    {
        TranscriptRowLayout::Key key;
        int width = 0;
        QRgb link = 0;
        std::shared_ptr<const TranscriptRowLayout> layout;
    };
    int rowWidth(const QStyleOptionViewItem &option) const;

    // The layouts kept, one per message, the least recently used going first when the cache is
    // full: one at a time, as new ones come. Letting hundreds go at once (a whole generation of
    // them) made one page of a long scroll take several times as long as the others, freeing
    // them.
    mutable QCache<QUuid, Cached> m_cache{600};
};
