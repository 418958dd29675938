#pragma once

#include <QAbstractButton>
#include <QWidget>

#include <functional>

// The rows of the settings list: a rounded group that draws hairlines between its rows, a
// switch row and a button row, each at least 44 pixels high. Colours are read when painting;
// QWidget repaints on every palette change, so they follow light and dark.

class ActionRow;
class SwitchRow;

class SettingsGroup : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsGroup(QWidget *parent = nullptr);
    void addRow(QWidget *row);
    // A switch row (object name `name`) added below the others; `flip` is asked for each flip.
    SwitchRow *addSwitch(const QString &text, const QString &name,
                         std::function<void(bool on)> flip);
    // A button row (object name `name`) added below the others; a click runs `action`.
    ActionRow *addAction(const QString &text, const QString &name, bool destructive,
                         std::function<void()> action);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// What the two rows share: a text, keyboard focus, hover shading and the row's size.
class SettingsRow : public QAbstractButton
{
    Q_OBJECT
public:
    explicit SettingsRow(const QString &text, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void paintFocus(QPainter &painter) const;

private:
    bool m_ring = false; // the focus came from the keyboard
};

// A labelled switch. It never flips itself: a click, Space or a screen reader's "Press" or
// "Toggle" asks for the other value through flipRequested(), once, and the switch shows whatever
// setChecked() is given afterwards, so what it shows is always its owner's value.
class SwitchRow : public SettingsRow
{
    Q_OBJECT
public:
    explicit SwitchRow(const QString &text, QWidget *parent = nullptr);

signals:
    void flipRequested(bool on);

protected:
    void nextCheckState() override { }
    void paintEvent(QPaintEvent *event) override;
};

// A button row: its text at the leading edge, red when it is destructive.
class ActionRow : public SettingsRow
{
    Q_OBJECT
public:
    ActionRow(const QString &text, bool destructive, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_destructive;
};
