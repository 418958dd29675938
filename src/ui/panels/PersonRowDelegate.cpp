#include "ui/panels/PersonRowDelegate.h"

#include "ui/common/AccessibleActions.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/PanelParts.h"
#include "ui/panels/PersonRowPaint.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int rowPadding = 8;
constexpr int gap = 12;

} // namespace

PersonRowDelegate::PersonRowDelegate(QAbstractItemView *view)
    : QStyledItemDelegate(view)
    , m_view(view)
{
    view->setItemDelegate(this);
    view->setMouseTracking(true);
    view->installEventFilter(this);
    // A screen reader presses the person, or the painted button by its text.
    AccessibleActions::rowActions(
        view,
        [](const QModelIndex &row) {
            QStringList names{QAccessibleActionInterface::pressAction()};
            if (const QString action = row.data(ActionRole).toString(); !action.isEmpty())
                names.append(action);
            return names;
        },
        [this](const QModelIndex &row, const QString &action) {
            if (action == QAccessibleActionInterface::pressAction())
                emit personClicked(row);
            else
                emit actionClicked(row);
        });
}

QRect PersonRowDelegate::actionRect(const QRect &row, const QString &text)
{
    if (text.isEmpty())
        return {};
    const QFontMetrics metrics(ChatFont::body());
    const int width = std::max(UiMetrics::controlHeight, metrics.horizontalAdvance(text) + 24);
    const int height = UiMetrics::controlHeight;
    return QRect(row.right() + 1 - padding - width, row.top() + (row.height() - height) / 2, width,
                 height);
}

QSize PersonRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int content = std::max(PersonRowPaint::height(), UiMetrics::controlHeight);
    return QSize(UiMetrics::avatarSize + 2 * padding, content + 2 * rowPadding);
}

void PersonRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    const QString action = index.data(ActionRole).toString();
    const QString tag = index.data(TagRole).toString();
    painter->save();

    int trailing = row.right() + 1 - padding;
    const QRect button = actionRect(row, action);
    if (!button.isNull()) {
        painter->setFont(ChatFont::body());
        painter->setPen(ChatColor::alert(palette));
        painter->drawText(button, Qt::AlignCenter, action);
        trailing = button.left() - gap / 2;
    }
    if (!tag.isEmpty()) {
        const QFontMetrics metrics(ChatFont::footnote());
        const int width = metrics.horizontalAdvance(tag);
        painter->setFont(ChatFont::footnote());
        painter->setPen(ChatColor::secondaryText(palette));
        painter->drawText(QRect(trailing - width, row.top(), width, row.height()),
                          Qt::AlignRight | Qt::AlignVCenter, tag);
        trailing -= width + gap;
    }

    // The person is the row's button: shaded while hovered or focused.
    const QRect person(row.left(), row.top(), std::max(0, trailing - row.left()), row.height());
    PersonRowPaint::paintShade(*painter, row, option);
    PersonRowPaint::paint(*painter, person.adjusted(padding, 0, 0, 0), index, palette);
    painter->restore();
}

bool PersonRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    // As with real buttons, the press and the release must fall on the same one.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const bool onAction = actionRect(option.rect, index.data(ActionRole).toString())
                              .contains(mouse->position().toPoint());
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressed = index;
        m_pressedAction = onAction;
        return true;
    }
    const bool click = m_pressed == index && m_pressedAction == onAction;
    m_pressed = QPersistentModelIndex();
    if (click && onAction)
        emit actionClicked(index);
    else if (click)
        emit personClicked(index);
    return true;
}

bool PersonRowDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const QModelIndex current = m_view->currentIndex();
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (current.isValid()
            && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            emit personClicked(current);
            return true;
        }
        if (current.isValid() && key == Qt::Key_Delete
            && !current.data(ActionRole).toString().isEmpty()) {
            emit actionClicked(current);
            return true;
        }
    }
    // Not the base's filter: that one takes the object it watches for an open editor.
    return false;
}
