#include "ui/workspace/TranscriptListView.h"

#include "ui/common/ChangeNotify.h"
#include "ui/common/ChatColor.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/SteadyScrollBar.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/TranscriptModel.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int kSpinnerFrameMs = 33;

} // namespace

TranscriptListView::TranscriptListView(TranscriptModel &model, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_model(model)
{
    installTranscriptAccessibility();
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every arrival changes the range; the bar paints only when its look changes.
    m_bar = new SteadyScrollBar(Qt::Vertical);
    setVerticalScrollBar(m_bar);
    viewport()->setBackgroundRole(QPalette::Window);
    // The view paints its own background, so that Qt can move what is painted (scroll)
    // rather than paint it again.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    setAccessibleName(QStringLiteral("메시지"));

    m_older = new QPushButton(QStringLiteral("이전 메시지"), viewport());
    m_older->setAccessibleName(QStringLiteral("이전 메시지"));
    m_older->hide();
    connect(m_older, &QPushButton::clicked, this, &TranscriptListView::olderClicked);

    m_layoutTimer.setSingleShot(true);
    m_layoutTimer.setInterval(0);
    connect(&m_layoutTimer, &QTimer::timeout, this, [this] {
        if (m_dirty)
            ensureLayout();
    });
    m_spin.setInterval(kSpinnerFrameMs);
    connect(&m_spin, &QTimer::timeout, this, [this] {
        m_spinAngle = (m_spinAngle + 12) % 360;
        viewport()->update();
    });
    // A decoded picture repaints the rows in view that show it: a sender's avatar or a photo.
    connect(DecodedImageCache::shared(), &DecodedImageCache::ready, viewport(),
            [this](const QSet<QString> &pictures) {
                DecodedImageCache *cache = DecodedImageCache::shared();
                const auto [first, last] = visibleRows();
                for (int row = first; row <= last; ++row) {
                    const TranscriptRow r = m_model.row(row);
                    if (cache->concerns(pictures, r.avatarJPEG, r.avatarURL)
                        || cache->concerns(pictures, r.message.imageJPEG, r.message.imageURL))
                        viewport()->update(rowRect(row));
                }
            });

    connect(&m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { rowsInserted(first, last); });
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { rowsRemoved(first, last); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, &TranscriptListView::resetRows);
    connect(&m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &first, const QModelIndex &last) {
                dataChanged(first.row(), last.row());
            });
    resetRows();
}

// ---------------------------------------------------------------------------------------------
// Rows and their heights

int TranscriptListView::contentWidth() const
{
    return std::max(1, viewport()->width() - 2 * TranscriptDelegate::sidePadding);
}

int TranscriptListView::estimate(int row) const
{
    // A cheap guess from the message alone, close enough that the scroll bar barely moves when
    // the row is measured.
    const ChatMessage &m = m_model.message(row);
    const int width = std::max(m_width, 200);
    const int column = std::min(TranscriptRowLayout::maxColumnWidth, width - 40) - 24;
    const int perLine = std::max(1, column / 11);
    int height = 0;
    switch (m.kind) {
    case MessageKind::system:
        height = 18 * (1 + int(m.body.size()) / std::max(1, width / 9));
        break;
    case MessageKind::deleted:
        height = 38;
        break;
    case MessageKind::image:
        height = 196 + (m.caption().isEmpty() ? 0 : 26);
        break;
    case MessageKind::text:
        height = 16 + 20 * (1 + int(m.body.size()) / perLine);
        break;
    }
    return height + 10 + spacing;
}

std::vector<int> TranscriptListView::estimates(int first, int last) const
{
    std::vector<int> heights;
    heights.reserve(size_t(std::max(0, last - first + 1)));
    for (int row = first; row <= last; ++row)
        heights.push_back(estimate(row));
    return heights;
}

int TranscriptListView::measure(int row) const
{
    return m_delegate.layoutFor(m_model.row(row), m_width, palette())->height + spacing;
}

int TranscriptListView::measuredRows() const
{
    int measured = 0;
    for (int row = 0; row < m_heights.count(); ++row)
        measured += m_heights.measured(row) ? 1 : 0;
    return measured;
}

void TranscriptListView::rowsInserted(int first, int last)
{
    const int added = last - first + 1;
    const bool hadRows = m_heights.count() > 0;
    m_heights.insert(first, estimates(first, last));
    // Rows that come above the anchor push it down the list: the reader keeps looking at the
    // same message.
    if (hadRows && first <= m_anchorRow)
        m_anchorRow += added;
    invalidateFrom(first);
}

