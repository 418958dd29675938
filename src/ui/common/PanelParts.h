#pragma once

#include "ui/common/WideButton.h"

#include <QAbstractButton>
#include <QString>
#include <Qt>

#include <optional>

class QBoxLayout;
class QFont;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Pieces that the pages, the sign-in forms, the sidebar and the room share: the plain button, the
// row button, the outset layout and the one-line messages under a form. (The pages' title bars
// and form columns are PageBase's, in ui/panels.) Every button of the program, these and all
// others, takes Return and Enter as its press while it has the keyboard, as Space: one filter on
// the application does it (PanelParts.cpp).
namespace PanelParts {

// The room that a plain button or a row button keeps on each side of its text for its hover
// shade and focus ring.
inline constexpr int buttonInset = 8;

// Whether a widget that gains focus for `reason` shows its focus ring: focus moved with the
// keyboard does, a click or a page's first focus does not, and focus coming back with its window
// or from a popup keeps what it had (`before`).
bool focusRingFor(Qt::FocusReason reason, bool before);

// A borderless text button (object name `name`) at least 44 pixels high ("닫기" and the like).
// Its text sits in the middle, or `buttonInset` from the edge that `textAlign` names
// (Qt::AlignLeft, Qt::AlignRight).
QPushButton *plainButton(const QString &text, QWidget *parent,
                         Qt::Alignment textAlign = Qt::AlignHCenter, const QString &name = {});

// A push button in the desktop's own style, at least 44 pixels high, that never answers Return
// for the dialog or sheet around it.
QPushButton *pushButton(const QString &text, const QString &name, QWidget *parent);

// Gives `first` the keyboard each time `page` comes on screen, so that a page or sheet opens on
// its first field or list rather than on "닫기" or "취소". (Focus given before the page shows is
// dropped when its window is already active.) A button that opens a sheet this way shows its
// focus ring at once when `ring` says so, as if Tab had brought the keyboard there: nothing
// else on such a sheet would show where the keyboard is.
enum class Ring { No, Yes };
void focusWhenShown(QWidget *page, QWidget *first, Ring ring = Ring::No);
// The same, with the button `otherwise` taking the keyboard, ringed, whenever `first` is not on
// the page as it shows (the list of a page whose list is empty): the page still has the keyboard,
// so that its keys (Escape) work and Tab starts there.
void focusWhenShown(QWidget *page, QWidget *first, QWidget *otherwise);

// The full-width prominent button (object name `name`) of forms and pages.
WideButton *wideButton(const QString &text, const QString &name, QWidget *parent,
                       WideButton::Role role = WideButton::Role::Normal);

// A one-line text field whose placeholder is also its accessible name.
QLineEdit *textField(const QString &placeholder, const QString &name, QWidget *parent);

// A box layout that lays its items out `leading` and `trailing` pixels wider than the room it is
// given, out into the padding around it: in a padded column, the texts of the plain buttons and
// row buttons in it then line up with the column's other texts, their shades reaching into the
// padding. (Qt ignores negative layout margins.)
QBoxLayout *outsetLayout(Qt::Orientation orientation, int leading, int trailing);

// A plain-text label (object name `name`) in `font`, in the secondary text colour when `ink` says
// so, wrapping its lines when `wrap` says so.
enum class Ink { Normal, Secondary };
enum class Wrap { No, Yes };
QLabel *label(const QString &text, const QString &name, const QFont &font, QWidget *parent,
              Ink ink = Ink::Normal, Wrap wrap = Wrap::No);

// A wrapped footnote line (object name `name`), hidden until shown: red for failures, the default
// text colour for a success that keeps the page open.
enum class Tone { Plain, Failure };
QLabel *messageLine(Tone tone, const QString &name, QWidget *parent,
                    const QString &text = QString());
void showMessage(QLabel *line, const std::optional<QString> &text);

} // namespace PanelParts

// A button whose face is a row of other widgets (a person, an avatar and a word...), sized by
// that row: the whole rectangle is the button; a light shade shows hover, a ring keyboard focus.
// While it is not pressable it is only a picture of its row: no clicks, no focus, no shade.
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

protected:
    bool hitButton(const QPoint &pos) const override;
    void focusInEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QHBoxLayout *m_row;
    bool m_pressable = true;
    bool m_ring = false; // the focus came from the keyboard
};
