#include "ui/workspace/Workspace.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChangeNotify.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/ConfirmDialog.h"
#include "ui/common/StoreRedraw.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/Divider.h"
#include "ui/workspace/FriendList.h"
#include "ui/workspace/Sidebar.h"
#include "ui/workspace/StatusLine.h"

#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace {

// The line between the sidebar and the detail column.
class ColumnDivider : public QSplitterHandle
{
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), Divider::colour(palette()));
    }
};

class ColumnSplitter : public QSplitter
{
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle *createHandle() override { return new ColumnDivider(orientation(), this); }
};

template<typename Request>
std::optional<QUuid> tokenOf(const std::optional<Request> &request)
{
    return request ? std::optional(request->token) : std::nullopt;
}

// The banner's capsule: its padding and its lift off the window's bottom edge.
constexpr int padX = 16;
constexpr int padY = 10;
constexpr int lift = 24;
constexpr int sideRoom = 24; // keeps a long text off the window's edges
constexpr int textFlags = Qt::AlignCenter | Qt::TextWordWrap;

} // namespace

Workspace::Workspace(LocalStore &store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_navigation(new Navigation(this))
    , m_split(new ColumnSplitter(Qt::Horizontal, this))
    , m_detailColumn(new QWidget(m_split))
    , m_banner(new BannerView(this))
{
    setObjectName(QStringLiteral("workspace"));
    auto *sidebar = m_sidebar = new Sidebar(m_store, *m_navigation, m_split);
    bareBox<QVBoxLayout>(this)->addWidget(m_split);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(UiMetrics::sidebarMinimum);
    sidebar->setMaximumWidth(UiMetrics::sidebarMaximum);
    m_detailColumn->setObjectName(QStringLiteral("detailColumn"));
    // While the service is away, and while a file cannot be saved, a quiet line sits above the
    // page; the page makes room for it, so neither the transcript nor the composer is covered.
    auto *lines = bareBox<QVBoxLayout>(m_detailColumn);
    lines->addWidget(StatusLine::connecting(m_store, m_detailColumn));
    lines->addWidget(StatusLine::saveFailures(m_store, m_detailColumn));
    m_detailColumn->setMinimumSize(UiMetrics::detailMinimumWidth, UiMetrics::detailMinimumHeight);
    m_split->addWidget(sidebar);
    m_split->addWidget(m_detailColumn);
    m_split->setStretchFactor(1, 1);
    m_split->setSizes({UiMetrics::sidebarMinimum, 10000});
    m_split->setChildrenCollapsible(false);
    m_split->setHandleWidth(1);
    m_banner->raise();

    connectSidebar(sidebar);
    followNavigation();
    followStore();
    enterPage();
}

void Workspace::connectSidebar(Sidebar *sidebar)
{
    Navigation *navigation = m_navigation;
    const auto openNewChat = [navigation] { navigation->setShowNewChat(true); };
    connect(sidebar, &Sidebar::sectionPicked, navigation, &Navigation::setSection);
    // The settings open in place of a room's information panel.
    connect(sidebar, &Sidebar::settingsRequested, navigation, [navigation] {
        navigation->setPageClosingInfo(Page{Page::settings, {}});
    });
    ChatList *chats = sidebar->chatList();
    connect(chats, &ChatList::queryEdited, navigation, &Navigation::setQuery);
    connect(chats, &ChatList::newChatRequested, navigation, openNewChat);
    connect(chats, &ChatList::roomRequested, navigation, &Navigation::openRoom);
    connect(chats, &ChatList::writeRequested, navigation, &Navigation::openRoomToWrite);
    connect(chats, &ChatList::leaveRequested, navigation, &Navigation::setLeaveId);
    // A room taken off the list: the detail column leaves it if it is open.
    connect(chats, &ChatList::hidden, navigation, [navigation](const QUuid &roomId) {
        if (navigation->page().isRoom(roomId))
            navigation->setPage(Page{});
    });
    FriendList *friends = sidebar->friendList();
    connect(friends, &FriendList::pageRequested, navigation, &Navigation::setPage);
    connect(friends, &FriendList::newChatRequested, navigation, openNewChat);
}

// The page, the sheets, the leave alert and the banner each follow their navigation value.
void Workspace::followNavigation()
{
    connect(m_navigation, &Navigation::pageChanged, this, &Workspace::enterPage);
    connect(m_navigation, &Navigation::showNewChatChanged, this,
            [this] { followSheet(Sheet::newChat); });
    connect(m_navigation, &Navigation::reportChanged, this, [this] { followSheet(Sheet::report); });
    connect(m_navigation, &Navigation::mediaIdChanged, this, [this] { followSheet(Sheet::media); });
    connect(m_navigation, &Navigation::leaveIdChanged, this, &Workspace::followLeave);
    connect(m_navigation, &Navigation::bannerChanged, this, &Workspace::bannerChanged);
}

void Workspace::followStore()
{
    connect(&m_store, &LocalStore::inviteOutcomeChanged, this,
            [this] { followSheet(Sheet::inviteRequest); });
    // The store's requests carry a fresh token each, so the same room asked for again is a
    // change; a request being cleared is a change too, after which there is nothing to follow.
    m_pushToken = tokenOf(m_store.pushTarget());
    m_inviteToken = tokenOf(m_store.inviteFollow());
    connect(&m_store, &LocalStore::pushTargetChanged, this, [this] {
        if (assignChanged(m_pushToken, tokenOf(m_store.pushTarget())))
            followPush();
    });
    connect(&m_store, &LocalStore::inviteFollowChanged, this, [this] {
        if (assignChanged(m_inviteToken, tokenOf(m_store.inviteFollow())))
            followInvite();
    });
    // A notice is taken on the next turn, so that a page that waited for the operation can still
    // read it as its own failure text first.
    connect(&m_store, &LocalStore::noticeChanged, this,
            [this] { QTimer::singleShot(0, this, &Workspace::takeNotice); });
    // A notice told before the workspace came (while start-up was signing in) is shown now.
    QTimer::singleShot(0, this, &Workspace::takeNotice);

    // The room list is judged once per event-loop turn, on the ids it ends the turn with, and
    // only after a change that may have moved, brought or taken away a room.
    connect(&m_store, &LocalStore::roomsTouched, &m_roomWatch, [this] { m_roomsNamed = true; });
    connect(&m_store, &LocalStore::remoteUnreadChanged, &m_roomWatch,
            [this] { m_roomsNamed = false; });
    connect(&m_store, &LocalStore::conversationsChanged, &m_roomWatch,
            [this] { m_roomIDsDue = m_roomIDsDue || !std::exchange(m_roomsNamed, false); });
    roomsChanged();
    new StoreRedraw(
        m_store, {&LocalStore::conversationsChanged}, [this] { roomsChanged(); }, this);
}

void Workspace::openFromNewChat(const QUuid &roomId)
{
    m_navigation->setShowNewChat(false);
    // The sheet's "만들기" or "대화" was the way to writing there: the keyboard goes to the
    // message field.
    m_navigation->openRoomToWrite(roomId);
}

void Workspace::finishReport(const QString &text)
{
    m_navigation->setReport(std::nullopt);
    m_navigation->setBanner(text);
}

void Workspace::followPush()
{
    // The request stays: the room's transcript brings the message into view and clears it.
    if (const auto push = m_store.pushTarget())
        m_navigation->openRoom(push->conversationId);
}

void Workspace::followInvite()
{
    const auto follow = m_store.inviteFollow();
    if (!follow)
        return;
    m_store.setInviteFollow(std::nullopt);
    m_navigation->openRoom(follow->conversationId);
}

void Workspace::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A minimised window coming back is no new showing.
    if (event->spontaneous())
        return;
    followPush();
    followInvite();
    m_store.redeemPendingInvite();
    for (Sheet sheet : {Sheet::newChat, Sheet::report, Sheet::media, Sheet::inviteRequest})
        followSheet(sheet);
    // Coming in after a sign-in, the keyboard starts on the list (the form that had it is gone).
    if (!isAncestorOf(window()->focusWidget()))
        focusList();
}

