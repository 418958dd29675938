#include "ui/workspace/ChatList.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "ui/common/AccessibleActions.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/PanelParts.h"
#include "ui/common/PictureRows.h"
#include "ui/common/UiMetrics.h"
#include "ui/common/WideButton.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/RoomListModel.h"
#include "ui/workspace/SidebarRows.h"

#include <QAccessible>
#include <QAction>
#include <QBoxLayout>
#include <QGridLayout>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

// The widget whose background shows behind `widget`: the nearest that fills its own.
const QWidget *backgroundOwner(const QWidget *widget)
{
    const QWidget *owner = widget->parentWidget();
    while (owner && !owner->isWindow() && !owner->autoFillBackground())
        owner = owner->parentWidget();
    return owner;
}

// QListView lays out every row again, and repaints them all, on any dataChanged, in case a row
// changed its size. Room rows all have one fixed height, so a changed row only needs its own
// repaint: a message in the top room repaints that row, not the list.
//
// A row moving (a room rising to the top) keeps every row's place but those between its old and
// new one, which shift by one row: their pixels are moved, and only the moved row is painted.
// For that the list paints its own background, the one of the widget behind it, so that its
// pixels can be moved at all.
class RoomListView : public QListView
{
public:
    using QListView::QListView;

    void setModel(QAbstractItemModel *model) override
    {
        QListView::setModel(model);
        viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
        // Qt's own answer to a move lays out and repaints the whole list; where it cannot be
        // taken away (a Qt that connects it otherwise) it stays, and so does its cost: the log
        // says so, for whoever wonders why every message repaints the whole list.
        m_ownMoves = false;
        if (!model)
            return;
        m_ownMoves = disconnect(model, SIGNAL(rowsMoved(QModelIndex, int, int, QModelIndex, int)),
                                this, SLOT(_q_rowsMoved(QModelIndex, int, int, QModelIndex, int)));
        if (m_ownMoves)
            connect(model, &QAbstractItemModel::rowsMoved, this, &RoomListView::rowMoved);
        else
            qWarning("this Qt (%s) answers a room list's moves by its own means: the whole list "
                     "is laid out and painted again at each move",
                     qVersion());
    }

    // Moves are answered without laying out the rows again.
    bool movesInPlace() const { return m_ownMoves; }

    // Whether the view is answering a mouse button. A click on a row emits `clicked`; a style
    // that activates items with one click (a desktop's single-click setting) emits `activated`
    // for the same click, and a double click emits it for the click that came before.
    bool answeringMouse() const { return m_answeringMouse; }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        const QScopedValueRollback mouse(m_answeringMouse, true);
        QListView::mouseReleaseEvent(event);
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        const QScopedValueRollback mouse(m_answeringMouse, true);
        QListView::mouseDoubleClickEvent(event);
    }

    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles) override
    {
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    }

    void paintEvent(QPaintEvent *event) override
    {
        if (const QWidget *owner = backgroundOwner(viewport())) {
            QPainter painter(viewport());
            painter.setBrushOrigin(-viewport()->mapTo(owner, QPoint()));
            const QBrush brush = owner->palette().brush(owner->backgroundRole());
            for (const QRect &rect : event->region())
                painter.fillRect(rect, brush);
        }
        QListView::paintEvent(event);
    }

private:
    void rowMoved(const QModelIndex &, int start, int end, const QModelIndex &, int row)
    {
        if (QAccessible::isActive()) {
            QAccessibleTableModelChangeEvent reset(this,
                                                   QAccessibleTableModelChangeEvent::ModelReset);
            QAccessible::updateAccessibility(&reset);
        }
        if (!isVisible() || !updatesEnabled())
            return;
        if (end != start) {
            viewport()->update();
            return;
        }
        // Where the row is now, and the rows that shifted: up to its old place when it rose,
        // down from there when it sank.
        const int at = row > start ? row - 1 : row;
        const int first = std::min(at, start);
        const int last = std::max(at, start);
        const QRect top = visualRect(model()->index(first, 0, rootIndex()));
        const QRect bottom = visualRect(model()->index(last, 0, rootIndex()));
        const QRect span = QRect(0, top.top(), viewport()->width(), bottom.bottom() - top.top() + 1)
                               .intersected(viewport()->rect());
        if (span.isEmpty())
            return;
        // The strip the shift leaves behind is where the moved row now stands; it is painted.
        viewport()->scroll(0, at < start ? top.height() : -top.height(), span);
        viewport()->update(visualRect(model()->index(at, 0, rootIndex())));
    }

    bool m_ownMoves = false;
    bool m_answeringMouse = false;
};

} // namespace

