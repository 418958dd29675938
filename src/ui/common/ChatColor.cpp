#include "ui/common/ChatColor.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <functional>
#include <initializer_list>

QColor ChatColor::mix(const QColor &a, const QColor &b, qreal share)
{
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    const auto channel = [share](qreal p, qreal q) { return p * share + q * (1 - share); };
    return QColor::fromRgbF(float(channel(x.redF(), y.redF())),
                            float(channel(x.greenF(), y.greenF())),
                            float(channel(x.blueF(), y.blueF())));
}

QColor ChatColor::over(const QColor &shade, const QColor &ground)
{
    QColor opaque = shade;
    opaque.setAlpha(255);
    return mix(opaque, ground, shade.alphaF());
}

namespace {

constexpr qreal readable = 4.5;

// Puts a colour of ours back into roles of a widget's palette after each change of appearance.
// The colour is worked out from the palette the widget would have without ours (its parent's,
// or the application's): a colour derived from the text colour must not be derived from itself.
// A PaletteChange arrives once the widget's palette has taken in a new application palette or
// parent; setting the colours is itself a palette change, which stops here once they are right.
class RoleKeeper : public QObject
{
public:
    using Colour = std::function<QColor(const QPalette &)>;

    RoleKeeper(QWidget *widget, QList<QPalette::ColorRole> roles, Colour colour,
               QList<QPalette::ColorGroup> groups
               = {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        : QObject(widget)
        , m_widget(widget)
        , m_roles(std::move(roles))
        , m_groups(std::move(groups))
        , m_colour(std::move(colour))
    {
        widget->installEventFilter(this);
        apply();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget
            && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange))
            apply();
        return false;
    }

private:
    void apply()
    {
        const QWidget *parent = m_widget->parentWidget();
        const QColor colour = m_colour(parent ? parent->palette() : QGuiApplication::palette());
        QPalette colours = m_widget->palette();
        bool changed = false;
        for (const QPalette::ColorRole role : m_roles) {
            for (const QPalette::ColorGroup group : m_groups) {
                if (colours.color(group, role) != colour) {
                    colours.setColor(group, role, colour);
                    changed = true;
                }
            }
        }
        if (changed)
            m_widget->setPalette(colours);
    }

    QWidget *m_widget;
    QList<QPalette::ColorRole> m_roles;
    QList<QPalette::ColorGroup> m_groups;
    Colour m_colour;
};

qreal luminance(const QColor &color)
{
    const auto linear = [](qreal channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF())
        + 0.0722 * linear(rgb.blueF());
}

// Whether `ink` keeps at least `minimum` contrast on every background.
bool readsOn(const QColor &ink, std::initializer_list<QColor> backgrounds, qreal minimum = readable)
{
    return std::all_of(backgrounds.begin(), backgrounds.end(), [&](const QColor &background) {
        return ChatColor::contrast(ink, background) >= minimum;
    });
}

// `colour` moved towards `toward` in small steps, as few as it takes (at most 20) to read on
// every background.
QColor readableTowards(QColor colour, const QColor &toward,
                       std::initializer_list<QColor> backgrounds)
{
    for (int step = 0; step < 20 && !readsOn(colour, backgrounds); ++step)
        colour = ChatColor::mix(colour, toward, 0.92);
    return colour;
}

// `ink` toned down towards `toward` as far as it keeps `minimum` against every background; the
// search stops at 60 % ink. `ink` itself when even that is too faint.
QColor toned(const QColor &ink, const QColor &toward, std::initializer_list<QColor> backgrounds,
             qreal minimum)
{
    for (qreal share = 0.6; share < 1; share += 0.05) {
        if (const QColor candidate = ChatColor::mix(ink, toward, share);
            readsOn(candidate, backgrounds, minimum))
            return candidate;
    }
    return ink;
}

// The answers of the last few searches for a readable colour, by what each started from.
// Painting asks the same few questions for every row, and a search takes up to thirty
// contrast checks.
template<std::size_t N>
class KeptAnswers
{
public:
    template<typename Search>
    QColor find(const std::array<quint64, N> &question, Search &&search)
    {
        for (const Answer &a : m_answers) {
            if (a.colour.isValid() && a.question == question)
                return a.colour;
        }
        const QColor colour = search();
        m_answers[m_next] = {question, colour};
        m_next = (m_next + 1) % m_answers.size();
        return colour;
    }

private:
    struct Answer
    {
        std::array<quint64, N> question{};
        QColor colour;
    };
    std::array<Answer, 8> m_answers{};
    std::size_t m_next = 0;
};

// Disabled text wants contrast 3; a little more leaves room for the gradients that styles draw
// on buttons.
constexpr qreal disabledContrast = 3.4;

} // namespace

