#pragma once

#include <QMainWindow>

class LocalStore;
class RootView;

// The program's one window ("main"): the root view, and the application menu with "종료".
// Closing it only hides it; the program goes on receiving messages.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr QSize defaultSize{960, 680};

    explicit MainWindow(LocalStore *store, QWidget *parent = nullptr);

    RootView *rootView() const { return m_root; }

signals:
    // The window's content is on screen for the first time.
    void firstShown();
    // The window has painted for the first time (emitted in the turn after that paint): what
    // can wait until the user sees the window starts here.
    void firstPainted();

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    RootView *m_root;
    bool m_shown = false;
    bool m_painted = false;
};
