#include "ui/panels/NewChat.h"

#include "model/TextLimits.h"
#include "store/LocalStore.h"
#include "store/TextCompare.h"
#include "ui/common/BareBox.h"
#include "ui/common/ChatFont.h"
#include "ui/common/DisplayText.h"
#include "ui/common/FieldLimits.h"
#include "ui/common/PanelParts.h"
#include "ui/common/StoreRedraw.h"
#include "ui/common/StoreTask.h"
#include "ui/common/UiMetrics.h"
#include "ui/panels/FriendPick.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>

#include <algorithm>

namespace {

constexpr int chipHeight = 32;
constexpr int chipPadding = 10;

// A chosen person above the list: the name on a capsule; pressing it drops the person. The
// name is shown as names are (on one line, nothing in it turning it or its neighbours around)
// and painted as it then stands (a "&" in it is no keyboard shortcut).
class Chip : public QAbstractButton
{
public:
    Chip(const QString &name, QWidget *parent)
        : QAbstractButton(parent)
        , m_name(DisplayText::name(name))
    {
        setAccessibleName(m_name);
        setAccessibleDescription(QStringLiteral("선택 해제"));
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return QSize(metrics.horizontalAdvance(m_name) + 2 * chipPadding,
                     std::max(chipHeight, metrics.height() + 8));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const qreal radius = capsule.height() / 2;
        QColor edge = palette().color(QPalette::WindowText);
        edge.setAlphaF(0.12f);
        painter.setPen(QPen(edge, 1));
        painter.setBrush(palette().color(QPalette::Base));
        painter.drawRoundedRect(capsule, radius, radius);
        UiMetrics::paintButtonState(painter, *this, capsule, UiMetrics::FocusMark::ring, radius);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_name);
    }

private:
    QString m_name;
};

// The friend list as tall as its rows, so that what follows it (the lookup) stands right under
// the last row; with more rows than room it gives way and scrolls.
class FittedList : public QListView
{
public:
    using QListView::QListView;

    QSize sizeHint() const override
    {
        return QSize(QListView::sizeHint().width(), rows() * rowHeight() + 2 * frameWidth());
    }
    QSize minimumSizeHint() const override { return QSize(0, rowHeight() + 2 * frameWidth()); }

private:
    int rows() const { return model() ? model()->rowCount() : 0; }
    int rowHeight() const { return rows() > 0 ? sizeHintForRow(0) : 0; }
};

} // namespace

NewChat::NewChat(LocalStore &store, QWidget *parent)
    : PageBase(QStringLiteral("newChat"), parent)
    , m_store(store)
{
    setMinimumSize(460, 420);
    // Header: "취소", the title, and "대화"/"다음". Tab follows the order the controls are
    // made in, which is their order on screen, top to bottom (the chips come in later).
    QPushButton *cancel = cancelButton();
    m_talk = PanelParts::pushButton(QStringLiteral("대화"), QStringLiteral("talk"), this);
    m_next = PanelParts::pushButton(QStringLiteral("다음"), QStringLiteral("next"), this);
    auto *actions = new QWidget(this);
    auto *actionRow = bareBox<QHBoxLayout>(actions, 12);
    actionRow->addWidget(m_talk);
    actionRow->addWidget(m_next);

    m_stages = new QStackedWidget(this);
    m_stages->addWidget(choosingStage());
    m_stages->addWidget(namingStage());

    QVBoxLayout *column = pageColumn(16, 12);
    column->addWidget(titleBar(QStringLiteral("새 대화"), cancel, actions));
    column->addWidget(m_stages, 1);
    connectActions();
    // The sheet opens on its search, not on "취소".
    PanelParts::focusWhenShown(this, m_query);

    m_redraw = new StoreRedraw(
        m_store,
        {&LocalStore::accountsChanged, &LocalStore::friendsChanged, &LocalStore::blocksChanged,
         &LocalStore::conversationsChanged, &LocalStore::sessionChanged},
        [this] { refresh(); }, this);
    refresh();
}

