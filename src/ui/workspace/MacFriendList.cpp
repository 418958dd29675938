#include "ui/workspace/MacFriendList.h"

#include "store/LocalStore.h"
#include "ui/common/AccessibleActions.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/PersonLabel.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/MacFriendListModel.h"
#include "ui/workspace/MacNavigation.h"
#include "ui/workspace/MacPersonRow.h"
#include "ui/workspace/SidebarRowPaint.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {

// The user's own row: a flat button painted as a PersonLabel of the account, lighting up under
// the mouse like a list row. Painted rather than built of labels so that a long name is elided
// instead of widening the sidebar.
class PersonButton : public QAbstractButton
{
public:
    explicit PersonButton(QWidget *parent)
        : QAbstractButton(parent)
    {
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::StrongFocus);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    void setAccount(const Account &account)
    {
        m_account = account;
        setAccessibleName(PersonLabel::spokenText(account.displayName, account.handle, false));
        update();
    }
    const Account &account() const { return m_account; }

    QSize sizeHint() const override { return QSize(1, UiMetrics::avatarSize + 8); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (underMouse() || isDown() || hasFocus()) {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            const QColor fill = UiMetrics::shade(
                palette(), isDown() ? UiMetrics::Shade::pressed : UiMetrics::Shade::hover);
            QPainterPath plate;
            plate.addRoundedRect(QRectF(rect().adjusted(SidebarRowPaint::inset / 2, 1,
                                                        -SidebarRowPaint::inset / 2, -1)),
                                 UiMetrics::plateRadius, UiMetrics::plateRadius);
            painter.fillPath(plate, fill);
            painter.restore();
        }
        const int side = SidebarRowPaint::inset + 4;
        const QRect area(side, 4, width() - 2 * side, UiMetrics::avatarSize);
        SidebarRowPaint::paintPerson(painter, area, m_account, false, palette(),
                                     palette().color(QPalette::WindowText),
                                     ChatColor::secondaryText(palette()));
    }

private:
    Account m_account;
};

} // namespace

MacFriendList::MacFriendList(LocalStore &store, MacNavigation &navigation, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_navigation(navigation)
    , m_model(new MacFriendListModel(store, this))
    , m_rowDelegate(new MacPersonRow(this))
    , m_ownRow(new PersonButton(this))
    , m_addFriend(new QPushButton(QStringLiteral("친구 추가"), this))
    , m_invite(new QPushButton(QStringLiteral("초대 링크"), this))
    , m_hint(new QLabel(QStringLiteral("아이디로 대화할 사람을 찾으세요."), this))
    , m_view(new QListView(this))
{
    for (QPushButton *button : {m_addFriend, m_invite}) {
        button->setMinimumHeight(UiMetrics::controlHeight);
        button->setAccessibleName(button->text());
        button->setAutoDefault(false);
    }
    auto *finding = new QHBoxLayout;
    finding->setContentsMargins(UiMetrics::sidebarMargin, 4, UiMetrics::sidebarMargin, 4);
    finding->setSpacing(8);
    finding->addWidget(m_addFriend);
    finding->addWidget(m_invite);
    finding->addStretch(1);

    m_hint->setFont(ChatFont::subheadline());
    ChatColor::keepSecondary(m_hint);
    m_hint->setWordWrap(true);
    m_hint->setContentsMargins(UiMetrics::sidebarMargin, 4, UiMetrics::sidebarMargin, 4);

    m_view->setModel(m_model);
    m_view->setItemDelegate(m_rowDelegate);
    SidebarRowPaint::prepareList(*m_view);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->viewport()->setMouseTracking(true);
    m_view->setAccessibleName(QStringLiteral("친구"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_ownRow);
    layout->addLayout(finding);
    layout->addWidget(m_hint);
    layout->addWidget(m_view, 1);

    connect(m_ownRow, &QAbstractButton::clicked, this, [this] {
        m_navigation.setPage(MacPage{MacPage::me, {}});
    });
    connect(m_addFriend, &QPushButton::clicked, this,
            [this] { m_navigation.setShowNewChat(true); });
    connect(m_invite, &QPushButton::clicked, this, [this] {
        m_navigation.setPage(MacPage{MacPage::invite, {}});
    });
    const auto open = [this](const QUuid &id) { m_navigation.setPage(MacPage::profilePage(id)); };
    const auto accept = [this](const QUuid &id) { m_store.acceptFriend(id); };
    const auto decline = [this](const QUuid &id) { m_store.rejectFriend(id); };
    connect(m_rowDelegate, &MacPersonRow::openProfile, this, open);
    connect(m_rowDelegate, &MacPersonRow::accept, this, accept);
    connect(m_rowDelegate, &MacPersonRow::decline, this, decline);
    // Clicks are the delegate's; this is the keyboard's Return on a row.
    connect(m_view, &QListView::activated, this, &MacFriendList::openProfile);
    // A screen reader presses a person, and a request's painted buttons by their texts.
    AccessibleActions::rowActions(
        m_view,
        [](const QModelIndex &row) {
            const int kind = row.data(MacFriendListModel::KindRole).toInt();
            QStringList names;
            if (kind != MacFriendRow::header)
                names.append(QAccessibleActionInterface::pressAction());
            if (kind == MacFriendRow::request)
                names << MacPersonRow::acceptText() << MacPersonRow::declineText();
            return names;
        },
        [open, accept, decline](const QModelIndex &row, const QString &action) {
            const QUuid id = row.data(MacFriendListModel::AccountIdRole).toUuid();
            if (action == MacPersonRow::acceptText())
                accept(id);
            else if (action == MacPersonRow::declineText())
                decline(id);
            else
                open(id);
        });
    connect(m_model, &MacFriendListModel::refreshed, this, &MacFriendList::followStore);
    connect(DecodedImageCache::shared(), &DecodedImageCache::ready, this, [this] {
        m_view->viewport()->update();
        m_ownRow->update();
    });

    const auto followSection
        = [this] { m_model->setActive(m_navigation.section() == MacSection::friends); };
    connect(&m_navigation, &MacNavigation::sectionChanged, this, followSection);
    followSection();
    followStore();
}

void MacFriendList::followStore()
{
    const std::optional<Account> me = m_store.me();
    m_ownRow->setVisible(me.has_value());
    if (me)
        static_cast<PersonButton *>(m_ownRow)->setAccount(*me);
    m_hint->setVisible(!m_model->hasContacts());
}

void MacFriendList::openProfile(const QModelIndex &index)
{
    const QVariant id = index.data(MacFriendListModel::AccountIdRole);
    if (id.isValid())
        m_navigation.setPage(MacPage::profilePage(id.toUuid()));
}