// The search field, which says what it shows: its text with the syllable that an input method is
// still composing at the cursor. QLineEdit's own signals carry the finished text alone, so a
// search typed in Korean would always find what was typed one syllable before.
class ChatSearchField : public QLineEdit
{
public:
    explicit ChatSearchField(QWidget *parent)
        : QLineEdit(parent)
    {
        connect(this, &QLineEdit::textEdited, this, [this] {
            if (!m_inComposition && edited)
                edited(shownText());
        });
        // Any other change of the text (set from outside, or emptied) drops what was composed:
        // Qt cancels the composition along with it.
        connect(this, &QLineEdit::textChanged, this, [this] {
            if (!m_inComposition)
                m_composing.clear();
        });
    }

    // Called with shownText() after each of the user's edits, composing included.
    std::function<void(const QString &)> edited;

    QString shownText() const
    {
        QString shown = text();
        if (!m_composing.isEmpty())
            shown.insert(std::clamp(cursorPosition(), 0, int(shown.size())), m_composing);
        return shown;
    }

protected:
    void inputMethodEvent(QInputMethodEvent *event) override
    {
        const QString before = shownText();
        m_composing = event->preeditString();
        m_inComposition = true;
        QLineEdit::inputMethodEvent(event);
        m_inComposition = false;
        if (const QString shown = shownText(); shown != before && edited)
            edited(shown);
    }

private:
    QString m_composing;
    bool m_inComposition = false;
};

ChatList::ChatList(LocalStore &store, const Navigation &navigation, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_navigation(navigation)
    , m_model(new RoomListModel(store, this))
    , m_search(new ChatSearchField(this))
    , m_newChat(ChatIcon::button(QStringLiteral("square.and.pencil"), QStringLiteral("새 대화"), 20,
                                 this))
    , m_view(new RoomListView(this))
    , m_start(new WideButton(QStringLiteral("대화 시작"), WideButton::Role::Normal, this))
    , m_noMatch(PanelParts::label(QStringLiteral("해당하는 대화가 없습니다."), {},
                                  ChatFont::subheadline(), this, PanelParts::Ink::Secondary,
                                  PanelParts::Wrap::Yes))
{
    prepareParts();
    layOut();
    followModel();
    connectRequests();

    connect(&m_navigation, &Navigation::queryChanged, this, [this] {
        // The query may hold a syllable still being composed: what shows is left alone then.
        if (m_search->shownText() != m_navigation.query())
            m_search->setText(m_navigation.query());
        m_model->setQuery(m_navigation.query());
    });
    connect(&m_navigation, &Navigation::pageChanged, this, &ChatList::followPage);
    // The list shown (again) notes its rooms, revealing one that arrived meanwhile.
    const auto appear = [this] {
        if (m_navigation.section() == Section::chats)
            noteRooms(m_model->listedIds());
    };
    connect(&m_navigation, &Navigation::sectionChanged, this, appear);
    connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, this, &ChatList::noteTopRow);
    PictureRows::follow(m_view, [this](const QModelIndex &index, const QSet<QString> &pictures) {
        const RoomRow &row = m_model->row(index.row());
        return DecodedImageCache::shared()->concerns(pictures, row.avatarJPEG, row.avatarURL);
    });

    updateEmptyState();
    followPage();
    appear();
}

