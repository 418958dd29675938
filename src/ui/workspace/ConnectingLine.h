#pragma once

#include <QLabel>

class LocalStore;

// One quiet line, "연결 중…", for while the service is away: small secondary text on the
// window's own colour, with a hairline under it. It is a label in the layout, never laid over
// anything, so a screen reader reads it as text and nothing under it is covered.
class ConnectingLine : public QLabel
{
    Q_OBJECT
public:
    static QString text() { return QStringLiteral("연결 중…"); }

    explicit ConnectingLine(QWidget *parent = nullptr);

    // Shows the line exactly while `store` is connecting, from now on.
    void follow(LocalStore &store);

protected:
    void paintEvent(QPaintEvent *event) override;
};
