#include "ui/panels/PersonRows.h"

#include "store/LocalStore.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PanelParts.h"
#include "ui/common/PersonPaint.h"
#include "ui/common/UiMetrics.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int padding = PersonRowDelegate::padding;
constexpr int rowPadding = 8;
constexpr int gap = 12;

QSize rowSize()
{
    const int content = std::max(PersonPaint::height(), UiMetrics::controlHeight);
    return QSize(UiMetrics::avatarSize + 2 * padding, content + 2 * rowPadding);
}

// The active members of a room, as their accounts or as "회원" when the store does not know them.
QList<Account> members(const LocalStore &store, const QUuid &roomId)
{
    const std::optional<Conversation> room = store.conversation(roomId);
    if (!room)
        return {};
    QList<Account> rows;
    for (const Membership &member : LocalStore::activeMembers(*room)) {
        Account unknown; // a person
        unknown.id = member.userId;
        unknown.displayName = QStringLiteral("회원");
        rows.append(store.account(member.userId).value_or(unknown));
    }
    return rows;
}

} // namespace

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
    return rowSize();
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
    PersonPaint::paintShade(*painter, row, option);
    PersonPaint::paint(*painter, person.adjusted(padding, 0, 0, 0), index, palette);
    painter->restore();
}

QStringList PersonRowDelegate::actions(const QModelIndex &row) const
{
    const QString action = row.data(ActionRole).toString();
    return action.isEmpty() ? QStringList() : QStringList{action};
}

QRect PersonRowDelegate::actionRect(const QRect &rect, const QModelIndex &row, int) const
{
    return actionRect(rect, row.data(ActionRole).toString());
}

int PersonRowDelegate::keyPart(int key, const QModelIndex &row) const
{
    if (key == Qt::Key_Delete)
        return actions(row).isEmpty() ? nothing : 1;
    return ActionRowDelegate::keyPart(key, row);
}

QRect BlockedRowDelegate::buttonRect(const QRect &row)
{
    // Its text, not its edge, keeps the row's padding from the trailing side, as "닫기" does from
    // the leading side in the header above.
    const QFontMetrics metrics(ChatFont::body());
    const int width
        = std::max(UiMetrics::controlHeight,
                   metrics.horizontalAdvance(buttonText()) + 2 * PanelParts::buttonInset);
    const int height = UiMetrics::controlHeight;
    return QRect(row.right() + 1 - (padding - PanelParts::buttonInset) - width,
                 row.top() + (row.height() - height) / 2, width, height);
}

QSize BlockedRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return rowSize();
}

void BlockedRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    // The current row is marked only once the keyboard has moved focus in the window: a list
    // that merely has focus would look as if its first row were chosen.
    if ((option.state & QStyle::State_HasFocus)
        && (option.state & QStyle::State_KeyboardFocusChange)) {
        painter->fillRect(row, UiMetrics::shade(palette, UiMetrics::Shade::focus));
    }

    const QRect button = buttonRect(row);
    PersonPaint::paint(*painter,
                       QRect(row.left() + padding, row.top(),
                             std::max(0, button.left() - gap - row.left() - padding), row.height()),
                       index, palette);

    painter->setFont(ChatFont::body());
    painter->setPen(palette.color(QPalette::Active, QPalette::Highlight));
    painter->drawText(button.adjusted(0, 0, -PanelParts::buttonInset, 0),
                      Qt::AlignRight | Qt::AlignVCenter, buttonText());
    painter->restore();
}

MemberListModel::MemberListModel(LocalStore &store, const QUuid &roomId, QObject *parent)
    : AccountListModel([&store, roomId] { return members(store, roomId); }, parent)
    , m_store(store)
    , m_roomId(roomId)
    , m_marks(currentMarks())
{ }

QHash<QUuid, MemberListModel::Marks> MemberListModel::currentMarks() const
{
    QHash<QUuid, Marks> marks;
    const std::optional<Conversation> room = m_store.conversation(m_roomId);
    if (!room)
        return marks;
    const bool owning = m_store.isOwner(*room);
    const std::optional<Account> me = m_store.me();
    for (const Membership &member : LocalStore::activeMembers(*room)) {
        Marks &mark = marks[member.userId];
        mark.owner = mark.owner || member.role == MemberRole::owner;
        mark.kickable = owning && !(me && me->id == member.userId);
    }
    return marks;
}

void MemberListModel::rebuild()
{
    AccountListModel::rebuild();
    const QHash<QUuid, Marks> marks = currentMarks();
    const QHash<QUuid, Marks> before = std::exchange(m_marks, marks);
    for (int row = 0; row < rowCount(); ++row) {
        const QUuid id = rows().at(row).id;
        if (before.value(id) != marks.value(id))
            emit dataChanged(index(row), index(row));
    }
}

QVariant MemberListModel::extraData(const Account &account, int role) const
{
    const Marks mark = m_marks.value(account.id);
    switch (role) {
    case PersonRowDelegate::TagRole:
        return mark.owner ? ownerTag() : QString();
    case PersonRowDelegate::ActionRole:
        return mark.kickable ? kickText() : QString();
    case Qt::AccessibleTextRole:
        return spokenPerson(account) + (mark.owner ? QStringLiteral(", ") + ownerTag() : QString());
    case Qt::AccessibleDescriptionRole:
        return mark.kickable ? kickText() : QString();
    default:
        return {};
    }
}
