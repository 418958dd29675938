// The transcript's keyboard: the current message, its ring, and what can be done with it.

#include "ui/common/MessageLinks.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/TranscriptListView.h"

#include "ui/common/DisplayText.h"
#include "ui/workspace/TranscriptModel.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

// The ring stands this far outside the bubble, so that it shows on a bubble of the
// highlight's own colour as well.
constexpr qreal kRingGap = 3;
constexpr qreal kRingWidth = 2;
// How far the ring's pixels reach out of the bubble, antialiasing included.
constexpr int kRingReach = int(kRingGap + kRingWidth) + 1;

} // namespace

int TranscriptListView::currentRow() const
{
    return m_current.isNull() ? -1 : m_model.rowOf(m_current);
}

void TranscriptListView::setCurrentId(const QUuid &messageId)
{
    if (m_current == messageId)
        return;
    const QUuid previous = std::exchange(m_current, messageId);
    updateRing(previous);
    updateRing(m_current);
    announceCurrent();
}

void TranscriptListView::updateRing(const QUuid &messageId)
{
    // The ring shows only while the list has focus; gaining or losing it repaints the whole.
    if (messageId.isNull() || !hasFocus())
        return;
    // Rows about to be laid out are not where they will be painted: after the layout.
    if (m_dirty) {
        m_ringsToUpdate.append(messageId);
        return;
    }
    if (const int row = m_model.rowOf(messageId); row >= 0)
        viewport()->update(
            bubbleRect(row).adjusted(-kRingReach, -kRingReach, kRingReach, kRingReach));
}

QRect TranscriptListView::bubbleRect(int row) const
{
    if (row < 0 || row >= m_model.count())
        return {};
    const auto layout = m_delegate.layoutFor(m_model.row(row), m_width, palette());
    const QRectF face = layout->bubble.isEmpty() ? layout->text : layout->bubble;
    return face.translated(rowRect(row).topLeft()).toAlignedRect();
}

QList<TranscriptAction> TranscriptListView::menuActions(int row)
{
    if (row < 0 || row >= m_model.count())
        return {};
    QList<TranscriptAction> all;
    if (m_menuSource)
        all = m_menuSource(m_model.message(row));
    all.append(linkActions(row));
    return all;
}

QList<TranscriptAction> TranscriptListView::linkActions(int row)
{
    const TranscriptRow data = m_model.row(row);
    const auto layout = m_delegate.layoutFor(data, std::max(m_width, 1), palette());
    if (!layout->bodyText || layout->text.isEmpty()) // the body is not shown: no active links
        return {};
    QList<TranscriptAction> links;
    for (const MessageLink &link : MessageLinks::find(data.message.body))
        links.append({linkName(link.url), [this, url = link.url] { emit linkClicked(url); }});
    return links;
}

QString TranscriptListView::linkName(const QUrl &url)
{
    return QStringLiteral("링크 열기: ") + DisplayText::linkText(url.toDisplayString());
}

QList<TranscriptAction> TranscriptListView::actions(int row)
{
    QList<TranscriptAction> all = menuActions(row);
    if (row < 0 || row >= m_model.count())
        return all;
    // What a click on the photo does: the same signal.
    if (m_model.row(row).hasPhoto()) {
        all.append({QStringLiteral("사진 보기"),
                    [this, id = m_model.message(row).id] { emit photoClicked(id); }});
    }
    return all;
}

std::optional<TranscriptAction> TranscriptListView::primaryAction(int row)
{
    if (row < 0 || row >= m_model.count())
        return std::nullopt;
    const TranscriptRow data = m_model.row(row);
    const QUuid id = data.message.id;
    if (data.mine && data.message.delivery == DeliveryState::failed)
        return TranscriptAction{QStringLiteral("재전송"), [this, id] { emit resendClicked(id); }};
    if (data.hasPhoto())
        return TranscriptAction{QStringLiteral("사진 보기"), [this, id] { emit photoClicked(id); }};
    // Of several links none is the obvious one: the menu lists them all.
    if (const QList<TranscriptAction> links = linkActions(row); links.size() == 1)
        return links.first();
    return std::nullopt;
}

void TranscriptListView::moveCurrent(int row)
{
    if (m_model.count() == 0)
        return;
    row = std::clamp(row, 0, m_model.count() - 1);
    const QUuid id = m_model.message(row).id;
    setCurrentId(id);
    revealRow(row);
    emit currentMoved(id);
}