qreal ChatColor::contrast(const QColor &a, const QColor &b)
{
    const qreal first = luminance(a);
    const qreal second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

bool ChatColor::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QColor ChatColor::mineBubble(const QPalette &palette)
{
    // Dark enough in both variants for white text on top (contrast 4.5 and more), bright
    // enough to read as text on a dark window (about 3.6 on #1E1E1E).
    return isDark(palette) ? QColor(0x26, 0x70, 0xE8) : QColor(0x1E, 0x6F, 0xE6);
}

QColor ChatColor::officialMark(const QPalette &palette)
{
    return readableAccent(isDark(palette) ? QColor(0x3D, 0xD6, 0x8C) : QColor(0x0E, 0x8F, 0x5A),
                          palette);
}

QColor ChatColor::alert(const QPalette &palette)
{
    // Red text (failure lines, destructive rows) must read on the window and the base.
    return readableAccent(isDark(palette) ? QColor(0xFF, 0x45, 0x3A) : QColor(0xE5, 0x2E, 0x24),
                          palette);
}

QColor ChatColor::readableAccent(QColor accent, const QPalette &palette, QColor alsoOn)
{
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    if (!alsoOn.isValid())
        alsoOn = window;
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    thread_local KeptAnswers<4> answers;
    return answers.find({accent.rgba64(), window.rgba64(), base.rgba64(), alsoOn.rgba64()}, [&] {
        // Towards white on a dark window, towards black on a light grey one.
        return readableTowards(accent, isDark(palette) ? QColor(Qt::white) : QColor(Qt::black),
                               {window, base, alsoOn});
    });
}

void ChatColor::keepAlert(QWidget *widget, QPalette::ColorRole role)
{
    new RoleKeeper(widget, {role}, alert);
}

void ChatColor::keepSecondary(QWidget *widget, QPalette::ColorRole role)
{
    QList<QPalette::ColorRole> roles{role};
    if (role == QPalette::NoRole)
        roles = {QPalette::WindowText, QPalette::Text};
    new RoleKeeper(widget, roles, secondaryText);
}

QColor ChatColor::secondaryText(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    const QColor base = palette.color(QPalette::Base);
    // Asked for by every painted row: the search below runs once per appearance, not per row.
    // The answer depends on these colours alone (the other bubble's follows the active window).
    const std::array<QRgb, 4> colours{text.rgba(), window.rgba(), base.rgba(),
                                      palette.color(QPalette::Active, QPalette::Window).rgba()};
    static std::array<QRgb, 4> lastColours;
    static QColor last;
    if (!last.isValid() || colours != lastColours) {
        last = toned(text, window, {window, base, theirsBubble(palette)}, readable);
        lastColours = colours;
    }
    return last;
}

void ChatColor::keepDisabledReadable(QWidget *widget)
{
    const auto disabledText = [](const QPalette &palette) {
        const QColor text = palette.color(QPalette::Active, QPalette::WindowText);
        const QColor window = palette.color(QPalette::Active, QPalette::Window);
        return toned(text, window,
                     {window, palette.color(QPalette::Active, QPalette::Base),
                      palette.color(QPalette::Active, QPalette::Button)},
                     disabledContrast);
    };
    new RoleKeeper(widget, {QPalette::WindowText, QPalette::ButtonText, QPalette::Text},
                   disabledText, {QPalette::Disabled});
}

QColor ChatColor::underWhite(const QColor &fill)
{
    return readableTowards(fill, Qt::black, {Qt::white});
}

QColor ChatColor::plateUnder(const QColor &fill, const QColor &ink, qreal share)
{
    thread_local KeptAnswers<3> answers;
    return answers.find({fill.rgba64(), ink.rgba64(), std::bit_cast<quint64>(share)}, [&] {
        const QColor away = luminance(ink) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
        QColor plate = fill;
        for (int step = 0; step < 30 && !readsOn(mix(ink, plate, share), {plate}); ++step)
            plate = mix(plate, away, 0.92);
        return plate;
    });
}

QColor ChatColor::faintOnMine(const QPalette &palette)
{
    const QColor bubble = mineBubble(palette);
    return toned(Qt::white, bubble, {bubble}, readable);
}

QColor ChatColor::disabledInk(const QColor &ink, const QColor &fill)
{
    // The ink of the two that reads better on the faded fill, toned towards the fill.
    return toned(ink, fill, {fill}, disabledContrast);
}

QColor ChatColor::theirsBubble(const QPalette &palette)
{
    return isDark(palette) ? QColor(0x3A, 0x3A, 0x3C) : QColor(0xE9, 0xE9, 0xEB);
}

QColor ChatColor::link(const QPalette &palette)
{
    const QColor own = palette.color(QPalette::Link);
    // Readable on everything text is drawn on: the window, the base and somebody else's bubble.
    if (readsOn(own,
                {palette.color(QPalette::Window), palette.color(QPalette::Base),
                 theirsBubble(palette)}))
        return own;
    return isDark(palette) ? QColor(0x8A, 0xB4, 0xF8) : QColor(0x0B, 0x57, 0xD0);
}
