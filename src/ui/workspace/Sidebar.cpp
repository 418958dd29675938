#include "ui/workspace/Sidebar.h"

#include "store/LocalStore.h"
#include "ui/common/AccessibleActions.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatColor.h"
#include "ui/common/ChatFont.h"
#include "ui/common/PaintedMarks.h"
#include "ui/common/PanelParts.h"
#include "ui/common/UiMetrics.h"
#include "ui/workspace/ChatList.h"
#include "ui/workspace/Divider.h"
#include "ui/workspace/FriendList.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QFocusEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>

namespace {

constexpr int trackPadding = 3;
constexpr int radius = 8;

// One segment: its label, on a raised plate while it is the chosen one. It never checks itself:
// a click, Space or a screen reader's action only picks it, and the picker shows the section
// the navigation then holds.
class Segment : public QAbstractButton
{
public:
    Segment(const QString &text, QWidget *parent)
        : QAbstractButton(parent)
    {
        setText(text);
        setAccessibleName(text);
        setCheckable(true);
        AccessibleActions::clickToToggle(this, QAccessible::RadioButton);
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        return QSize(QFontMetrics(ChatFont::body()).horizontalAdvance(text()) + 24,
                     UiMetrics::controlHeight - 2 * trackPadding);
    }
    QSize minimumSizeHint() const override { return QSize(0, sizeHint().height()); }

protected:
    // A click never checks a segment. The button group calls this on the old segment when
    // another is checked, and then it unchecks as any grouped button does.
    void nextCheckState() override
    {
        if (isChecked())
            setChecked(false);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette &p = palette();
        if (isChecked()) {
            QPainterPath plate;
            plate.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius - 2,
                                 radius - 2);
            painter.fillPath(plate, p.color(QPalette::Base));
            QColor edge = p.color(QPalette::WindowText);
            edge.setAlphaF(0.12f);
            painter.setPen(QPen(edge, 1));
            painter.drawPath(plate);
        } else {
            // The chosen segment's plate is its state; the others shade as any flat button.
            UiMetrics::paintButtonState(painter, *this, rect(), UiMetrics::FocusMark::none,
                                        radius - 2);
        }
        if (m_keyboardFocus)
            UiMetrics::paintFocusRing(painter, *this, rect(), radius - 2);
        const QFont font = ChatFont::body(isChecked() ? QFont::DemiBold : QFont::Normal);
        painter.setFont(font);
        painter.setPen(p.color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine,
                         QFontMetrics(font).elidedText(text(), Qt::ElideRight, width() - 4));
    }

    // The focus ring is for the keyboard; a click or the window's first focus shows none.
    void focusInEvent(QFocusEvent *event) override
    {
        m_keyboardFocus = PanelParts::focusRingFor(event->reason(), false);
        QAbstractButton::focusInEvent(event);
    }

private:
    bool m_keyboardFocus = false;
};

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
        UiMetrics::paintButtonState(painter, *this, rect(), UiMetrics::FocusMark::ring, 0);
        painter.setFont(ChatFont::body(QFont::DemiBold));
        painter.setPen(Sidebar::settingsInk(palette()));
        const QRect area = rect().adjusted(padding, 0, -padding, 0);
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }

private:
    static constexpr int padding = 16;
};

} // namespace

SectionPicker::SectionPicker(QWidget *parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this))
{
    setAccessibleName(QStringLiteral("대화 또는 친구"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(trackPadding, trackPadding, trackPadding, trackPadding);
    layout->setSpacing(trackPadding);
    for (Section section : {Section::chats, Section::friends}) {
        auto *segment = new Segment(
            section == Section::chats ? QStringLiteral("대화") : QStringLiteral("친구"), this);
        m_group->addButton(segment, int(section));
        layout->addWidget(segment);
    }
    // A click only asks for its section; the sidebar checks the segment the navigation holds.
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { emit picked(Section(id)); });
}

void SectionPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath track;
    track.addRoundedRect(QRectF(rect()), radius, radius);
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.08f);
    painter.fillPath(track, fill);
}

Sidebar::Sidebar(LocalStore &store, const Navigation &navigation, QWidget *parent)
    : QWidget(parent)
    , m_picker(new SectionPicker(this))
    , m_lists(new QStackedWidget(this))
    , m_chatList(new ChatList(store, navigation, this))
    , m_friendList(new FriendList(store, navigation, this))
    , m_settings(new SettingsButton(this))
{
    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(UiMetrics::sidebarMargin, UiMetrics::sidebarMargin,
                                 UiMetrics::sidebarMargin, 0);
    titleRow->setSpacing(8);
    titleRow->addWidget(PanelParts::label(QStringLiteral("Zumo"), {}, ChatFont::headline(), this));
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
    layout->addWidget(new Divider(this));
    layout->addWidget(m_settings);

    // The desktop's stand-in for pulling the list down: reload the rooms and requests.
    auto *reload = new QAction(this);
    reload->setShortcut(QKeySequence::Refresh);
    reload->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(reload);
    connect(reload, &QAction::triggered, this, [&store] { store.refreshLive(); });

    connect(m_picker, &SectionPicker::picked, this, &Sidebar::sectionPicked);
    connect(m_settings, &QAbstractButton::clicked, this, &Sidebar::settingsRequested);
    const auto followSection = [this, &navigation] {
        m_picker->segment(navigation.section())->setChecked(true);
        m_lists->setCurrentIndex(int(navigation.section()));
    };
    connect(&navigation, &Navigation::sectionChanged, this, followSection);
    followSection();
}

QWidget *Sidebar::shownList() const
{
    if (m_lists->currentWidget() == m_friendList)
        return m_friendList->view();
    return m_chatList->view();
}

QColor Sidebar::settingsInk(const QPalette &palette)
{
    // The own-bubble blue, lifted (or deepened) as far as it reads on the window and on the
    // button's strongest shade, the pressed one: a dark window leaves the blue itself too faint.
    const QColor pressed = ChatColor::over(UiMetrics::shade(palette, UiMetrics::Shade::pressed),
                                           palette.color(QPalette::Active, QPalette::Window));
    return ChatColor::readableAccent(ChatColor::mineBubble(palette), palette, pressed);
}
