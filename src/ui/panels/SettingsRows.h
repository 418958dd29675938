#pragma once

#include <QWidget>

#include <functional>

class QAbstractButton;

// A rounded group of settings rows that draws hairlines between its rows: switch rows and button
// rows, each at least 44 pixels high, or rows of any other kind. Colours are read when painting;
// QWidget repaints on every palette change, so they follow light and dark.
class SettingsGroup : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsGroup(QWidget *parent = nullptr);
    void addRow(QWidget *row);
    // A labelled switch (object name `name`) added below the others. It never flips itself: a
    // click, Space or a screen reader's "Press" or "Toggle" asks `flip` for the other value,
    // once, and the switch shows whatever setChecked() is given afterwards, so what it shows is
    // always its owner's value.
    QAbstractButton *addSwitch(const QString &text, const QString &name,
                               std::function<void(bool on)> flip);
    // A button row (object name `name`) added below the others, its text at the leading edge, red
    // when it is destructive; a click runs `action`.
    QAbstractButton *addAction(const QString &text, const QString &name, bool destructive,
                               std::function<void()> action);

protected:
    void paintEvent(QPaintEvent *event) override;
};
