#include "ui/workspace/Sidebar.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/BetaMark.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/Divider.h"
#include "ui/workspace/FriendList.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/SectionPicker.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>

namespace {

// The foot's "설정": plain text in the own-bubble colour (made readable on the window),
// leading-aligned across the column.
class SettingsButton : public QAbstractButton
{
public:
    explicit SettingsButton(QWidget *parent)
        : QAbstractButton(parent)
    {
        setText(QStringLiteral("설정"));
        setAccessibleName(QStringLiteral("설정"));
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(ChatFont::body(QFont::DemiBold));
        return QSize(metrics.horizontalAdvance(text()) + 2 * padding,
                     std::max(UiMetrics::controlHeight, metrics.height() + 16));
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (underMouse() || isDown()) {
            painter.fillRect(
                rect(),
                UiMetrics::shade(palette(),
                                 isDown() ? UiMetrics::Shade::pressed : UiMetrics::Shade::hover));
        }
        painter.setFont(ChatFont::body(QFont::DemiBold));
        // The own-bubble blue, lifted where a dark window would leave it too faint to read.
        painter.setPen(ChatColor::readableAccent(ChatColor::mineBubble(palette()), palette()));
        const QRect area = rect().adjusted(padding, 0, -padding, 0);
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
        if (hasFocus()) {
            painter.setPen(UiMetrics::focusRing(palette()));
            painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
    }

private:
    static constexpr int padding = 16;
};

} // namespace

Sidebar::Sidebar(LocalStore &store, const Navigation &navigation, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_navigation(navigation)
    , m_picker(new SectionPicker(this))
    , m_lists(new QStackedWidget(this))
    , m_chatList(new ChatList(store, navigation, this))
    , m_friendList(new FriendList(store, navigation, this))
    , m_settings(new SettingsButton(this))
{
    auto *title = new QLabel(QStringLiteral("Zumo"), this);
    title->setFont(ChatFont::headline());
    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(UiMetrics::sidebarMargin, UiMetrics::sidebarMargin,
                                 UiMetrics::sidebarMargin, 0);
    titleRow->setSpacing(8);
    titleRow->addWidget(title);
    titleRow->addWidget(new BetaMark(this));
    titleRow->addStretch(1);

    auto *pickerRow = new QHBoxLayout;
    pickerRow->setContentsMargins(UiMetrics::sidebarMargin, UiMetrics::sidebarMargin,
                                  UiMetrics::sidebarMargin, UiMetrics::sidebarMargin);
    pickerRow->addWidget(m_picker);

    m_lists->addWidget(m_chatList);
    m_lists->addWidget(m_friendList);

    auto *layout = bareBox<QVBoxLayout>(this);
    layout->addLayout(titleRow);
    layout->addLayout(pickerRow);
    layout->addWidget(m_lists, 1);
    layout->addWidget(new Divider(Qt::Horizontal, this));
    layout->addWidget(m_settings);

    // The desktop's stand-in for pulling the list down: reload the rooms and requests.
    auto *reload = new QAction(this);
    reload->setShortcut(QKeySequence::Refresh);
    reload->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(reload);
    connect(reload, &QAction::triggered, this, [this] { m_store.refreshLive(); });

    connect(m_picker, &SectionPicker::picked, this, &Sidebar::sectionPicked);
    connect(&m_navigation, &Navigation::sectionChanged, this, &Sidebar::followSection);
    connect(m_settings, &QAbstractButton::clicked, this, &Sidebar::settingsRequested);
    followSection();
}

void Sidebar::followSection()
{
    const Section section = m_navigation.section();
    m_picker->setSection(section);
    m_lists->setCurrentWidget(section == Section::chats ? static_cast<QWidget *>(m_chatList)
                                                        : m_friendList);
}
