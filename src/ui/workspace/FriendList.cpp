#include "ui/workspace/FriendList.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DecodedImageCache.h"
#include "ui/common/PanelParts.h"
#include "ui/common/PersonLabel.h"
#include "ui/common/PersonPaint.h"
#include "ui/common/PictureRows.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/FriendListModel.h"
#include "ui/workspace/SidebarRows.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
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

    // Repaints when one of the decoded `pictures` is this person's avatar.
    void showPictures(const QSet<QString> &pictures)
    {
        if (DecodedImageCache::shared()->concerns(pictures, m_account.avatarJPEG,
                                                  m_account.avatarURL))
            update();
    }

    QSize sizeHint() const override { return QSize(1, UiMetrics::avatarSize + 8); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        UiMetrics::paintButtonState(painter, *this, SidebarRowPaint::plateRect(rect()),
                                    UiMetrics::FocusMark::shade);
        const int side = SidebarRowPaint::contentSide;
        const QRect area(side, 4, width() - 2 * side, UiMetrics::avatarSize);
        PersonPaint::paint(painter, area, m_account, false, palette(),
                           palette().color(QPalette::WindowText),
                           ChatColor::secondaryText(palette()));
    }

private:
    Account m_account;
};

} // namespace

FriendList::FriendList(LocalStore &store, const Navigation &navigation, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    // A hidden list reads nothing of the store until it is shown.
    , m_model(new FriendListModel(store, this, navigation.section() == Section::friends))
    , m_ownRow(new PersonButton(this))
    , m_addFriend(new QPushButton(QStringLiteral("친구 추가"), this))
    , m_invite(new QPushButton(QStringLiteral("초대 링크"), this))
    , m_hint(PanelParts::label(QStringLiteral("아이디로 대화할 사람을 찾으세요."), {},
                               ChatFont::subheadline(), this, PanelParts::Ink::Secondary,
                               PanelParts::Wrap::Yes))
    , m_view(new QListView(this))
{
    layOut();
    prepareList();

    connect(m_ownRow, &QAbstractButton::clicked, this, [this] {
        emit pageRequested(Page{Page::me, {}});
    });
    connect(m_addFriend, &QPushButton::clicked, this, &FriendList::newChatRequested);
    connect(m_invite, &QPushButton::clicked, this, [this] {
        emit pageRequested(Page{Page::invite, {}});
    });
    connect(m_model, &KeyedListModel::synced, this, &FriendList::followStore);
    PictureRows::follow(m_view, [this](const QModelIndex &index, const QSet<QString> &pictures) {
        const Account &account = m_model->row(index.row()).account;
        return DecodedImageCache::shared()->concerns(pictures, account.avatarJPEG,
                                                     account.avatarURL);
    });
    connect(DecodedImageCache::shared(), &DecodedImageCache::ready, m_ownRow,
            [this](const QSet<QString> &pictures) {
                static_cast<PersonButton *>(m_ownRow)->showPictures(pictures);
            });
    // The list reads the store only while it is the one shown.
    const auto followSection
        = [this, &navigation] { m_model->setActive(navigation.section() == Section::friends); };
    connect(&navigation, &Navigation::sectionChanged, this, followSection);
    followSection();
    followStore();
}

void FriendList::layOut()
{
    for (QPushButton *button : {m_addFriend, m_invite}) {
        button->setMinimumHeight(UiMetrics::controlHeight);
        button->setAccessibleName(button->text());
    }
    auto *finding = new QHBoxLayout;
    finding->setContentsMargins(UiMetrics::sidebarMargin, 4, UiMetrics::sidebarMargin, 4);
    finding->setSpacing(8);
    finding->addWidget(m_addFriend);
    finding->addWidget(m_invite);
    finding->addStretch(1);

    m_hint->setContentsMargins(UiMetrics::sidebarMargin, 4, UiMetrics::sidebarMargin, 4);

    auto *layout = bareBox<QVBoxLayout>(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(m_ownRow);
    layout->addLayout(finding);
    layout->addWidget(m_hint);
    layout->addWidget(m_view, 1);
}

// A person's row opens the profile; a request's two actions accept or decline it.
void FriendList::prepareList()
{
    // Set up before it has rows: a change of the scroll mode lays out every row at once.
    SidebarRowPaint::prepareList(*m_view);
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setAccessibleName(QStringLiteral("친구"));
    auto *rows = new SidebarPersonDelegate(m_view);
    m_view->setModel(m_model);
    const auto idOf
        = [](const QModelIndex &row) { return row.data(FriendListModel::AccountIdRole).toUuid(); };
    connect(
        rows, &SidebarPersonDelegate::personClicked, this,
        [this, idOf](const QModelIndex &row) { emit pageRequested(Page::profilePage(idOf(row))); });
    connect(rows, &SidebarPersonDelegate::actionClicked, this,
            [this, idOf](const QModelIndex &row, int action) {
                if (action == 0)
                    m_store.acceptFriend(idOf(row));
                else
                    m_store.rejectFriend(idOf(row));
            });
}

void FriendList::followStore()
{
    const std::optional<Account> me = m_store.me();
    m_ownRow->setVisible(me.has_value());
    if (me)
        static_cast<PersonButton *>(m_ownRow)->setAccount(*me);
    m_hint->setVisible(!m_model->hasContacts());
}