void Workspace::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_banner->place();
}

void Workspace::enterPage()
{
    const Page page = m_navigation->page();
    // Equal pages are the same page: a room keeps its pane until the room id changes.
    if (m_page && page == m_shownPage)
        return;
    // Read before the page goes: hiding it hands its focus on to whatever comes next in Tab order.
    const QWidget *typing = window()->focusWidget();
    const bool hadKeyboard = m_page && m_page->isAncestorOf(typing);
    const Page::Kind left = m_shownPage.kind;
    if (m_page) {
        m_detailColumn->layout()->removeWidget(m_page);
        m_page->hide();
        // A page's own button may have asked for this change: it goes once its signal returns.
        m_page->deleteLater();
    }
    m_shownPage = page;
    m_page = createPage(page);
    // The page takes all the height the lines above it leave.
    static_cast<QVBoxLayout *>(m_detailColumn->layout())->addWidget(m_page, 1);
    m_page->show();
    // The keyboard that was on the left page goes back to where that page was opened from;
    // else a page that took it keeps it, and otherwise it goes to the list.
    if (hadKeyboard)
        returnKeyboard(left);
}

void Workspace::returnKeyboard(Page::Kind left)
{
    // The settings, closed, go back to the sidebar's "설정".
    if (left == Page::settings && m_shownPage.kind == Page::pick) {
        if (QWidget *settings = m_sidebar->settingsButton(); settings->isVisibleTo(this)) {
            settings->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    // The settings' own pages go back to the settings row that opened them (named as the page).
    QString opener;
    if (m_shownPage.kind == Page::settings) {
        switch (left) {
        case Page::password:
            opener = QStringLiteral("password");
            break;
        case Page::blocked:
            opener = QStringLiteral("blocked");
            break;
        case Page::deleteAccount:
            opener = QStringLiteral("deleteAccount");
            break;
        default:
            break;
        }
    }
    if (QWidget *row = opener.isEmpty() ? nullptr : m_page->findChild<QWidget *>(opener);
        row && row->isVisibleTo(m_page)) {
        row->setFocus(Qt::TabFocusReason);
        return;
    }
    if (!m_page->isAncestorOf(window()->focusWidget()))
        focusList();
}

void Workspace::focusList()
{
    // As if Tab had brought it there: the list then rings its current row.
    if (QWidget *list = m_sidebar->shownList(); list->isVisibleTo(this))
        list->setFocus(Qt::TabFocusReason);
}

void Workspace::takeNotice()
{
    const auto notice = m_store.notice();
    if (!m_store.session() || !notice)
        return;
    m_navigation->setBanner(*notice);
    m_store.acknowledgeNotice();
}

void Workspace::bannerChanged()
{
    const auto text = m_navigation->banner();
    m_banner->setText(text);
    if (!text)
        return;
    // One wait per text shown; it clears the banner only if that text is still the one shown,
    // so a newer text keeps its full time.
    QTimer::singleShot(m_bannerDuration, this, [this, shown = *text] {
        if (m_navigation->banner() == shown)
            m_navigation->setBanner(std::nullopt);
    });
}

void Workspace::roomsChanged()
{
    if (!std::exchange(m_roomIDsDue, false))
        return;
    QList<QUuid> ids;
    const QList<Conversation> rooms = m_store.conversations();
    for (const Conversation &room : rooms)
        ids.append(room.id);
    if (!assignChanged(m_roomIDs, ids))
        return;
    const Page page = m_navigation->page();
    if (page.kind == Page::room && !m_roomIDs.contains(page.id))
        m_navigation->setPage(Page{Page::pick, {}});
}

void Workspace::followLeave()
{
    const bool asked = m_navigation->leaveId().has_value();
    if (asked && !m_leaveAlert) {
        // The alert is answered once its callbacks run: each forgets it first (confirmLeave() too),
        // so that clearing leaveId does not withdraw it a second time.
        m_leaveAlert = ConfirmDialog::open(
            this, QStringLiteral("대화방에서 나갈까요?"),
            {{QStringLiteral("나가기"), true, [this] { confirmLeave(); }}}, [this] {
                m_leaveAlert = nullptr;
                m_navigation->setLeaveId(std::nullopt);
            });
        m_leaveAlert->setObjectName(QStringLiteral("leaveAlert"));
    } else if (!asked && m_leaveAlert) {
        ConfirmDialog::withdraw(m_leaveAlert);
        m_leaveAlert = nullptr;
    }
}

void Workspace::confirmLeave()
{
    m_leaveAlert = nullptr;
    const auto roomId = m_navigation->leaveId();
    if (roomId) {
        m_store.leaveGroup(*roomId);
        // The open room goes at once, before the store's list says so; another page stays.
        if (m_navigation->page().isRoom(*roomId))
            m_navigation->setPage(Page{Page::pick, {}});
    }
    m_navigation->setLeaveId(std::nullopt);
}

BannerView::BannerView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("banner"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(ChatFont::subheadline());
    hide();
}

void BannerView::setText(const std::optional<QString> &text)
{
    m_text = text.value_or(QString());
    setAccessibleName(m_text);
    setVisible(text.has_value());
    place();
    update();
}

void BannerView::place()
{
    const QWidget *host = parentWidget();
    if (!host)
        return;
    // The text on one line, or, when too long for one, on more lines, broken between words and
    // never cut. The whole-pixel advance is rounded to the nearest pixel and may fall short of
    // what the text needs when drawn: the exact width is rounded up instead.
    const QFontMetricsF metrics(font());
    const int lineWidth = int(std::ceil(metrics.horizontalAdvance(m_text)));
    const int textWidth = std::max(0, std::min(lineWidth, host->width() - 2 * sideRoom - 2 * padX));
    const QRectF text
        = metrics.boundingRect(QRectF(0, 0, textWidth, QWIDGETSIZE_MAX), textFlags, m_text);
    const QSize size(textWidth + 2 * padX, int(std::ceil(text.height())) + 2 * padY);
    setGeometry((host->width() - size.width()) / 2, host->height() - lift - size.height(),
                size.width(), size.height());
    raise();
}

void BannerView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    // A thin, translucent backdrop in the window's own colour, with a hairline to set it off
    // from content of the same colour.
    QColor fill = colours.color(QPalette::Window);
    fill.setAlphaF(0.86);
    QColor edge = colours.color(QPalette::WindowText);
    edge.setAlphaF(ChatColor::isDark(colours) ? 0.22 : 0.12);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = area.height() / 2;
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(area, radius, radius);

    painter.setPen(colours.color(QPalette::WindowText));
    painter.drawText(rect().adjusted(padX, padY, -padX, -padY), textFlags, m_text);
}
