#pragma once

#include "ui/workspace/BottomFollow.h"
#include "ui/workspace/RowHeights.h"
#include "ui/workspace/TranscriptDelegate.h"
#include "ui/workspace/TranscriptRowLayout.h"

#include <QAbstractScrollArea>
#include <QTimer>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;
class SteadyScrollBar;
class TranscriptModel;

// Something the reader can do with one message, by the text that names it in the message's
// menu or to a screen reader.
struct TranscriptAction
{
    QString name;
    std::function<void()> run;
};

// The scrolling transcript: the "이전 메시지" button and the first-load spinner at the top,
// then the rows, painted by the delegate. Its cost follows what is on screen, not the room's
// length: rows are measured when they come near the visible area and estimated until then,
// their heights summed in a RowHeights tree, and only the rows in view are painted.
//
// What the reader sees never moves when an estimate is corrected: the view keeps an anchor,
// either the end of the content (while pinned there) or a row and the distance of the visible
// top from that row, and puts the scroll position back on it after every correction.
//
// Painting follows what changed: when the rows above a change keep their place (an arrival at
// the end, a row whose look changed), the pixels already painted are moved by the change of
// the scroll position and only the changed rows and those below them are painted again.
//
// The keyboard has a current message, ringed while the view has focus: Up, Down, Home, End,
// Page Up and Page Down move it and bring it into view; Return does what a click on its one
// active part would (resend, open the photo, follow its only link); the Menu key and Shift+F10
// ask for its menu at the bubble, where every link of the message has an item of its own;
// Escape hands the keyboard back (composerRequested()).
class TranscriptListView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr int topPadding = 8;
    static constexpr int bottomPadding = 8;
    static constexpr int spacing = 8;

    explicit TranscriptListView(TranscriptModel &model, QWidget *parent = nullptr);

    TranscriptModel &model() const { return m_model; }

    void setOlderShown(bool shown);
    void setSpinnerShown(bool shown);

    // Scrolls to the end of the content and keeps to it while rows settle.
    void scrollToBottom();
    // Scrolls so that the row stands in the middle of the visible area.
    void scrollToRow(int row);

    // The geometry the bottom-following rules read.
    TranscriptAnchor anchor() const;
    qint64 contentHeight() const;

    // Lays out what is not laid out yet (also done before every paint).
    void ensureLayout();
    // The row under a point of the viewport, -1 for none; its rectangle (row slot without
    // the spacing below) in viewport coordinates.
    int rowAt(const QPoint &point) const;
    QRect rowRect(int row) const;
    // Which rows are in view; first > last when none.
    std::pair<int, int> visibleRows() const;
    TranscriptHit hitAt(const QPoint &point, int *row = nullptr) const;
    // How many rows have been measured: what the view laid out.
    int measuredRows() const;

    // The keyboard's current message, null for none; its row, -1 for none.
    QUuid currentId() const { return m_current; }
    int currentRow() const;
    // Makes the message current without scrolling (a null id: none).
    void setCurrentId(const QUuid &messageId);
    // The bubble of a row (a system line's text) in viewport coordinates.
    QRect bubbleRect(int row) const;

    // Where the message menu's items come from (the room's menu for a message; none for system
    // lines and deleted messages).
    using MenuSource = std::function<QList<TranscriptAction>(const ChatMessage &message)>;
    void setMenuSource(MenuSource source) { m_menuSource = std::move(source); }
    // The items of a row's menu: the source's, then one per link of the text shown, named
    // "링크 열기: " and the address it opens (linkName()).
    QList<TranscriptAction> menuActions(int row);
    // What can be done with a row: its menu's items, then opening its photo.
    QList<TranscriptAction> actions(int row);
    // What Return does on a row: resend a failed message of one's own, else open the photo,
    // else follow the link when there is exactly one.
    std::optional<TranscriptAction> primaryAction(int row);
    // The name of the item that opens `url`: the address as it is opened, its bidi controls
    // shown percent-encoded as the transcript draws them (DisplayText::linkText()), so that the
    // name cannot read as another address.
    static QString linkName(const QUrl &url);

