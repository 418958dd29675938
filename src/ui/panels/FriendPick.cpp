#include "ui/panels/FriendPick.h"

#include "store/LocalStore.h"
#include "ui/common/AccessibleActions.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatIcon.h"
#include "ui/common/PanelParts.h"
#include "ui/common/PersonLabel.h"
#include "ui/common/PersonPaint.h"
#include "ui/common/UiMetrics.h"

#include <QBoxLayout>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int symbolSide = 22;

// The symbol of a choice ("checkmark.circle.fill" while chosen, else "circle") centred in a
// 44-pixel box at `left`, in the middle of `row`'s height, as the rows and the lookup result draw
// it.
void paintCheck(QPainter &painter, int left, const QRect &row, bool chosen, const QColor &colour)
{
    const int side = UiMetrics::controlHeight;
    const QPoint centre = QRect(left, row.top() + (row.height() - side) / 2, side, side).center();
    const QRect symbol(centre.x() - symbolSide / 2 + 1, centre.y() - symbolSide / 2 + 1, symbolSide,
                       symbolSide);
    const QString name
        = chosen ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle");
    ChatIcon::symbol(name, colour).paint(&painter, symbol);
}

} // namespace

void FriendPickModel::setChosen(const QList<QUuid> &chosen)
{
    const QList<QUuid> before = std::exchange(m_chosen, chosen);
    for (int row = 0; row < rows().size(); ++row) {
        const QUuid &id = rows().at(row).id;
        if (before.contains(id) != m_chosen.contains(id))
            emit dataChanged(index(row), index(row), {Qt::CheckStateRole});
    }
}

QVariant FriendPickModel::extraData(const Account &account, int role) const
{
    // A screen reader reads the row as the person (the model's own name) and the choice as its
    // check state.
    if (role == Qt::CheckStateRole)
        return m_chosen.contains(account.id) ? Qt::Checked : Qt::Unchecked;
    return {};
}

QSize FriendPickDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    const int content = std::max(PersonPaint::height(), UiMetrics::controlHeight);
    return QSize(UiMetrics::controlHeight + UiMetrics::avatarSize + 2 * padding,
                 content + 2 * padding);
}

void FriendPickDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    painter->save();
    PersonPaint::paintShade(*painter, row, option);

    const bool chosen = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    paintCheck(*painter, row.left() + padding, row, chosen, palette.color(QPalette::Text));

    const int left = row.left() + padding + UiMetrics::controlHeight + 4;
    PersonPaint::paint(
        *painter,
        QRect(left, row.top(), std::max(0, row.right() + 1 - padding - left), row.height()), index,
        palette);
    painter->restore();
}

// The leading part of the row: a check symbol in a 44-pixel box and the person. It takes clicks
// only while the account may be chosen; otherwise it is a plain picture of the person.
class ChoiceButton : public RowButton
{
public:
    explicit ChoiceButton(QWidget *parent)
        : RowButton(parent)
        , m_person(new PersonLabel(this))
    {
        addPart(m_person, 1);
        // Checked while the person is chosen; only present() changes that, a click asks for it.
        AccessibleActions::clickToToggle(this);
    }

    // `symbol`: whether the check symbol's box leads the row at all.
    void present(const Account &account, bool symbol, bool choosable, bool chosen)
    {
        m_person->setPerson(account.displayName, account.handle, account.avatarJPEG,
                            account.avatarURL, account.kind == AccountKind::official);
        m_symbol = symbol;
        m_chosen = chosen;
        setLeadingRoom(symbol ? UiMetrics::controlHeight + 4 : 0);
        setPressable(choosable);
        // A person who cannot be chosen is shown, not offered: no check box for a screen reader.
        setCheckable(choosable);
        setChecked(choosable && chosen);
        setAccessibleName(m_person->accessibleName());
    }

protected:
    void nextCheckState() override { }

    void paintEvent(QPaintEvent *event) override
    {
        RowButton::paintEvent(event);
        if (!m_symbol)
            return;
        // Read at paint time, so that the symbol follows a change between light and dark.
        QPainter painter(this);
        const QColor colour
            = isPressable() ? palette().color(QPalette::Text) : ChatColor::secondaryText(palette());
        paintCheck(painter, 0, rect(), m_chosen, colour);
    }

private:
    PersonLabel *m_person;
    bool m_symbol = true;
    bool m_chosen = false;
};

LookupResultRow::LookupResultRow(LocalStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_choice(new ChoiceButton(this))
    , m_fade(new QGraphicsOpacityEffect(this))
{
    setObjectName(QStringLiteral("lookupResult"));
    m_choice->setObjectName(QStringLiteral("resultChoice"));
    m_open = PanelParts::plainButton(QStringLiteral("대화"), this, Qt::AlignHCenter,
                                     QStringLiteral("resultOpen"));
    m_unblock = PanelParts::pushButton(QStringLiteral("차단 해제"), QStringLiteral("resultUnblock"),
                                       this);
    m_request
        = PanelParts::pushButton(QStringLiteral("요청"), QStringLiteral("resultRequest"), this);
    m_accept = PanelParts::pushButton(QStringLiteral("수락"), QStringLiteral("resultAccept"), this);
    m_requested = PanelParts::label(QStringLiteral("요청함"), QStringLiteral("resultRequested"),
                                    QFont(), this, PanelParts::Ink::Secondary);

    auto *row = bareBox<QHBoxLayout>(this, 8);
    row->setContentsMargins(FriendPickDelegate::padding, 4, FriendPickDelegate::padding, 4);
    row->addWidget(m_choice, 1);
    row->addSpacing(8);
    for (QWidget *part :
         std::initializer_list<QWidget *>{m_open, m_unblock, m_requested, m_request, m_accept})
        row->addWidget(part);

    m_fade->setOpacity(0.45);
    m_fade->setEnabled(false);
    setGraphicsEffect(m_fade);

    // A screen reader can press the choice even while it is only a picture: that asks nothing.
    connect(m_choice, &QAbstractButton::clicked, this, [this] {
        if (m_choice->isPressable())
            emit chooseRequested(m_id);
    });
    connect(m_open, &QPushButton::clicked, this, [this] { emit openRequested(m_id); });
    connect(m_unblock, &QPushButton::clicked, this, [this] { m_store.unblock(m_id); });
    connect(m_request, &QPushButton::clicked, this, [this] { m_store.requestFriend(m_id); });
    connect(m_accept, &QPushButton::clicked, this, [this] { m_store.acceptFriend(m_id); });
}

void LookupResultRow::present(const Account &account, const QList<QUuid> &chosen)
{
    m_id = account.id;
    const bool official = account.kind == AccountKind::official;
    const bool blocked = m_store.blocks().contains(account.id);
    const std::optional<FriendState> state = m_store.friendState(account.id);
    const bool friendRow = !official && state == FriendState::friends;

    m_choice->present(account, !official, friendRow, chosen.contains(account.id));
    m_open->setVisible(official && chosen.isEmpty());
    m_fade->setEnabled(official && !chosen.isEmpty());

    // The first case that applies: blocked, official, then by the friend state.
    m_unblock->setVisible(blocked);
    const bool byState = !blocked && !official;
    m_requested->setVisible(byState && state == FriendState::outgoing);
    m_request->setVisible(byState && !state);
    m_accept->setVisible(byState && state == FriendState::incoming);
}