// What the header's buttons, the search, the lookup row and "만들기" do.
void NewChat::connectActions()
{
    connect(m_talk, &QPushButton::clicked, this, [this] {
        if (m_chosen.size() == 1)
            emit chatRequested(m_chosen.first());
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_chosen.isEmpty())
            return;
        // A name the user typed stays as typed, blanks and all.
        if (trimmedText(m_title->text()).isEmpty())
            m_title->setText(m_store.suggestedGroupTitle(m_chosen));
        m_naming = true;
        refresh();
        m_title->setFocus();
    });
    connect(m_query, &QLineEdit::textChanged, this, [this] {
        m_lookup.reset();
        m_lookupMiss = false;
        refresh();
    });
    connect(m_find, &QPushButton::clicked, this, [this] {
        StoreTask::whenDone(m_store.lookup(trimmedQuery()), this, std::nullopt,
                            [this](std::optional<Account> found) {
                                m_lookup = found;
                                m_lookupMiss = !found;
                                refresh();
                            });
    });
    connect(m_result, &LookupResultRow::chooseRequested, this, &NewChat::toggle);
    connect(m_result, &LookupResultRow::openRequested, this, &NewChat::chatRequested);
    connect(m_title, &QLineEdit::returnPressed, m_create, &WideButton::click);
    connect(m_create, &WideButton::clicked, this, [this] {
        // One creation at a time: a second press while the first is on its way would make a second
        // group with the same people.
        if (m_create->isBusy())
            return;
        m_create->setBusy(true);
        // The title goes as it stands: the store trims it and falls back to the suggested one.
        emit groupRequested(m_chosen, m_title->text());
    });
}

// Stage 1: search, chips, the friend list and the lookup.
QWidget *NewChat::choosingStage()
{
    auto *choosing = new QWidget(this);
    m_query
        = PanelParts::textField(QStringLiteral("이름, 아이디"), QStringLiteral("query"), choosing);

    auto *chipHolder = new QWidget;
    m_chipRow = bareBox<QHBoxLayout>(chipHolder, 8);
    m_chipRow->addStretch(1);
    m_chipArea = scroller(chipHolder);
    m_chipArea->setObjectName(QStringLiteral("chips"));
    m_chipArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_chipArea->setFixedHeight(UiMetrics::controlHeight);

    auto *choosingColumn = bareBox<QVBoxLayout>(choosing, 12);
    choosingColumn->addWidget(m_query);
    choosingColumn->addWidget(m_chipArea);
    choosingColumn->addWidget(listArea(choosing), 1);
    return choosing;
}

// The friend rows and the lookup make one list on one background.
QWidget *NewChat::listArea(QWidget *parent)
{
    auto *listArea = new QFrame(parent);
    listArea->setObjectName(QStringLiteral("listArea"));
    listArea->setFrameShape(QFrame::StyledPanel);
    listArea->setBackgroundRole(QPalette::Base);
    listArea->setAutoFillBackground(true);

    m_friends = new FriendPickModel([this] { return friends(); }, this);
    auto *list = new FittedList(listArea);
    setUpList(list, m_friends, QStringLiteral("friends"), QStringLiteral("친구"));
    // A click, Space or Return, and a screen reader's "Press" or "Toggle" choose or drop a row.
    connect(
        new FriendPickDelegate(list), &ActionRowDelegate::personClicked, this,
        [this](const QModelIndex &index) { toggle(index.data(FriendPickModel::IdRole).toUuid()); });
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    list->viewport()->setAttribute(Qt::WA_Hover);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_friends, signal, list, &QWidget::updateGeometry);
    connect(m_friends, &QAbstractItemModel::modelReset, list, &QWidget::updateGeometry);

    m_find
        = PanelParts::pushButton(QStringLiteral("아이디로 찾기"), QStringLiteral("find"), listArea);
    m_result = new LookupResultRow(m_store, listArea);
    m_miss = PanelParts::label(missText(), QStringLiteral("miss"), ChatFont::subheadline(),
                               listArea, PanelParts::Ink::Secondary);
    m_miss->setContentsMargins(FriendPickDelegate::padding + 4, 4, FriendPickDelegate::padding, 8);

    auto *findRow = new QHBoxLayout;
    findRow->setContentsMargins(FriendPickDelegate::padding, 4, FriendPickDelegate::padding, 4);
    findRow->addWidget(m_find);
    findRow->addStretch(1);
    auto *listColumn = bareBox<QVBoxLayout>(listArea);
    listColumn->addWidget(list);
    listColumn->addLayout(findRow);
    listColumn->addWidget(m_result);
    listColumn->addWidget(m_miss);
    listColumn->addStretch(1);
    return listArea;
}

