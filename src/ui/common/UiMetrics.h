#pragma once

#include <QColor>
#include <QPen>

class QAbstractButton;
class QPainter;
class QPalette;
class QRectF;
class QWidget;

// The sizes and shades that the window's own buttons, rows and pages share.
namespace UiMetrics {

// The least height (and width) of anything that can be pressed, and the side of the clear box
// that balances a title bar's single button.
inline constexpr int controlHeight = 44;
// The corners of a flat button's or row's hover plate.
inline constexpr int plateRadius = 6;
// Person and conversation rows, and a peer's photo in the information panel.
inline constexpr int avatarSize = 56;
// Between an avatar and the texts beside it.
inline constexpr int avatarGap = 12;
// The sidebar's margins on either side of its lists and buttons.
inline constexpr int sidebarMargin = 12;
// The form column of a page: its padding and its widest.
inline constexpr int formPadding = 24;
inline constexpr int formMaxWidth = 480;

// Column widths: the sidebar's range, the widest column of the room's information panel and the
// column of the signed-out screens.
inline constexpr int sidebarMinimum = 240;
inline constexpr int sidebarMaximum = 320;
inline constexpr int infoColumnMaxWidth = 600;
inline constexpr int signInColumnWidth = 340;
// The least room a conversation stays usable in: a transcript as wide as a photo bubble with
// its margins and a few lines of text, and high enough for a photo between header and composer.
inline constexpr int detailMinimumWidth = 360;
inline constexpr int detailMinimumHeight = 440;

// How a flat button or row is being used: the shade laid over it says so.
enum class Shade {
    hover, // the pointer is over it
    pressed, // held down
    focus, // the keyboard's current row of a list
};

// The shade for `state` under `palette`: the text colour, faint on hover and stronger while
// pressed; the highlight colour, faint, for the keyboard's row.
QColor shade(const QPalette &palette, Shade state);
// The pen of the ring that marks keyboard focus on a flat button.
QPen focusRing(const QPalette &palette, qreal width = 1.5);
// How a flat button shows that it has keyboard focus: not at all (its list or group shows it),
// by a ring around its face, or by the hover shade (a row that stands in a list of rows).
enum class FocusMark { none, ring, shade };

// Paints a flat button's state on its `face` with corners of `radius` (square at 0): the hover
// or pressed shade while it is enabled, and the focus mark while it has focus.
void paintButtonState(QPainter &painter, const QAbstractButton &button, const QRectF &face,
                      FocusMark focus, qreal radius = plateRadius);
// The focus ring, `width` wide, just inside `face`, while `widget` has focus.
void paintFocusRing(QPainter &painter, const QWidget &widget, const QRectF &face,
                    qreal radius = plateRadius, qreal width = 1.5);
inline void paintButtonState(QPainter &painter, const QAbstractButton &button, const QRectF &face,
                             bool ring)
{
    paintButtonState(painter, button, face, ring ? FocusMark::ring : FocusMark::none);
}

} // namespace UiMetrics