void ChatList::prepareParts()
{
    m_search->setPlaceholderText(QStringLiteral("검색"));
    ChatColor::keepSecondary(m_search, QPalette::PlaceholderText);
    m_search->setAccessibleName(QStringLiteral("검색"));
    m_search->setText(m_navigation.query());
    // Escape empties a search in progress (and, with nothing typed, is left to others).
    auto *clearSearch = new QAction(m_search);
    clearSearch->setShortcut(Qt::Key_Escape);
    clearSearch->setShortcutContext(Qt::WidgetShortcut);
    m_search->addAction(clearSearch);
    const auto followText
        = [clearSearch](const QString &text) { clearSearch->setEnabled(!text.isEmpty()); };
    connect(m_search, &QLineEdit::textChanged, clearSearch, followText);
    followText(m_search->text());
    connect(clearSearch, &QAction::triggered, this, [this] {
        m_search->clear();
        emit queryEdited(QString());
    });

    m_model->setQuery(m_navigation.query());
    // The list is set up before it has rows, so that none of its settings lays them out again.
    SidebarRowPaint::prepareList(*m_view);
    m_view->setUniformItemSizes(true);
    m_view->setItemDelegate(new ConversationRowDelegate(this));
    m_view->setModel(m_model);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setAccessibleName(QStringLiteral("대화"));

    m_start->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_noMatch->setAlignment(Qt::AlignCenter);
}

void ChatList::layOut()
{
    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(UiMetrics::sidebarMargin, 0, UiMetrics::sidebarMargin, 0);
    searchRow->setSpacing(8);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_newChat);

    // The empty state lies over the list, centred in the same cell.
    auto *listArea = new QGridLayout;
    listArea->setContentsMargins(0, 4, 0, 0);
    listArea->addWidget(m_view, 0, 0);
    listArea->addWidget(m_start, 0, 0, Qt::AlignCenter);
    listArea->addWidget(m_noMatch, 0, 0, Qt::AlignCenter);

    auto *layout = bareBox<QVBoxLayout>(this);
    layout->addLayout(searchRow);
    layout->addLayout(listArea, 1);
}

void ChatList::followModel()
{
    connect(m_model, &RoomListModel::listedIdsChanged, this, &ChatList::listedIdsChanged);
    // A moved, new or gone row makes QListView lay out and repaint twice, once for the change
    // and once more from a zero timer; laying out at once after the refresh makes it one.
    // A moved row is laid out again only where the list does not move it in place.
    const auto layoutDue = [this] { m_layoutDue = true; };
    if (!static_cast<RoomListView *>(m_view)->movesInPlace())
        connect(m_model, &QAbstractItemModel::rowsMoved, this, layoutDue);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, layoutDue);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, layoutDue);
    connect(m_model, &QAbstractItemModel::modelReset, this, layoutDue);
    connect(m_model, &RoomListModel::refreshed, this, [this] {
        if (std::exchange(m_layoutDue, false))
            m_view->doItemsLayout();
        updateEmptyState();
        followPage();
    });
    // Removing or moving the selected row lets the view select a neighbour on its own; that is
    // no choice of the user's, so it opens nothing, and the selection follows the page again.
    connect(m_model, &KeyedListModel::syncing, this, [this] { m_syncing = true; });
    connect(m_model, &KeyedListModel::synced, this, [this] {
        m_syncing = false;
        followPage();
    });
}

// The search, the buttons, the rows' choice, Return and menu: each becomes a request.
void ChatList::connectRequests()
{
    m_search->edited = [this](const QString &shown) { emit queryEdited(shown); };
    connect(m_newChat, &QToolButton::clicked, this, &ChatList::newChatRequested);
    connect(m_start, &WideButton::clicked, this, &ChatList::newChatRequested);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ChatList::selectionMoved);
    connect(m_view, &QListView::customContextMenuRequested, this, &ChatList::showRowMenu);
    // Return on a row, or a screen reader's "Press", opens the room to write in it.
    const auto write = [this](const QModelIndex &row) {
        emit writeRequested(row.data(RoomListModel::RoomIdRole).toUuid());
    };
    const auto *rows = static_cast<const RoomListView *>(m_view);
    connect(m_view, &QListView::activated, this, [rows, write](const QModelIndex &row) {
        // The mouse's activation is the click's, asked for already.
        if (!rows->answeringMouse())
            write(row);
    });
    AccessibleActions::pressableRows(m_view, write);
    // A click on a row opens the room to write in it too, as in any messenger: what is typed next
    // goes to its message field. Moving through the rows with the arrow keys opens each room but
    // leaves the keyboard in the list.
    connect(m_view, &QListView::clicked, this, write);
}

void ChatList::listedIdsChanged()
{
    // Only a list on screen watches for arrivals; coming back to it notes what came meanwhile.
    // Rooms that only moved bring nothing new to note.
    if (m_navigation.section() == Section::chats && !m_model->listedOnlyMoved())
        noteRooms(m_model->listedIds());
}

