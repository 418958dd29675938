#include "app/RootView.h"

#include "api/ChatAPI.h"
#include "api/ChatClient.h"
#include "app/AuthView.h"
#include "app/ProfileSetupView.h"
#include "app/StartUpView.h"
#include "platform/PushCenter.h"
#include "store/LocalStore.h"
#include "ui/common/BareBox.h"
#include "ui/common/StoreTask.h"
#include "ui/workspace/StatusLine.h"
#include "ui/workspace/Workspace.h"

#include <QDialog>
#include <QGuiApplication>
#include <QStackedLayout>
#include <QUrl>

RootView::RootView(LocalStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_stack(new QStackedLayout)
    , m_saveLine(new QWidget(this))
{
    setObjectName(QStringLiteral("root"));
    m_stack->setContentsMargins(0, 0, 0, 0);
    // A file that cannot be saved is told on every screen from start-up on, above it; the
    // workspace shows its own line, beside "연결 중…", so this one steps aside for it.
    bareBox<QVBoxLayout>(m_saveLine)->addWidget(StatusLine::saveFailures(*m_store, m_saveLine));
    m_saveLine->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *box = bareBox<QVBoxLayout>(this);
    box->addWidget(m_saveLine);
    box->addLayout(m_stack, 1);
    connect(m_store, &LocalStore::sessionChanged, this, &RootView::follow);
    connect(m_store, &LocalStore::startingUpChanged, this, &RootView::follow);
    follow();
}

void RootView::follow()
{
    const auto session = m_store->session();
    if (!session) {
        if (m_store->startingUp()) {
            if (m_screen != Screen::startUp)
                present(Screen::startUp, new StartUpView);
        } else if (m_screen != Screen::signIn) {
            present(Screen::signIn, new AuthView(m_store));
        }
        return;
    }
    if (!session->profileComplete) {
        if (m_screen != Screen::profile || m_shownFor != session->meId) {
            m_shownFor = session->meId;
            present(Screen::profile, new ProfileSetupView(m_store));
        }
        return;
    }
    if (m_screen == Screen::workspace && m_shownFor == session->meId)
        return;
    m_shownFor = session->meId;
    // The workspace redeems an invite link kept from before sign-in each time it is shown.
    present(Screen::workspace, new Workspace(*m_store));
}

void RootView::present(Screen screen, QWidget *content)
{
    QWidget *old = m_content;
    m_stack->addWidget(content);
    m_stack->setCurrentWidget(content);
    // A form that comes up takes the typing at once.
    if (auto *auth = qobject_cast<AuthView *>(content))
        auth->showSignIn();
    else if (auto *form = qobject_cast<AuthForm *>(content))
        form->focusFirstEmptyField();
    m_content = content;
    m_screen = screen;
    m_saveLine->setVisible(screen != Screen::workspace);
    drop(old);
    emit screenChanged(screen);
}

void RootView::drop(QWidget *content)
{
    if (!content)
        return;
    // Sheets and dialogs are windows of their own but children of the screen that opened them:
    // end them first, so that a dialog's event loop returns before its parent goes.
    const auto children = content->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (!child->isWindow() || !child->isVisible())
            continue;
        if (auto *dialog = qobject_cast<QDialog *>(child))
            dialog->reject();
        else
            child->close();
    }
    m_stack->removeWidget(content);
    content->hide();
    // Later, not now: the drop may be happening inside one of the screen's own signals.
    content->deleteLater();
}

bool RootView::openLink(const QString &link)
{
    const QUrl url(link.trimmed());
    if (!url.isValid())
        return false;
    const auto code = ChatAPI::inviteCode(url);
    if (!code)
        return false;
    m_store->setPendingInviteCode(*code);
    m_store->redeemPendingInvite();
    return true;
}

void RootView::applicationBecameActive()
{
    // A socket that waits out a long pause after the service was away tries again now.
    if (ChatClient *client = m_store->client())
        client->retrySocketNow();
    const auto session = m_store->session();
    if (!session || !session->profileComplete)
        return;
    if (m_store->client() && m_store->notificationsEnabled())
        PushCenter::registerForNotifications();
    // Runs on its own; the store reports its failures.
    StoreTask::whenDone(m_store->refreshLive(), this, [] {});
}