void TranscriptListView::rowsRemoved(int first, int last)
{
    const int removed = last - first + 1;
    m_heights.remove(first, removed);
    if (m_anchorRow > last) {
        m_anchorRow -= removed;
    } else if (m_anchorRow >= first) {
        m_anchorRow = std::clamp(first, 0, std::max(0, m_heights.count() - 1));
        m_anchorOffset = 0;
        if (m_heights.count() > 0)
            m_anchorId = m_model.message(m_anchorRow).id;
    }
    // A current message that went hands its place to the one now there.
    if (!m_current.isNull() && m_model.rowOf(m_current) < 0)
        m_current = m_model.count() > 0
            ? m_model.message(std::clamp(first, 0, m_model.count() - 1)).id
            : QUuid();
    invalidate();
}

void TranscriptListView::resetRows()
{
    m_heights.reset(estimates(0, m_model.count() - 1));
    if (!m_anchorId.isNull()) {
        const int row = m_model.rowOf(m_anchorId);
        if (row >= 0)
            m_anchorRow = row;
    }
    m_anchorRow = std::clamp(m_anchorRow, 0, std::max(0, m_heights.count() - 1));
    if (m_model.rowOf(m_current) < 0)
        m_current = QUuid();
    invalidate();
}

void TranscriptListView::dataChanged(int first, int last)
{
    // The rows look different, perhaps with another height: measure them again when in view.
    m_heights.unmeasure(first, last);
    invalidateFrom(first);
}

void TranscriptListView::invalidate()
{
    m_fullDamage = true;
    m_dirty = true;
    m_layoutTimer.start();
    viewport()->update();
}

void TranscriptListView::invalidateFrom(int row)
{
    m_damageRow = std::min(m_damageRow, row);
    m_dirty = true;
    m_layoutTimer.start();
}

void TranscriptListView::repaintChanged(bool aboveKept)
{
    const qint64 value = verticalScrollBar()->value();
    const int height = viewport()->height();
    const int count = m_heights.count();
    const bool near = std::abs(value - m_shownValue) < height;
    const bool partial
        = aboveKept && !m_fullDamage && m_shownValue >= 0 && near && rowsTop() == m_shownRowsTop;
    if (!partial) {
        viewport()->update();
    } else {
        if (value != m_shownValue)
            viewport()->scroll(0, int(m_shownValue - value));
        if (m_damageRow < count) {
            int top = int(rowTop(m_damageRow) - value);
            // The keyboard's ring around a changed row reaches into the spacing above it.
            if (const int current = currentRow(); current >= m_damageRow)
                top -= spacing;
            if (top < height)
                viewport()->update(
                    QRect(0, std::max(0, top), viewport()->width(), height - std::max(0, top)));
        }
    }
    m_shownValue = value;
    m_shownRowsTop = rowsTop();
    m_damageRow = count;
    m_fullDamage = false;
    for (const QUuid &id : std::exchange(m_ringsToUpdate, {}))
        updateRing(id);
}

// ---------------------------------------------------------------------------------------------
// Geometry

int TranscriptListView::headerHeight() const
{
    const int item = UiMetrics::controlHeight + spacing;
    return (m_older->isVisibleTo(this) ? item : 0) + (m_spinner ? item : 0);
}

qint64 TranscriptListView::naturalHeight() const
{
    const int header = headerHeight();
    const bool anything = header > 0 || m_heights.count() > 0;
    return topPadding + header + m_heights.total() + bottomPadding - (anything ? spacing : 0);
}

qint64 TranscriptListView::contentHeight() const
{
    // At least the visible height, the content at its bottom: a short transcript sits just
    // above the composer.
    return std::max<qint64>(naturalHeight(), viewport()->height());
}

qint64 TranscriptListView::rowsTop() const
{
    return contentHeight() - naturalHeight() + topPadding + headerHeight();
}

int TranscriptListView::rowAtContent(qint64 y) const
{
    return m_heights.rowAt(y - rowsTop());
}

qint64 TranscriptListView::maximum() const
{
    return std::max<qint64>(0, contentHeight() - viewport()->height());
}

qint64 TranscriptListView::anchoredTop() const
{
    const qint64 last = maximum();
    if (m_bottomAnchored)
        return last;
    const qint64 top = m_heights.count() > 0
        ? rowTop(std::min(m_anchorRow, m_heights.count() - 1)) + m_anchorOffset
        : m_anchorOffset;
    return std::clamp<qint64>(top, 0, last);
}

void TranscriptListView::setAnchorRow(int row, qint64 offset)
{
    m_bottomAnchored = false;
    m_anchorRow = row;
    m_anchorOffset = offset;
    m_anchorId = m_heights.count() > 0 ? m_model.message(row).id : QUuid();
}

