#pragma once

#include <QWidget>

#include <functional>

// Stands in for a page, sheet or panel whose own view the program does not have yet: its
// title and, when it is given `onClose`, "닫기", which runs `onClose` and asks a hosting sheet
// to close (closeRequested()).
class MacPendingPanel : public QWidget
{
    Q_OBJECT
public:
    MacPendingPanel(const QString &title, std::function<void()> onClose, QWidget *parent = nullptr);

    QString title() const { return m_title; }

signals:
    void closeRequested();

private:
    QString m_title;
};
