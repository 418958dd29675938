#include "app/MainWindow.h"

#include "app/RootView.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenuBar>
#include <QTimer>

MainWindow::MainWindow(LocalStore *store, QWidget *parent)
    : QMainWindow(parent)
    , m_root(new RootView(store, this))
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Zumo Beta"));
    setCentralWidget(m_root);
    // No explicit minimum: the layout keeps the window at least as large as the current
    // screen's minimumSizeHint, and follows it when the root switches screens.
    resize(defaultSize);

    QMenu *menu = menuBar()->addMenu(QStringLiteral("Zumo"));
    QAction *quit = menu->addAction(QStringLiteral("종료"));
    quit->setObjectName(QStringLiteral("quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        emit firstShown();
    }
}

bool MainWindow::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        // After the paint has reached the screen, not inside it.
        QTimer::singleShot(0, this, &MainWindow::firstPainted);
    }
    return handled;
}