void TranscriptListView::adoptScrollPosition()
{
    const qint64 value = verticalScrollBar()->value();
    if (value >= maximum()) {
        m_bottomAnchored = true;
        return;
    }
    if (m_heights.count() == 0) {
        m_bottomAnchored = false;
        m_anchorOffset = value;
        return;
    }
    const int row = rowAtContent(value);
    setAnchorRow(row, value - rowTop(row));
}

TranscriptAnchor TranscriptListView::anchor() const
{
    const qreal height = qreal(contentHeight());
    return {height - verticalScrollBar()->value(), height, qreal(viewport()->height())};
}

void TranscriptListView::emitAnchor()
{
    const TranscriptAnchor now = anchor();
    if (assignChanged(m_lastAnchor, std::optional(now)))
        emit anchorChanged(now);
}

void TranscriptListView::ensureLayout()
{
    if (m_inLayout) {
        // Setting the range can show or hide the scroll bar, which resizes the viewport
        // while the layout runs: lay out again afterwards.
        invalidate();
        return;
    }
    m_inLayout = true;
    const int width = contentWidth();
    if (width != m_width) {
        m_width = width;
        m_heights.unmeasureAll();
        m_fullDamage = true;
    }
    // Whether the rows above the first changed one keep their heights, hence their places.
    bool aboveKept = true;
    // Measure the rows in and around the visible area; a correction moves the rows, so the
    // area is found again until nothing in it changes.
    const int visible = viewport()->height();
    const int margin = visible / 2;
    for (int round = 0; round < 8 && m_heights.count() > 0; ++round) {
        const qint64 top = anchoredTop();
        const int first = rowAtContent(top - margin);
        const int last = rowAtContent(top + visible + margin);
        bool corrected = false;
        for (int row = first; row <= last; ++row) {
            if (m_heights.measured(row))
                continue;
            const int height = measure(row);
            const bool changed = height != m_heights.height(row);
            corrected = corrected || changed;
            aboveKept = aboveKept && !(changed && row < m_damageRow);
            m_heights.set(row, height, true);
        }
        if (!corrected)
            break;
    }
    m_settingValue = true;
    m_bar->setAll(0, int(maximum()), visible, 20, int(anchoredTop()));
    m_settingValue = false;
    m_dirty = false;
    m_inLayout = false;
    // The button is a child of the viewport, which a scroll moves: placed after it.
    repaintChanged(aboveKept);
    placeHeader();
    emitAnchor();
}

void TranscriptListView::scrollToBottom()
{
    m_bottomAnchored = true;
    ensureLayout();
}

void TranscriptListView::scrollToRow(int row)
{
    if (row < 0 || row >= m_heights.count())
        return;
    if (m_width != contentWidth())
        ensureLayout();
    const int height = measure(row);
    m_heights.set(row, height, true);
    // The visible top lies half the visible height above the row's middle.
    setAnchorRow(row, (height - spacing) / 2 - viewport()->height() / 2);
    ensureLayout();
}

void TranscriptListView::setOlderShown(bool shown)
{
    if (m_older->isVisibleTo(this) == shown)
        return;
    m_older->setVisible(shown);
    invalidate();
}

void TranscriptListView::setSpinnerShown(bool shown)
{
    if (!assignChanged(m_spinner, shown))
        return;
    if (shown)
        m_spin.start();
    else
        m_spin.stop();
    invalidate();
}

void TranscriptListView::placeHeader()
{
    if (!m_older->isVisibleTo(this))
        return;
    const qint64 top
        = contentHeight() - naturalHeight() + topPadding - verticalScrollBar()->value();
    const int width = std::max(m_older->sizeHint().width() + 24, 140);
    m_older->setGeometry((viewport()->width() - width) / 2, int(top), width,
                         UiMetrics::controlHeight);
}

std::pair<int, int> TranscriptListView::visibleRows() const
{
    if (m_heights.count() == 0)
        return {0, -1};
    const qint64 top = verticalScrollBar()->value();
    const qint64 bottom = top + viewport()->height();
    const int first = rowAtContent(top);
    int last = rowAtContent(bottom - 1);
    if (rowTop(first) >= bottom)
        return {0, -1};
    return {first, last};
}

int TranscriptListView::rowAt(const QPoint &point) const
{
    if (m_heights.count() == 0)
        return -1;
    const qint64 y = verticalScrollBar()->value() + point.y();
    if (y < rowsTop())
        return -1;
    const int row = rowAtContent(y);
    return y < rowTop(row) + m_heights.height(row) ? row : -1;
}

QRect TranscriptListView::rowRect(int row) const
{
    return QRect(TranscriptDelegate::sidePadding, int(rowTop(row) - verticalScrollBar()->value()),
                 m_width, m_heights.height(row) - spacing);
}

