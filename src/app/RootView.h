#pragma once

#include <QPointer>
#include <QUuid>
#include <QWidget>

class LocalStore;
class QStackedLayout;

// The root of the main window. It follows the store's session: the start-up state while start-up
// holds a stored session the service has not yet answered, sign-in while nobody is signed in,
// the first-profile screen while the profile is incomplete, the workspace otherwise. When
// the session ends, the whole workspace (with every page, sheet and dialog in it) is dropped;
// a later sign-in builds a fresh one.
class RootView : public QWidget
{
    Q_OBJECT
public:
    enum class Screen { none, startUp, signIn, profile, workspace };

    explicit RootView(LocalStore *store, QWidget *parent = nullptr);

    Screen screen() const { return m_screen; }
    QWidget *content() const { return m_content; }

    // A link opened from outside the program. An invite link's code is kept by the store until a
    // user with a complete profile is signed in, then redeemed. False for anything that is not
    // an invite link (it is ignored).
    bool openLink(const QString &link);

    // What the application does each time it becomes active: with a server, a complete profile
    // and notifications on it registers for notifications again, and it reloads the rooms.
    void applicationBecameActive();

signals:
    // The screen changed (its minimum size may have changed with it).
    void screenChanged(RootView::Screen screen);

private:
    void follow();
    void present(Screen screen, QWidget *content);
    void drop(QWidget *content);

    LocalStore *m_store;
    QStackedLayout *m_stack;
    QWidget *m_saveLine; // holds the line that names the files not saved, off in the workspace
    QPointer<QWidget> m_content;
    Screen m_screen = Screen::none;
    QUuid m_shownFor; // the user whose profile screen or workspace is shown
};
