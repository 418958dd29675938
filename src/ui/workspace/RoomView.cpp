#include "ui/workspace/RoomView.h"

#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/ConfirmDialog.h"
#include "ui/panels/InfoPanel.h"
#include "ui/panels/StoreRedraw.h"
#include "ui/workspace/Composer.h"
#include "ui/workspace/Divider.h"
#include "ui/workspace/Navigation.h"
#include "ui/workspace/RoomHeader.h"
#include "ui/workspace/RoomState.h"
#include "ui/workspace/TranscriptView.h"

#include <QHideEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QShowEvent>
#include <QVBoxLayout>

RoomView::RoomView(LocalStore &store, const Navigation &navigation, const QUuid &conversationId,
                   QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_navigation(navigation)
    , m_conversationId(conversationId)
    , m_state(new RoomState(conversationId, this))
    , m_header(new RoomHeader(store, conversationId, this))
    , m_layout(bareBox<QVBoxLayout>(this))
{
    setObjectName(QStringLiteral("roomView"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    m_layout->addWidget(m_header);
    m_layout->addWidget(new Divider(Qt::Horizontal, this));

    // Store changes come in bursts; the pane reads the room once per event-loop turn.
    new StoreRedraw(
        m_store,
        {&LocalStore::conversationsChanged, &LocalStore::accountsChanged,
         &LocalStore::typingStateChanged, &LocalStore::sessionChanged},
        [this] { refresh(); }, this);
    connect(m_header->titleButton(), &QAbstractButton::clicked, this,
            [this] { emit roomInfoRequested(true); });
    connect(&m_navigation, &Navigation::roomInfoChanged, this, &RoomView::refresh);
    // Once the page has moved on, nothing is built any more: closing the information panel of a
    // room being left would show its transcript, and load the room, racing the leave.
    connect(&m_navigation, &Navigation::pageChanged, this, [this] {
        if (!m_navigation.page().isRoom(m_conversationId))
            m_left = true;
    });
    connect(&m_navigation, &Navigation::writeRequested, this, &RoomView::takeKeyboard);
    connect(m_state, &RoomState::deleteTargetChanged, this, &RoomView::followDeleteTarget);
    refresh();
}

RoomView::~RoomView()
{
    if (m_onScreen)
        disappeared();
}

// The room counts as on screen for the whole pane, its information panel included.
void RoomView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar is no new appearance.
    if (event->spontaneous() || m_onScreen)
        return;
    m_onScreen = true;
    m_store.setVisibleRoomID(m_conversationId);
    m_store.markRead(m_conversationId);
}

void RoomView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && m_onScreen)
        disappeared();
}

void RoomView::disappeared()
{
    m_onScreen = false;
    // Another room's pane may have taken the place meanwhile: leave its claim alone.
    if (m_store.visibleRoomID() == m_conversationId)
        m_store.setVisibleRoomID(std::nullopt);
}

void RoomView::refresh()
{
    if (m_left)
        return;
    m_header->refresh();
    // The transcript (and with it the room's first load) waits until the store has the room.
    if (!m_store.conversation(m_conversationId))
        present(Content::loading);
    else
        present(m_navigation.roomInfo() ? Content::info : Content::transcript);
}

void RoomView::present(Content content)
{
    if (content == m_shown)
        return;
    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
        // The information panel's close may be what brought the transcript back.
        m_content->deleteLater();
    }
    m_shown = content;
    switch (content) {
    case Content::loading:
        m_content = createLoading();
        break;
    case Content::transcript:
        m_content = createTranscript();
        break;
    case Content::info:
        m_content = createInfoPanel();
        break;
    case Content::none:
        return;
    }
    m_layout->addWidget(m_content, 1);
    m_content->show();
    if (content == Content::transcript && std::exchange(m_writePending, false))
        takeKeyboard();
}

void RoomView::takeKeyboard()
{
    if (m_left)
        return;
    if (m_shown == Content::transcript && m_composer)
        m_composer->takeKeyboard();
    else
        m_writePending = true;
}

QWidget *RoomView::createLoading()
{
    auto *box = new QWidget(this);
    box->setObjectName(QStringLiteral("roomLoading"));
    auto *layout = new QVBoxLayout(box);
    layout->addStretch(1);
    auto *bar = new QProgressBar(box);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedWidth(120);
    bar->setAccessibleName(loadingText());
    layout->addWidget(bar, 0, Qt::AlignHCenter);
    auto *label = new QLabel(loadingText(), box);
    label->setObjectName(QStringLiteral("loadingLabel"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    layout->addStretch(1);
    return box;
}

QWidget *RoomView::createTranscript()
{
    auto *box = new QWidget(this);
    box->setObjectName(QStringLiteral("roomTranscript"));
    auto *layout = bareBox<QVBoxLayout>(box);
    auto *transcript = new TranscriptView(m_store, *m_state, box);
    connect(transcript, &TranscriptView::mediaRequested, this, &RoomView::mediaRequested);
    connect(transcript, &TranscriptView::reportRequested, this, &RoomView::reportRequested);
    layout->addWidget(transcript, 1);
    m_composer = new Composer(m_store, *m_state, box);
    layout->addWidget(m_composer);
    return box;
}

// The room's information panel replaces transcript and composer under the header.
QWidget *RoomView::createInfoPanel()
{
    auto *panel = new InfoPanel(m_store, m_conversationId, this);
    connect(panel, &InfoPanel::reportRequested, this, &RoomView::reportRequested);
    connect(panel, &InfoPanel::profileRequested, this, &RoomView::profileRequested);
    connect(panel, &InfoPanel::closeRequested, this, [this] { emit roomInfoRequested(false); });
    connect(panel, &InfoPanel::left, this, &RoomView::left);
    return panel;
}

void RoomView::followDeleteTarget()
{
    const auto target = m_state->deleteTarget();
    if (m_deleteDialog && (!target || target->id != m_deleteAsked)) {
        ConfirmDialog::withdraw(m_deleteDialog);
        m_deleteDialog = nullptr;
    }
    if (!target || m_deleteDialog)
        return;

    // "모두에게 삭제" is offered by what holds when the dialog comes up, for that message.
    const QUuid asked = target->id;
    QList<ConfirmDialog::Choice> choices{{QStringLiteral("나에게만 삭제"), true, [this] {
                                              if (const auto current = m_state->deleteTarget())
                                                  m_store.hideForMe(current->id);
                                          }}};
    if (m_store.canDeleteForEveryone(asked))
        choices.append({QStringLiteral("모두에게 삭제"), true,
                        [this, asked] { m_store.deleteForEveryone(asked); }});
    m_deleteAsked = asked;
    m_deleteDialog = ConfirmDialog::open(this, QStringLiteral("삭제"), choices, [this] {
        m_deleteDialog = nullptr;
        m_state->setDeleteTarget(std::nullopt);
    });
    m_deleteDialog->setObjectName(QStringLiteral("deleteDialog"));
}