TranscriptHit TranscriptListView::hitAt(const QPoint &point, int *rowOut) const
{
    const int row = rowAt(point);
    if (rowOut)
        *rowOut = row;
    if (row < 0)
        return {};
    const auto layout = m_delegate.layoutFor(m_model.row(row), m_width, palette());
    return layout->hitTest(QPointF(point - rowRect(row).topLeft()));
}

// ---------------------------------------------------------------------------------------------
// Events

void TranscriptListView::paintEvent(QPaintEvent *event)
{
    if (m_dirty) {
        // Laid out while painting: what is painted elsewhere cannot be moved any more.
        m_fullDamage = true;
        ensureLayout();
    }
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, viewport()->palette().brush(viewport()->backgroundRole()));
    const qint64 value = verticalScrollBar()->value();
    const QPalette &colours = palette();
    if (m_spinner) {
        const qint64 top = contentHeight() - naturalHeight() + topPadding
            + (m_older->isVisibleTo(this) ? UiMetrics::controlHeight + spacing : 0) - value;
        paintSpinner(painter, QRect(0, int(top), viewport()->width(), UiMetrics::controlHeight));
    }
    // Only the rows in the area to paint.
    auto [first, last] = visibleRows();
    if (first <= last) {
        first = std::max(first, rowAtContent(value + area.top()));
        last = std::min(last, rowAtContent(value + area.bottom()));
    }
    for (int row = first; row <= last; ++row) {
        const TranscriptRow data = m_model.row(row);
        const auto layout = m_delegate.layoutFor(data, m_width, colours);
        m_delegate.paintRow(painter,
                            QPointF(TranscriptDelegate::sidePadding, qreal(rowTop(row) - value)),
                            data, *layout, colours);
    }
    paintCurrentRing(painter);
}

void TranscriptListView::paintSpinner(QPainter &painter, const QRect &area)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(ChatColor::secondaryText(palette()), 2.5);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF circle(area.center().x() - 10, area.center().y() - 10, 20, 20);
    painter.drawArc(circle, -m_spinAngle * 16, 270 * 16);
    painter.restore();
}

void TranscriptListView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_fullDamage = true;
    ensureLayout();
}

void TranscriptListView::scrollContentsBy(int, int)
{
    if (m_settingValue)
        return;
    // The reader moved: that position is now what stays put. The geometry goes to the
    // following rules before any row measured at the new place changes the content's height.
    adoptScrollPosition();
    emitAnchor();
    ensureLayout();
}

void TranscriptListView::mousePressEvent(QMouseEvent *event)
{
    m_press.reset();
    int row = -1;
    const TranscriptHit hit = hitAt(event->position().toPoint(), &row);
    if (event->button() == Qt::LeftButton && row >= 0 && hit.part != TranscriptHit::Part::none
        && hit.part != TranscriptHit::Part::bubble)
        m_press = Press{m_model.message(row).id, hit};
    QAbstractScrollArea::mousePressEvent(event);
}

void TranscriptListView::mouseMoveEvent(QMouseEvent *event)
{
    const TranscriptHit::Part part = hitAt(event->position().toPoint()).part;
    const bool active = part == TranscriptHit::Part::photo || part == TranscriptHit::Part::link
        || part == TranscriptHit::Part::resend;
    viewport()->setCursor(active ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QAbstractScrollArea::mouseMoveEvent(event);
}

void TranscriptListView::mouseReleaseEvent(QMouseEvent *event)
{
    const std::optional<Press> press = std::exchange(m_press, std::nullopt);
    int row = -1;
    const TranscriptHit hit = hitAt(event->position().toPoint(), &row);
    if (!press || event->button() != Qt::LeftButton || row < 0 || hit != press->hit
        || m_model.message(row).id != press->id) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    switch (hit.part) {
    case TranscriptHit::Part::photo:
        emit photoClicked(press->id);
        break;
    case TranscriptHit::Part::resend:
        emit resendClicked(press->id);
        break;
    case TranscriptHit::Part::link:
        emit linkClicked(hit.url);
        break;
    default:
        break;
    }
}

void TranscriptListView::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        requestMenuAtCurrent();
        return;
    }
    int row = -1;
    const TranscriptHit::Part part = hitAt(event->pos(), &row).part;
    // The menu belongs to the bubble, photo and links included.
    if (row < 0 || part == TranscriptHit::Part::none || part == TranscriptHit::Part::resend)
        return;
    emit menuRequested(m_model.message(row).id, event->globalPos(), false);
}

void TranscriptListView::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
        // Colours are read when painting; fonts and link colours are part of the layouts.
        m_delegate.clearCache();
        m_width = -1;
        invalidate();
        break;
    default:
        break;
    }
    QAbstractScrollArea::changeEvent(event);
}
