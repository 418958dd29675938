#pragma once

#include <QAbstractButton>

class QHBoxLayout;

// A button whose face is a row of other widgets (a person, an avatar and a word...): the whole
// rectangle is the button; a light shade shows hover, a ring keyboard focus. While it is not
// pressable it is only a picture of its row: no clicks, no focus, no shade.
class RowButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit RowButton(QWidget *parent = nullptr);

    // Adds `part` to the face; it takes no clicks of its own.
    void addPart(QWidget *part, int stretch = 0);
    void addStretch(int stretch = 1);
    // Room before the parts, for something the subclass paints there.
    void setLeadingRoom(int width);

    void setPressable(bool pressable);
    bool isPressable() const { return m_pressable; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool hitButton(const QPoint &pos) const override;
    void focusInEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QHBoxLayout *m_row;
    bool m_pressable = true;
    bool m_ring = false; // the focus came from the keyboard
};