void ChatList::noteRooms(const QList<QUuid> &ids)
{
    const QSet<QUuid> known = std::exchange(m_knownRoomIDs, QSet<QUuid>(ids.cbegin(), ids.cend()));
    // A position naming a room that has left the list names nothing any more: forgotten, so
    // that the room is brought into view again when it comes back at the top.
    if (m_chatScroll && !m_knownRoomIDs.contains(*m_chatScroll))
        m_chatScroll.reset();
    // The first noting only records; a search in progress is never scrolled away from.
    if (!known.isEmpty() && trimmedText(m_navigation.query()).isEmpty() && !ids.isEmpty()
        && !known.contains(ids.first()) && m_chatScroll != ids.first())
        bringToTop(ids.first());
}

void ChatList::followPage()
{
    const Page page = m_navigation.page();
    const int row = page.kind == Page::room ? m_model->rowOf(page.id) : -1;
    QItemSelectionModel *selection = m_view->selectionModel();
    m_following = true;
    if (row >= 0) {
        const QModelIndex index = m_model->index(row);
        if (!selection->isSelected(index) || selection->currentIndex() != index)
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else if (selection->hasSelection()) {
        selection->clearSelection();
    }
    m_following = false;
}

void ChatList::selectionMoved()
{
    if (m_following || m_syncing)
        return;
    const QModelIndexList chosen = m_view->selectionModel()->selectedIndexes();
    if (chosen.isEmpty()) {
        // Clearing the selection leaves the open page alone, and the list shows it again.
        followPage();
        return;
    }
    emit roomRequested(chosen.first().data(RoomListModel::RoomIdRole).toUuid());
}

// Remembers `roomId` as the room at the top edge and brings it there.
void ChatList::bringToTop(const QUuid &roomId)
{
    m_chatScroll = roomId;
    const int row = m_model->rowOf(roomId);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row);
    if (m_view->indexAt(QPoint(0, 0)) == index && m_view->visualRect(index).top() == 0)
        return;
    m_following = true;
    // Rows that have just arrived are laid out later; their place is needed now.
    m_view->doItemsLayout();
    m_view->scrollTo(index, QAbstractItemView::PositionAtTop);
    m_following = false;
}

void ChatList::noteTopRow()
{
    if (m_following)
        return;
    const QModelIndex top = m_view->indexAt(QPoint(0, 0));
    if (!top.isValid())
        return;
    m_chatScroll = top.data(RoomListModel::RoomIdRole).toUuid();
}

void ChatList::updateEmptyState()
{
    const bool empty = m_model->rowCount() == 0;
    const bool searching = !trimmedText(m_navigation.query()).isEmpty();
    m_start->setVisible(empty && !searching);
    m_noMatch->setVisible(empty && searching);
}

QLineEdit *ChatList::searchField() const
{
    return m_search;
}

QMenu *ChatList::rowMenu(const QUuid &roomId, QWidget *parent)
{
    const std::optional<Conversation> room = m_store.conversation(roomId);
    if (!room)
        return nullptr;
    auto *menu = new QMenu(parent);
    menu->addAction(room->pinned ? QStringLiteral("고정 해제") : QStringLiteral("고정"), this,
                    [this, roomId, pinned = room->pinned] { m_store.setPinned(roomId, !pinned); });
    menu->addAction(room->muted ? QStringLiteral("알림 켜기") : QStringLiteral("알림 끄기"), this,
                    [this, roomId, muted = room->muted] { m_store.setMuted(roomId, !muted); });
    if (m_store.isOfficial(*room)) {
        menu->addAction(QStringLiteral("대화 삭제"), this, [this, roomId] {
            m_store.hideFromList(roomId);
            emit hidden(roomId);
        });
    } else {
        menu->addAction(QStringLiteral("나가기"), this,
                        [this, roomId] { emit leaveRequested(roomId); });
    }
    return menu;
}

void ChatList::showRowMenu(const QPoint &pos)
{
    const QModelIndex index = m_view->indexAt(pos);
    if (!index.isValid())
        return;
    QMenu *menu = rowMenu(index.data(RoomListModel::RoomIdRole).toUuid(), this);
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_view->viewport()->mapToGlobal(pos));
}
