#pragma once

#include <QWidget>

// What the window shows while start-up holds a stored session and waits for the service: an
// otherwise empty window with the busy ring and the line "연결 중…". Nothing to type into: the
// session is still good, and a sign-in form here would read as a sign-out.
class StartUpView : public QWidget
{
    Q_OBJECT
public:
    explicit StartUpView(QWidget *parent = nullptr);
};