signals:
    void anchorChanged(const TranscriptAnchor &anchor);
    void olderClicked();
    void photoClicked(const QUuid &messageId);
    void resendClicked(const QUuid &messageId);
    void linkClicked(const QUrl &url);
    // The message's menu is asked for at a point; from the keyboard it opens on its first item.
    void menuRequested(const QUuid &messageId, const QPoint &globalPosition, bool fromKeyboard);
    // The reader moved the current message with the keyboard.
    void currentMoved(const QUuid &messageId);
    // Escape: the keyboard goes back to the message field.
    void composerRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void rowsInserted(int first, int last);
    void rowsRemoved(int first, int last);
    void resetRows();
    void dataChanged(int first, int last);
    // Everything is to be laid out and painted again.
    void invalidate();
    // Rows from `row` on may look different or have another height; those above are as
    // painted.
    void invalidateFrom(int row);
    // After a layout: moves what is painted and asks for the rest, or for everything.
    void repaintChanged(bool aboveKept);

    int contentWidth() const;
    int estimate(int row) const;
    std::vector<int> estimates(int first, int last) const;
    int measure(int row) const;
    int headerHeight() const;
    qint64 naturalHeight() const;
    qint64 rowsTop() const; // the first row's top in content coordinates
    qint64 rowTop(int row) const { return rowsTop() + m_heights.offset(row); }
    int rowAtContent(qint64 y) const;
    qint64 maximum() const;
    qint64 anchoredTop() const;
    void adoptScrollPosition();
    void setAnchorRow(int row, qint64 offset);
    void placeHeader();
    void emitAnchor();
    void paintSpinner(QPainter &painter, const QRect &area);
    // Keyboard moves: the row becomes current and comes into view.
    void moveCurrent(int row);
    int pageStepFrom(int row, int direction) const;
    void revealRow(int row);
    void requestMenuAtCurrent();
    // One action per link of the text a row shows.
    QList<TranscriptAction> linkActions(int row);
    void paintCurrentRing(QPainter &painter);
    // Asks for the repaint of a message's ring, now or after the pending layout.
    void updateRing(const QUuid &messageId);
    void announceCurrent();

    TranscriptModel &m_model;
    TranscriptDelegate m_delegate;
    RowHeights m_heights;
    int m_width = -1; // the width the measured heights belong to

    bool m_bottomAnchored = true;
    int m_anchorRow = 0;
    qint64 m_anchorOffset = 0; // visible top minus the anchor row's top
    QUuid m_anchorId; // the anchor row's message, to find it again after a model reset

    bool m_dirty = true;
    // What is painted, for repainting only what changed: the scroll position and the first
    // row's top it was painted at; the first row changed since (count: none); whether
    // everything is to be painted again.
    qint64 m_shownValue = -1;
    qint64 m_shownRowsTop = -1;
    int m_damageRow = 0;
    bool m_fullDamage = true;
    bool m_inLayout = false;
    bool m_settingValue = false;
    QTimer m_layoutTimer;
    std::optional<TranscriptAnchor> m_lastAnchor;

    QPushButton *m_older = nullptr;
    SteadyScrollBar *m_bar = nullptr;
    bool m_spinner = false;
    QTimer m_spin;
    int m_spinAngle = 0;

    struct Press
    {
        QUuid id;
        TranscriptHit hit;
    };
    std::optional<Press> m_press;

    QUuid m_current;
    QList<QUuid> m_ringsToUpdate; // rings that came or went while a layout was pending
    MenuSource m_menuSource;
};

// Screen readers see the transcript's painted rows as the items of a list: each row on screen
// is an item named with the row's spoken sentence (TranscriptRow::accessibleText()).
// Installs itself once; TranscriptListView calls it.
void installTranscriptAccessibility();