// Stage 2: the group's name and "만들기".
QWidget *NewChat::namingStage()
{
    auto *naming = new QWidget(this);
    m_title
        = PanelParts::textField(QStringLiteral("방 이름"), QStringLiteral("groupTitle"), naming);
    FieldLimits::limitToGraphemes(m_title, TextLimit::groupTitle);
    m_create = PanelParts::wideButton(QStringLiteral("만들기"), QStringLiteral("create"), naming);
    m_failedLine
        = PanelParts::messageLine(PanelParts::Tone::Failure, QStringLiteral("failed"), naming);
    auto *namingColumn = bareBox<QVBoxLayout>(naming, 12);
    namingColumn->addWidget(m_title);
    namingColumn->addWidget(m_create);
    namingColumn->addWidget(m_failedLine);
    namingColumn->addStretch(1);

    return naming;
}

QString NewChat::trimmedQuery() const
{
    return trimmedText(m_query->text());
}

QList<Account> NewChat::friends() const
{
    QList<Account> all = m_store.friendAccounts();
    const QString query = trimmedQuery();
    if (query.isEmpty())
        return all;
    // The name is searched as typed; the handle without a leading "@" and in lower case. A
    // search of "@" alone leaves no handle to look for, which finds no handle (rather than all).
    const QString handle = LocalStore::normalizedHandle(query);
    all.removeIf([&](const Account &account) {
        return !TextCompare::localizedContains(account.displayName, query)
            && (handle.isEmpty() || !TextCompare::localizedContains(account.handle, handle));
    });
    return all;
}

void NewChat::toggle(const QUuid &id)
{
    if (m_chosen.contains(id))
        m_chosen.removeAll(id);
    else if (m_chosen.size() < maxChosen)
        m_chosen.append(id);
    else
        return; // a 20th person is ignored without a word
    refresh();
}

void NewChat::createFailed()
{
    m_create->setBusy(false);
    PanelParts::showMessage(m_failedLine, failedText());
}

void NewChat::refresh()
{
    m_redraw->cancelPending();
    const QList<Account> shown = friends();
    m_friends->refresh();
    m_friends->setChosen(m_chosen);

    m_talk->setVisible(!m_naming && m_chosen.size() == 1);
    m_next->setVisible(!m_naming && !m_chosen.isEmpty());

    m_chipArea->setVisible(!m_chosen.isEmpty());
    refreshChips();

    const bool searching = !trimmedQuery().isEmpty();
    const bool listed = m_lookup && std::any_of(shown.begin(), shown.end(), [&](const Account &a) {
                            return a.id == m_lookup->id;
                        });
    const bool showResult = searching && m_lookup && !listed;
    if (showResult)
        m_result->present(*m_lookup, m_chosen);
    m_find->setVisible(searching);
    m_result->setVisible(showResult);
    m_miss->setVisible(searching && m_lookupMiss);

    m_stages->setCurrentIndex(m_naming ? 1 : 0);
}

void NewChat::refreshChips()
{
    // A chip only for an account the store knows; an unknown id stays chosen all the same.
    QList<std::pair<QUuid, QString>> wanted;
    for (const QUuid &id : std::as_const(m_chosen)) {
        if (const std::optional<Account> account = m_store.account(id))
            wanted.append({id, account->displayName});
    }
    if (wanted == m_chipsShown)
        return;
    m_chipsShown = wanted;
    // The chip that was pressed may be the one going: it is deleted once its signal is over.
    while (m_chipRow->count() > 1) {
        QLayoutItem *item = m_chipRow->takeAt(0);
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    // New widgets join the end of the Tab order; the chips belong right after the search.
    QWidget *before = m_query;
    for (int i = 0; i < wanted.size(); ++i) {
        auto *chip = new Chip(wanted.at(i).second, m_chipArea->widget());
        chip->setObjectName(QStringLiteral("chip"));
        const QUuid id = wanted.at(i).first;
        connect(chip, &Chip::clicked, this, [this, id] { toggle(id); });
        m_chipRow->insertWidget(i, chip, 0, Qt::AlignVCenter);
        QWidget::setTabOrder(before, chip);
        before = chip;
    }
}
