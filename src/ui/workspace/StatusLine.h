#pragma once

#include <QLabel>

class LocalStore;

// One quiet line that stays for as long as its state lasts: small secondary text on the window's
// own colour, with a hairline under it, one line high whatever the page below it. It is a label
// in the layout, never laid over anything, so a screen reader reads it as text and nothing
// under it is covered. Two kinds follow the store: "연결 중…" while the service is away, and
// the files that cannot be saved (one line each) while a save fails.
class StatusLine : public QLabel
{
    Q_OBJECT
public:
    static QString connectingText() { return QStringLiteral("연결 중…"); }

    // Shown exactly while `store` is connecting, from now on ("connectingLine").
    static StatusLine *connecting(LocalStore &store, QWidget *parent);
    // Shown exactly while a file of `store` cannot be saved, naming each ("saveFailureLine").
    static StatusLine *saveFailures(LocalStore &store, QWidget *parent);

    explicit StatusLine(QWidget *parent = nullptr);

    // Shows `text`, or hides the line when it is empty.
    void showText(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
};