int TranscriptListView::pageStepFrom(int row, int direction) const
{
    // About one visible height away, and at least one row.
    const qint64 from = rowTop(row) + direction * qint64(viewport()->height());
    const int target
        = rowAtContent(std::clamp<qint64>(from, rowsTop(), rowsTop() + m_heights.total() - 1));
    return target == row ? row + direction : target;
}

void TranscriptListView::revealRow(int row)
{
    if (row == m_model.count() - 1) {
        // The newest message: the end of the content, as when following.
        scrollToBottom();
        return;
    }
    if (m_width != contentWidth())
        ensureLayout();
    const int height = measure(row);
    m_heights.set(row, height, true);
    const int shown = height - spacing;
    const qint64 top = verticalScrollBar()->value();
    const qint64 rowTopY = rowTop(row);
    const int visible = viewport()->height();
    qint64 offset = top - rowTopY; // keeps the view where it is
    if (rowTopY < top + spacing || shown + 2 * spacing > visible)
        offset = -spacing; // the row's top just below the top edge
    else if (rowTopY + shown > top + visible - spacing)
        offset = shown + spacing - visible; // its bottom just above the bottom edge
    // Anchored to the row, not to the end: rows arriving below no longer move it.
    setAnchorRow(row, offset);
    ensureLayout();
}

void TranscriptListView::requestMenuAtCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    revealRow(row);
    const QRect bubble = bubbleRect(row);
    // The menu opens on the bubble, near its leading edge and halfway down.
    const QPoint at
        = bubble.topLeft() + QPoint(std::min(12, bubble.width() / 2), bubble.height() / 2);
    emit menuRequested(m_current, viewport()->mapToGlobal(at), true);
}

void TranscriptListView::announceCurrent()
{
    // Without a screen reader nobody listens, and asking for the rows would build them.
    if (!QAccessible::isActive() || !hasFocus())
        return;
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(viewport());
    if (QAccessibleInterface *row = list ? list->focusChild() : nullptr) {
        QAccessibleEvent event(row, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}

void TranscriptListView::keyPressEvent(QKeyEvent *event)
{
    const int count = m_model.count();
    const int row = currentRow();
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    const int key = event->key();
    if (key == Qt::Key_Escape && plain) {
        emit composerRequested();
        return;
    }
    const bool menuKey
        = key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
    if (count == 0 || (!plain && !menuKey)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    // Without a current message the first key makes the last one in view current.
    const int from = row >= 0 ? row : std::max(0, visibleRows().second);
    if (menuKey) {
        if (row < 0)
            moveCurrent(from);
        requestMenuAtCurrent();
        event->accept();
        return;
    }
    switch (key) {
    case Qt::Key_Up:
        moveCurrent(row >= 0 ? row - 1 : from);
        break;
    case Qt::Key_Down:
        moveCurrent(row >= 0 ? row + 1 : from);
        break;
    case Qt::Key_Home:
        moveCurrent(0);
        break;
    case Qt::Key_End:
        moveCurrent(count - 1);
        break;
    case Qt::Key_PageUp:
        moveCurrent(pageStepFrom(from, -1));
        break;
    case Qt::Key_PageDown:
        moveCurrent(pageStepFrom(from, 1));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (row >= 0) {
            if (const std::optional<TranscriptAction> action = primaryAction(row))
                action->run();
        }
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TranscriptListView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    // Focus lands on a message: the current one while it is still there, else the last one
    // in view (the newest while the view follows it). A click leaves the reader without one
    // until a key asks for it.
    const bool fromKeys = event->reason() != Qt::MouseFocusReason;
    if (fromKeys && currentRow() < 0 && m_model.count() > 0) {
        ensureLayout();
        const auto [first, last] = visibleRows();
        const int row = last >= first ? last : m_model.count() - 1;
        m_current = m_model.message(row).id;
    }
    viewport()->update();
    // Qt names the view itself as focused once this handler has returned; the current message
    // is named after that, so that a screen reader ends on the message and not on the list.
    QMetaObject::invokeMethod(this, &TranscriptListView::announceCurrent, Qt::QueuedConnection);
}

void TranscriptListView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void TranscriptListView::paintCurrentRing(QPainter &painter)
{
    const int row = currentRow();
    const auto [first, last] = visibleRows();
    if (row < first || row > last)
        return;
    const QRectF face = QRectF(bubbleRect(row)).adjusted(-kRingGap, -kRingGap, kRingGap, kRingGap);
    UiMetrics::paintFocusRing(painter, *this, face, TranscriptRowLayout::bubbleRadius + kRingGap,
                              kRingWidth);
}
