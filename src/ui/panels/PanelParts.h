#pragma once

#include <QString>
#include <Qt>

#include <functional>
#include <optional>

class QBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QWidget;

// Pieces that the pages of the detail column share: the plain 44-pixel button, the header row
// of list pages, the titled form column and the one-line messages under a form.
namespace PanelParts {

// The room that a plain button or a row button keeps on each side of its text for its hover
// shade and focus ring.
inline constexpr int buttonInset = 8;

// Whether a widget that gains focus for `reason` shows its focus ring: focus moved with the
// keyboard does, a click or a page's first focus does not, and focus coming back with its window
// or from a popup keeps what it had (`before`).
bool focusRingFor(Qt::FocusReason reason, bool before);

// A borderless text button at least 44 pixels high ("닫기" and the like). Its text sits in the
// middle, or `buttonInset` from the edge that `textAlign` names (Qt::AlignLeft, Qt::AlignRight).
QPushButton *plainButton(const QString &text, QWidget *parent,
                         Qt::Alignment textAlign = Qt::AlignHCenter);

// A push button in the desktop's own style, at least 44 pixels high, that never answers Return
// for the dialog or sheet around it.
QPushButton *pushButton(const QString &text, const QString &name, QWidget *parent);

// Gives `first` the keyboard each time `page` comes on screen, so that a page or sheet opens on
// its first field or list rather than on "닫기" or "취소". (Focus given before the page shows is
// dropped when its window is already active.)
void focusWhenShown(QWidget *page, QWidget *first);

// A one-line text field whose placeholder is also its accessible name.
QLineEdit *textField(const QString &placeholder, const QString &name, QWidget *parent);

// The plain "닫기" of a page (object name "close"), calling `onClose` when pressed.
QPushButton *closeButton(const std::function<void()> &onClose, QWidget *parent,
                         Qt::Alignment textAlign = Qt::AlignHCenter);

// A box layout that lays its items out `leading` and `trailing` pixels wider than the room it is
// given, out into the padding around it: in a padded column, the texts of the plain buttons and
// row buttons in it then line up with the column's other texts, their shades reaching into the
// padding. (Qt ignores negative layout margins.)
QBoxLayout *outsetLayout(Qt::Orientation orientation, int leading, int trailing);

// "닫기" on the leading side, the title in the headline font in the middle and a clear box on
// the trailing side as wide as the button, so that the title stays centred in the row. Padded
// 16 pixels left and right, measured to the button's text.
QWidget *headerRow(const QString &title, const std::function<void()> &onClose, QWidget *parent);

// A clear box as wide as `mirror` (44 pixels at least) and 44 high, for the side of a header row
// that has no button, so that the title between them stays centred.
QWidget *balanceBox(QWidget *mirror, QWidget *parent);

// The title of a form page: title-2 size, bold.
QLabel *titleLabel(const QString &text, QWidget *parent);

// Lays `page` out as a form page: a column padded 24 pixels on every side and at most
// `maxWidth` wide (padding included), centred horizontally at the top of the page, with the
// rest of the page left empty below it. Returns the column's layout, which has `spacing`.
QVBoxLayout *formColumn(QWidget *page, int maxWidth, int spacing);

// A wrapped footnote line, hidden while it has no text: red for failures, the default text
// colour for a success that keeps the page open.
enum class Tone { Plain, Failure };
QLabel *messageLine(Tone tone, QWidget *parent);
void showMessage(QLabel *line, const std::optional<QString> &text);

} // namespace PanelParts
