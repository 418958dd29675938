#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

class QWidget;

// The colours that follow the light or dark appearance. Qt 6.4 has no colour-scheme API,
// so the appearance is read from the palette: a dark window colour means dark mode. Views read
// these colours when they paint, so the repaint QWidget makes on a palette change is all it
// takes to follow a change of appearance.
class ChatColor
{
public:
    // Own message bubbles (white content on top) and the sidebar's settings text.
    static QColor mineBubble(const QPalette &palette);

    // The accent of the "공식" mark, the "안내" label, the reply bar's title and check marks,
    // readable as text on the window and the base.
    static QColor officialMark(const QPalette &palette = QGuiApplication::palette());

    // The red of unread badges and destructive buttons.
    static QColor alert(const QPalette &palette);
    // `accent` as text that reads (contrast 4.5) on the window and the base, and on `alsoOn`
    // (a shade laid over them, say): lightened on a dark window, darkened on a light one, as
    // little as it takes.
    static QColor readableAccent(QColor accent, const QPalette &palette, QColor alsoOn = {});
    // Gives `role` of `widget`'s palette the alert red and keeps it so when the palette turns
    // light or dark (a colour set once would stay that of the old appearance).
    static void keepAlert(QWidget *widget, QPalette::ColorRole role);

    // Secondary text: day separators, meta lines, previews, captions under titles. The text
    // colour toned down towards the window, as far as it stays readable (contrast 4.5) on the
    // window, the base and theirsBubble().
    static QColor secondaryText(const QPalette &palette);
    // Gives `widget` secondaryText() for its text (WindowText and Text) and keeps it so through
    // changes of appearance. A field's hint is `role` QPalette::PlaceholderText: the palette's
    // own hint colour can all but vanish in a dark colour scheme.
    static void keepSecondary(QWidget *widget, QPalette::ColorRole role = QPalette::NoRole);
    // Gives `widget`'s disabled text (WindowText, ButtonText, Text) the text colour toned down
    // as far as it keeps contrast 3 on the window, the base and the button colour (many palettes
    // give less), and keeps it so through changes of appearance.
    static void keepDisabledReadable(QWidget *widget);
    // `fill` darkened as far as white text on it reads (contrast 4.5): a desktop's highlight
    // colour can be a light blue.
    static QColor underWhite(const QColor &fill);
    // `fill` moved away from `ink` (darkened under light text, lightened under dark text) as far
    // as `ink`, and `ink` at `share` over the fill, read on it (contrast 4.5): the plate of a
    // chosen row, whose highlight colour a desktop may make too light for its own text.
    static QColor plateUnder(const QColor &fill, const QColor &ink, qreal share);
    // The faint text (quotes, deleted messages) on one's own bubble: white toned towards
    // mineBubble() as far as it keeps contrast 4.5 there.
    static QColor faintOnMine(const QPalette &palette);
    // `ink` toned towards `fill` as far as it keeps contrast 3 there: the title of a disabled
    // filled button.
    static QColor disabledInk(const QColor &ink, const QColor &fill);
    // The bubble of somebody else's message.
    static QColor theirsBubble(const QPalette &palette);
    // Links in text on the window or on somebody else's bubble: the palette's link colour when
    // it is readable there (many dark palettes keep a dark blue), else a blue of our own.
    static QColor link(const QPalette &palette);
    // Links inside one's own bubble, readable on mineBubble() (draw them underlined: the
    // colour is that of the bubble's text).
    static QColor linkOnMine(const QPalette &) { return Qt::white; }

    static bool isDark(const QPalette &palette);

    // `a` laid over `b` at `share` opacity.
    static QColor mix(const QColor &a, const QColor &b, qreal share);
    // The translucent `shade` laid over the opaque `ground`: what is drawn.
    static QColor over(const QColor &shade, const QColor &ground);

    // The contrast ratio of two opaque colours by their relative luminance (WCAG 2): 1 for
    // equal colours, 21 for black on white. Body text wants 4.5, large or secondary text 3.
    static qreal contrast(const QColor &a, const QColor &b);
};
